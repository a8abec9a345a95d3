#include "serial/log_render.h"

#include <algorithm>
#include <ctime>

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

// The longest fixed part of a row: a time of ten digits and its point, two
// labels of the most a message text holds, the data word, and the gaps.
constexpr std::size_t kMostFixedPart = 11 + 2 + 255 + 2 + 255 + 2 + 8 + 2;

char* PutHexWord(char* at, DWORD value) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  for (int shift = 28; shift >= 0; shift -= 4) *at++ = kHexDigits[(value >> shift) & 0x0F];
  return at;
}

// LogTimeText without a string: into `text`, which has room for 11; its length.
std::size_t FormatLogTime(DWORD milliseconds, char* text) {
  char digits[10];
  std::size_t count = 0;
  do {
    digits[count++] = static_cast<char>('0' + milliseconds % 10);
    milliseconds /= 10;
  } while (milliseconds != 0);
  while (count < 7) digits[count++] = '0';
  std::size_t length = 0;
  while (count > 0) {
    if (count == 3) text[length++] = '.';
    text[length++] = digits[--count];
  }
  return length;
}

}  // namespace

std::string LogTimeText(DWORD milliseconds) {
  char text[16];
  return std::string(text, FormatLogTime(milliseconds, text));
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
    : out_(out), forms_(hex, allHex), allHex_(allHex) {}

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

const std::string& LogRenderer::Column(std::optional<std::string>& cached, int code,
                                       std::size_t width) {
  if (!cached) {
    std::string label = code == kSubKindLabelBase ? std::string() : ErrorMessageText(code);
    if (label.size() < width) label.resize(width, ' ');
    cached = label + "  ";
  }
  return *cached;
}

void LogRenderer::Entry(const LogRecord& record, const BYTE* extra) {
  // Format "%8s  %-8s  %-12s  %08X  ": 44 characters while the time has 8
  // (it never has fewer). Put together in place: a full log has a million
  // rows and more.
  const std::string& kind = Column(kindColumns_[record.kind], kKindLabelBase + record.kind, 8);
  const std::string& subKind =
      Column(subKindColumns_[record.subKind], kSubKindLabelBase + record.subKind, 12);
  char* const start = out_.Room(kMostFixedPart);
  char* at = start;
  at += FormatLogTime(record.time, at);
  *at++ = ' ';
  *at++ = ' ';
  at = std::copy(kind.begin(), kind.end(), at);
  at = std::copy(subKind.begin(), subKind.end(), at);
  at = PutHexWord(at, record.data);
  *at++ = ' ';
  *at++ = ' ';
  out_.Advance(static_cast<std::size_t>(at - start));

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

// The extra bytes from column 45 on, continuing on 44-space lines; put
// together in place a run at a time, the state in locals meanwhile.
void LogRenderer::ExtraBytes(const LogRecord& record, const BYTE* extra) {
  constexpr DWORD kBytesInPlace = 1024;
  constexpr std::size_t kMostPerByte = 2 + kSpaces.size() + ByteForms::kCopyWidth;
  const bool plain = allHex_ && record.kind == kKindUser;
  int column = kExtraFirstColumn;
  for (DWORD done = 0; done < record.extraCount;) {
    const DWORD run = std::min(record.extraCount - done, kBytesInPlace);
    char* const start = out_.Room(run * kMostPerByte);
    char* at = start;
    for (const BYTE *byte = extra + done, *runEnd = byte + run; byte != runEnd; ++byte) {
      const int width = plain ? 1 : forms_.Width(*byte);
      column += width;
      if (column >= kExtraColumnLimit) {
        *at++ = '\r';
        *at++ = '\n';
        at = std::copy(kSpaces.begin(), kSpaces.end(), at);
        column = kExtraFirstColumn + width;
      }
      if (plain) {
        *at = static_cast<char>(*byte);
      } else {
        forms_.CopyTo(*byte, at);
      }
      at += width;
    }
    out_.Advance(static_cast<std::size_t>(at - start));
    done += run;
  }
}

}  // namespace ser
