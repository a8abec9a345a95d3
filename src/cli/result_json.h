// The result as one JSON document, for --json: the command, the exit status
// and, per device in the order of the --port options, what it came to.
// Texts from the device are Latin-1, given as their UTF-8.
#pragma once

#include <string>
#include <vector>

#include "cli/device_result.h"
#include "cli/job.h"

std::string ResultJson(const Job& job, const std::vector<DeviceResult>& results, int exitStatus);
