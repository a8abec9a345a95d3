// The dispatcher: owns one open serial device, its input and output rings,
// the three worker threads, the notification targets and the triggers, and
// the trace and dispatch log. Device access goes through the virtual
// operations, which TSerWin32Dispatcher implements over the platform layer.
//
// Locks, taken in this order when nested: InputLock, OutputLock,
// DispatcherLock. No lock is held while a notification is sent, and no thread
// waits for another thread's end while it holds DispatcherLock.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <span>
#include <string>
#include <vector>

#include "platform/device_presence.h"
#include "platform/messages.h"
#include "platform/serial.h"
#include "platform/sync.h"
#include "serial/dispatch_log.h"
#include "serial/trace.h"
#include "serial/triggers.h"

class TSerCustomComPort;  // the port component, which owns the dispatcher

namespace ser {

class TSerDispatcherThread;

// Notification messages; lParam carries Handle in its high 16 bits.
constexpr UINT kMsgAvail = 0x7E01;
constexpr UINT kMsgDataMatch = 0x7E02;
constexpr UINT kMsgTimer = 0x7E03;
constexpr UINT kMsgStatus = 0x7E04;
// The device went away (wParam: its DevicePresence); told once to every
// target whatever its handlers, also to one added later, since the port must
// close and look for it. Windows have it posted: a send that times out while
// the window is busy would lose it.
constexpr UINT kMsgDeviceGone = 0x7E05;
// Posted by the port to its own window to finish a close deferred by a delivery.
constexpr UINT kMsgDeferredClose = 0x7E0A;

constexpr DWORD kInRingSize = 8192;
constexpr UINT kDeliveryTimeout = 3000;  // ms a window target may take

// OpenLine's line flags.
constexpr BYTE lfDtrOn = 0x01, lfRtsOn = 0x02, lfDtrAuto = 0x10, lfRtsAuto = 0x20;
// LineErrors bits.
constexpr DWORD leRxOver = 0x01, leOverrun = 0x02, leParity = 0x04, leFrame = 0x08, leBreak = 0x10;
// SetHardwareFlow and SetSoftwareFlow options.
constexpr DWORD hfUseDTR = 0x01, hfUseRTS = 0x02, hfRequireDSR = 0x04, hfRequireCTS = 0x08;
constexpr DWORD sfTransmit = 0x01, sfReceive = 0x02;

// Last result of ReadDeviceStatus.
struct TSerDeviceStatus {
  DWORD Errors = 0;
  DWORD InCount = 0;   // bytes the driver holds
  DWORD OutCount = 0;  // bytes waiting in the output ring
};

// Notification targets. Procedure and event targets are called on the
// dispatch thread; window targets get the message on their owner's thread.
using TSerNotifyProc = void (*)(UINT message, WPARAM wParam, LPARAM lParam);
using TSerNotifyEvent = void (*)(void* context, UINT message, WPARAM wParam, LPARAM lParam);

// ToldGone: the target has had this opening's kMsgDeviceGone.
struct TWindowTarget {
  HWND Window = nullptr;
  bool Removed = false;
  bool ToldGone = false;
};
struct TProcTarget {
  TSerNotifyProc Proc = nullptr;
  bool Removed = false;
  bool ToldGone = false;
};
struct TEventTarget {
  TSerNotifyEvent Callback = nullptr;
  void* Context = nullptr;
  bool Removed = false;
  bool ToldGone = false;
};

class TSerBaseDispatcher {
 public:
  explicit TSerBaseDispatcher(TSerCustomComPort* owner);
  virtual ~TSerBaseDispatcher();
  TSerBaseDispatcher(const TSerBaseDispatcher&) = delete;
  TSerBaseDispatcher& operator=(const TSerBaseDispatcher&) = delete;

  // Device access, in slot order.
  virtual int DeviceEscape(DWORD code) = 0;
  virtual int PurgeDevice(int which) = 0;  // 0 output, 1 input
  virtual DWORD ReadDeviceStatus(TSerDeviceStatus& status) = 0;
  virtual void NoteReadFailure(int code) = 0;
  virtual int ReadDeviceSettings(DCB& settings) = 0;
  virtual int ReadDevice(void* buffer, DWORD size) = 0;
  virtual int WriteDeviceSettings(const DCB& settings) = 0;
  virtual int QueueOutput(const void* data, DWORD count) = 0;
  virtual bool WaitDeviceEvent(DWORD& mask, OVERLAPPED& overlapped) = 0;
  virtual bool SizeDeviceQueues(DWORD inSize, DWORD outSize) = 0;
  virtual void ReleaseLine();
  virtual void StartThreads() = 0;
  virtual void StopThreads() = 0;
  // Sets DeviceHandle; 0, -1 when the device cannot be opened (last error
  // set), -8 when the read event cannot be created.
  virtual int OpenDevice(const std::string& name, DWORD inSize, DWORD outSize) = 0;
  virtual int CloseDevice() = 0;
  virtual int YieldSlice() = 0;
  virtual void ApplyThreadBoost(BYTE boost);
  virtual void SetHandlerMode(int mode);
  virtual DevicePresence ReadDevicePresence() = 0;

  // A port's life.
  int OpenLine(const std::string& deviceName, DWORD baud, BYTE parity, BYTE dataBits, BYTE stopBits,
               WORD inQueueSize, WORD outSize, BYTE lineFlags);
  void AddWindowTarget(HWND window);
  void RemoveWindowTarget(HWND window);
  void AddProcTarget(TSerNotifyProc proc);
  void RemoveProcTarget(TSerNotifyProc proc);
  void AddEventTarget(TSerNotifyEvent callback, void* context);
  void RemoveEventTarget(TSerNotifyEvent callback, void* context);
  void SetAvailThreshold(DWORD count);
  int WriteBlock(const void* data, DWORD count);
  int ReadChar(BYTE& c);
  int PeekAt(BYTE& c, DWORD n);
  DWORD InputCount();
  DWORD OutputUsed();
  DWORD OutputFree();
  int DiscardInput();
  int DiscardOutput();
  void CloseLine();

  // Line settings, flow control, line state.
  int SetDriverQueues(DWORD inQueueSize, DWORD outSize);
  int SetLineParams(DWORD baud, BYTE parity, BYTE dataBits, BYTE stopBits);
  void GetLineParams(DWORD& baud, BYTE& parity, BYTE& dataBits, BYTE& stopBits);
  int SetDtrState(bool on);
  int SetRtsState(bool on);
  int SetHardwareFlow(DWORD bufferFull, DWORD bufferResume, DWORD options);
  int SetSoftwareFlow(DWORD bufferFull, DWORD bufferResume, DWORD options);
  int ClearSoftwareFlow();
  int SetFlowChars(char xonChar, char xoffChar);
  void GetFlowSettings(DWORD& hardwareOptions, DWORD& softwareOptions, char& xonChar,
                       char& xoffChar);
  int LineErrorState();
  bool LineBreakState();
  BYTE ReadModemStatus(BYTE mask);
  void SetOptionFlags(DWORD bits);
  void ClearOptionFlags(DWORD bits);
  void ApplyRS485Mode(bool on);

  // Triggers. The Add operations return the new trigger's handle, or
  // ecBadArgument for a pattern that is empty or too long.
  int AddTimerTrigger(DWORD ticks);
  int AddDataTrigger(const std::string& pattern, bool ignoreCase);
  int AddStatusTrigger(TStatusKind kind, WORD value);
  void SaveTriggers(TTriggerSave& save);
  void RestoreTriggers(const TTriggerSave& save);

  // Trace and dispatch log.
  int OpenTrace(DWORD entries);
  int WriteTraceFile(const std::string& fileName, bool append, bool hex, bool allHex);
  int ResetTrace();
  void DropTrace();
  void ResumeTrace();
  void PauseTrace();
  void OpenLog(DWORD bytes);
  int WriteLogFile(const std::string& fileName, bool append, bool hex, bool allHex);
  void ResetLog();
  void DropLog();
  void ResumeLog();
  void PauseLog();

  // ---- State. Tests and the port read it; only the dispatcher writes it.

  TSerCustomComPort* Owner;
  const int Handle;        // slot in the dispatcher table
  std::string DeviceName;  // "COMn", set by the port right after construction

  CRITICAL_SECTION DispatcherLock;
  CRITICAL_SECTION OutputLock;
  CRITICAL_SECTION InputLock;

  std::atomic<HANDLE> DeviceHandle{INVALID_HANDLE_VALUE};
  // Shared by every device call, exclusive while the handle is closed: a
  // thread never calls the platform with a handle that is being closed.
  std::shared_mutex DeviceLock;
  std::atomic<DWORD> LineErrors{0};
  DWORD InQueueSize = 0;
  DWORD OutSize = 0;

  // Under DispatcherLock.
  DWORD ModemStatus = 0;
  DCB DeviceSettings{};
  DWORD AppliedBaud = 0;
  DWORD OptionFlags = 0;
  bool DtrOn = false, DtrAuto = false, RtsOn = false, RtsAuto = false;
  bool RS485On = false;
  bool PortHasHandlers = false;
  std::atomic<bool> TargetsNeeded{false};
  std::vector<TWindowTarget> WindowTargets;
  std::vector<TProcTarget> ProcTargets;
  std::vector<TEventTarget> EventTargets;
  std::vector<TTimerTrigger> TimerTriggerList;
  std::vector<TDataTrigger> MatchTriggerList;
  std::vector<TStatusTrigger> StatusTriggerList;
  DWORD AvailThreshold = 0;
  DWORD NextTriggerHandle = 1;
  BYTE ThreadBoost = 0;
  bool TargetsChanged = false;
  TSerTrace Trace;
  TSerDispatchLog Log;

  // The dispatch thread's own.
  DWORD ScanPos = 0;
  DWORD AvailNotifiedPos = 0;
  // Bytes read since the last avail (up to a ring's worth): a ring that
  // filled up exactly since then has InHead back at AvailNotifiedPos.
  DWORD ReadSinceAvail = 0;
  bool StatusHit = false;
  DWORD PresenceLookedAt = 0;  // millisecond clock

  // Under OutputLock.
  TSerDeviceStatus DeviceStatus;
  std::vector<BYTE> OutBuf;
  DWORD OutHead = 0, OutTail = 0;
  bool OutFull = false;

  // Under InputLock. InBuf is the input ring while the line is open, empty
  // once it is released. Its storage lives as long as the dispatcher: a
  // lock-free read that lost a race with a close may still look at it, and
  // it is written only byte by byte atomically for the same reason.
  const std::unique_ptr<BYTE[]> InRing = std::make_unique<BYTE[]>(kInRingSize);
  std::span<BYTE> InBuf;
  DWORD InHead = 0, InTail = 0;
  bool InFull = false;
  bool InsideAvail = false;
  DWORD AvailReadMax = 0;

  // The unread bytes an avail or data-match notification offers to
  // ReadChar, so a handler takes them without the lock: the offer word holds
  // how many the current target read (low 14 bits), a generation (49 bits)
  // and an open flag (top bit). The dispatcher changes it under InputLock;
  // readers only count up, by compare-and-swap. OfferTail and OfferLimit, the
  // first offered position and how many bytes are offered, change only while
  // the word is withdrawn, and no offered byte is written while it is open.
  // Each offered byte is taken once per target: every target after the
  // first is offered the same bytes again, so with two targets a thread that
  // is not one of them may take a byte twice (the port has one target).
  std::atomic<std::uint64_t> Offer{0};
  std::atomic<DWORD> OfferTail{0}, OfferLimit{0};
  // Test hooks, null in the program: OfferOpened runs on the dispatch thread
  // once a notification's offer is open and before its first target is
  // called; OfferReadPause in a lock-free read just before it reads its byte.
  std::atomic<void (*)()> OfferOpened{nullptr}, OfferReadPause{nullptr};

  // Read by other threads without a lock.
  std::atomic<bool> Delivering{false};
  std::atomic<bool> Closing{false};
  std::atomic<bool> StopRequested{false};
  std::atomic<bool> ThreadsRunning{false};
  std::atomic<bool> ReleaseOnExit{false};
  std::atomic<bool> RingLatched{false};
  std::atomic<bool> OutputSent{false};
  std::atomic<DWORD> EventMask{0};
  // Set when the device is found gone, before the targets are told; present
  // again at the next open.
  std::atomic<DevicePresence> Gone{DevicePresence::kPresent};
  std::atomic<LONG> ThreadCount{0};
  DWORD ClockBase = 0;

  // Events; nullptr while not created. Closed only when no thread waits on
  // them; EventLock keeps a signal from meeting the close.
  std::atomic<HANDLE> ComEvent{nullptr}, ReadyEvent{nullptr}, GeneralEvent{nullptr},
      OutputEvent{nullptr}, SentEvent{nullptr}, OutFlushEvent{nullptr};
  std::mutex EventLock;

  // Thread references, under ThreadRefLock (its own small lock, so a thread
  // can clear its reference while another thread waits under DispatcherLock).
  std::mutex ThreadRefLock;
  std::shared_ptr<TSerDispatcherThread> ComThreadRef, DispThreadRef, OutThreadRef;

 protected:
  friend class TSerDispatcherThread;
  friend class TDispThread;

  // The dispatch thread's loop, its passes and the checks they run.
  void RunDispatchThread();
  void EventPass();
  void IdlePass();
  // Looks whether the device is still there after a hang-up the waits
  // reported and about once a second (a removed node gives no event); once
  // it is not, tells each target not told yet, at every pass until the close.
  void WatchPresence(bool errorEvent);
  bool GoneUntold();  // whether a target has not been told yet
  void ReadIntoRing();
  bool ScanInput();
  bool StatusCheck();
  bool TimerCheck();
  bool RunStatusChecks();
  void ClearStatusHits();
  bool DeliverNotification(UINT message, WPARAM wParam, WORD lowWord);
  // Refreshes the change bits of ModemStatus (from the levels and from the
  // modem events of the pass); adds the driver's line errors
  // to LineErrors (every status read does, so none is lost) and refreshes
  // DeviceStatus.
  void RefreshModemChanges(DWORD eventMask);
  void RefreshLineErrors();
  // Writes DeviceSettings to the device with the DTR/RTS rules. The caller
  // holds DispatcherLock and has re-read the settings before changing them.
  int ApplySettings();
  int ReadSettingsLocked();
  DWORD UnreadCount() const;  // under InputLock
  // The n-th unread byte (1-based), under InputLock; false when there is none.
  bool PeekLocked(BYTE& c, DWORD n) const;
  // The offer of the unread bytes to ReadChar (all under InputLock):
  // opened for a notification that reads input, its count restarted for
  // each target after the first, emptied by a discard, closed at the end.
  // Restart and close return what the target read.
  void OpenOffer();
  DWORD RestartOffer();
  void EmptyOffer();
  DWORD CloseOffer();
  DWORD OfferLeft() const;  // offered bytes the current target has not read
  void PublishOffer(DWORD limit);
  std::uint64_t WithdrawOffer();
  // The next offered byte without the lock; false when the lock is needed.
  bool TakeOffered(BYTE& c);
  // The same under InputLock; false when the target has read all it is offered.
  bool TakeOfferedLocked(BYTE& c);
  void RecordLog(BYTE kind, BYTE subKind, DWORD data, DWORD extraCount = 0,
                 const void* extra = nullptr);
  void ClearTriggers();
  // Gives each running thread its priority from ThreadBoost and RS485On.
  void ApplyPriorities();

  // The thread-end step, run once by every thread as its body ends.
  void ThreadEnd(const TSerDispatcherThread& thread);
  // Waits (pumping this thread's messages) for every thread ever started to
  // have ended, then closes the events; the last step of every destruction.
  void WaitAllThreadsEnded();
  bool CreateEvents();
  void CloseEvents();
  void Signal(std::atomic<HANDLE>& event);
  void Reset(std::atomic<HANDLE>& event);
  // Whether none of the three threads is running any more.
  bool AllThreadsEnded();
  // Removes the first target of `list` that is not removed yet and `matches`:
  // while a delivery runs it is only marked (the delivery deletes it as it
  // ends), else it goes at once. Under DispatcherLock; true when one was found.
  template <class T, class Match>
  bool RemoveFirst(std::vector<T>& list, Match matches) {
    for (auto it = list.begin(); it != list.end(); ++it) {
      if (it->Removed || !matches(*it)) continue;
      if (Delivering) {
        it->Removed = true;
        TargetsChanged = true;
      } else {
        list.erase(it);
      }
      return true;
    }
    return false;
  }
  // Set while one thread runs StopThreads; another caller leaves it to that one.
  std::atomic<bool> Stopping{false};
  // Started threads not yet known to have ended; for waiting on their end.
  std::vector<std::shared_ptr<TSerDispatcherThread>> StartedThreads;
};

}  // namespace ser
