#include "serial/trace_render.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace ser {

TraceRenderer::TraceRenderer(TextFileWriter& out, bool hex, bool allHex)
    : out_(out), forms_(hex, allHex) {}

// The heading of a block of `kind`, after an empty line unless it is the
// first: at most kMostPerHeading characters at `at`; returns the end.
char* TraceRenderer::Heading(char kind, bool first, char* at) {
  auto put = [&at](std::string_view text) {
    std::memcpy(at, text.data(), text.size());
    at += text.size();
  };
  if (!first) put("\r\n\r\n");
  if (kind == 'R') {
    put("Receive: ");
  } else if (kind == 'T') {
    put("Transmit: ");
  } else {
    put("Special-");
    *at++ = kind;
    put(": ");
  }
  put("\r\n");
  return at;
}

// The entries' forms go straight into the writer's buffer through a local
// pointer, a few thousand at a time: a full trace has millions of them. The
// state lives in locals meanwhile, which the stores through the pointer
// cannot be taken to change.
void TraceRenderer::Add(const BYTE* entries, DWORD count) {
  constexpr std::size_t kMostPerEntry = kMostPerHeading + 2 + ByteForms::kCopyWidth;
  const BYTE* const end = entries + 2 * std::size_t{count};
  bool first = first_;
  char kind = kind_;
  int column = column_;
  while (entries != end) {
    const std::size_t run = std::min<std::size_t>((end - entries) / 2, kEntriesInPlace);
    const BYTE* const runEnd = entries + 2 * run;
    char* const start = out_.Room(run * kMostPerEntry);
    char* at = start;
    for (; entries != runEnd; entries += 2) {
      if (static_cast<char>(entries[0]) != kind || first) {
        kind = static_cast<char>(entries[0]);
        at = Heading(kind, first, at);
        first = false;
        column = 0;
      }
      const int width = forms_.Width(entries[1]);
      column += width;
      if (column > kTraceLineWidth) {
        *at++ = '\r';
        *at++ = '\n';
        column = width;
      }
      forms_.CopyTo(entries[1], at);
      at += width;
    }
    out_.Advance(static_cast<std::size_t>(at - start));
  }
  first_ = first;
  kind_ = kind;
  column_ = column;
}

}  // namespace ser
