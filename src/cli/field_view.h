// The window as the dialogue sees it, for a program without one: the 21
// fields, filtered as the window's change handlers filter them, the SMS
// centre, the status bar's two panels, the link bar and the signal. What
// the dialogue reports and each step it finishes go to the session.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/dialogue/dialogue_view.h"

// What a field holds once its change handler has filtered `text`.
std::string HeldText(config::ConfigField field, const std::string& text);

class FieldView : public DialogueView {
 public:
  std::function<void(const std::string& message)> OnReport;
  std::function<void(const std::string& step)> OnStep;

  std::string FieldText(config::ConfigField field) const override;
  void SetFieldText(config::ConfigField field, const std::string& text) override;
  void SetCentreText(const std::string& text) override { centre_ = text; }
  void AppendMonitorLine(const std::string& line) override { lastLine_ = line; }
  void SetLedVisible(bool) override {}
  int LinkProgress() const override { return linkProgress_; }
  void SetLinkProgress(int progress) override;
  void SetSignal(int progress, Rgb) override { signal_ = progress; }
  void SetDialogueButtonsEnabled(bool) override {}
  void SetOperatorPanel(const std::string& text) override { operatorPanel_ = text; }
  void SetCreditPanel(const std::string& text) override { creditPanel_ = text; }
  void ClearTree() override { nodes_.clear(); }
  void AddTreeNode(const std::string& text) override { nodes_.push_back(text); }
  // Nothing here selects a node or a page: Delete PNum. and the tree's click
  // are the window's alone.
  std::optional<std::string> SelectedNodeText() const override { return std::nullopt; }
  int PageCount() const override { return 0; }
  std::string PageName(int) const override { return {}; }
  void SetActivePage(int) override {}
  void ClearSmsMemo() override {}
  void AppendSmsMemo(const std::string&) override {}
  void Report(const std::string& message) override;
  void StepDone(const std::string& step) override;

  const config::ConfigTexts& Fields() const { return fields_; }
  const std::string& Centre() const { return centre_; }
  // The last line the device sent.
  const std::string& LastLine() const { return lastLine_; }
  const std::string& OperatorPanel() const { return operatorPanel_; }
  const std::string& CreditPanel() const { return creditPanel_; }
  // The tree: one "location:tag[number]" per entry of the last listing.
  const std::vector<std::string>& Nodes() const { return nodes_; }
  // The last signal quality, none before the first.
  std::optional<int> Signal() const { return signal_; }

 private:
  config::ConfigTexts fields_{};
  std::string centre_;
  std::vector<std::string> nodes_;
  std::string lastLine_;
  std::string operatorPanel_ = "Operator:";
  std::string creditPanel_ = "Credit:";
  int linkProgress_ = 0;
  std::optional<int> signal_;
};
