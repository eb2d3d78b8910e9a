// Small components with one property of every kind, for the reader and writer tests.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/classes/collection.h"
#include "platform/classes/component.h"
#include "platform/classes/streams.h"
#include "platform/classes/stringlist.h"

namespace classes_test {

// What the components did, in order ("Widget1.Loaded", "Widget1.Caption=...").
std::vector<std::string>& Log();

enum TLockType { ltProprietary, ltCompatible };
enum TStyle { stBold, stItalic, stUnderline };
using TStyles = classes::TSet<TStyle>;

class TTestOptions : public classes::TPersistent {
  CLASSES_DECLARE_CLASSINFO()
 public:
  TLockType LockType() const { return lockType_; }
  void SetLockType(TLockType v) { lockType_ = v; }
  bool RightsCheck() const { return rightsCheck_; }
  void SetRightsCheck(bool v) { rightsCheck_ = v; }
  int CacheSize() const { return cacheSize_; }
  void SetCacheSize(int v) { cacheSize_ = v; }

 private:
  TLockType lockType_ = ltProprietary;
  bool rightsCheck_ = true;
  int cacheSize_ = 10;
};

class TTestItem : public classes::TCollectionItem {
  CLASSES_DECLARE_CLASSINFO()
 public:
  std::string Name() const { return name_; }
  void SetName(const std::string& v) { name_ = v; }
  int Size() const { return size_; }
  void SetSize(int v) { size_ = v; }

 private:
  std::string name_;
  int size_ = 0;
};

class TTestWidget : public classes::TComponent {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TTestWidget(classes::TComponent* owner);
  ~TTestWidget() override;

  std::string Caption() const { return caption_; }
  void SetCaption(const std::string& v);
  std::int8_t Count() const { return count_; }
  void SetCount(std::int8_t v) { count_ = v; }
  double Ratio() const { return ratio_; }
  void SetRatio(double v) { ratio_ = v; }
  TLockType Kind() const { return kind_; }
  void SetKind(TLockType v) { kind_ = v; }
  TStyles Styles() const { return styles_; }
  void SetStyles(TStyles v) { styles_ = v; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v);
  bool StoreEnabled() const { return storeEnabled_; }
  int Tag() const { return tag_; }
  TTestOptions* Options() { return &options_; }
  classes::TStringList* Lines() { return &lines_; }
  classes::TCollection* Items() { return &items_; }
  TTestWidget* Buddy() const { return buddy_; }
  void SetBuddy(TTestWidget* v);
  const classes::TNotifyEvent& OnChange() const { return onChange_; }
  void SetOnChange(classes::TNotifyEvent e) { onChange_ = std::move(e); }
  void Change() { onChange_.Fire(this); }

  bool storeEnabled_ = true;
  bool readingWhenCaptionSet_ = false;
  bool loadingWhenLoaded_ = true;
  bool readingWhenLoaded_ = true;
  int linesChanges_ = 0;
  classes::TComponent* parent_ = nullptr;

  void Loaded() override;
  void SetParentComponent(classes::TComponent* parent) override { parent_ = parent; }

 protected:
  void Notification(classes::TComponent* component, classes::TOperation operation) override;

 private:
  std::string caption_;
  std::int8_t count_ = 0;
  double ratio_ = 0;
  TLockType kind_ = ltProprietary;
  TStyles styles_;
  bool enabled_ = true;
  int tag_ = 0;
  TTestOptions options_;
  classes::TStringList lines_;
  classes::TCollection items_;
  TTestWidget* buddy_ = nullptr;
  classes::TNotifyEvent onChange_;
};

// A component with extra stored properties of the three kinds a query declares.
class TTestQuery : public classes::TComponent {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TTestQuery(classes::TComponent* owner);
  void DefineProperties(classes::TFiler& filer) override;
  std::vector<std::uint8_t> data_;
  classes::TCollection params_;
  bool sawWaitCursor_ = false;
};

// An abstract class: registered, but it cannot be created.
class TTestAbstract : public classes::TComponent {
  CLASSES_DECLARE_CLASSINFO()
 public:
  using TComponent::TComponent;
  virtual void Run() = 0;
};

class TTestForm : public classes::TComponent {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TTestForm(classes::TComponent* owner = nullptr) : TComponent(owner) {}
  void WidgetChange(classes::TObject* sender);
  void FormCreate(classes::TObject* sender);
  int Count(const std::string& s) { return static_cast<int>(s.size()); }
  const classes::TNotifyEvent& OnCreate() const { return onCreate_; }
  void SetOnCreate(classes::TNotifyEvent e) { onCreate_ = std::move(e); }
  std::string Caption() const { return caption_; }
  void SetCaption(const std::string& v) { caption_ = v; }
  void Loaded() override;

  TTestWidget* Widget1 = nullptr;
  TTestWidget* Widget2 = nullptr;
  TTestQuery* Query1 = nullptr;
  std::vector<std::string> changes_;

 private:
  std::string caption_;
  classes::TNotifyEvent onCreate_;
};

// Registers TTestWidget's relatives that no form field names.
void RegisterTestClasses();

}  // namespace classes_test
