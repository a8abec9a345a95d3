#include "cli/result_text.h"

#include "cli/field_label.h"
#include "cli/printable.h"

namespace {

// The device's answer when it cannot measure the signal.
constexpr int kSignalNotKnown = 99;

std::string Quoted(const std::string& text) {
  // Appended, not added: GCC 12 at -O3 warns falsely of overlapping copies
  // in a literal + string sum.
  std::string quoted = "\"";
  quoted += Printable(text);
  quoted += '"';
  return quoted;
}

std::string Fields(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " field" : " fields");
}

std::string StatusText(const DeviceStatus& status) {
  if (!status.Registered) return "not registered: " + Printable(status.OperatorPanel);
  const std::string signal = !status.Signal || *status.Signal == kSignalNotKnown
                                 ? "signal not known"
                                 : "signal " + std::to_string(*status.Signal);
  return "registered, " + Printable(status.OperatorPanel) + ", " + signal + ", " +
         Printable(status.CreditPanel);
}

std::string Outcome(const Job& job, const DeviceResult& result) {
  if (!result.Errors.empty()) return "failed (exit status " + std::to_string(result.Exit) + ")";
  const std::string differ =
      "differs from " + job.File + " in " + Fields(result.Differences.size());
  switch (job.What) {
    case Command::kRead:
      return result.SavedTo.empty() ? "read" : "read into " + result.SavedTo;
    case Command::kDiff:
      return result.Differences.empty() ? "holds " + job.File : differ;
    case Command::kWrite:
      return result.Differences.empty() ? "written and checked: holds " + job.File
                                        : "written, but " + differ;
    case Command::kStatus:
      return StatusText(*result.Status);
  }
  return {};
}

}  // namespace

std::string ResultText(const Job& job, const std::vector<DeviceResult>& results) {
  std::string text;
  for (const DeviceResult& result : results) {
    const std::string port = Printable(result.Port.Label) + ": ";
    for (const FieldDifference& difference : result.Differences) {
      text += port + FieldLabel(difference.Field) + ": device " + Quoted(difference.Device) +
              ", file " + Quoted(difference.File) + "\n";
    }
    for (const std::string& error : result.Errors) text += port + Printable(error) + "\n";
    if (!result.Unfinished.empty()) text += port + result.Unfinished + "\n";
    text += port + Outcome(job, result) + "\n";
  }
  return text;
}
