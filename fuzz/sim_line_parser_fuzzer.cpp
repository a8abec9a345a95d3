// Feeds the simulator's command-line parser arbitrary bytes, entering a
// message text after every line that writes one, as the device does, and
// checks that nothing is lost or invented: the raw bytes of the completed
// pieces are exactly the input so far, and contents stay within bounds.
#include <cstdint>
#include <string>

#include "command_line_parser.h"
#include "fuzz_support.h"

namespace {

using fuzz::Require;
using Parser = kestrix::CommandLineParser;

bool WritesMessage(const std::string& line) {
  for (std::size_t i = 0; i + 4 <= line.size(); ++i) {
    std::string word = line.substr(i, 4);
    for (char& c : word) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    if (word == "CMGW") return true;
  }
  return false;
}

void CheckContent(const Parser::Completed& done) {
  Require(done.content.size() <= Parser::kMaxLength, "content within the length limit");
  Require(!done.overflow || done.content.size() == Parser::kMaxLength,
          "an overflow keeps the content up to the limit");
  switch (done.kind) {
    case Parser::Kind::kLine:
      for (char c : done.content) {
        Require(static_cast<unsigned char>(c) >= 0x20, "no control bytes on a command line");
      }
      return;
    case Parser::Kind::kText:
    case Parser::Kind::kCancelled:
      Require(done.content.find_first_of(std::string("\r\x1A\x1B\0", 4)) == std::string::npos,
              "no CR, NUL or terminator inside a text");
      return;
    case Parser::Kind::kTextBreak:
    case Parser::Kind::kLineFeed:
      Require(done.content.empty(), "breaks and line feeds carry no content");
      return;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Parser parser;
  std::string completedRaw;
  bool rawCapped = false;
  for (std::size_t i = 0; i < size; ++i) {
    auto done = parser.Feed(static_cast<char>(data[i]));
    if (!done) continue;
    CheckContent(*done);
    if (done->kind == Parser::Kind::kTextBreak) {
      Require(parser.InText(), "a text goes on after a line break");
      continue;
    }
    // The LF after a line belongs to it: a text begun by that line goes on.
    if (done->kind != Parser::Kind::kLineFeed) {
      Require(!parser.InText(), "a completed piece ends the text");
    }
    completedRaw += done->raw;
    rawCapped = rawCapped || done->raw.size() >= 2 * Parser::kMaxLength;
    if (!rawCapped) {
      Require(completedRaw == std::string(reinterpret_cast<const char*>(data), i + 1),
              "completed pieces hold every input byte, once, in order");
    }
    if (done->kind == Parser::Kind::kLine && WritesMessage(done->content)) parser.ExpectText();
  }
  return 0;
}
