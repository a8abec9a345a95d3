// The one check the port component applies to every result code: returns
// codes that are not errors (and every code while the component is being
// loaded), raises the exception class of an error code otherwise.
#pragma once

class TComponent;

namespace ser {

int CheckResult(const TComponent* component, int code);

}  // namespace ser
