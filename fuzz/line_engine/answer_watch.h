// What the line waits for, told only from the bytes the dialogue writes and
// the lines the device sends, never from the dialogue's own queue: the
// command whose final result is awaited and since when, whether a store's
// prompt may be open, and a refusal or a silence the user has not been told
// of. From it follow the rules it checks: nothing is written while a final
// result is awaited, except a store's text after its prompt (a time limit of
// 10 ticks from the last sign of life, 2 for ESC, ends the wait); no command
// is written while a store's prompt may be open, where it would become the
// message's text; an exchange's command refused or gone unanswered is
// reported before anything more is written (a listing refused as past the
// SIM's end: before the next exchange, unless the SIM's range is asked).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

class AnswerWatch {
 public:
  // Where the broken rules go.
  explicit AnswerWatch(std::vector<std::string>& violations) : violations_(violations) {}

  void Written(std::string_view bytes);
  // The device's line so far, after each character it grew by.
  void LineGrew(const std::string& line);
  void LineEnded(const std::string& line);
  void Ticked();
  void Reported() {
    unreported_.clear();
    listingUnreported_.clear();
  }
  // Between actions: what should have been reported by now was.
  void ActionDone();
  // At the end, or when the next exchange writes: a refused listing was
  // reported or followed by a question for the SIM's range.
  void Finished();
  // The line that ends next is the text of a listed message, not a reply.
  bool ListedTextNext() const { return listedTextNext_; }

 private:
  void Answered(const std::string& result);
  // The device will not answer what was awaited.
  void Lost(const std::string& why);
  void RequireReported(std::string_view bytes);

  std::vector<std::string>& violations_;
  // As written, without its line end.
  std::optional<std::string> awaited_;
  int limit_ = 0;
  int64_t ticks_ = 0;
  int64_t lastSign_ = 0;
  // A store was written and neither its text, ESC nor a refusal followed.
  bool storeOpen_ = false;
  bool promptSeen_ = false;
  bool listedTextNext_ = false;
  std::string unreported_;
  std::string listingUnreported_;
};

}  // namespace fuzz
