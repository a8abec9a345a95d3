#include "serial/log_render.h"

#include <ctime>

#include "serial/byte_form.h"
#include "serial/compiler_name.h"
#include "serial/error_messages.h"
#include "serial/platform_description.h"

namespace ser {

namespace {

constexpr int kKindLabelBase = 15001;
constexpr int kSubKindLabelBase = 15100;
constexpr int kHeaderTitles = 15501;
constexpr int kHeaderRule = 15502;
constexpr int kModemBitLabelBase = 15601;
constexpr int kTelnetOptionLabelBase = 15700;
constexpr DWORD kLastTelnetOption = 42;

constexpr BYTE kKindTrigAllc = 5, kKindTrigDisp = 6, kKindTelnet = 10, kKindUser = 19;
constexpr BYTE kSubKindModemStatus = 4, kSubKindStatus = 15;

constexpr const char* kStatusTriggerKinds[] = {"(Not active)",         "(Modem status)",
                                               "(Line status)",        "(Output buffer free)",
                                               "(Output buffer used)", "(Output sent)"};

constexpr std::size_t kHeaderValueWidth = 80;
constexpr int kExtraFirstColumn = 45;
constexpr int kExtraColumnLimit = 79;
// The continuation indent of a wrapped row; also the source of column padding.
constexpr std::string_view kSpaces = "                                            ";

std::string Cut(std::string text) {
  if (text.size() > kHeaderValueWidth) text.resize(kHeaderValueWidth);
  return text;
}

std::string Trimmed(const std::string& text) {
  std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string ModemStatusText(DWORD bits) {
  std::string labels;
  for (int bit = 0; bit < 8; ++bit) {
    if (bits & (1u << bit)) labels += ErrorMessageText(kModemBitLabelBase + bit);
  }
  std::string text(1, '(');
  text += Trimmed(labels);
  text += ')';
  return text;
}

void WritePadded(TextFileWriter& out, std::string_view text, std::size_t width, bool left) {
  std::size_t pad = text.size() < width ? width - text.size() : 0;
  if (!left) out.Write(std::string_view(kSpaces.data(), pad));
  out.Write(text);
  if (left) out.Write(std::string_view(kSpaces.data(), pad));
}

void WriteHexWord(TextFileWriter& out, DWORD value) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  for (int shift = 28; shift >= 0; shift -= 4) out.Put(kHexDigits[(value >> shift) & 0x0F]);
}

}  // namespace

std::string LogTimeText(DWORD milliseconds) {
  std::string text = std::to_string(milliseconds);
  if (text.size() < 7) text.insert(0, 7 - text.size(), '0');
  text.insert(text.size() - 3, 1, '.');
  return text;
}

std::string LogDateTimeNow() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%d/%m/%y, %H:%M:%S", &local);
  return text;
}

LogRenderer::LogRenderer(TextFileWriter& out, bool hex, bool allHex)
    : out_(out), hex_(hex), allHex_(allHex) {}

void LogRenderer::Header(const std::string& deviceName, const std::string& dateTime) {
  out_.Write("SERIAL v4.06");
  out_.EndLine();
  out_.Write("Compiler : ");
  out_.Write(Cut(CompilerName()));
  out_.EndLine();
  out_.Write("Operating System : ");
  out_.Write(Cut(CurrentPlatformDescription()));
  out_.EndLine();
  out_.Write("Device: ");
  out_.Write(deviceName);
  out_.EndLine();
  out_.Write("Date/time: ");
  out_.Write(Cut(dateTime));
  out_.EndLine();
  out_.Write(ErrorMessageText(kHeaderTitles));
  out_.EndLine();
  out_.Write(ErrorMessageText(kHeaderRule));
  out_.EndLine();
}

const std::string& LogRenderer::Label(std::optional<std::string>& cached, int code) {
  if (!cached) cached = ErrorMessageText(code);
  return *cached;
}

void LogRenderer::Entry(const LogRecord& record, const BYTE* extra) {
  // Format "%8s  %-8s  %-12s  %08X  ": 44 characters while the time has 8.
  WritePadded(out_, LogTimeText(record.time), 8, false);
  out_.Write("  ");
  WritePadded(out_, Label(kindLabels_[record.kind], kKindLabelBase + record.kind), 8, true);
  out_.Write("  ");
  std::string_view subKindLabel;
  if (record.subKind != 0) {
    subKindLabel = Label(subKindLabels_[record.subKind], kSubKindLabelBase + record.subKind);
  }
  WritePadded(out_, subKindLabel, 12, true);
  out_.Write("  ");
  WriteHexWord(out_, record.data);
  out_.Write("  ");

  if (record.extraCount == 0) {
    if (record.kind == kKindTelnet) {
      out_.Put('[');
      if (record.data <= kLastTelnetOption) {
        out_.Write(ErrorMessageText(kTelnetOptionLabelBase + static_cast<int>(record.data)));
      }
      out_.Put(']');
    }
  } else if (record.subKind == kSubKindStatus &&
             (record.kind == kKindTrigAllc || record.kind == kKindTrigDisp) &&
             extra[0] < std::size(kStatusTriggerKinds)) {
    out_.Write(kStatusTriggerKinds[extra[0]]);
  } else {
    ExtraBytes(record, extra);
  }
  if (record.subKind == kSubKindModemStatus) out_.Write(ModemStatusText(record.data));
  out_.EndLine();
}

// The extra bytes from column 45 on, continuing on 44-space lines.
void LogRenderer::ExtraBytes(const LogRecord& record, const BYTE* extra) {
  bool plain = allHex_ && record.kind == kKindUser;
  int column = kExtraFirstColumn;
  for (DWORD i = 0; i < record.extraCount; ++i) {
    char form[kMaxByteFormWidth];
    int width = 1;
    if (plain) {
      form[0] = static_cast<char>(extra[i]);
    } else {
      width = FormatByte(extra[i], hex_, allHex_, form);
    }
    column += width;
    if (column >= kExtraColumnLimit) {
      out_.EndLine();
      out_.Write(kSpaces);
      column = kExtraFirstColumn + width;
    }
    out_.Write(std::string_view(form, static_cast<std::size_t>(width)));
  }
}

}  // namespace ser
