// What one device's run of a command came to, for the summary and JSON.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/exit_status.h"
#include "cli/port_choice.h"
#include "config/config_fields.h"

struct FieldDifference {
  config::ConfigField Field;
  std::string Device;
  std::string File;
};

// The status bar as the window would show it.
struct DeviceStatus {
  // The device said it is registered (at home or roaming): the link bar full.
  bool Registered = false;
  std::string OperatorPanel;
  std::string CreditPanel;
  // None when the device was not asked or did not say.
  std::optional<int> Signal;
};

struct DeviceResult {
  PortChoice Port;
  ExitStatus Exit = kDone;
  // What went wrong, in the order it happened; the first decides Exit.
  std::vector<std::string> Errors;
  // A write that stopped: what is on the device and what is not.
  std::string Unfinished;
  // Each step done, as the progress showed it.
  std::vector<std::string> Steps;
  // What the device holds, once read whole.
  std::optional<config::ConfigTexts> Fields;
  std::string Centre;
  std::vector<FieldDifference> Differences;
  // The file read put what the device holds into.
  std::string SavedTo;
  std::optional<DeviceStatus> Status;

  void Fail(ExitStatus exit, const std::string& error) {
    if (Errors.empty()) Exit = exit;
    Errors.push_back(error);
  }
};
