#include "serial/thread_class.h"

#include <exception>
#include <stdexcept>

#include "platform/threads.h"
#include "serial/thread_error_report.h"
#include "serial/win32_dispatcher.h"

namespace ser {

TSerDispatcherThread::~TSerDispatcherThread() {
  if (threadHandle_ != nullptr) CloseHandle(threadHandle_);
}

void TSerDispatcherThread::Start() {
  // The body keeps the object alive until it returns.
  std::shared_ptr<TSerDispatcherThread> self = shared_from_this();
  threadHandle_ = CreateThread([self] { self->Run(); }, nullptr);
  if (threadHandle_ == nullptr) throw std::runtime_error("Cannot create a dispatcher thread");
}

void TSerDispatcherThread::Run() {
  // An exception must not end the process: report it and end normally.
  try {
    Execute();
  } catch (const std::exception& e) {
    ReportThreadError(e.what());
  } catch (...) {
    ReportThreadError("Unknown exception");
  }
  Dispatcher.ThreadEnd(*this);
}

void TComThread::Execute() {
  Dispatcher.RunEventThread();
}

void TDispThread::Execute() {
  Dispatcher.RunDispatchThread();
}

void TOutThread::Execute() {
  Dispatcher.RunOutputThread();
}

}  // namespace ser
