// Run-time class information: the class name, its parent, the published properties in
// publication order (inherited ones first), the published methods that a description binds
// events to, the published fields that receive the components read for a form, and the
// factory (the "virtual constructor") that creates a component of the class with an owner.
//
// The tables are built by TClassInfo::Make in classbuilder.h; readers and writers of stored
// form descriptions, and tests, use the typed accessors of TPropInfo below.
#pragma once
#include <any>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <typeindex>
#include <vector>

#include "platform/classes/object.h"

namespace classes {

class TComponent;

enum class TPropKind {
  Integer,    // any integer type; range checked against the C++ type
  Bool,       // False / True
  Enum,       // an enumeration, by the names given at registration
  Set,        // a TSet (or an unsigned mask) of named elements, "[a, b]"
  Float,
  String,     // 8-bit text
  Class,      // a persistent sub-object read in place: nested properties "Font.Height", a string
              // list "(...)", a collection "<...>"
  Component,  // a reference to a component by name, resolved after the whole description
  Method,     // an event, bound by method name to a published method of the root
};

class TPropInfo {
 public:
  TPropInfo(std::string name, TPropKind kind) : name_(std::move(name)), kind_(kind) {}

  const std::string& Name() const { return name_; }
  TPropKind Kind() const { return kind_; }
  const std::vector<std::string>& ElementNames() const { return names_; }
  // The enumerator (Enum, Bool) or element (Set) value of a name, case-insensitive; -1 if none.
  int ValueOfName(std::string_view name) const;
  // True when the property has no setter (published read-only; never written, never read).
  bool IsReadOnly() const { return readOnly_; }

  // Declaring defaults and the stored predicate (chained after registration).
  template <class V>
  TPropInfo& Default(V value) {
    if constexpr (requires { value.Bits(); })
      default_ = static_cast<std::int64_t>(value.Bits());
    else
      default_ = static_cast<std::int64_t>(value);
    hasDefault_ = true;
    return *this;
  }
  TPropInfo& Stored(bool stored) {
    stored_ = [stored](TObject&) { return stored; };
    return *this;
  }
  template <class C>
  TPropInfo& Stored(bool (C::*predicate)() const) {
    stored_ = [predicate](TObject& o) { return (static_cast<C&>(o).*predicate)(); };
    return *this;
  }
  // Narrows an integer property to lo..hi: the reader and SetOrdinal refuse other values.
  TPropInfo& Range(std::int64_t lo, std::int64_t hi) {
    min_ = lo;
    max_ = hi;
    return *this;
  }
  std::int64_t MinValue() const { return min_; }
  std::int64_t MaxValue() const { return max_; }
  bool HasDefault() const { return hasDefault_; }
  std::int64_t DefaultValue() const { return default_; }
  // The stored predicate (true when none was given).
  bool IsStored(TObject& instance) const { return !stored_ || stored_(instance); }
  // Whether the current value is the one a description need not hold: an ordinal equal to its
  // declared default (ordinals without a default are always written), an empty string, a zero
  // float, an unassigned reference or event.
  bool IsDefaultValue(TObject& instance) const;

  // Typed access; the setters raise EReadError on a read-only property. Ordinal covers Integer, Bool, Enum and Set (the element bits).
  std::int64_t GetOrdinal(TObject& instance) const { return getOrd_(instance); }
  void SetOrdinal(TObject& instance, std::int64_t value) const;  // range checked
  double GetFloat(TObject& instance) const { return getFloat_(instance); }
  void SetFloat(TObject& instance, double value) const;
  std::string GetString(TObject& instance) const { return getStr_(instance); }
  void SetString(TObject& instance, const std::string& value) const;
  TPersistent* GetObject(TObject& instance) const { return getObj_(instance); }
  TComponent* GetComponent(TObject& instance) const { return getComp_(instance); }
  // Raises EReadError when the component is not of the property's class.
  void SetComponent(TObject& instance, TComponent* value) const;
  // Events: the value is a TMethod<Sig> in a std::any; MethodType() is typeid(TMethod<Sig>).
  std::type_index MethodType() const { return methodType_; }
  std::any GetMethod(TObject& instance) const { return getMethod_(instance); }
  // Raises EReadError when the handler is not of the event's type.
  void SetMethod(TObject& instance, const std::any& handler) const;
  bool SameMethod(const std::any& a, const std::any& b) const { return sameMethod_(a, b); }
  bool MethodAssigned(TObject& instance) const { return methodAssigned_(instance); }

 private:
  template <class T>
  friend class TClassBuilder;

  std::string name_;
  TPropKind kind_;
  std::vector<std::string> names_;
  bool readOnly_ = false;
  bool hasDefault_ = false;
  std::int64_t default_ = 0;
  std::int64_t min_ = INT64_MIN, max_ = INT64_MAX;
  std::function<bool(TObject&)> stored_;
  std::function<std::int64_t(TObject&)> getOrd_;
  std::function<void(TObject&, std::int64_t)> setOrd_;
  std::function<double(TObject&)> getFloat_;
  std::function<void(TObject&, double)> setFloat_;
  std::function<std::string(TObject&)> getStr_;
  std::function<void(TObject&, const std::string&)> setStr_;
  std::function<TPersistent*(TObject&)> getObj_;
  std::function<TComponent*(TObject&)> getComp_;
  std::function<void(TObject&, TComponent*)> setComp_;
  std::type_index methodType_ = typeid(void);
  std::function<std::any(TObject&)> getMethod_;
  std::function<void(TObject&, const std::any&)> setMethod_;
  std::function<bool(const std::any&, const std::any&)> sameMethod_;
  std::function<bool(TObject&)> methodAssigned_;
};

// A published method: binding it to an object gives a TMethod<Sig> in a std::any.
struct TMethodInfo {
  std::string name;
  std::type_index type = typeid(void);  // typeid(TMethod<Sig>)
  std::function<std::any(TObject& self)> bind;
};

// A published field of a form: a pointer member that receives the component of that name.
struct TFieldInfo {
  std::string name;
  const TClassInfo* fieldClass = nullptr;
  // Stores the component (nullptr clears); raises EComponentError for a component of another class.
  std::function<void(TObject& self, TComponent* value)> set;
};

class TClassInfo {
 public:
  TClassInfo(std::string name, const TClassInfo* parent) : name_(std::move(name)), parent_(parent) {}
  TClassInfo(TClassInfo&&) = default;

  const std::string& Name() const { return name_; }
  const TClassInfo* Parent() const { return parent_; }
  bool InheritsFrom(const TClassInfo& other) const;

  // Own and inherited, case-insensitive; the class's own entries hide its parents'.
  const TPropInfo* FindProperty(std::string_view name) const;
  const TMethodInfo* FindMethod(std::string_view name) const;
  const TFieldInfo* FindField(std::string_view name) const;
  // The class of a published field by class name (own and inherited), so a form's description
  // finds its components' classes without global registration.
  const TClassInfo* FindFieldClass(std::string_view className) const;
  // Every published property, inherited first, each in publication order.
  std::vector<const TPropInfo*> Properties() const;
  // Published methods of this class and its parents (own first).
  std::vector<const TMethodInfo*> Methods() const;

  // The virtual constructor: a component of this class (or of the class itself when abstract:
  // none) with the given owner, which then owns it.
  bool CanCreate() const { return static_cast<bool>(factory_); }
  TComponent* Create(TComponent* owner) const;

  template <class T, class Base, class Describe>
  static TClassInfo Make(std::string name, Describe&& describe);

 private:
  template <class T>
  friend class TClassBuilder;

  std::string name_;
  const TClassInfo* parent_;
  std::deque<TPropInfo> properties_;
  std::deque<TMethodInfo> methods_;
  std::deque<TFieldInfo> fields_;
  std::function<TComponent*(TComponent* owner)> factory_;
};

}  // namespace classes
