#include "serial/log_render.h"

#include <cstdio>
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
constexpr std::string_view kContinuation = "                                            ";

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
  return "(" + Trimmed(labels) + ")";
}

// The extra bytes from column 45 on, continuing on 44-space lines.
void WriteExtraBytes(TextFileWriter& out, const LogRecord& record, const BYTE* extra, bool hex,
                     bool allHex) {
  bool plain = allHex && record.kind == kKindUser;
  int column = kExtraFirstColumn;
  for (DWORD i = 0; i < record.extraCount; ++i) {
    char form[kMaxByteFormWidth];
    int width = 1;
    if (plain) {
      form[0] = static_cast<char>(extra[i]);
    } else {
      width = FormatByte(extra[i], hex, allHex, form);
    }
    column += width;
    if (column >= kExtraColumnLimit) {
      out.EndLine();
      out.Write(kContinuation);
      column = kExtraFirstColumn + width;
    }
    out.Write(std::string_view(form, static_cast<std::size_t>(width)));
  }
}

}  // namespace

std::string LogTimeText(DWORD milliseconds) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%07u", static_cast<unsigned>(milliseconds));
  std::string text(digits);
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

void WriteLogHeader(TextFileWriter& out, const std::string& deviceName,
                    const std::string& dateTime) {
  out.Write("SERIAL v4.06");
  out.EndLine();
  out.Write("Compiler : " + Cut(CompilerName()));
  out.EndLine();
  out.Write("Operating System : " + Cut(CurrentPlatformDescription()));
  out.EndLine();
  out.Write("Device: " + deviceName);
  out.EndLine();
  out.Write("Date/time: " + Cut(dateTime));
  out.EndLine();
  out.Write(ErrorMessageText(kHeaderTitles));
  out.EndLine();
  out.Write(ErrorMessageText(kHeaderRule));
  out.EndLine();
}

void WriteLogEntry(TextFileWriter& out, const LogRecord& record, const BYTE* extra, bool hex,
                   bool allHex) {
  std::string kindLabel = ErrorMessageText(kKindLabelBase + record.kind);
  std::string subKindLabel =
      record.subKind == 0 ? std::string() : ErrorMessageText(kSubKindLabelBase + record.subKind);
  char row[640];  // two labels of at most 255 characters and the fixed columns
  std::snprintf(row, sizeof row, "%8s  %-8s  %-12s  %08X  ", LogTimeText(record.time).c_str(),
                kindLabel.c_str(), subKindLabel.c_str(), static_cast<unsigned>(record.data));
  out.Write(row);

  if (record.extraCount == 0) {
    if (record.kind == kKindTelnet) {
      std::string option;
      if (record.data <= kLastTelnetOption) {
        option = ErrorMessageText(kTelnetOptionLabelBase + static_cast<int>(record.data));
      }
      out.Write("[" + option + "]");
    }
  } else if (record.subKind == kSubKindStatus &&
             (record.kind == kKindTrigAllc || record.kind == kKindTrigDisp) &&
             extra[0] < std::size(kStatusTriggerKinds)) {
    out.Write(kStatusTriggerKinds[extra[0]]);
  } else {
    WriteExtraBytes(out, record, extra, hex, allHex);
  }
  if (record.subKind == kSubKindModemStatus) out.Write(ModemStatusText(record.data));
  out.EndLine();
}

}  // namespace ser
