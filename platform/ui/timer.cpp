#include "platform/classes/classbuilder.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/forms.h"

namespace ui {

const classes::TClassInfo& TTimer::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TTimer, classes::TComponent>("TTimer", [](auto& c) {
    c.Bool("Enabled", &TTimer::Enabled, &TTimer::SetEnabled).Default(true);
    c.Integer("Interval", &TTimer::Interval, &TTimer::SetInterval).Default(1000);
    c.Event("OnTimer", &TTimer::OnTimer, &TTimer::SetOnTimer);
  });
  return info;
}

TTimer::TTimer(classes::TComponent* owner) : classes::TComponent(owner) {
  if (Application) window_ = Application->Windows().AllocateHandle(this);
}

TTimer::~TTimer() {
  enabled_ = false;
  UpdateTimer();
  if (Application && window_) Application->Windows().ReleaseHandle(window_);
}

void TTimer::UpdateTimer() {
  if (!Application || !window_) return;
  MessageQueue& q = Application->Windows().Queue();
  q.KillTimer(window_, 1);
  armed_ = false;
  if (interval_ != 0 && enabled_ && onTimer_.Assigned() && !InState(classes::csDesigning)) {
    q.SetTimer(window_, 1, interval_);
    armed_ = true;
  }
}

void TTimer::SetEnabled(bool v) {
  if (v == enabled_) return;
  enabled_ = v;
  UpdateTimer();
}

void TTimer::SetInterval(std::uint32_t v) {
  if (v == interval_) return;
  interval_ = v;
  UpdateTimer();
}

void TTimer::SetOnTimer(classes::TNotifyEvent e) {
  onTimer_ = std::move(e);
  UpdateTimer();
}

void TTimer::HandleMessage(TMessage& m) {
  if (m.msg != WM_TIMER) return;
  // An exception from the handler reaches the application's error box through the loop.
  Timer();
}

void TTimer::Timer() { onTimer_.Fire(this); }

}  // namespace ui
