// What the device dialogue needs of the main window: field texts, the monitor,
// the indicators, the tree and the memo. The window implements it over its
// widgets; the dialogue never sees a widget. Texts are 8-bit.
#pragma once

#include <optional>
#include <string>

// The 22 entry fields, named as on the window.
enum class Field {
  MASTER1,
  MASTER2,
  MASTER3,
  MASTER4,
  MASTER5,
  MASTER6,
  MASTER7,
  MASTER8,
  SERVICE,
  SMSCentrum,
  SMSPhone1,
  SMSPhone2,
  SMSPhone3,
  SMSPhone4,
  SMSPhone5,
  SMSPhone6,
  SMSText1,
  SMSText2,
  SMStext3,
  SMStext4,
  SMStext5,
  SMSText6,
};

// Colours the dialogue gives the signal meter.
struct Rgb {
  int Red, Green, Blue;
  bool operator==(const Rgb&) const = default;
};

class DialogueView {
 public:
  virtual ~DialogueView() = default;

  virtual std::string FieldText(Field field) const = 0;
  // Runs the field's change handler, so what it keeps is the filtered text.
  virtual void SetFieldText(Field field, const std::string& text) = 0;

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
};
