// Hints: a control's hint text shown in a small window below the pointer once the pointer has
// rested on it for HintPause milliseconds; hidden after HintHidePause, when the pointer moves to
// another control, or on a mouse press. A control shows hints when its ShowHint says so, or,
// with ParentShowHint, when its parent's does. The text is the hint up to its first "|".
#pragma once
#include <string>

#include "platform/ui/controls.h"
#include "platform/ui/forms.h"

namespace ui {

class WindowSystem;

// The hint's window: the text on the tooltip colour in a black frame. It is never activated
// and takes no input.
class THintWindow : public TCustomForm {
 public:
  explicit THintWindow(classes::TComponent* owner);
  void ActivateHint(TPoint screen, const std::string& text);
  const std::string& HintText() const { return text_; }

 protected:
  void PaintWindow(TCanvas& dc) override;

 private:
  std::string text_;
};

class HintController final : public MessageTarget {
 public:
  explicit HintController(WindowSystem& windows);
  ~HintController() override;
  HintController(const HintController&) = delete;
  HintController& operator=(const HintController&) = delete;

  int hintPause = 500;
  int hintHidePause = 2500;

  // The control under the pointer changed (null: none).
  void MouseControlChanged(TControl* control);
  void MousePressed() { Cancel(); }
  void ControlDestroyed(TControl* control);
  // The window while a hint shows, else null.
  THintWindow* Showing() const;
  void HandleMessage(TMessage& m) override;

 private:
  enum : std::uintptr_t { kShowTimer = 1, kHideTimer = 2 };
  void Cancel();
  void ShowNow();

  WindowSystem& windows_;
  HWND handle_ = 0;
  TControl* control_ = nullptr;  // waiting for, or showing, its hint
  THintWindow* window_ = nullptr;
};

// Whether a control shows hints (ShowHint, taken from the parent while ParentShowHint).
bool ShowsHints(const TControl& control);
// The part of a hint before its first "|".
std::string GetShortHint(const std::string& hint);

}  // namespace ui
