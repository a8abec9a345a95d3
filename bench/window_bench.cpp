// The main window's costs against a bare Qt window in the same run: the cost
// of one more monitor line with 1,000 and with 100,000 lines already shown
// (it must stay flat), and start-up to first paint and peak memory, each
// measured in a child process of its own. Run on purpose; not part of the
// test suite. Runs on Qt's offscreen platform unless QT_QPA_PLATFORM says
// otherwise.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>

#include <QApplication>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/window/form1.h"
#include "serial/ui/port_test_support.h"
#include "support/pty_pair.h"

extern char** environ;

namespace {

using namespace morvel::test;

int64_t MonotonicMicroseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

// The window with the monitor page shown and `lines` lines on it; the port
// choice is cancelled, so nothing is opened.
struct MonitorWindow {
  explicit MonitorWindow(int64_t lines) {
    HideMachinePorts(folder);
    DialogAnswer answer("", DialogAnswer::kCancelButton);
    form = std::make_unique<TForm1>();
    form->Timer1->stop();
    form->PageControl1->setCurrentWidget(form->TabSheet1);
    form->show();
    for (int64_t i = 0; i < lines; ++i) form->AppendMonitorLine(Line(i));
    QCoreApplication::processEvents();
  }
  static std::string Line(int64_t i) {
    return i % 2 ? "+CREG: 0,1" : "+CSQ: " + std::to_string(i % 32) + ",99";
  }
  ReportRecorder reports;
  PortFolder folder;
  std::unique_ptr<TForm1> form;
};

void BM_MonitorLine(benchmark::State& state) {
  MonitorWindow window(state.range(0));
  int64_t i = 0;
  for (auto _ : state) {
    window.form->AppendMonitorLine(MonitorWindow::Line(i++));
    // What the user sees: the memo laid out and painted after each line.
    QCoreApplication::processEvents();
  }
  state.SetLabel(std::to_string(state.range(0)) + " lines shown");
}
BENCHMARK(BM_MonitorLine)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// The peak resident memory of this process since it started, in KiB.
long PeakKilobytes() {
  FILE* status = std::fopen("/proc/self/status", "r");
  char line[256];
  long kilobytes = 0;
  while (status && std::fgets(line, sizeof line, status)) {
    if (std::sscanf(line, "VmHWM: %ld kB", &kilobytes) == 1) break;
  }
  if (status) std::fclose(status);
  return kilobytes;
}

// Ends the child at the first paint of `window`, printing the monotonic
// time and the peak memory.
struct FirstPaint : QObject {
  QWidget* window = nullptr;
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (event->type() == QEvent::Paint && widget && widget->window() == window) {
      std::printf("%lld %ld\n", static_cast<long long>(MonotonicMicroseconds()), PeakKilobytes());
      std::fflush(stdout);
      QCoreApplication::exit(0);
    }
    return false;
  }
};

// Child: shows one window and reports its first paint.
int RunChild(const std::string& which) {
  int argc = 1;
  char name[] = "window_bench";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  FirstPaint firstPaint;
  app.installEventFilter(&firstPaint);
  if (which == "bare") {
    QMainWindow bare;
    bare.resize(510, 374);
    firstPaint.window = &bare;
    bare.show();
    return QApplication::exec();
  }
  // Morvel as a user starts it: the port dialog answered with a pty's port.
  PtyPair pty;
  PortFolder folder;
  HideMachinePorts(folder);
  folder.Link(1, pty.SlavePath());
  DialogAnswer answer("COM1", DialogAnswer::kOk);
  TForm1 form;
  firstPaint.window = &form;
  form.show();
  return QApplication::exec();
}

struct ChildFigures {
  int64_t startMicroseconds;
  long peakKilobytes;
};

ChildFigures RunChildProcess(const char* self, const char* which) {
  int out[2];
  if (pipe(out) != 0) std::abort();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  char* argv[] = {const_cast<char*>(self), const_cast<char*>("--child"),
                  const_cast<char*>(which), nullptr};
  const int64_t started = MonotonicMicroseconds();
  pid_t pid = 0;
  if (posix_spawn(&pid, self, &actions, nullptr, argv, environ) != 0) std::abort();
  close(out[1]);
  char text[64] = {};
  ssize_t n = read(out[0], text, sizeof text - 1);
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  posix_spawn_file_actions_destroy(&actions);
  long long painted = started;
  long peak = 0;
  if (n <= 0 || std::sscanf(text, "%lld %ld", &painted, &peak) != 2) std::abort();
  return {painted - started, peak};
}

void ReportStartUp(const char* self) {
  constexpr int kRuns = 9;
  std::vector<ChildFigures> morvel, bare;
  for (int i = 0; i < kRuns; ++i) {
    bare.push_back(RunChildProcess(self, "bare"));
    morvel.push_back(RunChildProcess(self, "morvel"));
  }
  auto median = [](std::vector<ChildFigures> runs) {
    std::sort(runs.begin(), runs.end(),
              [](auto& a, auto& b) { return a.startMicroseconds < b.startMicroseconds; });
    return runs[runs.size() / 2].startMicroseconds / 1000.0;
  };
  auto peak = [](const std::vector<ChildFigures>& runs) {
    long kilobytes = 0;
    for (const ChildFigures& run : runs) kilobytes = std::max(kilobytes, run.peakKilobytes);
    return kilobytes / 1024.0;
  };
  std::printf("\nStart-up to the main window's first paint (median of %d, process start\n"
              "included; Morvel's port dialog answered by a timer polling every 5 ms):\n",
              kRuns);
  std::printf("  bare Qt window  %8.1f ms   peak memory %6.1f MiB\n", median(bare), peak(bare));
  std::printf("  Morvel          %8.1f ms   peak memory %6.1f MiB\n", median(morvel),
              peak(morvel));
  std::printf("  ratio           %8.2f x                 %6.2f x\n", median(morvel) / median(bare),
              peak(morvel) / peak(bare));
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  if (argc == 3 && std::string(argv[1]) == "--child") return RunChild(argv[2]);
  {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
  }
  ReportStartUp("/proc/self/exe");
  return 0;
}
