// Drives the trace with a sequence of operations taken from the input and
// checks it against a model of the entries it must still hold: the
// recorder's state after every step, and every dump's text (one heading per
// change of direction, the newest entries in order, lines wrapped at 78).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "platform/sync.h"
#include "serial/byte_form.h"
#include "serial/result_codes.h"
#include "serial/trace.h"

namespace {

using fuzz::Require;

constexpr std::size_t kWrapColumn = 78;

struct Item {
  char kind;
  BYTE value;
};

// What the trace must hold: the newest `capacity` entries.
struct TraceModel {
  bool exists = false;
  bool on = false;
  DWORD capacity = 0;
  std::deque<Item> items;

  void Record(Item item) {
    if (!exists || capacity == 0) return;
    if (items.size() == capacity) items.pop_front();
    items.push_back(item);
  }
  void Drop() { *this = TraceModel{}; }
};

std::string Heading(char kind) {
  if (kind == 'R') return "Receive: ";
  if (kind == 'T') return "Transmit: ";
  return std::string("Special-") + kind + ": ";
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  for (;;) {
    std::size_t end = text.find("\r\n", at);
    lines.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
    if (end == std::string::npos) return lines;
    at = end + 2;
  }
}

// Walks the lines of one block of same-direction entries: each line holds
// whole items, at most 78 columns, and breaks only where the next item
// would not fit.
void CheckBlock(const std::vector<std::string>& lines, std::size_t& line,
                const std::vector<std::string>& forms) {
  std::size_t next = 0;
  while (next < forms.size()) {
    Require(line < lines.size(), "the block's bytes are all written");
    const std::string& text = lines[line++];
    Require(text.size() <= kWrapColumn, "no line longer than the wrap column");
    std::size_t at = 0;
    while (next < forms.size() && text.compare(at, forms[next].size(), forms[next]) == 0) {
      at += forms[next++].size();
    }
    Require(at == text.size() && at > 0, "a line holds whole byte forms, in order");
    if (next < forms.size()) {
      Require(text.size() + forms[next].size() > kWrapColumn, "a line breaks only when full");
    }
  }
}

void CheckDump(const std::string& text, const std::deque<Item>& items, bool hex, bool allHex) {
  Require(!text.ends_with("\r\n"), "the last line is left open");
  std::vector<std::string> lines = SplitLines(text);
  std::size_t line = 0;
  std::size_t i = 0;
  while (i < items.size()) {
    char kind = items[i].kind;
    if (i > 0) {
      Require(line < lines.size() && lines[line].empty(), "an empty line before a heading");
      ++line;
    }
    Require(line < lines.size() && lines[line] == Heading(kind), "a heading per direction");
    ++line;
    std::vector<std::string> forms;
    for (; i < items.size() && items[i].kind == kind; ++i) {
      char form[ser::kMaxByteFormWidth];
      int width = ser::FormatByte(items[i].value, hex, allHex, form);
      forms.emplace_back(form, static_cast<std::size_t>(width));
    }
    CheckBlock(lines, line, forms);
  }
  Require(line == lines.size(), "nothing after the newest entry");
}

// Kinds are direction letters; the dispatcher only uses 'R' and 'T'.
char Kind(FuzzedDataProvider& input) {
  switch (input.ConsumeIntegralInRange(0, 7)) {
    case 0:
      return static_cast<char>(input.ConsumeIntegralInRange(0x21, 0x7E));
    case 1:
    case 2:
    case 3:
      return 'T';
    default:
      return 'R';
  }
}

DWORD TraceSize(FuzzedDataProvider& input) {
  switch (input.ConsumeIntegralInRange(0, 7)) {
    case 0:
      return ser::kMaxTraceEntries + input.ConsumeIntegralInRange<DWORD>(1, 1000);  // refused
    case 1:
      return input.ConsumeIntegralInRange<DWORD>(0, 4);
    case 2:
      return input.ConsumeIntegralInRange<DWORD>(0, 4000);
    default:
      return input.ConsumeIntegralInRange<DWORD>(0, 200);
  }
}

class TraceRun {
 public:
  explicit TraceRun(const fuzz::ScratchFolder& folder)
      : trace_(lock_), file_(folder.File("SERIAL.TRC")), missing_(folder.File("no/x.trc")) {
    InitializeCriticalSection(&lock_);
    std::error_code ignored;
    std::filesystem::remove(file_, ignored);
  }
  ~TraceRun() { DeleteCriticalSection(&lock_); }
  TraceRun(const TraceRun&) = delete;
  TraceRun& operator=(const TraceRun&) = delete;

  void Step(FuzzedDataProvider& input) {
    switch (input.ConsumeIntegralInRange(0, 9)) {
      case 0:
        Open(TraceSize(input));
        break;
      case 1:
      case 2:
      case 3: {
        // A burst of bytes in one direction, as a device read brings them.
        char kind = Kind(input);
        std::string bytes = input.ConsumeBytesAsString(input.ConsumeIntegralInRange(1, 200));
        for (char byte : bytes) {
          trace_.RecordTrace(kind, static_cast<BYTE>(byte));
          model_.Record({kind, static_cast<BYTE>(byte)});
        }
        break;
      }
      case 4:
        Require(trace_.ResetTrace() == ser::ecOK, "a reset succeeds");
        model_.items.clear();
        break;
      case 5:
        trace_.PauseTrace();
        model_.on = false;
        break;
      case 6:
        trace_.ResumeTrace();
        model_.on = model_.exists;
        break;
      case 7:
        trace_.DropTrace();
        model_.Drop();
        break;
      default:
        Write(input);
        break;
    }
    Require(trace_.HasStore() == model_.exists, "the store exists as the model says");
    Require(trace_.TraceOn() == model_.on, "the trace records as the model says");
  }

 private:
  void Open(DWORD entries) {
    int result = trace_.OpenTrace(entries);
    if (!model_.exists && entries > ser::kMaxTraceEntries) {
      Require(result == ser::ecBadArgument, "an oversized trace is refused");
      return;
    }
    Require(result == ser::ecOK, "opening a trace succeeds");
    if (!model_.exists) {
      model_.exists = true;
      model_.capacity = entries;
    }
    model_.items.clear();
    model_.on = true;
  }

  void Write(FuzzedDataProvider& input) {
    bool append = input.ConsumeBool();
    bool hex = input.ConsumeBool();
    bool allHex = input.ConsumeBool();
    bool unwritable = input.ConsumeIntegralInRange(0, 7) == 0;
    std::string before = fuzz::ReadAll(file_);
    bool existed = std::filesystem::exists(file_);
    int result = trace_.WriteTraceFile(unwritable ? missing_ : file_, append, hex, allHex);
    std::deque<Item> items = std::move(model_.items);
    model_.Drop();
    if (items.empty()) {
      Require(result == ser::ecOK, "an absent or empty trace writes nothing and succeeds");
      Require(std::filesystem::exists(file_) == existed && fuzz::ReadAll(file_) == before,
              "an absent or empty trace leaves the file alone");
      return;
    }
    if (unwritable) {
      Require(result < 0, "a file that cannot be opened is an error");
      return;
    }
    Require(result == ser::ecOK, "a dump to a writable file succeeds");
    std::string after = fuzz::ReadAll(file_);
    if (append) {
      Require(after.starts_with(before), "appending keeps the file's old content");
      after.erase(0, before.size());
    }
    CheckDump(after, items, hex, allHex);
  }

  CRITICAL_SECTION lock_;
  ser::TSerTrace trace_;
  std::string file_;
  std::string missing_;
  TraceModel model_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const fuzz::ScratchFolder folder;
  FuzzedDataProvider input(data, size);
  TraceRun run(folder);
  while (input.remaining_bytes() > 0) run.Step(input);
  return 0;
}
