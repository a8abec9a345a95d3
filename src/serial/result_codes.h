// The serial line's result codes: 0 success, negative errors, positive status.
#pragma once

namespace ser {

constexpr int ecOK = 0;
constexpr int ecFileNotFound = -2;
constexpr int ecPathNotFound = -3;
constexpr int ecAccessDenied = -5;
constexpr int ecOutOfMemory = -8;
constexpr int ecBadHandle = -1001;
constexpr int ecBadArgument = -1002;
constexpr int ecBadId = -2001;
constexpr int ecCommNotOpen = -2007;
constexpr int ecAlreadyOpen = -2008;
constexpr int ecNoPortSelected = -2011;
// Linux: the port exists but this user may not open it (see PortAccessInfo).
constexpr int ecPermissionDenied = -2013;
constexpr int ecNullApi = -3001;
constexpr int ecPutBlockFail = -3004;
constexpr int ecOutputBufferTooSmall = -3006;
constexpr int ecBufferIsEmpty = -3007;
constexpr int ecBaseAddressNotSet = -3010;

}  // namespace ser
