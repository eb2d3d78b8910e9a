#include "platform/classes/component.h"

#include <algorithm>

#include "platform/classes/classbuilder.h"
#include "platform/classes/errors.h"
#include "platform/classes/filer.h"
#include "platform/rtl/ansi.h"
#include "platform/rtl/strutils.h"

using namespace rtl::literals;

namespace classes {

bool IsValidIdent(std::string_view name) {
  auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (name.empty() || !letter(name[0])) return false;
  return std::all_of(name.begin() + 1, name.end(), [&](char c) { return letter(c) || digit(c); });
}

const TClassInfo& TComponent::StaticClassInfo() {
  static const auto info = TClassInfo::Make<TComponent, TPersistent>("TComponent", [](auto&) {});
  return info;
}

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  Destroying();
  // Tell those that asked; each forgets this one first so that it is told once.
  while (!freeNotifies_.empty()) {
    TComponent* other = freeNotifies_.back();
    freeNotifies_.pop_back();
    auto& theirs = other->freeNotifies_;
    theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
    toldOfDestruction_.push_back(other);
    other->Notification(this, opRemove);
  }
  DestroyComponents();
  if (owner_) owner_->RemoveComponent(this);
}

void TComponent::Destroying() {
  if (state_.Contains(csDestroying)) return;
  state_.Include(csDestroying);
  for (TComponent* c : components_) c->Destroying();
}

void TComponent::DestroyComponents() {
  while (!components_.empty()) {
    TComponent* last = components_.back();
    last->SetFieldReference(false);  // only while this owner stays alive
    components_.pop_back();
    last->owner_ = nullptr;
    delete last;
  }
}

TComponent* TComponent::Components(int index) const {
  if (index < 0 || index >= ComponentCount())
    throw EListError(rtl::FormatS("Índice da lista fora dos limites (%d)"_ansi, rtl::IntToStr(index)));
  return components_[static_cast<std::size_t>(index)];
}

int TComponent::ComponentIndex() const {
  if (!owner_) return -1;
  auto& list = owner_->components_;
  return static_cast<int>(std::find(list.begin(), list.end(), this) - list.begin());
}

TComponent* TComponent::FindComponent(std::string_view name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : components_)
    if (rtl::SameText(c->name_, name)) return c;
  return nullptr;
}

void TComponent::InsertComponent(TComponent* component) {
  if (!component->name_.empty() && FindComponent(component->name_))
    throw EComponentError(rtl::FormatS("Já existe um componente com o nome %s"_ansi, component->name_));
  if (component->owner_) component->owner_->RemoveComponent(component);
  components_.push_back(component);
  component->owner_ = this;
  component->SetFieldReference(true);
  Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  auto it = std::find(components_.begin(), components_.end(), component);
  if (it == components_.end()) return;
  component->SetFieldReference(false);
  components_.erase(it);
  component->owner_ = nullptr;
  if (!state_.Contains(csDestroying)) {
    auto& told = component->toldOfDestruction_;
    if (std::find(told.begin(), told.end(), this) == told.end()) Notification(component, opRemove);
  }
}

void TComponent::SetFieldReference(bool set) {
  if (!owner_ || name_.empty() || owner_->state_.Contains(csDestroying)) return;
  if (const TFieldInfo* field = owner_->ClassInfo().FindField(name_)) field->set(*owner_, set ? this : nullptr);
}

void TComponent::SetName(const std::string& name) {
  if (name == name_) return;
  if (!name.empty() && !IsValidIdent(name))
    throw EComponentError(rtl::FormatS("'%s' não é um nome de componente válido"_ansi, name));
  if (owner_ && !name.empty()) {
    TComponent* other = owner_->FindComponent(name);
    if (other && other != this)
      throw EComponentError(rtl::FormatS("Já existe um componente com o nome %s"_ansi, name));
  }
  SetFieldReference(false);
  const std::string old = name_;
  name_ = name;
  try {
    SetFieldReference(true);
  } catch (...) {
    name_ = old;
    SetFieldReference(true);
    throw;
  }
}

void TComponent::SetDesigning(bool designing) {
  if (designing)
    state_.Include(csDesigning);
  else
    state_.Exclude(csDesigning);
  for (TComponent* c : components_) c->SetDesigning(designing);
}

void TComponent::FreeNotification(TComponent* component) {
  if (!component || component == this) return;
  if (std::find(freeNotifies_.begin(), freeNotifies_.end(), component) == freeNotifies_.end())
    freeNotifies_.push_back(component);
  auto& theirs = component->freeNotifies_;
  if (std::find(theirs.begin(), theirs.end(), this) == theirs.end()) theirs.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
  if (!component) return;
  freeNotifies_.erase(std::remove(freeNotifies_.begin(), freeNotifies_.end(), component), freeNotifies_.end());
  auto& theirs = component->freeNotifies_;
  theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
}

void TComponent::Notification(TComponent* component, TOperation operation) {
  if (operation == opRemove && component) RemoveFreeNotification(component);
  NotifyOwnedComponents(component, operation);
}

void TComponent::NotifyOwnedComponents(TComponent* component, TOperation operation) {
  // A copy: a component may leave the list while it is told.
  const std::vector<TComponent*> owned = components_;
  for (TComponent* c : owned) {
    if (c == component || std::find(components_.begin(), components_.end(), c) == components_.end()) continue;
    if (component) {
      const auto& told = component->toldOfDestruction_;
      if (std::find(told.begin(), told.end(), c) != told.end()) continue;
    }
    c->Notification(component, operation);
  }
}

void TComponent::GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) {
  if (root != this) return;
  for (TComponent* c : components_)
    if (!c->HasParent()) proc(c);
}

void TComponent::DefineProperties(TFiler& filer) {
  TPersistent::DefineProperties(filer);
  // Design-time position of a non-visual component: accepted and kept, never acted upon.
  filer.DefineProperty(
      "Left", [this](TReader& r) { designLeft_ = static_cast<std::int32_t>(r.ReadInteger()); },
      [this](TWriter& w) { w.WriteInteger(designLeft_); }, designLeft_ != 0);
  filer.DefineProperty(
      "Top", [this](TReader& r) { designTop_ = static_cast<std::int32_t>(r.ReadInteger()); },
      [this](TWriter& w) { w.WriteInteger(designTop_); }, designTop_ != 0);
}

void TComponent::Loaded() { state_.Exclude(csLoading); }

}  // namespace classes
