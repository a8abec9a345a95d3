// Drives the device dialogue with a script of device bytes, in arrivals of
// any size, between the user's clicks, ticks and typing (line_engine/
// script.h), against a window and port that record what it does. Beyond
// crashes, leaks and undefined behaviour, what whatever the device sends
// must not break (line_engine/invariants.h): only the dialogue's own
// commands are written, no listed SMS text reaches the phonebook, the step
// counters stay in range, nothing is written without a port.
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
