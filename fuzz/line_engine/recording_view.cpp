#include "line_engine/recording_view.h"

#include <algorithm>
#include <array>

#include "config/field_filters.h"

namespace fuzz {
namespace {

// The link bar's range on the window.
constexpr int kLinkFull = 27;
constexpr std::array<const char*, 3> kPageNames{"PHONE", "SMS", "TabSheet1"};

bool IsPhonebookField(config::ConfigField field) {
  return config::LineOf(field) <= config::LineOf(config::ConfigField::SERVICE);
}

}  // namespace

RecordingView::RecordingView(LineEngineChecker& checker) : checker_(checker) {
  for (std::set<std::string>& texts : held_) texts.insert(std::string());
}

std::string RecordingView::FieldText(config::ConfigField field) const {
  return fields_[config::LineOf(field)];
}

void RecordingView::SetFieldText(config::ConfigField field, const std::string& text) {
  // The change handler filters again until the text stays as it is.
  std::string kept = text;
  for (std::string next; (next = config::FilterFor(field, kept)) != kept;) kept = next;
  fields_[config::LineOf(field)] = kept;
  held_[config::LineOf(field)].insert(kept);
  if (IsPhonebookField(field) && !kept.empty()) checker_.PhonebookChanged(kept);
}

void RecordingView::SetCentreText(const std::string& text) {
  if (!text.empty()) checker_.PhonebookChanged(text);
}

void RecordingView::AppendMonitorLine(const std::string& line) {
  // The line before this one is handled.
  checker_.Settled();
  monitor_.push_back(line);
}

void RecordingView::SetLinkProgress(int progress) {
  linkProgress_ = std::clamp(progress, 0, kLinkFull);
}

void RecordingView::ClearTree() {
  tree_.clear();
  selected_.reset();
}

void RecordingView::AddTreeNode(const std::string& text) {
  tree_.push_back(text);
  checker_.PhonebookChanged(text);
}

void RecordingView::Report(const std::string& message) {
  checker_.Reported();
  reports_.push_back(message);
}

std::optional<std::string> RecordingView::SelectedNodeText() const {
  if (!selected_) return std::nullopt;
  return tree_[*selected_];
}

int RecordingView::PageCount() const {
  return static_cast<int>(kPageNames.size());
}

std::string RecordingView::PageName(int index) const {
  return kPageNames.at(static_cast<std::size_t>(index));
}

bool RecordingView::ClickNode(int number) {
  if (tree_.empty()) return false;
  selected_ = static_cast<std::size_t>(number) % tree_.size();
  return true;
}

}  // namespace fuzz
