// The timer component: fires OnTimer about every Interval milliseconds while Enabled, through
// the message loop (the main one or a modal one). Setting Enabled, Interval or OnTimer restarts
// the countdown; setting the same value again does not.
#pragma once
#include <cstdint>

#include "platform/classes/component.h"
#include "platform/classes/method.h"
#include "platform/ui/controls.h"

namespace ui {

class TTimer : public classes::TComponent, public MessageTarget {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TTimer(classes::TComponent* owner);
  ~TTimer() override;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v);
  std::uint32_t Interval() const { return interval_; }
  void SetInterval(std::uint32_t v);
  const classes::TNotifyEvent& OnTimer() const { return onTimer_; }
  void SetOnTimer(classes::TNotifyEvent e);

  void HandleMessage(TMessage& m) override;
  // True while the timer's tick is armed in the queue.
  bool Armed() const { return armed_; }

 protected:
  virtual void Timer();

 private:
  void UpdateTimer();

  bool enabled_ = true;
  std::uint32_t interval_ = 1000;
  classes::TNotifyEvent onTimer_;
  HWND window_ = 0;
  bool armed_ = false;
};

}  // namespace ui
