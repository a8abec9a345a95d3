#include "serial/ui/check_result.h"

#include "gui/component.h"
#include "serial/exceptions.h"

namespace ser {

int CheckResult(const TComponent* component, int code) {
  if (code >= 0) return code;
  // While a form loads its components, their property writers must not fail.
  if (component != nullptr && component->Loading()) return code;
  RaiseResult(code);
}

}  // namespace ser
