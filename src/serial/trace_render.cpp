#include "serial/trace_render.h"

#include "serial/byte_form.h"

namespace ser {

namespace {

constexpr int kTraceLineWidth = 78;

}  // namespace

TraceRenderer::TraceRenderer(TextFileWriter& out, bool hex, bool allHex)
    : out_(out), hex_(hex), allHex_(allHex) {}

void TraceRenderer::Heading(char kind) {
  if (!first_) {
    out_.EndLine();
    out_.EndLine();
    column_ = 0;
  }
  first_ = false;
  kind_ = kind;
  if (kind == 'R') {
    out_.Write("Receive: ");
  } else if (kind == 'T') {
    out_.Write("Transmit: ");
  } else {
    out_.Write("Special-");
    out_.Put(kind);
    out_.Write(": ");
  }
  out_.EndLine();
}

void TraceRenderer::Add(char kind, BYTE value) {
  if (first_ || kind != kind_) Heading(kind);
  char form[kMaxByteFormWidth];
  int width = FormatByte(value, hex_, allHex_, form);
  column_ += width;
  if (column_ > kTraceLineWidth) {
    out_.EndLine();
    column_ = width;
  }
  out_.Write(std::string_view(form, static_cast<std::size_t>(width)));
}

}  // namespace ser
