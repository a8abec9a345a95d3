// Where an error that ends one of the dispatcher's threads is reported. The
// default writes it to standard error; a GUI puts its own report in place.
#pragma once

#include <functional>
#include <string>

namespace ser {

using ThreadErrorReport = std::function<void(const std::string& message)>;

// Called on the ending thread; an empty report brings the default back.
void SetThreadErrorReport(ThreadErrorReport report);
void ReportThreadError(const std::string& message);

}  // namespace ser
