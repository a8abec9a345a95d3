// kestrix-sim: a simulated Kestrix on a pseudo-terminal (see README.md).
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <iostream>
#include <memory>
#include <optional>

#include "command_log.h"
#include "default_state.h"
#include "device_endpoint.h"
#include "options.h"
#include "port_link.h"
#include "serve_loop.h"
#include "state_file.h"

namespace {

constexpr int kUsageExit = 2;

// SIGINT, SIGTERM and SIGHUP arrive as a readable descriptor, so the serve
// loop ends in an orderly way and the state and the link are dealt with.
int StopDescriptor() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  sigprocmask(SIG_BLOCK, &set, nullptr);
  signal(SIGPIPE, SIG_IGN);
  return signalfd(-1, &set, SFD_CLOEXEC);
}

int Run(const kestrix::Options& options) {
  kestrix::SimState state;
  std::string stateFile = options.stateFile;
  if (stateFile.empty()) {
    stateFile = kestrix::DefaultStateFile();
    if (!stateFile.empty()) std::cerr << "kestrix-sim: the SIM holds " << stateFile << "\n";
  }
  if (!stateFile.empty()) state = kestrix::LoadState(stateFile);
  kestrix::ApplyFaultOptions(options, state);
  std::unique_ptr<kestrix::CommandLog> log;
  if (!options.logFile.empty()) log = std::make_unique<kestrix::CommandLog>(options.logFile);

  int stopFd = StopDescriptor();
  if (stopFd < 0) throw std::runtime_error("cannot watch for signals");
  auto endpoint = options.tty.empty() ? kestrix::DeviceEndpoint::OpenPty()
                                      : kestrix::DeviceEndpoint::OpenTty(options.tty, options.baud);
  std::optional<kestrix::PortLink> link;
  if (options.com) link.emplace(*options.com, endpoint.ClientPath());
  std::cout << endpoint.ClientPath() << std::endl;
  if (link) std::cerr << "kestrix-sim: COM" << *options.com << " is " << link->Path() << "\n";

  kestrix::ServeEnd end = kestrix::Serve(endpoint, state, log.get(), options.baud, stopFd);
  close(stopFd);
  if (end == kestrix::ServeEnd::kLineGone) std::cerr << "kestrix-sim: the line went away\n";
  if (end == kestrix::ServeEnd::kHungUp) std::cerr << "kestrix-sim: hung up\n";
  if (!options.saveStateFile.empty()) kestrix::SaveState(state, options.saveStateFile);
  return end == kestrix::ServeEnd::kLineGone ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  kestrix::Options options;
  try {
    options = kestrix::ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const kestrix::UsageError& e) {
    std::cerr << "kestrix-sim: " << e.what() << "\nTry 'kestrix-sim --help'.\n";
    return kUsageExit;
  }
  if (options.help) {
    std::cout << kestrix::UsageText();
    return 0;
  }
  try {
    return Run(options);
  } catch (const std::exception& e) {
    std::cerr << "kestrix-sim: " << e.what() << "\n";
    return 1;
  }
}
