#include "serial/dispatcher.h"

#include "serial/dispatcher_table.h"
#include "serial/dispatcher_threads.h"
#include "serial/message_pump_wait.h"
#include "serial/section_hold.h"

namespace ser {

TSerBaseDispatcher::TSerBaseDispatcher(TSerCustomComPort* owner)
    : Owner(owner), Handle(RegisterDispatcher(this)), Trace(DispatcherLock), Log(DispatcherLock) {
  InitializeCriticalSection(&DispatcherLock);
  InitializeCriticalSection(&OutputLock);
  InitializeCriticalSection(&InputLock);
}

// The derived destructor has closed the line and waited for the threads
// (Shutdown); whatever is left is only this object's own memory.
TSerBaseDispatcher::~TSerBaseDispatcher() {
  WaitAllThreadsEnded();
  UnregisterDispatcher(Handle);
  DeleteCriticalSection(&InputLock);
  DeleteCriticalSection(&OutputLock);
  DeleteCriticalSection(&DispatcherLock);
}

bool TSerBaseDispatcher::CreateEvents() {
  CloseEvents();  // left over from an open that failed
  std::lock_guard<std::mutex> hold(EventLock);
  ComEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  ReadyEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  GeneralEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  OutputEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  SentEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  OutFlushEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  return ComEvent && ReadyEvent && GeneralEvent && OutputEvent && SentEvent && OutFlushEvent;
}

void TSerBaseDispatcher::CloseEvents() {
  std::lock_guard<std::mutex> hold(EventLock);
  for (std::atomic<HANDLE>* event :
       {&ComEvent, &ReadyEvent, &GeneralEvent, &OutputEvent, &SentEvent, &OutFlushEvent}) {
    HANDLE h = event->exchange(nullptr);
    if (h != nullptr) CloseHandle(h);
  }
}

void TSerBaseDispatcher::Signal(std::atomic<HANDLE>& event) {
  std::lock_guard<std::mutex> hold(EventLock);
  if (HANDLE h = event.load()) SetEvent(h);
}

void TSerBaseDispatcher::Reset(std::atomic<HANDLE>& event) {
  std::lock_guard<std::mutex> hold(EventLock);
  if (HANDLE h = event.load()) ResetEvent(h);
}

bool TSerBaseDispatcher::AllThreadsEnded() {
  std::lock_guard<std::mutex> hold(ThreadRefLock);
  return !ComThreadRef && !DispThreadRef && !OutThreadRef;
}

void TSerBaseDispatcher::ThreadEnd(const TSerDispatcherThread& thread) {
  bool dispatchThread = false;
  {
    std::lock_guard<std::mutex> hold(ThreadRefLock);
    if (ComThreadRef.get() == &thread) ComThreadRef.reset();
    if (OutThreadRef.get() == &thread) OutThreadRef.reset();
    if (DispThreadRef.get() == &thread) {
      DispThreadRef.reset();
      dispatchThread = true;
    }
  }
  if (dispatchThread && ReleaseOnExit.exchange(false)) ReleaseLine();
  // Nothing of this object may be touched after the count reaches 0 except
  // by a thread that waits on the thread handles, which the destructor does.
  if (InterlockedDecrement(&ThreadCount) == 0) ThreadsRunning = false;
}

// A thread that has not ended is never freed under it: this waits, serving
// messages, for every thread ever started, however long a stuck delivery
// takes (each is bounded by the delivery time-out).
void TSerBaseDispatcher::WaitAllThreadsEnded() {
  for (auto& thread : StartedThreads) WaitPumpingMessages(thread->ThreadHandle(), INFINITE);
  StartedThreads.clear();
  CloseEvents();
}

void TSerBaseDispatcher::SetHandlerMode(int mode) {
  SectionHold hold(DispatcherLock);
  bool others = WindowTargets.size() > 1 || !ProcTargets.empty() || !EventTargets.empty();
  switch (mode) {
    case 1:
      PortHasHandlers = true;
      TargetsNeeded = true;
      break;
    case 2:
      PortHasHandlers = false;
      TargetsNeeded = others;
      break;
    default:
      TargetsNeeded = others || PortHasHandlers;
      break;
  }
}

void TSerBaseDispatcher::AddWindowTarget(HWND window) {
  SectionHold hold(DispatcherLock);
  WindowTargets.push_back({window, false});
  TargetsNeeded = true;
  RecordLog(lkTrgHdAlc, lsWindow, static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(window)));
}

void TSerBaseDispatcher::RemoveWindowTarget(HWND window) {
  SectionHold hold(DispatcherLock);
  for (auto it = WindowTargets.begin(); it != WindowTargets.end(); ++it) {
    if (it->Window != window || it->Removed) continue;
    if (Delivering) {
      it->Removed = true;
      TargetsChanged = true;
    } else {
      WindowTargets.erase(it);
    }
    RecordLog(lkTrgHdDsp, lsWindow, static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(window)));
    return;
  }
  SetHandlerMode(0);
}

void TSerBaseDispatcher::AddProcTarget(TSerNotifyProc proc) {
  SectionHold hold(DispatcherLock);
  ProcTargets.push_back({proc, false});
  TargetsNeeded = true;
}

void TSerBaseDispatcher::RemoveProcTarget(TSerNotifyProc proc) {
  SectionHold hold(DispatcherLock);
  for (auto it = ProcTargets.begin(); it != ProcTargets.end(); ++it) {
    if (it->Proc != proc || it->Removed) continue;
    if (Delivering) {
      it->Removed = true;
      TargetsChanged = true;
    } else {
      ProcTargets.erase(it);
    }
    break;
  }
  SetHandlerMode(0);
}

void TSerBaseDispatcher::AddEventTarget(TSerNotifyEvent callback, void* context) {
  SectionHold hold(DispatcherLock);
  EventTargets.push_back({callback, context, false});
  TargetsNeeded = true;
}

void TSerBaseDispatcher::RemoveEventTarget(TSerNotifyEvent callback, void* context) {
  SectionHold hold(DispatcherLock);
  for (auto it = EventTargets.begin(); it != EventTargets.end(); ++it) {
    if (it->Callback != callback || it->Context != context || it->Removed) continue;
    if (Delivering) {
      it->Removed = true;
      TargetsChanged = true;
    } else {
      EventTargets.erase(it);
    }
    break;
  }
  SetHandlerMode(0);
}

void TSerBaseDispatcher::SetAvailThreshold(DWORD count) {
  SectionHold hold(DispatcherLock);
  AvailThreshold = count;
  RecordLog(lkTrDatChg, lsAvail, count);
}

void TSerBaseDispatcher::RecordLog(BYTE kind, BYTE subKind, DWORD data, DWORD extraCount,
                                   const void* extra) {
  SectionHold hold(DispatcherLock);
  if (Log.LogOn()) Log.RecordLogEntry(kind, subKind, data, extraCount, extra);
}

}  // namespace ser
