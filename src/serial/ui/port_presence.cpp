// A device that goes away and comes back: the port closes itself when the
// dispatcher finds its device gone, looks once a second (a stat, no open)
// for its COM number to stand for a device again, and then opens it with the
// settings it had.
#include <QTimer>
#include <exception>

#include "gui/application.h"
#include "gui/guarded.h"
#include "serial/exceptions.h"
#include "serial/ui/com_port.h"

namespace {

constexpr int kLookInterval = 1000;  // ms

}  // namespace

void TSerCustomComPort::DeviceGone(DevicePresence how) {
  if (OpenState != osOpen || gone_ != DevicePresence::kPresent) return;
  gone_ = how;
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
  // Closed from inside the notification, the port waits for the dispatcher's
  // threads to end; FinishDeferredClose goes on from there.
  if (OpenState == osClosed) EnterGone();
  if (closeError) std::rethrow_exception(closeError);
}

void TSerCustomComPort::EnterGone() {
  lastLook_ = LookAtComPort(comNumber_);
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

void TSerCustomComPort::LookForDevice() {
  if (gone_ == DevicePresence::kPresent || OpenState != osClosed) return;
  const PortLook look = LookAtComPort(comNumber_);
  // A busy device may be let go without its node changing; anything else is
  // tried again only once it changed, so a refusal is not repeated each second.
  const bool worthTrying = look.exists && (look != lastLook_ || lastTryBusy_);
  lastLook_ = look;
  if (!worthTrying) return;
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
