// Turns the bytes a client sends, one at a time, into command lines (ended by
// CR) and, after a prompt, into message texts (ended by Ctrl-Z, cancelled by
// Esc). Knows nothing of what the commands mean.
#pragma once

#include <optional>
#include <string>

namespace kestrix {

class CommandLineParser {
 public:
  static constexpr std::size_t kMaxLength = 4096;

  enum class Kind {
    kLine,       // a command line
    kText,       // a message text, Ctrl-Z received
    kCancelled,  // Esc received while entering a text
    kTextBreak,  // CR inside a text: the text goes on, on a new prompt
    kLineFeed,   // the LF right after a completed line, which belongs to it
  };
  struct Completed {
    Kind kind;
    std::string content;    // without line end, NULs, LFs and erased characters
    std::string raw;        // every byte received for it, exactly
    bool overflow = false;  // longer than kMaxLength; the excess was dropped
  };

  std::optional<Completed> Feed(char byte);
  // The next bytes are a message text, up to Ctrl-Z.
  void ExpectText();
  bool InText() const { return text_; }

 private:
  std::optional<Completed> Finish(Kind kind);
  void Append(char byte);

  bool text_ = false;
  bool justCompleted_ = false;
  bool overflow_ = false;
  std::string content_;
  std::string raw_;
};

}  // namespace kestrix
