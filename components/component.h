// TComponent: the small component model the session, database and dataset
// components stand on. It mirrors what those components rely on from a
// windowing toolkit's components, and nothing more:
//
//  - an owner, which frees its owned components when it is freed (last
//    created first) and to which they are listed in creation order;
//  - a Name (free text; the model does not check it);
//  - notifications: inserting a component into an owner, or removing it,
//    calls Notification(component, operation) on the owner, which passes it
//    on to every component the owner holds, so siblings learn of each other;
//  - a loading state: while a form or data module is being loaded
//    (BeginLoad ... EndLoad on the root), components only record property
//    wishes that need other components (Active, Connected) and apply them
//    in Loaded(), which EndLoad calls for each component in creation order.
//
// Ownership: an owner holds raw pointers to the components it owns and
// deletes them in its destructor; a component freed on its own removes
// itself from its owner first. Components are used from the thread that
// owns them.
#pragma once

#include <exception>
#include <string>
#include <vector>

namespace rudira {

enum class TOperation { opInsert, opRemove };

class TComponent {
 public:
  // Inserts the component into owner (may be null).
  explicit TComponent(TComponent* owner = nullptr);
  // Frees the owned components (last first), then leaves the owner.
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  // Virtual so that a component can follow its own renaming (an auto-named
  // session regenerates its session name).
  virtual void SetName(const std::string& name) { name_ = name; }

  // Owned components in creation order.
  const std::vector<TComponent*>& Components() const { return components_; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }

  // Moves component under this owner (out of its previous one).
  void InsertComponent(TComponent* component);
  // Takes component out of this owner without freeing it.
  void RemoveComponent(TComponent* component);

  // True while this component is being loaded.
  bool Loading() const { return loading_; }
  // Marks this component and, recursively, every owned component as being
  // loaded.
  void BeginLoad();
  // Leaves the loading state for this component and everything it owns, and
  // calls Loaded() on each in creation order (owner first). Every component
  // leaves the loading state even when a Loaded() raises; the first error is
  // passed on after all of them ran.
  void EndLoad();

  // True while the destructor runs: a component being freed ignores wishes
  // that would free it again.
  bool Destroying() const { return destroying_; }

 protected:
  // Called when component was inserted into or is being removed from the
  // owner this component belongs to (or from this component itself). The
  // base passes it on to every owned component; overrides call the base.
  virtual void Notification(TComponent* component, TOperation operation);
  // Called once loading has completed; applies the recorded wishes.
  virtual void Loaded() {}
  // For subclasses' destructors: set before they tear down.
  void MarkDestroying() { destroying_ = true; }

 private:
  void CollectForLoad(std::vector<TComponent*>& list);

  TComponent* owner_ = nullptr;          // owner, or null
  std::string name_;                     // Name
  std::vector<TComponent*> components_;  // owned, in creation order
  bool loading_ = false;                 // between BeginLoad and EndLoad
  bool destroying_ = false;              // destructor running
};

}  // namespace rudira
