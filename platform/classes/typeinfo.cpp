#include "platform/classes/typeinfo.h"

#include "platform/classes/classbuilder.h"
#include "platform/classes/errors.h"
#include "platform/rtl/ansi.h"
#include "platform/rtl/strutils.h"

using namespace rtl::literals;

namespace classes {

namespace {
[[noreturn]] void ThrowReadOnly(const std::string& name) {
  throw EReadError("A propriedade " + name + std::string(" é somente leitura"_ansi));
}
}  // namespace

namespace detail {
void ThrowWrongComponentClass(const std::string& property, const std::string& className) {
  throw EReadError(std::string("Um componente da classe ") + className +
                   std::string(" não serve para "_ansi) + property);
}
void ThrowWrongFieldClass(const std::string& field, const std::string& className) {
  throw EComponentError("O campo " + field + std::string(" não aceita um componente da classe "_ansi) + className);
}
void ThrowWrongHandler(const std::string& property) {
  throw EReadError(std::string("O método não tem a assinatura do evento "_ansi) + property);
}
}  // namespace detail

int TPropInfo::ValueOfName(std::string_view name) const {
  for (std::size_t i = 0; i < names_.size(); ++i)
    if (rtl::SameText(names_[i], name)) return static_cast<int>(i);
  return -1;
}

bool TPropInfo::IsDefaultValue(TObject& instance) const {
  switch (kind_) {
    case TPropKind::Integer:
    case TPropKind::Bool:
    case TPropKind::Enum:
    case TPropKind::Set:
      return hasDefault_ && GetOrdinal(instance) == default_;
    case TPropKind::Float:
      return GetFloat(instance) == 0.0;
    case TPropKind::String:
      return GetString(instance).empty();
    case TPropKind::Class:
      return GetObject(instance) == nullptr;
    case TPropKind::Component:
      return GetComponent(instance) == nullptr;
    case TPropKind::Method:
      return !MethodAssigned(instance);
  }
  return false;
}

void TPropInfo::SetOrdinal(TObject& instance, std::int64_t value) const {
  if (!setOrd_) ThrowReadOnly(name_);
  const bool inRange = kind_ == TPropKind::Set
                           ? (static_cast<std::uint64_t>(value) & ~static_cast<std::uint64_t>(max_)) == 0
                           : value >= min_ && value <= max_;
  if (!inRange) throw EReadError("Valor fora dos limites para a propriedade " + name_);
  setOrd_(instance, value);
}

void TPropInfo::SetFloat(TObject& instance, double value) const {
  if (!setFloat_) ThrowReadOnly(name_);
  setFloat_(instance, value);
}

void TPropInfo::SetString(TObject& instance, const std::string& value) const {
  if (!setStr_) ThrowReadOnly(name_);
  setStr_(instance, value);
}

void TPropInfo::SetComponent(TObject& instance, TComponent* value) const {
  if (!setComp_) ThrowReadOnly(name_);
  setComp_(instance, value);
}

void TPropInfo::SetMethod(TObject& instance, const std::any& handler) const {
  if (!setMethod_) ThrowReadOnly(name_);
  setMethod_(instance, handler);
}

bool TClassInfo::InheritsFrom(const TClassInfo& other) const {
  for (const TClassInfo* c = this; c; c = c->parent_)
    if (c == &other) return true;
  return false;
}

const TPropInfo* TClassInfo::FindProperty(std::string_view name) const {
  for (const TClassInfo* c = this; c; c = c->parent_)
    for (const TPropInfo& p : c->properties_)
      if (rtl::SameText(p.Name(), name)) return &p;
  return nullptr;
}

const TMethodInfo* TClassInfo::FindMethod(std::string_view name) const {
  for (const TClassInfo* c = this; c; c = c->parent_)
    for (const TMethodInfo& m : c->methods_)
      if (rtl::SameText(m.name, name)) return &m;
  return nullptr;
}

const TFieldInfo* TClassInfo::FindField(std::string_view name) const {
  for (const TClassInfo* c = this; c; c = c->parent_)
    for (const TFieldInfo& f : c->fields_)
      if (rtl::SameText(f.name, name)) return &f;
  return nullptr;
}

const TClassInfo* TClassInfo::FindFieldClass(std::string_view className) const {
  for (const TClassInfo* c = this; c; c = c->parent_)
    for (const TFieldInfo& f : c->fields_)
      if (rtl::SameText(f.fieldClass->Name(), className)) return f.fieldClass;
  return nullptr;
}

std::vector<const TPropInfo*> TClassInfo::Properties() const {
  std::vector<const TClassInfo*> chain;
  for (const TClassInfo* c = this; c; c = c->parent_) chain.push_back(c);
  std::vector<const TPropInfo*> result;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it)
    for (const TPropInfo& p : (*it)->properties_) {
      // A redeclared property replaces its parent's at the parent's position.
      bool replaced = false;
      for (auto& existing : result)
        if (rtl::SameText(existing->Name(), p.Name())) {
          existing = &p;
          replaced = true;
        }
      if (!replaced) result.push_back(&p);
    }
  return result;
}

std::vector<const TMethodInfo*> TClassInfo::Methods() const {
  std::vector<const TMethodInfo*> result;
  for (const TClassInfo* c = this; c; c = c->parent_)
    for (const TMethodInfo& m : c->methods_) result.push_back(&m);
  return result;
}

TComponent* TClassInfo::Create(TComponent* owner) const {
  if (!factory_) throw EReadError("A classe " + name_ + std::string(" não pode ser criada"_ansi));
  return factory_(owner);
}

}  // namespace classes
