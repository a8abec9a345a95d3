#include "cli/result_json.h"

#include <nlohmann/json.hpp>

#include "cli/field_label.h"
#include "cli/printable.h"

namespace {

using nlohmann::json;

json Texts(const std::vector<std::string>& texts) {
  json list = json::array();
  for (const std::string& text : texts) list.push_back(Utf8FromLatin1(text));
  return list;
}

json FieldsObject(const config::ConfigTexts& fields) {
  json object = json::object();
  for (std::size_t line = 0; line < fields.size(); ++line) {
    object[FieldLabel(config::FieldAt(line))] = Utf8FromLatin1(fields[line]);
  }
  return object;
}

json DeviceJson(const DeviceResult& result) {
  json device = {{"port", Utf8FromLatin1(result.Port.Label)},
                 {"device", Utf8FromLatin1(result.Port.DevicePath)},
                 {"exit", static_cast<int>(result.Exit)},
                 {"errors", Texts(result.Errors)},
                 {"steps", Texts(result.Steps)}};
  if (!result.Unfinished.empty()) device["unfinished"] = result.Unfinished;
  if (result.Fields) device["fields"] = FieldsObject(*result.Fields);
  if (!result.Centre.empty()) device["centre"] = Utf8FromLatin1(result.Centre);
  if (!result.SavedTo.empty()) device["saved_to"] = Utf8FromLatin1(result.SavedTo);
  if (result.Fields && result.Errors.empty()) {
    json differences = json::array();
    for (const FieldDifference& difference : result.Differences) {
      differences.push_back({{"field", FieldLabel(difference.Field)},
                             {"device", Utf8FromLatin1(difference.Device)},
                             {"file", Utf8FromLatin1(difference.File)}});
    }
    device["differences"] = differences;
  }
  if (result.Status) {
    const DeviceStatus& status = *result.Status;
    device["status"] = {{"registered", status.Registered},
                        {"operator_panel", Utf8FromLatin1(status.OperatorPanel)},
                        {"credit_panel", Utf8FromLatin1(status.CreditPanel)},
                        {"signal", status.Signal ? json(*status.Signal) : json(nullptr)}};
  }
  return device;
}

}  // namespace

std::string ResultJson(const Job& job, const std::vector<DeviceResult>& results, int exitStatus) {
  json document = {{"command", CommandName(job.What)}, {"exit", exitStatus}};
  if (!job.File.empty()) document["file"] = Utf8FromLatin1(job.File);
  json devices = json::array();
  for (const DeviceResult& result : results) devices.push_back(DeviceJson(result));
  document["devices"] = devices;
  return document.dump(2) + "\n";
}
