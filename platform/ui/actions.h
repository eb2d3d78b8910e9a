// Actions: a command object that controls link to. A linked control's click executes the
// action instead of firing its own OnClick, and the control hears of the action's changes
// through its action-change hook.
#pragma once
#include <vector>

#include "platform/classes/component.h"
#include "platform/classes/method.h"

namespace ui {

class TImageList;
class TControl;

// A list of actions sharing one image list.
class TCustomActionList : public classes::TComponent {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TCustomActionList(classes::TComponent* owner) : classes::TComponent(owner) {}
  TImageList* Images() const { return images_; }
  void SetImages(TImageList* v) { images_ = v; }

 private:
  TImageList* images_ = nullptr;  // not owned
};

class TBasicAction : public classes::TComponent {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TBasicAction(classes::TComponent* owner) : classes::TComponent(owner) {}
  ~TBasicAction() override;

  const classes::TNotifyEvent& OnExecute() const { return onExecute_; }
  void SetOnExecute(classes::TNotifyEvent e) { onExecute_ = std::move(e); }
  // Runs OnExecute; false when no handler is bound.
  virtual bool Execute();

  // The controls linked to this action (they are told of its changes).
  void RegisterClient(TControl* c);
  void UnRegisterClient(TControl* c);

 protected:
  // Tells every linked control; checkDefaults is true when only defaults are being checked.
  void Change(bool checkDefaults = false);

 private:
  classes::TNotifyEvent onExecute_;
  std::vector<TControl*> clients_;
};

class TCustomAction : public TBasicAction {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TCustomAction(classes::TComponent* owner) : TBasicAction(owner) {}
  bool Checked() const { return checked_; }
  void SetChecked(bool v);
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int v);
  TCustomActionList* ActionList() const { return actionList_; }
  void SetActionList(TCustomActionList* v) { actionList_ = v; }

 private:
  bool checked_ = false;
  int imageIndex_ = -1;
  TCustomActionList* actionList_ = nullptr;
};

}  // namespace ui
