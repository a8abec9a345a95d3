#include "default_state.h"

#include <filesystem>
#include <system_error>

namespace kestrix {

std::string DefaultStateFile() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
  const std::filesystem::path state =
      (self.parent_path() / KESTRIX_SAMPLE_STATE_FROM_BINDIR).lexically_normal();
  return std::filesystem::is_regular_file(state, error) ? state.string() : std::string();
}

}  // namespace kestrix
