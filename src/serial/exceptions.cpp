#include "serial/exceptions.h"

#include "serial/error_messages.h"
#include "serial/result_codes.h"

namespace ser {
namespace {

#define MORVEL_SER_COUNT_LEAF(Leaf, Family, Code) +1
static_assert(0 MORVEL_SER_LEAVES(MORVEL_SER_COUNT_LEAF) == 160, "a leaf class is missing");
#undef MORVEL_SER_COUNT_LEAF

// Codes whose texts this program does not carry would otherwise show an empty
// message box.
std::string TextOfCode(int code) {
  std::string text = ErrorMessageText(code);
  if (text.empty()) text = "Serial error " + std::to_string(code);
  return text;
}

// The platform's own file and device errors, told by their error numbers.
constexpr int kFirstPlatformError = -2;
constexpr int kLastPlatformError = -162;

[[noreturn]] void RaisePlatformError(int code) {
  if (code == ecOutOfMemory) throw EOutOfMemory();
  std::string text = ErrorMessageText(code);
  // Error numbers the platform has no text for would otherwise report nothing.
  if (text.empty()) text = "I/O error " + std::to_string(-code);
  throw EInOutError(text, -code);
}

std::string PermissionText(const std::string& devicePath, const std::string& group) {
  if (group.empty()) {
    return "Permission denied to open " + devicePath +
           ": its permissions must be changed to let this user read and write it.";
  }
  return "Permission denied to open " + devicePath +
         ": it may be opened by members of the group \"" + group +
         "\". Join that group (sudo adduser $USER " + group + ") and log in again.";
}

}  // namespace

ESerException::ESerException(int code) : ESerException(code, TextOfCode(code)) {}

ESerException::ESerException(const std::string& text) : ESerException(0, text) {}

ESerException::ESerException(int code, const std::string& text)
    : std::runtime_error(text), ResultCode(code) {}

EPermissionDenied::EPermissionDenied(const std::string& devicePath, const std::string& group)
    : EOpenComm(ecPermissionDenied, PermissionText(devicePath, group)) {}

void RaiseClassOf(int code) {
  // A switch, so that a code given to two classes does not compile.
  switch (code) {
#define MORVEL_SER_RAISE_LEAF(Leaf, Family, Code) \
  case Code:                                      \
    throw Leaf(Code);
    MORVEL_SER_LEAVES(MORVEL_SER_RAISE_LEAF)
#undef MORVEL_SER_RAISE_LEAF
#define MORVEL_SER_RAISE_CLASS(Class, Code) \
  case Code:                                \
    throw Class(Code);
    MORVEL_SER_MORE_CODES(MORVEL_SER_RAISE_CLASS)
#undef MORVEL_SER_RAISE_CLASS
  }
}

void RaiseResult(int code) {
  RaiseClassOf(code);
  if (code <= kFirstPlatformError && code >= kLastPlatformError) RaisePlatformError(code);
  throw ESerException(std::string("Serial exception"));
}

EInOutError::EInOutError(const std::string& text, int errorCode)
    : std::runtime_error(text), ErrorCode(errorCode) {}

}  // namespace ser
