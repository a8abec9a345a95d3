#include "sim_lock.h"

#include <set>
#include <string>

namespace kestrix {

std::optional<Result> SimLockRefusal(const SimState& state, const AtCommand& command) {
  static const std::set<std::string> kPhoneCommands = {"+CPBS", "+CPBR", "+CPBW",
                                                       "+CIMI", "+CAMM", "+CACM"};
  static const std::set<std::string> kMessageCommands = {"+CMGL", "+CMGR", "+CMGW",
                                                         "+CMGD", "+CPMS", "+CSCA"};
  if (!state.powerUp.simPin) return std::nullopt;
  if (kPhoneCommands.contains(command.name)) return Result::Cme(CmeError::kSimPinRequired);
  if (kMessageCommands.contains(command.name)) return Result::Cms(CmsError::kSimPinRequired);
  return std::nullopt;
}

}  // namespace kestrix
