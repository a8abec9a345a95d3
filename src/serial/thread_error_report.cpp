#include "serial/thread_error_report.h"

#include <cstdio>
#include <mutex>

namespace ser {

namespace {

std::mutex& ReportLock() {
  static std::mutex lock;
  return lock;
}

ThreadErrorReport& CurrentReport() {
  static ThreadErrorReport report;
  return report;
}

}  // namespace

void SetThreadErrorReport(ThreadErrorReport report) {
  std::lock_guard hold(ReportLock());
  CurrentReport() = std::move(report);
}

void ReportThreadError(const std::string& message) {
  std::lock_guard hold(ReportLock());
  if (CurrentReport()) {
    CurrentReport()(message);
  } else {
    std::fprintf(stderr, "Morvel: serial line thread ended by an error: %s\n", message.c_str());
  }
}

}  // namespace ser
