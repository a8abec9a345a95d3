// The window as the dialogue sees it, without widgets: fields that filter
// what they are given as the window's change handlers do, a tree with a
// selection, the pages, the memo, the monitor, the link bar and the buttons.
// Tells the checker whenever the phonebook changes and whenever the user is
// told something.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/dialogue/dialogue_view.h"
#include "line_engine/invariants.h"

namespace fuzz {

class RecordingView : public DialogueView {
 public:
  explicit RecordingView(LineEngineChecker& checker);

  std::string FieldText(config::ConfigField field) const override;
  void SetFieldText(config::ConfigField field, const std::string& text) override;
  void SetCentreText(const std::string& text) override;
  void AppendMonitorLine(const std::string& line) override;
  void SetLedVisible(bool) override {}
  int LinkProgress() const override { return linkProgress_; }
  void SetLinkProgress(int progress) override;
  void SetSignal(int, Rgb) override {}
  void SetDialogueButtonsEnabled(bool enabled) override { buttonsEnabled_ = enabled; }
  void SetOperatorPanel(const std::string&) override {}
  void SetCreditPanel(const std::string&) override {}
  void ClearTree() override;
  void AddTreeNode(const std::string& text) override;
  std::optional<std::string> SelectedNodeText() const override;
  int PageCount() const override;
  std::string PageName(int index) const override;
  void SetActivePage(int index) override { activePage_ = index; }
  void ClearSmsMemo() override { memo_.clear(); }
  void AppendSmsMemo(const std::string& text) override { memo_ += text; }
  void Report(const std::string& message) override;

  // ---- What the user does and sees.
  // Every text each field has held.
  const FieldHistory& Held() const { return held_; }
  bool ButtonsEnabled() const { return buttonsEnabled_; }
  // Selects the node `number` counts to, round the tree; false when empty.
  bool ClickNode(int number);
  void ClearSelection() { selected_.reset(); }
  const std::vector<std::string>& MonitorLines() const { return monitor_; }
  const std::vector<std::string>& Reports() const { return reports_; }

 private:
  LineEngineChecker& checker_;
  config::ConfigTexts fields_{};
  FieldHistory held_;
  std::vector<std::string> tree_;
  std::optional<std::size_t> selected_;
  std::vector<std::string> monitor_;
  std::vector<std::string> reports_;
  std::string memo_;
  int linkProgress_ = 0;
  int activePage_ = 0;
  bool buttonsEnabled_ = true;
};

}  // namespace fuzz
