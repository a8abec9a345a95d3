// Provisioning several devices at once with morvelctl: the write of a full
// configuration, and the read that checks it, to 1, 4 and 8 simulated
// devices paced at 19,200 baud, a fresh set of empty SIMs for every run.
// Each device has its own line and dialogue on a thread of its own, so many
// devices should take what one takes: the wire is the limit, not the
// program. Prints the medians and the ratio of 8 devices to 1 (goal: at
// most 1.2). Run on purpose; not part of the test suite.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "sim_process.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kBaud = 19200;

// Every field filled: nine numbers and six messages of 40 characters.
std::string SiteFile() {
  std::string bytes;
  for (int line = 1; line <= 9; ++line) bytes += "+42190100000" + std::to_string(line) + "\r\n";
  for (int slot = 1; slot <= 6; ++slot) {
    bytes += "+43699000000" + std::to_string(slot) + "\r\n";
    bytes += "Input " + std::to_string(slot) + " on, zone 3 (night) [30 min]\r\n";
  }
  return bytes;
}

// Milliseconds of each run, by the number of devices.
std::map<int, std::vector<double>> gRuns;

void BM_ProvisionAtOnce(benchmark::State& state) {
  const int devices = static_cast<int>(state.range(0));
  kestrix::test::TempDir folder;
  folder.Write("empty.json", "{}");
  folder.Write("site.mvf", SiteFile());
  for (auto _ : state) {
    std::vector<std::unique_ptr<kestrix::test::SimProcess>> sims;
    std::vector<std::string> args = {MORVELCTL_BINARY, "write", folder.File("site.mvf"), "-q"};
    for (int i = 0; i < devices; ++i) {
      sims.push_back(std::make_unique<kestrix::test::SimProcess>(
          std::vector<std::string>{"--state", folder.File("empty.json"), "--baud",
                                   std::to_string(kBaud)},
          false));
      args.insert(args.end(), {"--port", sims.back()->DevicePath()});
    }
    const auto start = Clock::now();
    const kestrix::test::RunResult run =
        kestrix::test::RunProgram(args, {}, std::chrono::seconds(120));
    const std::chrono::duration<double> took = Clock::now() - start;
    if (run.exitCode != 0) state.SkipWithError(run.output.c_str());
    state.SetIterationTime(took.count());
    gRuns[devices].push_back(took.count() * 1000);
  }
  state.counters["devices"] = devices;
}
BENCHMARK(BM_ProvisionAtOnce)
    ->Arg(1)
    ->Arg(4)
    ->Arg(8)
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

double Median(std::vector<double> runs) {
  std::sort(runs.begin(), runs.end());
  return runs[runs.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (gRuns.count(1) == 0 || gRuns.count(8) == 0) return 0;
  const double one = Median(gRuns[1]);
  std::printf("\nWrite and check of a full configuration, medians of %zu runs:\n", gRuns[1].size());
  for (const auto& [devices, runs] : gRuns) {
    std::printf("  %d device%s at once  %8.0f ms   %5.2f x one device\n", devices,
                devices == 1 ? " " : "s", Median(runs), Median(runs) / one);
  }
  std::printf("  goal: 8 devices within 1.2 x one device\n");
  return 0;
}
