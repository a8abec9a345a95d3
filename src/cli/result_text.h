// What morvelctl prints once every device is done: for each device, in the
// order of the --port options, the fields that differ from the file, what
// went wrong and what a stopped write left, and one summary line.
#pragma once

#include <string>
#include <vector>

#include "cli/device_result.h"
#include "cli/job.h"

std::string ResultText(const Job& job, const std::vector<DeviceResult>& results);
