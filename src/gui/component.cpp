#include "gui/component.h"

#include <algorithm>

TComponent::TComponent(TComponent* owner) : owner_(owner) {
  if (owner_) owner_->components_.push_back(this);
}

TComponent::~TComponent() {
  // Owned components go first, newest first, as an owner frees its parts.
  while (!components_.empty()) {
    TComponent* child = components_.back();
    components_.pop_back();
    child->owner_ = nullptr;
    delete child;
  }
  if (owner_) owner_->Remove(this);
}

void TComponent::Remove(TComponent* child) {
  components_.erase(std::remove(components_.begin(), components_.end(), child), components_.end());
}

void TComponent::BeginLoading() {
  loading_ = true;
  for (TComponent* child : components_) child->BeginLoading();
}

void TComponent::EndLoading() {
  for (TComponent* child : components_) child->EndLoading();
  loading_ = false;
  Loaded();
}

void TComponent::Assign(const TComponent*) {}
