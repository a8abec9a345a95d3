#include "serial/ui/check_result.h"

#include "gui/component.h"
#include "serial/error_messages.h"
#include "serial/exceptions.h"
#include "serial/result_codes.h"

namespace ser {
namespace {

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

}  // namespace

int CheckResult(const TComponent* component, int code) {
  if (code >= 0) return code;
  // While a form loads its components, their property writers must not fail.
  if (component != nullptr && component->Loading()) return code;
  RaiseClassOf(code);
  if (code <= kFirstPlatformError && code >= kLastPlatformError) RaisePlatformError(code);
  throw ESerException(std::string("Serial exception"));
}

}  // namespace ser
