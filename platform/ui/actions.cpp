#include "platform/ui/actions.h"

#include <algorithm>

#include "platform/classes/classbuilder.h"
#include "platform/ui/controls.h"

namespace ui {

const classes::TClassInfo& TCustomActionList::StaticClassInfo() {
  static const auto info =
      classes::TClassInfo::Make<TCustomActionList, classes::TComponent>("TCustomActionList", [](auto&) {});
  return info;
}

const classes::TClassInfo& TBasicAction::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TBasicAction, classes::TComponent>("TBasicAction", [](auto& c) {
    c.Event("OnExecute", &TBasicAction::OnExecute, &TBasicAction::SetOnExecute);
  });
  return info;
}

TBasicAction::~TBasicAction() {
  for (TControl* c : std::vector<TControl*>(clients_)) c->SetAction(nullptr);
}

bool TBasicAction::Execute() {
  if (!onExecute_.Assigned()) return false;
  onExecute_.Fire(this);
  return true;
}

void TBasicAction::RegisterClient(TControl* c) {
  if (std::find(clients_.begin(), clients_.end(), c) == clients_.end()) clients_.push_back(c);
}

void TBasicAction::UnRegisterClient(TControl* c) { std::erase(clients_, c); }

void TBasicAction::Change(bool checkDefaults) {
  for (TControl* c : std::vector<TControl*>(clients_)) c->ActionChanged(this, checkDefaults);
}

const classes::TClassInfo& TCustomAction::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TCustomAction, TBasicAction>("TCustomAction", [](auto& c) {
    c.Bool("Checked", &TCustomAction::Checked, &TCustomAction::SetChecked).Default(false);
    c.Integer("ImageIndex", &TCustomAction::ImageIndex, &TCustomAction::SetImageIndex).Default(-1);
  });
  return info;
}

void TCustomAction::SetChecked(bool v) {
  if (v == checked_) return;
  checked_ = v;
  Change();
}

void TCustomAction::SetImageIndex(int v) {
  if (v == imageIndex_) return;
  imageIndex_ = v;
  Change();
}

}  // namespace ui
