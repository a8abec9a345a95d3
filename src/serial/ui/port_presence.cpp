// A device that goes away and comes back: the port closes itself when the
// dispatcher finds its device gone, looks once a second (a stat, no open)
// for its COM number to stand for a device again, and then opens it with the
// settings it had. A close or another COM number ends the looking.
#include <QTimer>
#include <exception>

#include "gui/application.h"
#include "gui/guarded.h"
#include "platform/port_listing.h"
#include "serial/exceptions.h"
#include "serial/ui/com_port.h"

namespace {

constexpr int kLookInterval = 1000;  // ms

}  // namespace

void TSerCustomComPort::DeviceGone() {
  // A notice posted before a close may be served after the port opened
  // again, even on a dispatcher in the same slot: only what the line open
  // now found counts, once.
  if (OpenState != osOpen || gone_ != DevicePresence::kPresent || !ActiveDispatcher ||
      ActiveDispatcher->Gone == DevicePresence::kPresent) {
    return;
  }
  gone_ = ActiveDispatcher->Gone;
  goneDevice_ = LookAtOpenDevice(ActiveDispatcher->DeviceHandle);
  // Recording goes on once the device is back: this close writes what was
  // recorded so far, and later closes add to those files.
  const TTraceLogState tracing = tracing_;
  const TTraceLogState logging = logging_;
  std::exception_ptr closeError;
  try {
    ClosePort();
  } catch (...) {
    closeError = std::current_exception();
  }
  appendTrace_ = appendTrace_ || tracing == tlOn || tracing == tlPause;
  appendLog_ = appendLog_ || logging == tlOn || logging == tlPause;
  SetTracing(tracing);
  SetLogging(logging);
  // A close that met a running delivery waits for the dispatcher's threads
  // to end; FinishDeferredClose goes on from there.
  if (OpenState == osClosed) EnterGone();
  if (closeError) std::rethrow_exception(closeError);
}

void TSerCustomComPort::EnterGone() {
  triedLook_.reset();
  lastTryBusy_ = false;
  lastFailure_.clear();
  if (!returnWatch_) {
    returnWatch_ = std::make_unique<QTimer>();
    returnWatch_->setInterval(kLookInterval);
    QObject::connect(returnWatch_.get(), &QTimer::timeout, Guarded([this] { LookForDevice(); }));
  }
  returnWatch_->start();
  if (onPortGone_) onPortGone_(this);
}

void TSerCustomComPort::StopLooking() {
  gone_ = DevicePresence::kPresent;
  if (returnWatch_) returnWatch_->stop();
}

void TSerCustomComPort::LookForDevice() {
  if (gone_ == DevicePresence::kPresent || OpenState != osClosed) return;
  const PortLook look = LookAtComPort(comNumber_);
  // Whatever the COM number leads to is tried, also when it did so before
  // the port gave up (a re-pointed link is what said the device went), but
  // not a device whose line hung up, as it was: it would only hang up again.
  // After a failed try a device is tried again only once it changed, so a
  // refusal is not repeated each second, or while it is busy, as it may be
  // let go without changing. A port the port dialog would not list (no UART
  // behind it) is not a device.
  if (!look.exists || (gone_ == DevicePresence::kHungUp && look == goneDevice_)) return;
  if (triedLook_ && look == *triedLook_ && !lastTryBusy_) return;
  if (!ComPortListed(comNumber_)) return;
  triedLook_ = look;
  try {
    OpenPort();
  } catch (const std::exception& error) {
    lastTryBusy_ = dynamic_cast<const ser::EAlreadyOpen*>(&error) != nullptr;
    if (error.what() == lastFailure_) return;
    lastFailure_ = error.what();
    Application().HandleException();
    return;
  }
  if (onPortBack_) onPortBack_(this);
}
