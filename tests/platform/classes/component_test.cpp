#include <gtest/gtest.h>

#include <memory>

#include "platform/classes/classbuilder.h"
#include "platform/classes/errors.h"
#include "platform/classes/registry.h"
#include "testclasses.h"

using namespace classes;
using namespace classes_test;

namespace {

class ComponentTest : public ::testing::Test {
 protected:
  void SetUp() override { Log().clear(); }
};

TEST_F(ComponentTest, OwnerDestroysOwnedComponentsLastFirstAndKeepsCreationOrder) {
  auto form = std::make_unique<TTestForm>();
  auto* a = new TTestWidget(form.get());
  a->SetName("A");
  auto* b = new TTestWidget(form.get());
  b->SetName("B");
  auto* c = new TTestWidget(form.get());
  c->SetName("C");
  ASSERT_EQ(form->ComponentCount(), 3);
  EXPECT_EQ(form->Components(0), a);
  EXPECT_EQ(form->Components(2), c);
  EXPECT_EQ(b->ComponentIndex(), 1);
  EXPECT_THROW(form->Components(3), EListError);
  form.reset();
  // Siblings are not told of each other while their owner goes.
  EXPECT_EQ(Log(), (std::vector<std::string>{"C.Destroy", "B.Destroy", "A.Destroy"}));
}

TEST_F(ComponentTest, ComponentDestroyedAloneLeavesItsOwnerAndSiblingsAreTold) {
  TTestForm form;
  auto* a = new TTestWidget(&form);
  a->SetName("A");
  auto* b = new TTestWidget(&form);
  b->SetName("B");
  delete a;
  EXPECT_EQ(form.ComponentCount(), 1);
  EXPECT_EQ(form.FindComponent("a"), nullptr);
  EXPECT_EQ(Log(), (std::vector<std::string>{"A.Destroy", "B.Removed A"}));
}

TEST_F(ComponentTest, FreeNotificationAcrossOwnersClearsTheReferenceOnce) {
  TTestForm form1, form2;
  auto* target = new TTestWidget(&form1);
  target->SetName("Target");
  auto* holder = new TTestWidget(&form2);
  holder->SetName("Holder");
  holder->SetBuddy(target);
  delete target;
  EXPECT_EQ(holder->Buddy(), nullptr);
  EXPECT_EQ(std::count(Log().begin(), Log().end(), "Holder.Removed Target"), 1);
}

TEST_F(ComponentTest, FreeNotificationWithinOneOwnerIsToldOnce) {
  TTestForm form;
  auto* target = new TTestWidget(&form);
  target->SetName("Target");
  auto* holder = new TTestWidget(&form);
  holder->SetName("Holder");
  holder->SetBuddy(target);
  delete target;
  EXPECT_EQ(holder->Buddy(), nullptr);
  EXPECT_EQ(std::count(Log().begin(), Log().end(), "Holder.Removed Target"), 1);
}

TEST_F(ComponentTest, FreeNotificationOfTheHolderIsDroppedWhenTheHolderGoesFirst) {
  TTestForm form1;
  auto* target = new TTestWidget(&form1);
  target->SetName("Target");
  {
    TTestForm form2;
    auto* holder = new TTestWidget(&form2);
    holder->SetName("Holder");
    holder->SetBuddy(target);
  }
  Log().clear();
  delete target;  // no dangling holder to tell
  EXPECT_EQ(Log(), (std::vector<std::string>{"Target.Destroy"}));
}

TEST_F(ComponentTest, NamesAreIdentifiersUniqueWithoutRegardToCase) {
  TTestForm form;
  auto* a = new TTestWidget(&form);
  a->SetName("Memo1");
  auto* b = new TTestWidget(&form);
  EXPECT_THROW(b->SetName("MEMO1"), EComponentError);
  for (const char* bad : {"1abc", "a b", "a.b", "-"}) EXPECT_THROW(b->SetName(bad), EComponentError) << bad;
  b->SetName("_Memo_2");
  EXPECT_EQ(form.FindComponent("_memo_2"), b);
  b->SetName("");
  EXPECT_EQ(b->Name(), "");
}

TEST_F(ComponentTest, PublishedFieldFollowsTheNameAndIsClearedOnRemoval) {
  TTestForm form;
  auto* w = new TTestWidget(&form);
  w->SetName("Widget1");
  EXPECT_EQ(form.Widget1, w);
  w->SetName("Widget2");
  EXPECT_EQ(form.Widget1, nullptr);
  EXPECT_EQ(form.Widget2, w);
  delete w;
  EXPECT_EQ(form.Widget2, nullptr);
  (new TTestWidget(&form))->SetName("Widget1");
  form.DestroyComponents();
  EXPECT_EQ(form.Widget1, nullptr);
  // A component of another class cannot take a field's name.
  auto* q = new TTestQuery(&form);
  EXPECT_THROW(q->SetName("Widget1"), EComponentError);
  EXPECT_EQ(q->Name(), "");
}

TEST_F(ComponentTest, StateFlagsAndUpdatingBracket) {
  TTestForm form;
  auto* w = new TTestWidget(&form);
  EXPECT_TRUE(w->ComponentState().Empty());
  w->Updating();
  EXPECT_TRUE(w->InState(csUpdating));
  w->Updated();
  EXPECT_FALSE(w->InState(csUpdating));
  form.SetDesigning(true);
  EXPECT_TRUE(w->InState(csDesigning));
  form.Destroying();
  EXPECT_TRUE(w->InState(csDestroying));
}

TEST_F(ComponentTest, VirtualConstructorByRegisteredClassName) {
  RegisterTestClasses();
  RegisterClass<TTestWidget>();
  RegisterClass<TTestWidget>();  // again: nothing happens
  TTestForm form;
  TComponent* c = FindClass("ttestwidget").Create(&form);
  EXPECT_EQ(c->ClassName(), "TTestWidget");
  EXPECT_EQ(c->Owner(), &form);
  EXPECT_TRUE(c->InheritsFrom(TComponent::StaticClassInfo()));
  EXPECT_FALSE(FindClass("TTestAbstract").CanCreate());
  EXPECT_THROW(FindClass("TNoSuchThing"), EClassNotFound);
  EXPECT_EQ(GetClass("TNoSuchThing"), nullptr);
  UnRegisterClass(TTestWidget::StaticClassInfo());
  EXPECT_EQ(GetClass("TTestWidget"), nullptr);
}

TEST_F(ComponentTest, PropertyTableIsInheritedInPublicationOrder) {
  const TClassInfo& info = TTestWidget::StaticClassInfo();
  const auto props = info.Properties();
  ASSERT_GE(props.size(), 3u);
  EXPECT_EQ(props[0]->Name(), "Caption");
  EXPECT_EQ(props[1]->Name(), "Count");
  const TPropInfo* enabled = info.FindProperty("ENABLED");
  ASSERT_NE(enabled, nullptr);
  TTestWidget w(nullptr);
  EXPECT_TRUE(enabled->IsDefaultValue(w));
  EXPECT_TRUE(enabled->IsStored(w));
  w.storeEnabled_ = false;
  EXPECT_FALSE(enabled->IsStored(w));
  EXPECT_TRUE(info.FindProperty("ReadOnlyFlag")->IsReadOnly());
  EXPECT_EQ(info.FindProperty("Kind")->ValueOfName("LTCOMPATIBLE"), 1);
  EXPECT_EQ(TTestForm::StaticClassInfo().FindFieldClass("TTestWidget"), &TTestWidget::StaticClassInfo());
}

TEST_F(ComponentTest, EventsFireOnlyWhenAssignedAndCompareByObjectAndMethod) {
  TTestForm form;
  TTestWidget w(nullptr);
  w.SetName("W");
  w.Change();  // nothing assigned: nothing happens
  w.SetOnChange({&form, &TTestForm::WidgetChange});
  w.Change();
  EXPECT_EQ(form.changes_, (std::vector<std::string>{"W"}));
  EXPECT_EQ(w.OnChange(), TNotifyEvent(&form, &TTestForm::WidgetChange));
  EXPECT_FALSE(w.OnChange() == TNotifyEvent(&form, &TTestForm::FormCreate));
  int calls = 0;
  auto lambda = TNotifyEvent::FromFunction([&](TObject*) { ++calls; });
  lambda.Fire(nullptr);
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(lambda == TNotifyEvent());
  TMethod<int(const std::string&)> count;
  EXPECT_EQ(count.Fire("abc"), 0);
  count = {&form, &TTestForm::Count};
  EXPECT_EQ(count.Fire("abc"), 3);
}

}  // namespace

namespace {

class TBaseHandler : public classes::TComponent {
 public:
  using TComponent::TComponent;
  int calls = 0;
  void Handle(classes::TObject*) { ++calls; }
};
class TDerivedHandler : public TBaseHandler {
 public:
  using TBaseHandler::TBaseHandler;
};

TEST(Method, BindsAMethodOfABaseClass) {
  TDerivedHandler h(nullptr);
  classes::TNotifyEvent e(&h, &TBaseHandler::Handle);
  e.Fire(nullptr);
  EXPECT_EQ(h.calls, 1);
  EXPECT_EQ(e.Object(), &h);
}

}  // namespace
