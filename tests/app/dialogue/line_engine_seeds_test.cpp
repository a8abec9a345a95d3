// The dialogue gets through every seed of its fuzzer and every finding kept
// from it with the fuzzer's checks holding; here under the sanitizers of
// whichever build runs the tests.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/dialogue/blocking_wait.h"
#include "app/dialogue/dialogue.h"
#include "line_engine/run.h"

namespace {

std::string ReadAll(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(LineEngineSeeds, HoldEveryInvariant) {
  SetBlockingWait([](DWORD) {});
  int scripts = 0;
  for (const char* folder : {LINE_ENGINE_SEEDS, LINE_ENGINE_FINDINGS}) {
    if (!std::filesystem::exists(folder)) continue;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      SCOPED_TRACE(entry.path().string());
      const fuzz::Script script = fuzz::ReadScript(ReadAll(entry.path()));
      fuzz::Bench bench(script.PortChosen);
      Dialogue dialogue(bench.Port, bench.View);
      fuzz::Run(script, dialogue, bench);
      EXPECT_EQ(bench.Checker.Violations(), std::vector<std::string>{});
      ++scripts;
    }
  }
  EXPECT_GT(scripts, 0);
}

}  // namespace
