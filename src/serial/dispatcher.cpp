#include "serial/dispatcher.h"

#include "serial/dispatcher_table.h"
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

// A removed target's handler mode is recomputed at once; one only marked
// counts until the delivery that holds it ends, which recomputes it again.
void TSerBaseDispatcher::RemoveWindowTarget(HWND window) {
  SectionHold hold(DispatcherLock);
  if (RemoveFirst(WindowTargets, [&](const TWindowTarget& t) { return t.Window == window; })) {
    RecordLog(lkTrgHdDsp, lsWindow, static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(window)));
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
  RemoveFirst(ProcTargets, [&](const TProcTarget& t) { return t.Proc == proc; });
  SetHandlerMode(0);
}

void TSerBaseDispatcher::AddEventTarget(TSerNotifyEvent callback, void* context) {
  SectionHold hold(DispatcherLock);
  EventTargets.push_back({callback, context, false});
  TargetsNeeded = true;
}

void TSerBaseDispatcher::RemoveEventTarget(TSerNotifyEvent callback, void* context) {
  SectionHold hold(DispatcherLock);
  RemoveFirst(EventTargets, [&](const TEventTarget& t) {
    return t.Callback == callback && t.Context == context;
  });
  SetHandlerMode(0);
}

void TSerBaseDispatcher::SetAvailThreshold(DWORD count) {
  SectionHold hold(DispatcherLock);
  AvailThreshold = count;
  RecordLog(lkTrDatChg, lsAvail, count);
}

void TSerBaseDispatcher::RecordLog(BYTE kind, BYTE subKind, DWORD data, DWORD extraCount,
                                   const void* extra) {
  if (Log.LogOn()) Log.RecordLogEntry(kind, subKind, data, extraCount, extra);
}

}  // namespace ser
