#include "serial/open_failure.h"

#include "platform/serial.h"
#include "serial/exceptions.h"
#include "serial/result_codes.h"

namespace ser {

int OpenResultCode(int openLineResult) {
  switch (openLineResult) {
    case ecAccessDenied:
      return ecAlreadyOpen;
    case ecFileNotFound:
    case ecPathNotFound:
      return ecBadId;
    default:
      return openLineResult;
  }
}

void RaisePermissionDenied(const std::string& devicePath) {
  PortAccessInfo info{};
  if (GetPortAccessInfo(&info)) throw EPermissionDenied(info.devicePath, info.groupName);
  throw EPermissionDenied(devicePath, std::string());
}

void RaiseOpenFailure(int openLineResult, const std::string& devicePath) {
  const int code = OpenResultCode(openLineResult);
  if (code == ecPermissionDenied) RaisePermissionDenied(devicePath);
  RaiseResult(code);
}

}  // namespace ser
