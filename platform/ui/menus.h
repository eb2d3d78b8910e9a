// Popup menus: items with captions and click handlers, shown at a screen point in a modal
// tracking loop that returns when the menu closes. A press outside the menu closes it and stays
// in the queue for whatever lies under it.
#pragma once
#include <string>
#include <vector>

#include "platform/classes/component.h"
#include "platform/classes/method.h"
#include "platform/ui/controls.h"

namespace ui {

class TMenuItem : public classes::TComponent {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TMenuItem(classes::TComponent* owner);
  ~TMenuItem() override;
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& v) { caption_ = v; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v) { enabled_ = v; }
  bool Visible() const { return visible_; }
  void SetVisible(bool v) { visible_ = v; }
  bool Checked() const { return checked_; }
  void SetChecked(bool v) { checked_ = v; }
  const classes::TNotifyEvent& OnClick() const { return onClick_; }
  void SetOnClick(classes::TNotifyEvent e) { onClick_ = std::move(e); }
  virtual void Click() { onClick_.Fire(this); }

  int Count() const { return static_cast<int>(items_.size()); }
  TMenuItem* Items(int index) const { return items_[static_cast<std::size_t>(index)]; }
  void Add(TMenuItem* item);
  void Remove(TMenuItem* item);
  bool HasParent() const override { return true; }
  classes::TComponent* GetParentComponent() const override { return parent_; }
  void SetParentComponent(classes::TComponent* parent) override;

 private:
  std::string caption_;
  bool enabled_ = true;
  bool visible_ = true;
  bool checked_ = false;
  classes::TNotifyEvent onClick_;
  TMenuItem* parent_ = nullptr;
  std::vector<TMenuItem*> items_;
};

enum TPopupAlignment { paLeft, paRight, paCenter };

class TPopupMenu : public classes::TComponent {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TPopupMenu(classes::TComponent* owner);
  TMenuItem& Items() { return *items_; }
  TPopupAlignment Alignment() const { return alignment_; }
  void SetAlignment(TPopupAlignment v) { alignment_ = v; }
  bool AutoPopup() const { return autoPopup_; }
  void SetAutoPopup(bool v) { autoPopup_ = v; }
  classes::TComponent* PopupComponent() const { return popupComponent_; }
  void SetPopupComponent(classes::TComponent* c) { popupComponent_ = c; }
  const classes::TNotifyEvent& OnPopup() const { return onPopup_; }
  void SetOnPopup(classes::TNotifyEvent e) { onPopup_ = std::move(e); }
  // Shows the menu with its anchor at the screen point (by Alignment) and returns when it
  // closes; a chosen item's click runs after that.
  virtual void Popup(int x, int y);
  // True while the menu is up (tests look at it from inside the loop).
  bool Showing() const { return showing_; }
  // The menu window while it is up.
  TWinControl* Window() const { return window_; }

 protected:
  void Notification(classes::TComponent* c, classes::TOperation op) override;

 private:
  TMenuItem* items_;
  TPopupAlignment alignment_ = paLeft;
  bool autoPopup_ = true;
  classes::TComponent* popupComponent_ = nullptr;
  classes::TNotifyEvent onPopup_;
  bool showing_ = false;
  TWinControl* window_ = nullptr;
};

}  // namespace ui
