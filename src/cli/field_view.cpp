#include "cli/field_view.h"

#include <algorithm>

#include "config/field_filters.h"

namespace {

// The link bar's range on the window.
constexpr int kLinkFull = 27;

}  // namespace

std::string HeldText(config::ConfigField field, const std::string& text) {
  // The handler runs again on its own result, until the filter leaves the
  // text as it is.
  std::string kept = text;
  for (std::string next; (next = config::FilterFor(field, kept)) != kept;) kept = next;
  return kept;
}

std::string FieldView::FieldText(config::ConfigField field) const {
  return fields_[config::LineOf(field)];
}

void FieldView::SetFieldText(config::ConfigField field, const std::string& text) {
  fields_[config::LineOf(field)] = HeldText(field, text);
}

void FieldView::SetLinkProgress(int progress) {
  linkProgress_ = std::clamp(progress, 0, kLinkFull);
}

void FieldView::Report(const std::string& message) {
  if (OnReport) OnReport(message);
}

void FieldView::StepDone(const std::string& step) {
  if (OnStep) OnStep(step);
}
