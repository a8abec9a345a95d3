// Delivering a notification to the event, procedure and window targets.
#include <algorithm>

#include "serial/dispatcher.h"
#include "serial/section_hold.h"

namespace ser {

namespace {

// The i-th target of a list, copied under the lock: targets may be added or
// marked removed by the user-interface thread while we deliver. The copy
// says whether it was told the device is gone; `gone` marks it told now.
template <class T>
bool TargetAt(CRITICAL_SECTION& lock, std::vector<T>& list, size_t i, T& target, bool gone) {
  SectionHold hold(lock);
  if (i >= list.size()) return false;
  target = list[i];
  if (gone) list[i].ToldGone = true;
  return true;
}

template <class T>
bool AnyUntold(const std::vector<T>& list) {
  return std::any_of(list.begin(), list.end(),
                     [](const T& t) { return !t.Removed && !t.ToldGone; });
}

template <class T>
void EraseRemoved(std::vector<T>& list) {
  list.erase(std::remove_if(list.begin(), list.end(), [](const T& t) { return t.Removed; }),
             list.end());
}

}  // namespace

bool TSerBaseDispatcher::GoneUntold() {
  SectionHold hold(DispatcherLock);
  return AnyUntold(WindowTargets) || AnyUntold(ProcTargets) || AnyUntold(EventTargets);
}

// Runs on the dispatch thread with no lock held while a target is called.
// Bytes read with ReadChar during an avail or data-match message are consumed
// afterwards, by the largest count any one target read.
bool TSerBaseDispatcher::DeliverNotification(UINT message, WPARAM wParam, WORD lowWord) {
  const bool gone = message == kMsgDeviceGone;
  if (!TargetsNeeded && !gone) return true;
  {
    SectionHold hold(DispatcherLock);
    Delivering = true;
  }
  const bool readsInput = message == kMsgAvail || message == kMsgDataMatch;
  {
    SectionHold hold(InputLock);
    AvailReadMax = 0;
    InsideAvail = readsInput;
    if (readsInput) OpenOffer();
  }
  if (auto opened = OfferOpened.load(std::memory_order_relaxed); opened && readsInput) opened();
  const LPARAM lParam = static_cast<LPARAM>(Handle) * 65536 + lowWord;
  bool closed = false;
  bool first = true;

  // Calls one target and notes whether a close came. Every target is
  // offered the bytes from the first one, so the count restarts for each but
  // the first: what another reader (a timer, another thread) took while the
  // offer waited for the first target counts as that target's, or the
  // target would be offered it again.
  auto callTarget = [&](auto&& call) {
    if (readsInput && !first) {
      SectionHold hold(InputLock);
      AvailReadMax = std::max(AvailReadMax, RestartOffer());
    }
    first = false;
    call();
    closed = Closing;
  };

  // A gone notice goes only to the targets not told yet.
  auto skipped = [&](const auto& target) { return target.Removed || (gone && target.ToldGone); };
  auto callAll = [&] {
    TEventTarget event;
    for (size_t i = 0; !closed && TargetAt(DispatcherLock, EventTargets, i, event, gone); ++i) {
      if (skipped(event)) continue;
      callTarget([&] { event.Callback(event.Context, message, wParam, lParam); });
    }
    TProcTarget proc;
    for (size_t i = 0; !closed && TargetAt(DispatcherLock, ProcTargets, i, proc, gone); ++i) {
      if (skipped(proc)) continue;
      callTarget([&] { proc.Proc(message, wParam, lParam); });
    }
    bool windows;
    {
      SectionHold hold(DispatcherLock);
      windows = gone || WindowTargets.size() > 1 || PortHasHandlers;
    }
    TWindowTarget window;
    for (size_t i = 0;
         windows && !closed && TargetAt(DispatcherLock, WindowTargets, i, window, gone); ++i) {
      if (skipped(window)) continue;
      callTarget([&] {
        if (gone) {
          PostMessageA(window.Window, message, wParam, lParam);
          return;
        }
        DWORD_PTR answer = 0;
        SendMessageTimeoutA(window.Window, message, wParam, lParam, SMTO_BLOCK, kDeliveryTimeout,
                            &answer);
      });
    }
  };

  // Consumes what the targets read and ends the delivery.
  auto finish = [&] {
    bool result = true;
    {
      SectionHold hold(InputLock);
      const DWORD lastRead = InsideAvail ? CloseOffer() : 0;
      if (InsideAvail && !closed) {
        AvailReadMax = std::max(AvailReadMax, lastRead);
        if (!InBuf.empty()) InTail = (InTail + AvailReadMax) % kInRingSize;
        if (AvailReadMax != 0) InFull = false;
        if (message == kMsgAvail && AvailReadMax != wParam) result = false;
      }
      InsideAvail = false;
    }
    {
      SectionHold hold(DispatcherLock);
      Delivering = false;
      if (TargetsChanged) {
        EraseRemoved(EventTargets);
        EraseRemoved(ProcTargets);
        EraseRemoved(WindowTargets);
        TargetsChanged = false;
        SetHandlerMode(0);
      }
    }
    return closed ? false : result;
  };

  // A target that throws ends the dispatch thread; the delivery is ended
  // first, or the line would look busy for good: a close would leave the
  // release to a thread that is gone, and reads outside a handler would only
  // peek, so a caller draining the ring would never see it empty.
  try {
    callAll();
  } catch (...) {
    finish();
    throw;
  }
  return finish();
}

}  // namespace ser
