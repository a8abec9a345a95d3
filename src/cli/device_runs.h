// Runs the job on every device at once, each on a thread of its own, and
// waits for all of them. SIGINT, SIGTERM and SIGHUP ask every device to
// stop: each closes its port cleanly and says how far it got.
#pragma once

#include <vector>

#include "cli/device_line.h"
#include "cli/device_result.h"
#include "cli/job.h"
#include "cli/progress.h"

// `recorders[i]` are the files of `ports[i]`. The results in port order.
std::vector<DeviceResult> RunOnEveryDevice(const Job& job, const std::vector<PortChoice>& ports,
                                           const std::vector<RecorderFiles>& recorders,
                                           Progress& progress);
