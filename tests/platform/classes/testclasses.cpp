#include "testclasses.h"

#include "platform/classes/classbuilder.h"
#include "platform/classes/filer.h"
#include "platform/classes/registry.h"

namespace classes_test {

using namespace classes;

std::vector<std::string>& Log() {
  static std::vector<std::string> log;
  return log;
}

const TClassInfo& TTestOptions::StaticClassInfo() {
  static const auto info = TClassInfo::Make<TTestOptions, TPersistent>("TTestOptions", [](auto& c) {
    c.Enum("LockType", &TTestOptions::LockType, &TTestOptions::SetLockType, {"ltProprietary", "ltCompatible"})
        .Default(ltProprietary);
    c.Bool("RightsCheck", &TTestOptions::RightsCheck, &TTestOptions::SetRightsCheck).Default(true);
    c.Integer("CacheSize", &TTestOptions::CacheSize, &TTestOptions::SetCacheSize).Default(10);
  });
  return info;
}

const TClassInfo& TTestItem::StaticClassInfo() {
  static const auto info = TClassInfo::Make<TTestItem, TCollectionItem>("TTestItem", [](auto& c) {
    c.String("Name", &TTestItem::Name, &TTestItem::SetName);
    c.Integer("Size", &TTestItem::Size, &TTestItem::SetSize);
  });
  return info;
}

const TClassInfo& TTestWidget::StaticClassInfo() {
  static const auto info = TClassInfo::Make<TTestWidget, TComponent>("TTestWidget", [](auto& c) {
    c.String("Caption", &TTestWidget::Caption, &TTestWidget::SetCaption);
    c.Integer("Count", &TTestWidget::Count, &TTestWidget::SetCount);
    c.Float("Ratio", &TTestWidget::Ratio, &TTestWidget::SetRatio);
    c.Enum("Kind", &TTestWidget::Kind, &TTestWidget::SetKind, {"ltProprietary", "ltCompatible"});
    c.Set("Styles", &TTestWidget::Styles, &TTestWidget::SetStyles, {"stBold", "stItalic", "stUnderline"})
        .Default(TStyles{});
    c.Bool("Enabled", &TTestWidget::Enabled, &TTestWidget::SetEnabled)
        .Default(true)
        .Stored(&TTestWidget::StoreEnabled);
    c.Integer("Tag", &TTestWidget::tag_).Default(0);
    c.Object("Options", &TTestWidget::Options);
    c.Object("Lines", &TTestWidget::Lines);
    c.Object("Items", &TTestWidget::Items);
    c.Component("Buddy", &TTestWidget::Buddy, &TTestWidget::SetBuddy);
    c.Event("OnChange", &TTestWidget::OnChange, &TTestWidget::SetOnChange);
    c.Bool("ReadOnlyFlag", &TTestWidget::StoreEnabled, nullptr);
  });
  return info;
}

TTestWidget::TTestWidget(TComponent* owner)
    : TComponent(owner), items_([] { return std::make_unique<TTestItem>(); }, this) {
  lines_.SetOnChange(TNotifyEvent::FromFunction([this](TObject*) { ++linesChanges_; }));
}

TTestWidget::~TTestWidget() { Log().push_back(Name() + ".Destroy"); }

void TTestWidget::SetCaption(const std::string& v) {
  if (v == "boom") throw rtl::Exception("boom refused");
  readingWhenCaptionSet_ = InState(csReading);
  caption_ = v;
  Log().push_back(Name() + ".Caption=" + v);
}

void TTestWidget::SetEnabled(bool v) {
  enabled_ = v;
  Log().push_back(Name() + ".Enabled=" + (v ? "True" : "False"));
}

void TTestWidget::SetBuddy(TTestWidget* v) {
  if (buddy_) buddy_->RemoveFreeNotification(this);
  buddy_ = v;
  if (buddy_) buddy_->FreeNotification(this);
}

void TTestWidget::Loaded() {
  TComponent::Loaded();
  loadingWhenLoaded_ = InState(csLoading);
  readingWhenLoaded_ = InState(csReading);
  Log().push_back(Name() + ".Loaded");
}

void TTestWidget::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove) {
    Log().push_back(Name() + ".Removed " + component->Name());
    if (component == buddy_) SetBuddy(nullptr);
  }
}

const TClassInfo& TTestQuery::StaticClassInfo() {
  static const auto info = TClassInfo::Make<TTestQuery, TComponent>("TTestQuery", [](auto&) {});
  return info;
}

TTestQuery::TTestQuery(TComponent* owner)
    : TComponent(owner), params_([] { return std::make_unique<TTestItem>(); }) {}

void TTestQuery::DefineProperties(TFiler& filer) {
  TComponent::DefineProperties(filer);
  filer.DefineBinaryProperty(
      "Data",
      [this](TStream& s) {
        data_.resize(static_cast<std::size_t>(s.Size()));
        s.ReadBuffer(data_.data(), s.Size());
      },
      [this](TStream& s) { s.WriteBuffer(data_.data(), static_cast<std::int64_t>(data_.size())); },
      !data_.empty());
  filer.DefineProperty(
      "ParamData", [this](TReader& r) { r.ReadCollection(params_); },
      [this](TWriter& w) { w.WriteCollection(params_); }, true);
  filer.DefineProperty(
      "WaitCursor",
      [this](TReader& r) {
        if (r.NextValue() == TValueType::vaInteger)
          r.ReadInteger();
        else
          r.ReadIdent();
        sawWaitCursor_ = true;
      },
      nullptr, false);
}

const TClassInfo& TTestAbstract::StaticClassInfo() {
  static const auto info = TClassInfo::Make<TTestAbstract, TComponent>("TTestAbstract", [](auto&) {});
  return info;
}

const TClassInfo& TTestForm::StaticClassInfo() {
  static const auto info = TClassInfo::Make<TTestForm, TComponent>("TTestForm", [](auto& c) {
    c.String("Caption", &TTestForm::Caption, &TTestForm::SetCaption);
    c.Event("OnCreate", &TTestForm::OnCreate, &TTestForm::SetOnCreate);
    c.Field("Widget1", &TTestForm::Widget1);
    c.Field("Widget2", &TTestForm::Widget2);
    c.Field("Query1", &TTestForm::Query1);
    c.Method("WidgetChange", &TTestForm::WidgetChange);
    c.Method("FormCreate", &TTestForm::FormCreate);
    c.Method("Count", &TTestForm::Count);
  });
  return info;
}

void TTestForm::WidgetChange(TObject* sender) {
  changes_.push_back(static_cast<TComponent*>(sender)->Name());
}

void TTestForm::FormCreate(TObject*) { Log().push_back("FormCreate"); }

void TTestForm::Loaded() {
  TComponent::Loaded();
  Log().push_back(Name() + ".Loaded");
}

void RegisterTestClasses() { RegisterClass<TTestAbstract>(); }

}  // namespace classes_test
