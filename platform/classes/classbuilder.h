// Building a class's information: include this in the .cpp of every class that is created from
// a stored form description or has published properties, events, methods or fields.
//
//   // header: class TXbeSettings : public classes::TComponent { CLASSES_DECLARE_CLASSINFO() ... };
//
//   const classes::TClassInfo& TXbeSettings::StaticClassInfo() {
//     static const auto info = classes::TClassInfo::Make<TXbeSettings, classes::TComponent>(
//         "TXbeSettings", [](auto& c) {
//           // publication order is the stored order
//           c.String("DateFormat", &TXbeSettings::DateFormat, &TXbeSettings::SetDateFormat);
//           c.Integer("NumDecimals", &TXbeSettings::NumDecimals, &TXbeSettings::SetNumDecimals);
//           c.Bool("SetHostDate", &TXbeSettings::SetHostDate, &TXbeSettings::SetSetHostDate);
//           c.Set("XbeServerTypes", &TXbeSettings::XbeServerTypes, &TXbeSettings::SetXbeServerTypes,
//                 {"stXBE_REMOTE", "stXBE_LOCAL", "stXBE_XIS"});
//         });
//     return info;
//   }
//
// More forms (each returns the TPropInfo, so defaults and stored predicates chain):
//   c.Integer("Interval", &TTimer::Interval, &TTimer::SetInterval).Default(1000);
//   c.Bool("Active", &TXbeTable::Active, &TXbeTable::SetActive).Default(false).Stored(&TXbeTable::StoreActive);
//   c.Enum("XbeLockType", &O::XbeLockType, &O::SetXbeLockType, {"Proprietary", "Compatible"}).Default(Proprietary);
//   c.Bool("XbeFreshRecordCount", &O::freshRecordCount_);          // a plain member (private is fine here)
//   c.Bool("CaseInsensitive", &F::CaseInsensitive, nullptr);       // read-only: never read or written
//   c.Float("Precision", &P::Precision, &P::SetPrecision);
//   c.Object("XbeTableOptions", &TXbeTable::XbeTableOptions);      // getter giving a TPersistent* (or &):
//                                                                   // nested "XbeTableOptions.XbeLockType",
//                                                                   // a TStrings "( 'a' 'b' )", a TCollection "< item ... end >"
//   c.Component("MasterSource", &T::MasterSource, &T::SetMasterSource);  // TDataSource* by name
//   c.Event("OnTimer", &TTimer::OnTimer, &TTimer::SetOnTimer);     // or c.Event("OnTimer", &TTimer::onTimer_)
//   c.Method("FormCreate", &TFPrincipal::FormCreate);              // published method, bound by name
//   c.Method("Verifica", &TFPrincipal::Verifica);                  // any signature
//   c.Field("Memo1", &TFPrincipal::Memo1);                         // TMemo* member set to the component named Memo1
//
// Getters may be const or not; setters take the value by value or const reference. Integer
// types may be any width (a stored value outside the type's range is a read error). Enum values
// are the enumerator values 0..n-1 in the order of the names.
//
// A class that the form reader must find without a published field of the form naming it is
// registered once at start-up: classes::RegisterClass<TTimer>() (registry.h).
#pragma once
#include <functional>
#include <limits>
#include <memory>
#include <type_traits>
#include <typeinfo>
#include <utility>

#include "platform/classes/component.h"
#include "platform/classes/errors.h"
#include "platform/classes/method.h"
#include "platform/classes/typeinfo.h"

namespace classes {

namespace detail {
template <class T>
struct IsMethod : std::false_type {};
template <class Sig>
struct IsMethod<TMethod<Sig>> : std::true_type {};

[[noreturn]] void ThrowWrongComponentClass(const std::string& property, const std::string& className);
[[noreturn]] void ThrowWrongHandler(const std::string& property);
[[noreturn]] void ThrowWrongFieldClass(const std::string& field, const std::string& className);
}  // namespace detail

template <class T>
class TClassBuilder {
 public:
  explicit TClassBuilder(TClassInfo& info) : info_(info) {}

  template <class G, class S>
  TPropInfo& Integer(std::string name, G get, S set) {
    using V = ValueOf<G>;
    static_assert(std::is_integral_v<V>, "Integer property needs an integer getter");
    TPropInfo& p = Add(std::move(name), TPropKind::Integer, set);
    p.min_ = static_cast<std::int64_t>(std::numeric_limits<V>::min());
    p.max_ = static_cast<std::uint64_t>(std::numeric_limits<V>::max()) > static_cast<std::uint64_t>(INT64_MAX)
                 ? INT64_MAX
                 : static_cast<std::int64_t>(std::numeric_limits<V>::max());
    BindOrdinal<V>(p, get, set);
    return p;
  }
  template <class M>
    requires(!std::is_function_v<M>)
  TPropInfo& Integer(std::string name, M T::*field) {
    return Integer(std::move(name), field, field);
  }

  template <class G, class S>
  TPropInfo& Bool(std::string name, G get, S set) {
    using V = ValueOf<G>;
    static_assert(std::is_same_v<V, bool>, "Bool property needs a bool getter");
    TPropInfo& p = Add(std::move(name), TPropKind::Bool, set);
    p.names_ = {"False", "True"};
    p.min_ = 0;
    p.max_ = 1;
    BindOrdinal<V>(p, get, set);
    return p;
  }
  template <class M>
    requires(!std::is_function_v<M>)
  TPropInfo& Bool(std::string name, M T::*field) {
    return Bool(std::move(name), field, field);
  }

  template <class G, class S>
  TPropInfo& Enum(std::string name, G get, S set, std::vector<std::string> names) {
    using V = ValueOf<G>;
    static_assert(std::is_enum_v<V> || std::is_integral_v<V>, "Enum property needs an enum getter");
    TPropInfo& p = Add(std::move(name), TPropKind::Enum, set);
    p.min_ = 0;
    p.max_ = static_cast<std::int64_t>(names.size()) - 1;
    p.names_ = std::move(names);
    BindOrdinal<V>(p, get, set);
    return p;
  }
  template <class M>
    requires(!std::is_function_v<M>)
  TPropInfo& Enum(std::string name, M T::*field, std::vector<std::string> names) {
    return Enum(std::move(name), field, field, std::move(names));
  }

  // The getter gives a TSet<E> or an unsigned bit mask.
  template <class G, class S>
  TPropInfo& Set(std::string name, G get, S set, std::vector<std::string> names) {
    using V = ValueOf<G>;
    TPropInfo& p = Add(std::move(name), TPropKind::Set, set);
    p.min_ = 0;
    p.max_ = names.size() >= 63 ? INT64_MAX : (std::int64_t{1} << names.size()) - 1;
    p.names_ = std::move(names);
    p.getOrd_ = [get](TObject& o) -> std::int64_t {
      auto&& v = std::invoke(get, Self(o));
      if constexpr (requires { v.Bits(); })
        return static_cast<std::int64_t>(v.Bits());
      else
        return static_cast<std::int64_t>(v);
    };
    if constexpr (!std::is_null_pointer_v<S>) {
      p.setOrd_ = [set](TObject& o, std::int64_t bits) {
        if constexpr (requires { V::FromBits(0); })
          Put(set, Self(o), V::FromBits(static_cast<std::uint64_t>(bits)));
        else
          Put(set, Self(o), static_cast<V>(bits));
      };
    }
    return p;
  }
  template <class M>
    requires(!std::is_function_v<M>)
  TPropInfo& Set(std::string name, M T::*field, std::vector<std::string> names) {
    return Set(std::move(name), field, field, std::move(names));
  }

  template <class G, class S>
  TPropInfo& Float(std::string name, G get, S set) {
    using V = ValueOf<G>;
    static_assert(std::is_floating_point_v<V>, "Float property needs a floating-point getter");
    TPropInfo& p = Add(std::move(name), TPropKind::Float, set);
    p.getFloat_ = [get](TObject& o) { return static_cast<double>(std::invoke(get, Self(o))); };
    if constexpr (!std::is_null_pointer_v<S>)
      p.setFloat_ = [set](TObject& o, double v) { Put(set, Self(o), static_cast<V>(v)); };
    return p;
  }
  template <class M>
    requires(!std::is_function_v<M>)
  TPropInfo& Float(std::string name, M T::*field) {
    return Float(std::move(name), field, field);
  }

  template <class G, class S>
  TPropInfo& String(std::string name, G get, S set) {
    TPropInfo& p = Add(std::move(name), TPropKind::String, set);
    p.getStr_ = [get](TObject& o) { return std::string(std::invoke(get, Self(o))); };
    if constexpr (!std::is_null_pointer_v<S>)
      p.setStr_ = [set](TObject& o, const std::string& v) { Put(set, Self(o), v); };
    return p;
  }
  template <class M>
    requires(!std::is_function_v<M>)
  TPropInfo& String(std::string name, M T::*field) {
    return String(std::move(name), field, field);
  }

  // A persistent sub-object read in place: the getter gives a pointer or a reference (a member
  // object, or a std::unique_ptr member, will do).
  template <class G>
  TPropInfo& Object(std::string name, G get) {
    TPropInfo& p = Add(std::move(name), TPropKind::Class, nullptr);
    p.readOnly_ = false;  // read in place through the getter
    p.getObj_ = [get](TObject& o) -> TPersistent* {
      auto&& r = std::invoke(get, Self(o));
      using R = std::remove_cvref_t<decltype(r)>;
      if constexpr (std::is_pointer_v<R>)
        return r;
      else if constexpr (requires { r.get(); })
        return r.get();
      else
        return &r;
    };
    return p;
  }

  template <class G, class S>
  TPropInfo& Component(std::string name, G get, S set) {
    using V = ValueOf<G>;
    static_assert(std::is_pointer_v<V>, "Component property needs a pointer getter");
    using C = std::remove_pointer_t<V>;
    TPropInfo& p = Add(std::move(name), TPropKind::Component, set);
    p.getComp_ = [get](TObject& o) -> TComponent* { return std::invoke(get, Self(o)); };
    if constexpr (!std::is_null_pointer_v<S>) {
      p.setComp_ = [set, n = p.Name()](TObject& o, TComponent* v) {
        C* c = v ? dynamic_cast<C*>(v) : nullptr;
        if (v && !c) detail::ThrowWrongComponentClass(n, v->ClassName());
        Put(set, Self(o), c);
      };
    }
    return p;
  }
  template <class M>
    requires(!std::is_function_v<M>)
  TPropInfo& Component(std::string name, M T::*field) {
    return Component(std::move(name), field, field);
  }

  template <class G, class S>
  TPropInfo& Event(std::string name, G get, S set) {
    using V = ValueOf<G>;
    static_assert(detail::IsMethod<V>::value, "Event property needs a TMethod getter");
    TPropInfo& p = Add(std::move(name), TPropKind::Method, set);
    p.methodType_ = typeid(V);
    p.getMethod_ = [get](TObject& o) { return std::any(V(std::invoke(get, Self(o)))); };
    p.methodAssigned_ = [get](TObject& o) { return std::invoke(get, Self(o)).Assigned(); };
    p.sameMethod_ = [](const std::any& a, const std::any& b) {
      const V* x = std::any_cast<V>(&a);
      const V* y = std::any_cast<V>(&b);
      return x && y && *x == *y;
    };
    if constexpr (!std::is_null_pointer_v<S>) {
      p.setMethod_ = [set, n = p.Name()](TObject& o, const std::any& h) {
        const V* m = std::any_cast<V>(&h);
        if (!m) detail::ThrowWrongHandler(n);
        Put(set, Self(o), *m);
      };
    }
    return p;
  }
  template <class M>
    requires(!std::is_function_v<M>)
  TPropInfo& Event(std::string name, M T::*field) {
    return Event(std::move(name), field, field);
  }

  template <class R, class... A>
  void Method(std::string name, R (T::*method)(A...)) {
    using V = TMethod<R(A...)>;
    info_.methods_.push_back(TMethodInfo{std::move(name), typeid(V), [method](TObject& o) {
                                           return std::any(V(&Self(o), method));
                                         }});
  }

  template <class C>
  void Field(std::string name, C* T::*field) {
    static_assert(std::is_base_of_v<TComponent, C>, "published fields hold components");
    info_.fields_.push_back(
        TFieldInfo{name, &C::StaticClassInfo(), [field, name](TObject& o, TComponent* v) {
                     C* c = v ? dynamic_cast<C*>(v) : nullptr;
                     if (v && !c) detail::ThrowWrongFieldClass(name, v->ClassName());
                     Self(o).*field = c;
                   }});
  }

 private:
  template <class G>
  using ValueOf = std::remove_cvref_t<std::invoke_result_t<G, T&>>;

  static T& Self(TObject& o) { return static_cast<T&>(o); }

  template <class S, class V>
  static void Put(S set, T& self, V&& value) {
    if constexpr (std::is_member_object_pointer_v<S>)
      self.*set = std::forward<V>(value);
    else
      std::invoke(set, self, std::forward<V>(value));
  }

  template <class S>
  TPropInfo& Add(std::string name, TPropKind kind, S) {
    TPropInfo& p = info_.properties_.emplace_back(std::move(name), kind);
    p.readOnly_ = std::is_null_pointer_v<S>;
    return p;
  }

  template <class V, class G, class S>
  static void BindOrdinal(TPropInfo& p, G get, S set) {
    p.getOrd_ = [get](TObject& o) { return static_cast<std::int64_t>(std::invoke(get, Self(o))); };
    if constexpr (!std::is_null_pointer_v<S>)
      p.setOrd_ = [set](TObject& o, std::int64_t v) { Put(set, Self(o), static_cast<V>(v)); };
  }

  TClassInfo& info_;
};

template <class T, class Base, class Describe>
TClassInfo TClassInfo::Make(std::string name, Describe&& describe) {
  static_assert(std::is_base_of_v<Base, T>, "Base must be a base of T");
  TClassInfo info(std::move(name), &Base::StaticClassInfo());
  if constexpr (std::is_base_of_v<TComponent, T> && !std::is_abstract_v<T> &&
                std::is_constructible_v<T, TComponent*>) {
    // The owner takes the new component at once (TComponent's constructor).
    info.factory_ = [](TComponent* owner) -> TComponent* { return new T(owner); };
  }
  TClassBuilder<T> builder(info);
  describe(builder);
  return info;
}

}  // namespace classes
