// Bound handlers: a method together with the object it runs on, as the class library's events
// are. An event property holds one; a stored form description binds it by method name to a
// published method of the form (see typeinfo.h, TClassBuilder::Method).
//
//   class TTimer : public classes::TComponent {
//    public:
//     const classes::TNotifyEvent& OnTimer() const { return onTimer_; }
//     void SetOnTimer(classes::TNotifyEvent e) { onTimer_ = std::move(e); }
//    protected:
//     void DoTimer() { onTimer_.Fire(this); }   // calls the handler only when assigned
//    private:
//     classes::TNotifyEvent onTimer_;
//   };
//   timer->SetOnTimer({form, &TFPrincipal::Timer1Timer});
//
// Other event types are TMethod<void(TObject* sender, std::string& name, bool& action)> and so on.
// A handler may also be a plain callable (TMethod::FromFunction), for internal wiring and tests;
// such a handler is no published method and is never written to a description.
#pragma once
#include <functional>
#include <type_traits>
#include <utility>

namespace classes {

class TObject;

template <class Sig>
class TMethod;

template <class R, class... A>
class TMethod<R(A...)> {
 public:
  using Code = R (TObject::*)(A...);

  TMethod() = default;
  TMethod(std::nullptr_t) {}
  // The method may belong to the object's class or to one of its bases.
  template <class T, class C>
    requires std::is_base_of_v<C, T>
  TMethod(T* object, R (C::*method)(A...))
      : object_(static_cast<C*>(object)), code_(object ? static_cast<Code>(method) : nullptr) {}

  template <class F>
  static TMethod FromFunction(F&& f) {
    TMethod m;
    m.function_ = std::forward<F>(f);
    return m;
  }

  bool Assigned() const { return (object_ != nullptr && code_ != nullptr) || function_ != nullptr; }
  explicit operator bool() const { return Assigned(); }

  R operator()(A... args) const {
    if (function_) return function_(std::forward<A>(args)...);
    return (object_->*code_)(std::forward<A>(args)...);
  }

  // Calls the handler only when one is assigned; otherwise returns R's zero value.
  R Fire(A... args) const {
    if (!Assigned()) return R();
    return (*this)(std::forward<A>(args)...);
  }

  TObject* Object() const { return object_; }
  Code GetCode() const { return code_; }
  bool IsFunction() const { return function_ != nullptr; }

  // Same object and same method. Plain callables equal nothing but an empty handler.
  friend bool operator==(const TMethod& a, const TMethod& b) {
    if (a.function_ || b.function_) return !a.Assigned() && !b.Assigned();
    return a.object_ == b.object_ && a.code_ == b.code_;
  }

 private:
  TObject* object_ = nullptr;
  Code code_ = nullptr;
  std::function<R(A...)> function_;
};

// The event with the component as its only argument (OnClick, OnCreate, OnTimer, OnChange...).
using TNotifyEvent = TMethod<void(TObject* sender)>;

}  // namespace classes
