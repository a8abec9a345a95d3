// What the device dialogue needs of the main window: field texts, the monitor,
// the indicators, the tree and the memo. The window implements it over its
// widgets; the dialogue never sees a widget. Texts are 8-bit.
#pragma once

#include <optional>
#include <string>

#include "config/config_fields.h"

// Colours the dialogue gives the signal meter.
struct Rgb {
  int Red, Green, Blue;
  bool operator==(const Rgb&) const = default;
};

class DialogueView {
 public:
  virtual ~DialogueView() = default;

  // The 21 fields the configuration is made of.
  virtual std::string FieldText(config::ConfigField field) const = 0;
  // Runs the field's change handler, so what it keeps is the filtered text.
  virtual void SetFieldText(config::ConfigField field, const std::string& text) = 0;
  // The SMS service centre, shown only: no filter.
  virtual void SetCentreText(const std::string& text) = 0;

  // Adds one line at the end of the monitor page.
  virtual void AppendMonitorLine(const std::string& line) = 0;
  virtual void SetLedVisible(bool visible) = 0;

  virtual int LinkProgress() const = 0;
  virtual void SetLinkProgress(int progress) = 0;
  virtual void SetSignal(int progress, Rgb colour) = 0;
  // The six dialogue buttons, switched together.
  virtual void SetDialogueButtonsEnabled(bool enabled) = 0;
  virtual void SetOperatorPanel(const std::string& text) = 0;
  virtual void SetCreditPanel(const std::string& text) = 0;

  virtual void ClearTree() = 0;
  virtual void AddTreeNode(const std::string& text) = 0;
  // The selected node's text; none when nothing is selected.
  virtual std::optional<std::string> SelectedNodeText() const = 0;
  virtual int PageCount() const = 0;
  virtual std::string PageName(int index) const = 0;
  virtual void SetActivePage(int index) = 0;

  virtual void ClearSmsMemo() = 0;
  // Appends to the memo's text; a carriage return in it starts a new line.
  virtual void AppendSmsMemo(const std::string& text) = 0;

  // Tells the user what went wrong (the standard report), without ending
  // what the dialogue is doing.
  virtual void Report(const std::string& message) = 0;
  // One step of an exchange is done ("MASTER3 written", "SMS 4 stored"), for
  // a view that shows progress; the window does not.
  virtual void StepDone(const std::string& step) { (void)step; }
};
