// morvelctl: reads, writes and checks Kestrix devices without the window,
// through the same dialogue, serial line and configuration file. Every
// --port runs on a thread of its own; the result comes once all are done.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <exception>

#include "cli/cli_options.h"
#include "cli/device_runs.h"
#include "cli/exit_status.h"
#include "cli/job.h"
#include "cli/port_choice.h"
#include "cli/read_output.h"
#include "cli/result_json.h"
#include "cli/result_text.h"
#include "config/config_file.h"

namespace {

int Mistake(const std::string& mistake) {
  std::fprintf(stderr, "morvelctl: %s\n%s", mistake.c_str(), kUsageText);
  return kUsage;
}

// SERIAL.TRC and SERIAL.LOG as the window names them; with several devices
// each device's name is added, SERIAL-COM3.TRC.
std::vector<RecorderFiles> RecorderFilesOf(const CliOptions& options,
                                           const std::vector<PortChoice>& ports) {
  std::vector<RecorderFiles> files;
  for (const PortChoice& port : ports) {
    const std::string base =
        options.Folder + "/SERIAL" + (ports.size() == 1 ? "" : "-" + port.FileStem);
    files.push_back({options.Trace ? base + ".TRC" : "", options.Log ? base + ".LOG" : ""});
  }
  return files;
}

// The worst status any device ended with.
int OverallStatus(const std::vector<DeviceResult>& results) {
  int status = kDone;
  for (const DeviceResult& result : results) status = std::max<int>(status, result.Exit);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  // A reader that went away must not end the program half way through a
  // device's write; the write to it fails instead.
  signal(SIGPIPE, SIG_IGN);
  const CommandLine line = ReadCommandLine(argc, argv);
  switch (line.What) {
    case CommandLine::Request::kHelp:
      std::fputs(kUsageText, stdout);
      return kDone;
    case CommandLine::Request::kVersion:
      std::printf("morvelctl %s\n", MORVEL_VERSION);
      return kDone;
    case CommandLine::Request::kMistake:
      return Mistake(line.Mistake);
    case CommandLine::Request::kRun:
      break;
  }
  const CliOptions& options = line.Options;
  const PortChoices ports = ChoosePorts(options.Ports);
  if (!ports.Mistake.empty()) return Mistake(ports.Mistake);
  Job job{options.What, options.File};
  if (job.What == Command::kWrite || job.What == Command::kDiff) {
    if (const std::string mistake = ReadJobFile(job); !mistake.empty()) return Mistake(mistake);
  }
  const bool readToOutput = job.What == Command::kRead && !options.Json;
  if (readToOutput || options.Output) {
    if (const std::string mistake = CheckReadOutput(options.Output, ports.Ports.size());
        !mistake.empty()) {
      return Mistake(mistake);
    }
  }

  Progress progress(options.Quiet);
  std::vector<DeviceResult> results;
  try {
    results = RunOnEveryDevice(job, ports.Ports, RecorderFilesOf(options, ports.Ports), progress);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "morvelctl: %s\n", error.what());
    return kRefusedOrDiffers;
  }
  if (job.What == Command::kRead && options.Output) SaveReads(*options.Output, results);

  int status = OverallStatus(results);
  if (options.Json) {
    WriteAllTo(STDOUT_FILENO, ResultJson(job, results, status));
    return status;
  }
  const std::string report = ResultText(job, results);
  if (readToOutput && !options.Output) {
    // Standard output carries the file, so the report goes beside it.
    const DeviceResult& read = results.front();
    if (read.Errors.empty() && !WriteAllTo(STDOUT_FILENO, config::ConfigFileBytes(*read.Fields))) {
      WriteAllTo(STDERR_FILENO, "morvelctl: cannot write the configuration to standard output\n");
      status = std::max<int>(status, kRefusedOrDiffers);
    }
    WriteAllTo(STDERR_FILENO, report);
    return status;
  }
  WriteAllTo(STDOUT_FILENO, report);
  return status;
}
