#include "gui/report_queue.h"

#include <algorithm>

void ReportQueue::Add(const std::string& text) {
  auto same = std::find_if(waiting_.begin(), waiting_.end(),
                           [&](const Waiting& report) { return report.Text == text; });
  if (same != waiting_.end()) {
    ++same->Times;
  } else {
    waiting_.push_back({text, 1});
  }
}

std::optional<std::string> ReportQueue::Next() {
  if (waiting_.empty()) return std::nullopt;
  Waiting next = std::move(waiting_.front());
  waiting_.pop_front();
  if (next.Times == 1) return next.Text;
  return next.Text + "\n\nThis was reported " + std::to_string(next.Times) +
         " times while the previous message was shown.";
}
