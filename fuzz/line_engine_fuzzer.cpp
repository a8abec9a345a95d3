// Drives the device dialogue with a script of device bytes, in arrivals of
// any size, and of a modem's answers to what the dialogue writes (in turn,
// lost, late, refused, after unsolicited lines, restarted) between the
// user's clicks, ticks and typing (line_engine/script.h), against a window
// and port that record what it does. Beyond crashes, leaks and undefined
// behaviour, what whatever the device sends must not break
// (line_engine/invariants.h): only the dialogue's own commands are written,
// and none while a final result is awaited or inside a message text; a
// refused or unanswered exchange is reported; no listed SMS text reaches the
// phonebook; the step counters stay in range; nothing is written without a
// port; and once the modem answers everything, every exchange ends and the
// buttons work again (line_engine/run.h).
#include <cstdint>
#include <cstdio>

#include "app/dialogue/blocking_wait.h"
#include "app/dialogue/dialogue.h"
#include "fuzz_support.h"
#include "line_engine/run.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The dialogue's pauses before a follow-up command cost nothing here.
  SetBlockingWait([](DWORD) {});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fuzz::Script script =
      fuzz::ReadScript(std::string_view(reinterpret_cast<const char*>(data), size));
  fuzz::Bench bench(script.PortChosen);
  Dialogue dialogue(bench.Port, bench.View);
  fuzz::Run(script, dialogue, bench);
  for (const std::string& violation : bench.Checker.Violations())
    std::fprintf(stderr, "%s\n", violation.c_str());
  fuzz::Require(bench.Checker.Violations().empty(), "the dialogue's invariants hold");
  return 0;
}
