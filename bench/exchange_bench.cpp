// Two exchanges with the SIM as a user waits for them, against the line's own
// limit computed in the same run: Load PBook of 100 entries and Save SMSs of
// six messages, the window's port on kestrix-sim paced at 19,200 baud. Each
// row shows Morvel's time beside the wire time of the bytes that crossed the
// line plus the pauses the dialogue makes on purpose; gammu reading the same
// phonebook is timed as a second baseline. Run on purpose; not part of the
// test suite. Runs on Qt's offscreen platform unless QT_QPA_PLATFORM says
// otherwise.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTimer>
#include <QTreeWidget>
#include <chrono>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "app/window/form1.h"
#include "serial/ui/port_test_support.h"
#include "sim_process.h"

namespace {

using namespace morvel::test;
using Clock = std::chrono::steady_clock;

constexpr int kBaud = 19200;
constexpr double kBitsPerByte = 10;  // start, eight data bits, stop
constexpr int kEntries = 100;
constexpr int kMessages = 6;
// Before the first store, before each store after a report, before the listing.
constexpr double kSaveSmsSleepsMs = 100 + 5 * 200 + 100;

double WireMs(int64_t bytes) {
  return static_cast<double>(bytes) * kBitsPerByte * 1000.0 / kBaud;
}

// A SIM with every one of the 100 listed locations taken: the device's tags,
// its own entry and the user's contacts; six stored messages.
std::string SimState() {
  nlohmann::json entries = nlohmann::json::array();
  for (int i = 1; i <= kEntries; ++i) {
    std::string tag = i <= 8    ? "MASTER" + std::to_string(i)
                      : i == 9  ? "SERVICE"
                      : i == 10 ? "IO"
                                : "Contact " + std::to_string(i);
    char number[16];
    std::snprintf(number, sizeof number, "+436641000%03d", i);
    entries.push_back({{"index", i}, {"number", number}, {"type", 145}, {"text", tag}});
  }
  nlohmann::json messages = nlohmann::json::array();
  for (int i = 1; i <= kMessages; ++i) {
    messages.push_back({{"index", i},
                        {"status", "STO UNSENT"},
                        {"number", "+43664000000" + std::to_string(i)},
                        {"text", "Input " + std::to_string(i) + " on, zone 3 (night) [30 min]"}});
  }
  return nlohmann::json{{"phonebook", {{"size", 250}, {"entries", entries}}},
                        {"messages", {{"size", 30}, {"entries", messages}}},
                        {"sms_centre", {{"number", "+436640501"}, {"type", 145}}}}
      .dump();
}

// Runs Qt's event loop, which serves the port's notifications, until `done`.
template <class Done>
void Serve(Done done) {
  QTimer wake;
  wake.start(10);
  const auto deadline = Clock::now() + std::chrono::seconds(60);
  while (!done()) {
    if (Clock::now() > deadline) std::abort();
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
}

// Morvel's window with its port on a simulator paced at the line's speed.
struct Bench {
  Bench() : state(Folder()), sim({"--state", state, "--baud", std::to_string(kBaud)}, false) {
    HideMachinePorts(ports);
    ports.Link(1, sim.DevicePath());
    DialogAnswer answer("COM1", DialogAnswer::kOk);
    form = std::make_unique<TForm1>();
    form->Timer1->stop();
    Serve([&] { return Ready(); });
  }
  std::string Folder() {
    folder.Write("state.json", SimState());
    return folder.File("state.json");
  }

  bool Ready() { return form->DeviceDialogue().State.DeviceReady; }
  QTextDocument* Monitor() { return form->Monitor->document(); }
  std::string LastLine() { return Monitor()->lastBlock().previous().text().toStdString(); }
  // Bytes received since the mark: each line came with its CR and LF.
  void Mark() { receivedMark = Monitor()->characterCount() + Monitor()->blockCount(); }
  int64_t ReceivedSinceMark() {
    return Monitor()->characterCount() + Monitor()->blockCount() - receivedMark;
  }

  kestrix::test::TempDir folder;
  std::string state;
  kestrix::test::SimProcess sim;
  ReportRecorder reports;
  PortFolder ports;
  std::unique_ptr<TForm1> form;
  int64_t receivedMark = 0;
};

// Made by the first benchmark that needs it, ended before the application.
std::unique_ptr<Bench> gBench;
Bench& TheBench() {
  if (!gBench) gBench = std::make_unique<Bench>();
  return *gBench;
}

// On the pty only the simulator's replies are paced; the commands arrive at
// once. So the floor here is the replies' wire time plus the pauses, and a
// real serial line adds the commands' wire time to it.
void Report(benchmark::State& state, double measuredMs, int64_t received, int64_t sent,
            double sleepsMs) {
  const double paced = WireMs(received) + sleepsMs;
  state.counters["bytes_in"] = static_cast<double>(received);
  state.counters["bytes_out"] = static_cast<double>(sent);
  state.counters["sleeps_ms"] = sleepsMs;
  state.counters["floor_ms"] = paced;
  state.counters["x_floor"] = measuredMs / paced;
  state.counters["serial_floor_ms"] = paced + WireMs(sent);
}

void BM_LoadPBook(benchmark::State& state) {
  Bench& b = TheBench();
  // The listing, then the SMS centre query its "OK" sends.
  const int64_t sent = std::string("AT+CPBR=1,100\r\nAT+CSCA?\r\n").size();
  double measuredMs = 0;
  int64_t received = 0;
  for (auto _ : state) {
    b.form->SMSCentrum->clear();
    b.Mark();
    const auto start = Clock::now();
    b.form->LoadPHONEClick(b.form->LoadPHONE);
    // Over with the centre query's own "OK"; a press before it does nothing.
    Serve([&] { return !b.form->SMSCentrum->text().isEmpty() && b.LastLine() == "OK"; });
    const std::chrono::duration<double> took = Clock::now() - start;
    state.SetIterationTime(took.count());
    measuredMs += took.count() * 1000;
    received = b.ReceivedSinceMark();
  }
  if (b.form->TreeView1->topLevelItemCount() != kEntries - 1) state.SkipWithError("not listed");
  Report(state, measuredMs / static_cast<double>(state.iterations()), received, sent, 0);
}
BENCHMARK(BM_LoadPBook)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

// The same two commands from a bare client reading the simulator's replies
// as they come: what the pacing itself takes, without Morvel.
void BM_BareClientListing(benchmark::State& state) {
  kestrix::test::SimProcess sim({"--state", TheBench().state, "--baud", std::to_string(kBaud)});
  sim.Command("ATE");
  for (auto _ : state) {
    const auto start = Clock::now();
    const std::string listing = sim.Command("AT+CPBR=1,100") + sim.Command("AT+CSCA?");
    const std::chrono::duration<double> took = Clock::now() - start;
    state.SetIterationTime(took.count());
    state.counters["bytes_in"] = static_cast<double>(listing.size());
  }
}
BENCHMARK(BM_BareClientListing)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_GammuGetAllMemory(benchmark::State& state) {
  for (auto _ : state) {
    kestrix::test::TempDir home;
    std::vector<std::string> args = {"--state", TheBench().state, "--baud", std::to_string(kBaud)};
    kestrix::test::SimProcess sim(args, false);
    home.Write("gammurc", "[gammu]\ndevice = " + sim.DevicePath() + "\nconnection = at19200\n");
    const auto start = Clock::now();
    const kestrix::test::RunResult run =
        kestrix::test::RunProgram({"gammu", "-c", home.File("gammurc"), "getallmemory", "SM"},
                                  {"HOME=" + home.Path()}, std::chrono::seconds(120));
    const std::chrono::duration<double> took = Clock::now() - start;
    state.SetIterationTime(took.count());
    if (run.exitCode != 0 || run.output.find("Location 100\n") == std::string::npos)
      state.SkipWithError(run.output.c_str());
  }
}
BENCHMARK(BM_GammuGetAllMemory)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_SaveSMSs(benchmark::State& state) {
  Bench& b = TheBench();
  // The fields hold what is written: the SIM's own six messages.
  b.form->ButtonLoadSMSClick(b.form->ButtonLoadSMS);
  Serve([&] { return b.Ready() && b.form->SMSText6->text().size() > 0 && b.LastLine() == "OK"; });
  int64_t sent = 0;
  for (int slot = 1; slot <= kMessages; ++slot) {
    sent += std::string("AT+CMGD=1\r\n").size() +
            std::string("AT+CMGW=+43664000000" + std::to_string(slot) + "\r\n").size() +
            std::string("Input 1 on, zone 3 (night) [30 min]\x1a").size();
  }
  sent += std::string("AT+CMGL=ALL\r\n").size();
  double measuredMs = 0;
  int64_t received = 0;
  for (auto _ : state) {
    b.Mark();
    const auto start = Clock::now();
    b.form->ButtonSaveSMSClick(b.form->ButtonSaveSMS);
    // Ends with the listing of the six messages written.
    Serve(
        [&] { return b.form->SMSs->document()->blockCount() > kMessages && b.LastLine() == "OK"; });
    const std::chrono::duration<double> took = Clock::now() - start;
    state.SetIterationTime(took.count());
    measuredMs += took.count() * 1000;
    received = b.ReceivedSinceMark();
  }
  Report(state, measuredMs / static_cast<double>(state.iterations()), received, sent,
         kSaveSmsSleepsMs);
}
BENCHMARK(BM_SaveSMSs)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  gBench.reset();
  return 0;
}
