#include "line_engine/answer_watch.h"

#include <utility>

#include "line_engine/command_forms.h"

namespace fuzz {
namespace {

constexpr int kTimeLimit = 10;
constexpr int kEscapeLimit = 2;
constexpr std::string_view kEscape = "\x1b";
constexpr char kCtrlZ = 26;

}  // namespace

void AnswerWatch::Written(std::string_view bytes) {
  RequireReported(bytes);
  if (bytes.ends_with(kCtrlZ)) {
    if (!storeOpen_ || !promptSeen_) {
      violations_.push_back("a message text written without its prompt: " + Shown(bytes));
    }
    storeOpen_ = false;
    promptSeen_ = false;
    lastSign_ = ticks_;
    return;
  }
  if (storeOpen_ && bytes != kEscape) {
    violations_.push_back("command bytes inside a message text: " + Shown(bytes));
  } else if (awaited_) {
    violations_.push_back("written while a final result is awaited for " + Shown(*awaited_) + ": " +
                          Shown(bytes));
  }
  if (bytes.ends_with("\r\n")) bytes.remove_suffix(2);
  awaited_ = std::string(bytes);
  limit_ = bytes == kEscape ? kEscapeLimit : kTimeLimit;
  lastSign_ = ticks_;
  storeOpen_ = bytes.starts_with("AT+CMGW=");
  promptSeen_ = false;
  listedTextNext_ = false;
}

void AnswerWatch::LineGrew(const std::string& line) {
  // A listed message's text may begin like the prompt.
  if (line == "> " && storeOpen_ && awaited_ && !listedTextNext_) {
    promptSeen_ = true;
    lastSign_ = ticks_;
  }
}

void AnswerWatch::LineEnded(const std::string& line) {
  if (!awaited_) {
    // A restarted device has no prompt open.
    if (line == "RDY") storeOpen_ = false;
    return;
  }
  // Only the command's own lines are a sign of its life: a device that
  // keeps sending lines of its own does not hold off the time limit.
  if (std::exchange(listedTextNext_, false)) {
    lastSign_ = ticks_;
    return;
  }
  // The command's echo.
  if (line == *awaited_) {
    lastSign_ = ticks_;
    return;
  }
  if (IsInformationOf(*awaited_, line)) lastSign_ = ticks_;
  if (IsFinalResult(line)) {
    Answered(line);
  } else if (awaited_->starts_with("AT+CMGL=") && line.starts_with("+CMGL:")) {
    listedTextNext_ = true;
  } else if (line == "RDY") {
    Lost(" was lost to a restart");
    storeOpen_ = false;
  }
}

void AnswerWatch::Answered(const std::string& result) {
  if (result != "OK" && !MeansEmpty(result) && RefusalIsReported(*awaited_)) {
    // A listing refused as past the SIM's end may ask for the SIM's range
    // first, once the session set-up a restart queued is done.
    const bool pastTheEnd =
        awaited_->starts_with("AT+CPBR=1,") && (result == "ERROR" || result == "+CME ERROR: 21");
    (pastTheEnd ? listingUnreported_ : unreported_) =
        "not reported: " + result + " to " + *awaited_;
  }
  awaited_.reset();
  storeOpen_ = false;
  promptSeen_ = false;
}

void AnswerWatch::Lost(const std::string& why) {
  if (SilenceIsReported(*awaited_)) unreported_ = "not reported: " + *awaited_ + why;
  awaited_.reset();
  promptSeen_ = false;
  listedTextNext_ = false;
}

void AnswerWatch::Ticked() {
  ++ticks_;
  if (!awaited_ || ticks_ - lastSign_ <= limit_) return;
  // The prompt of a store may still be open: only ESC or its text closes it.
  Lost(" went unanswered");
}

void AnswerWatch::RequireReported(std::string_view bytes) {
  ActionDone();
  if (bytes == "AT+CPBR=?\r\n") listingUnreported_.clear();
  if (bytes.ends_with("\r\n")) bytes.remove_suffix(2);
  if (RefusalIsReported(bytes)) Finished();
}

void AnswerWatch::ActionDone() {
  if (!unreported_.empty()) violations_.push_back(std::exchange(unreported_, {}));
}

void AnswerWatch::Finished() {
  if (!listingUnreported_.empty()) violations_.push_back(std::exchange(listingUnreported_, {}));
}

}  // namespace fuzz
