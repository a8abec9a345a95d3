// Where read puts what each device holds: -o FILE for one device, -o FOLDER
// for one <port>.mvf per device, or standard output for one device. A
// device whose read failed gets no file: a file half read would look like
// a configuration.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/device_result.h"

// The mistake in where read would put its files, empty when none.
std::string CheckReadOutput(const std::optional<std::string>& output, std::size_t devices);

// Saves each device's file, noting where (or why not) in its result.
void SaveReads(const std::string& output, std::vector<DeviceResult>& results);
