// TComponent: the component model. A component has an owner (or none) that destroys it, a
// name unique among its owner's components, state flags, notifications when other components
// come and go, and a loaded hook that runs once a whole stored description has been read.
//
// Declaring a component (header):
//
//   class TTimer : public classes::TComponent {
//     CLASSES_DECLARE_CLASSINFO()
//    public:
//     explicit TTimer(classes::TComponent* owner);   // the reader creates it with the form as owner
//     bool Enabled() const { return enabled_; }
//     void SetEnabled(bool v);
//     ...
//    protected:
//     void Loaded() override;              // call TComponent::Loaded() first
//     void Notification(classes::TComponent* c, classes::TOperation op) override;  // base first
//    private:
//     bool enabled_ = false;               // members start zero, empty or false
//   };
//
// and its class information in the .cpp: see classbuilder.h.
//
// Lifetime. An owner keeps its components in creation order and destroys them, last first,
// when it is destroyed. A component destroyed on its own leaves its owner, and the owner and
// its other components get Notification(c, opRemove). FreeNotification links two components of
// any owners: each is told (opRemove) when the other is destroyed.
//
// C++ note: the base destructor runs after the derived ones. A class whose owned components or
// notifications must still see its own members alive calls Destroying() and DestroyComponents()
// at the start of its destructor. During Notification(c, opInsert) the new component is still
// being constructed: use only its identity.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/classes/method.h"
#include "platform/classes/object.h"
#include "platform/classes/tset.h"

namespace classes {

enum TComponentStateItem {
  csLoading,     // from creation by the reader until its Loaded()
  csReading,     // while the reader applies the stored properties of a description
  csWriting,     // while a description of it is written
  csDestroying,  // from Destroying() on
  csDesigning,   // design mode; never set by the programs themselves
  csUpdating,    // between Updating() and Updated()
};
using TComponentState = TSet<TComponentStateItem>;

enum TOperation { opInsert, opRemove };

class TReader;
class TWriter;

class TComponent : public TPersistent {
  CLASSES_DECLARE_CLASSINFO()
  friend class TReader;  // sets and clears csLoading, csReading
  friend class TWriter;  // csWriting
 public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;

  const std::string& Name() const { return name_; }
  // Validates the name (an identifier, or empty) and its uniqueness among the owner's
  // components (case-insensitive), raising EComponentError; keeps the owner's published field
  // of that name pointing at this component.
  virtual void SetName(const std::string& name);

  TComponent* Owner() const { return owner_; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const;  // EListError outside 0 .. count-1
  int ComponentIndex() const;               // position in the owner's list, -1 without owner
  // An owned component by name (case-insensitive), or nullptr.
  TComponent* FindComponent(std::string_view name) const;
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);
  // Destroys every owned component, last first.
  void DestroyComponents();

  TComponentState ComponentState() const { return state_; }
  bool InState(TComponentStateItem item) const { return state_.Contains(item); }
  void Destroying();  // marks the component (and its owned ones) as being destroyed
  virtual void Updating() { state_.Include(csUpdating); }
  virtual void Updated() { state_.Exclude(csUpdating); }
  void SetDesigning(bool designing);  // also for owned components

  // Asks to be told (Notification(this, opRemove) on `component`) when this one is destroyed,
  // and tells this one when `component` is destroyed.
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);

  TPersistent* GetOwner() override { return owner_; }
  void DefineProperties(TFiler& filer) override;

  // Stored-form hooks. HasParent: the component is nested under another object in a
  // description (controls under their parent); GetChildren lists the components written inside
  // this one (the base, for the root, lists the owned components without a parent).
  virtual bool HasParent() const { return false; }
  virtual TComponent* GetParentComponent() const { return nullptr; }
  virtual void SetParentComponent(TComponent* /*parent*/) {}
  virtual void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root);

  // The design-time position of a non-visual component ("Left", "Top" in a description).
  std::int32_t DesignLeft() const { return designLeft_; }
  std::int32_t DesignTop() const { return designTop_; }

  // The loaded hook, run by the reader after the whole description is read; the base clears
  // csLoading. Public so the reader and tests can call it; overrides call the base first.
  virtual void Loaded();

 protected:
  // Told of components inserted into or removed from the owner, and of freed components that
  // asked for it. The base forwards to the owned components; overrides call it.
  virtual void Notification(TComponent* component, TOperation operation);

 private:
  void SetFieldReference(bool set);
  void NotifyOwnedComponents(TComponent* component, TOperation operation);

  std::string name_;
  TComponent* owner_ = nullptr;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> freeNotifies_;
  std::vector<TComponent*> toldOfDestruction_;  // while destroyed: those already told
  TComponentState state_;
  std::int32_t designLeft_ = 0, designTop_ = 0;
};

bool IsValidIdent(std::string_view name);

}  // namespace classes
