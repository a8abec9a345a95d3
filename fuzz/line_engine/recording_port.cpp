#include "line_engine/recording_port.h"

#include <algorithm>
#include <limits>

namespace fuzz {
namespace {

constexpr WORD kChosenPort = 1;

}  // namespace

void RecordingPort::WriteText(const std::string& text) {
  if (comNumber_ == 0) {
    if (choiceAsked_) {
      checker_.WrittenWithoutPort(text);
    } else {
      choiceAsked_ = true;
      if (!choiceAccepted_) throw PortChoiceCancelled();
      comNumber_ = kChosenPort;
    }
  }
  written_.push_back(text);
  checker_.Written(text, view_.Held());
  if (comNumber_ != 0) modem_.Receive(text);
}

char RecordingPort::TakeChar() {
  if (offered_ == 0) {
    checker_.Violation("took a character the notification did not offer");
    return 0;
  }
  --offered_;
  const char c = unread_[taken_++];
  checker_.Taken(c);
  return c;
}

WORD RecordingPort::Arrive(const std::string& bytes) {
  unread_.erase(0, taken_);
  taken_ = 0;
  unread_ += bytes;
  offered_ = std::min<std::size_t>(unread_.size(), std::numeric_limits<WORD>::max());
  return static_cast<WORD>(offered_);
}

}  // namespace fuzz
