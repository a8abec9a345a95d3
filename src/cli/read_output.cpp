#include "cli/read_output.h"

#include <filesystem>

#include "config/config_file.h"

namespace {

bool IsFolder(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_directory(path, error);
}

}  // namespace

std::string CheckReadOutput(const std::optional<std::string>& output, std::size_t devices) {
  if (devices == 1 || (output && IsFolder(*output))) return {};
  return output ? "-o " + *output + ": with several devices -o names a folder"
                : "with several devices -o names the folder their files go to";
}

void SaveReads(const std::string& output, std::vector<DeviceResult>& results) {
  const bool folder = IsFolder(output);
  for (DeviceResult& result : results) {
    if (!result.Fields || !result.Errors.empty()) continue;
    const std::string path = folder ? output + "/" + result.Port.FileStem + ".mvf" : output;
    try {
      config::SaveConfigFile(path, *result.Fields);
      result.SavedTo = path;
    } catch (const config::EFileError& error) {
      result.Fail(kRefusedOrDiffers, "cannot write " + path + ": " + error.what());
    }
  }
}
