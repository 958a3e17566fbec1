#include "components/component.h"

#include <algorithm>
#include <cassert>

namespace rudira {

TComponent::TComponent(TComponent* owner) {
  if (owner != nullptr) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  destroying_ = true;
  while (!components_.empty()) {
    TComponent* last = components_.back();
    // The owned component's destructor takes itself out of this list.
    delete last;
    assert(components_.empty() || components_.back() != last);
  }
  if (owner_ != nullptr) owner_->RemoveComponent(this);
}

void TComponent::InsertComponent(TComponent* component) {
  assert(component != nullptr && component != this);
  if (component->owner_ == this) return;
  if (component->owner_ != nullptr) component->owner_->RemoveComponent(component);
  components_.push_back(component);
  component->owner_ = this;
  Notification(component, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  auto found = std::find(components_.begin(), components_.end(), component);
  if (found == components_.end()) return;
  Notification(component, TOperation::opRemove);
  // The notification may have changed the list.
  found = std::find(components_.begin(), components_.end(), component);
  if (found != components_.end()) components_.erase(found);
  component->owner_ = nullptr;
}

void TComponent::Notification(TComponent* component, TOperation operation) {
  // A copy: a notified component may insert or free components.
  const std::vector<TComponent*> owned = components_;
  for (TComponent* child : owned) {
    if (std::find(components_.begin(), components_.end(), child) == components_.end()) continue;
    child->Notification(component, operation);
  }
}

void TComponent::CollectForLoad(std::vector<TComponent*>& list) {
  list.push_back(this);
  for (TComponent* child : components_) child->CollectForLoad(list);
}

void TComponent::BeginLoad() {
  std::vector<TComponent*> all;
  CollectForLoad(all);
  for (TComponent* component : all) component->loading_ = true;
}

void TComponent::EndLoad() {
  std::vector<TComponent*> all;
  CollectForLoad(all);
  for (TComponent* component : all) component->loading_ = false;
  std::exception_ptr first;
  for (TComponent* component : all) {
    // A Loaded() may free components (a session frees an unused temporary
    // database of a duplicate name): only those still held are called.
    std::vector<TComponent*> held;
    CollectForLoad(held);
    if (std::find(held.begin(), held.end(), component) == held.end()) continue;
    try {
      component->Loaded();
    } catch (...) {
      if (!first) first = std::current_exception();
    }
  }
  if (first) std::rethrow_exception(first);
}

}  // namespace rudira
