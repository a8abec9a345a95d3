#include "command_line_parser.h"

namespace kestrix {

namespace {

constexpr char kNul = 0x00;
constexpr char kBackspace = 0x08;
constexpr char kLineFeed = 0x0A;
constexpr char kCarriageReturn = 0x0D;
constexpr char kCtrlZ = 0x1A;
constexpr char kEscape = 0x1B;

}  // namespace

void CommandLineParser::ExpectText() {
  text_ = true;
  content_.clear();
  raw_.clear();
  overflow_ = false;
}

void CommandLineParser::Append(char byte) {
  if (content_.size() < kMaxLength) {
    content_ += byte;
  } else {
    overflow_ = true;
  }
}

std::optional<CommandLineParser::Completed> CommandLineParser::Finish(Kind kind) {
  Completed done{kind, content_, raw_, overflow_};
  content_.clear();
  raw_.clear();
  overflow_ = false;
  text_ = false;
  justCompleted_ = true;
  return done;
}

std::optional<CommandLineParser::Completed> CommandLineParser::Feed(char byte) {
  bool afterEnd = justCompleted_;
  justCompleted_ = false;
  if (byte == kLineFeed && afterEnd) return Completed{Kind::kLineFeed, {}, {byte}, false};
  if (raw_.size() < 2 * kMaxLength) raw_ += byte;
  switch (byte) {
    // Some clients pad commands with NULs; they are neither text nor an edit.
    case kNul:
    case kLineFeed:
      return std::nullopt;
    case kBackspace:
      if (!content_.empty()) content_.pop_back();
      return std::nullopt;
    case kCarriageReturn:
      if (!text_) return Finish(Kind::kLine);
      // A line break inside a message is kept; the text continues.
      Append('\n');
      return Completed{Kind::kTextBreak, {}, {}, false};
    case kCtrlZ:
      if (text_) return Finish(Kind::kText);
      return std::nullopt;
    case kEscape:
      if (text_) return Finish(Kind::kCancelled);
      return std::nullopt;
    default:
      // Other control characters mean nothing on a command line.
      if (text_ || static_cast<unsigned char>(byte) >= 0x20) Append(byte);
      return std::nullopt;
  }
}

}  // namespace kestrix
