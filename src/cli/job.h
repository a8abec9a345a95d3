// What every device is to do: the command and, for write and diff, the
// file's lines.
#pragma once

#include <string>

#include "cli/cli_options.h"
#include "config/config_fields.h"

struct Job {
  Command What = Command::kRead;
  std::string File;
  config::ConfigTexts FileLines{};
};

// Reads job.File into job.FileLines: the 21 lines a write or diff compares
// the device with. The mistake, empty when the file will do: it cannot be
// read, holds nothing or more than 21 lines, or (for write) holds a line the
// field would not keep as it stands, which would reach the device changed.
std::string ReadJobFile(Job& job);
