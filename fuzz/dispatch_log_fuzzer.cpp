// Drives the dispatch log with a sequence of operations taken from the input
// and checks it against a model of which entries it must still hold: the
// recorder's state after every step, and every dump's text (header, one row
// per surviving entry in order, CR LF line ends).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <string>

#include "fuzz_support.h"
#include "platform/sync.h"
#include "serial/dispatch_log.h"

namespace {

using fuzz::Require;

constexpr BYTE kUserKind = 19;
constexpr std::size_t kHeaderLines = 7;
constexpr std::size_t kContinuationIndent = 44;

DWORD gNow = 0;
DWORD FuzzClock() {
  return gNow;
}

struct Entry {
  DWORD time = 0;
  DWORD data = 0;
  BYTE kind = 0;
  std::string extra;
};

// What the log must hold: the newest entries that fit, oldest dropped whole.
struct LogModel {
  bool exists = false;
  bool on = false;
  std::uint64_t capacity = 0;
  std::uint64_t used = 0;
  std::deque<Entry> entries;

  void Open(DWORD bytes) {
    if (!exists) {
      capacity = bytes;
      exists = true;
      on = true;
    }
    Empty();
  }
  void Empty() {
    entries.clear();
    used = 0;
  }
  void Drop() { *this = LogModel{}; }
  void Record(Entry entry) {
    if (!on) return;
    std::uint64_t size = 16 + entry.extra.size();
    if (size >= capacity) return;
    while (capacity - used < size) {
      used -= 16 + entries.front().extra.size();
      entries.pop_front();
    }
    used += size;
    entries.push_back(std::move(entry));
  }
};

std::string TimeText(DWORD milliseconds) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%07u", static_cast<unsigned>(milliseconds));
  std::string text = digits;
  text.insert(text.size() - 3, 1, '.');
  return text;
}

std::string HexWord(DWORD value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(value));
  return text;
}

std::string RowStart(const Entry& entry) {
  return TimeText(entry.time) + "  ";
}

// In all-hex dumps a user entry's bytes go out as they are, line ends too.
bool RawLineEnds(const std::deque<Entry>& entries, bool allHex) {
  if (!allHex) return false;
  for (const Entry& entry : entries) {
    if (entry.kind == kUserKind && entry.extra.find_first_of("\r\n") != std::string::npos) {
      return true;
    }
  }
  return false;
}

void CheckRows(const std::string& rows, const std::deque<Entry>& entries, bool allHex) {
  if (RawLineEnds(entries, allHex)) {
    // Rows can still be found in order, each right after a line end.
    std::size_t at = 0;
    for (const Entry& entry : entries) {
      std::string start = RowStart(entry);
      std::size_t found =
          at == 0 && rows.compare(0, start.size(), start) == 0 ? 0 : rows.find("\r\n" + start, at);
      Require(found != std::string::npos, "every stored entry has its row, in order");
      at = found + 1;
    }
    return;
  }
  Require(rows.empty() || rows.ends_with("\r\n"), "the last row is ended");
  std::size_t row = 0;
  std::size_t at = 0;
  while (at < rows.size()) {
    std::size_t end = rows.find("\r\n", at);
    std::string line = rows.substr(at, end - at);
    Require(line.find_first_of("\r\n") == std::string::npos, "no line end but CR LF");
    if (line.starts_with(std::string(kContinuationIndent, ' '))) {
      Require(row > 0, "a continuation follows a row");
    } else {
      Require(row < entries.size(), "no more rows than stored entries");
      const Entry& entry = entries[row++];
      Require(line.starts_with(RowStart(entry)), "rows in order of recording, stamped");
      Require(line.find("  " + HexWord(entry.data) + "  ") != std::string::npos,
              "the row shows its data word");
    }
    at = end + 2;
  }
  Require(row == entries.size(), "every stored entry has its row");
}

void CheckDump(const std::string& before, const std::string& after, bool append, bool allHex,
               const std::deque<Entry>& entries) {
  std::string text = after;
  if (append) {
    Require(after.starts_with(before), "appending keeps the file's old content");
    text = after.substr(before.size());
  }
  std::size_t at = 0;
  for (std::size_t i = 0; i < kHeaderLines; ++i) {
    std::size_t end = text.find("\r\n", at);
    Require(end != std::string::npos, "seven header lines, each ended");
    std::string line = text.substr(at, end - at);
    Require(line.find_first_of("\r\n") == std::string::npos, "header lines end in CR LF");
    if (i == 0) Require(line == "SERIAL v4.06", "the first header line");
    if (i == 3) Require(line == "Device: COM1", "the device line");
    at = end + 2;
  }
  CheckRows(text.substr(at), entries, allHex);
}

std::string ExtraBytes(FuzzedDataProvider& input) {
  switch (input.ConsumeIntegralInRange(0, 15)) {
    case 0:
    case 1:
    case 2:
    case 3:
      return {};  // status entries carry none
    case 4:
    case 5:
    case 6:
    case 7:
    case 8:
      return input.ConsumeBytesAsString(input.ConsumeIntegralInRange(1, 16));
    case 15: {
      // Now and then an entry larger than the dump's initial scratch buffer.
      std::string pattern = input.ConsumeBytesAsString(input.ConsumeIntegralInRange(1, 16));
      if (pattern.empty()) pattern = "x";
      std::string extra;
      std::size_t size = input.ConsumeIntegralInRange<std::size_t>(8000, 12000);
      while (extra.size() < size) extra += pattern;
      return extra;
    }
    default:
      return input.ConsumeBytesAsString(input.ConsumeIntegralInRange(0, 300));
  }
}

DWORD LogSize(FuzzedDataProvider& input) {
  switch (input.ConsumeIntegralInRange(0, 3)) {
    case 0:
      return input.ConsumeIntegralInRange<DWORD>(0, 40);  // around one record
    case 1:
      return input.ConsumeIntegralInRange<DWORD>(0, 600);
    case 2:
      return input.ConsumeIntegralInRange<DWORD>(0, 4096);
    default:
      return input.ConsumeIntegralInRange<DWORD>(8000, 30000);
  }
}

class LogRun {
 public:
  explicit LogRun(const fuzz::ScratchFolder& folder)
      : log_(lock_, FuzzClock),
        file_(folder.File("SERIAL.LOG")),
        missing_(folder.File("no/x.log")) {
    InitializeCriticalSection(&lock_);
    gNow = 0;
    log_.SetClockBase(0);
    log_.SetDeviceName("COM1");
    std::error_code ignored;
    std::filesystem::remove(file_, ignored);
  }
  ~LogRun() { DeleteCriticalSection(&lock_); }
  LogRun(const LogRun&) = delete;
  LogRun& operator=(const LogRun&) = delete;

  void Step(FuzzedDataProvider& input) {
    switch (input.ConsumeIntegralInRange(0, 8)) {
      case 0: {
        DWORD bytes = LogSize(input);
        log_.OpenLog(bytes);
        model_.Open(bytes);
        break;
      }
      case 1:
      case 2:
      case 3:
        Record(input);
        break;
      case 4:
        log_.ResetLog();
        model_.Empty();
        break;
      case 5:
        log_.PauseLog();
        model_.on = false;
        break;
      case 6:
        log_.ResumeLog();
        model_.on = model_.exists;
        break;
      case 7:
        log_.DropLog();
        model_.Drop();
        break;
      default:
        Write(input);
        break;
    }
    Require(log_.HasLog() == model_.exists, "the log exists as the model says");
    Require(log_.LogOn() == model_.on, "the log records as the model says");
  }

  // The clock stays below its wrap, so stamps order the entries.
  bool ClockLeft() const { return gNow < 0xF0000000u; }

 private:
  void Record(FuzzedDataProvider& input) {
    gNow += input.ConsumeIntegralInRange<DWORD>(1, 70000);
    Entry entry;
    entry.time = gNow;
    entry.kind = input.ConsumeIntegral<BYTE>();
    BYTE subKind = input.ConsumeIntegral<BYTE>();
    entry.data = input.ConsumeIntegral<DWORD>();
    bool noPointer = input.ConsumeIntegralInRange(0, 31) == 0;
    entry.extra = ExtraBytes(input);
    // A count without bytes behind it must record no extra bytes.
    log_.RecordLogEntry(entry.kind, subKind, entry.data, static_cast<DWORD>(entry.extra.size()),
                        noPointer ? nullptr : entry.extra.data());
    if (noPointer) entry.extra.clear();
    model_.Record(std::move(entry));
  }

  void Write(FuzzedDataProvider& input) {
    bool append = input.ConsumeBool();
    bool hex = input.ConsumeBool();
    bool allHex = input.ConsumeBool();
    bool unwritable = input.ConsumeIntegralInRange(0, 7) == 0;
    std::string before = fuzz::ReadAll(file_);
    bool existed = std::filesystem::exists(file_);
    int result = log_.WriteLogFile(unwritable ? missing_ : file_, append, hex, allHex);
    bool nothing = !model_.exists || model_.entries.empty();
    if (nothing) {
      Require(result == 0, "an absent or empty log writes nothing and succeeds");
      Require(std::filesystem::exists(file_) == existed && fuzz::ReadAll(file_) == before,
              "an absent or empty log leaves the file alone");
      model_.Drop();
      return;
    }
    if (unwritable) {
      Require(result < 0, "a file that cannot be opened is an error");
      model_.on = false;  // kept, paused
      return;
    }
    Require(result == 0, "a dump to a writable file succeeds");
    CheckDump(before, fuzz::ReadAll(file_), append, allHex, model_.entries);
    model_.Drop();
  }

  CRITICAL_SECTION lock_;
  ser::TSerDispatchLog log_;
  std::string file_;
  std::string missing_;
  LogModel model_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const fuzz::ScratchFolder folder;
  FuzzedDataProvider input(data, size);
  LogRun run(folder);
  while (input.remaining_bytes() > 0 && run.ClockLeft()) run.Step(input);
  return 0;
}
