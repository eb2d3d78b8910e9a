// The speed button's behaviour through the headless driver: press, drag and release, groups,
// auto-repeat on the virtual clock, the drop-down menu, double clicks, accelerators, defaults.
#include <gtest/gtest.h>

#include "platform/ui/winapi.h"
#include "tests/controls/buttonform.h"

using namespace ui;

namespace controls_test {
namespace {

using SpeedButton = ButtonForm;

TEST_F(SpeedButton, StartsWithThePublishedDefaults) {
  TVxSpeedButton b(nullptr);
  EXPECT_EQ(b.Width(), 25);
  EXPECT_EQ(b.Height(), 25);
  EXPECT_EQ(b.Alignment(), taCenter);
  EXPECT_EQ(b.Layout(), blGlyphTop);
  EXPECT_EQ(b.Margin(), -1);
  EXPECT_EQ(b.Spacing(), 1);
  EXPECT_EQ(b.InitPause(), 500);
  EXPECT_EQ(b.RepeatInterval(), 100);
  EXPECT_EQ(b.NumGlyphs(), 1);
  EXPECT_EQ(b.Style(), bsAutoDetect);
  EXPECT_EQ(b.MenuPosition(), dmpBottom);
  EXPECT_TRUE(b.GrayedInactive());
  EXPECT_TRUE(b.MarkDropDown());
  EXPECT_TRUE(b.ShowHint());
  EXPECT_FALSE(b.ParentShowHint());
  EXPECT_TRUE(b.ParentFont());
  EXPECT_FALSE(b.AllowAllUp() || b.AllowTimer() || b.Down() || b.Flat() || b.Transparent() || b.WordWrap());
  EXPECT_EQ(b.ControlStyle() & (csCaptureMouse | csOpaque | csDoubleClicks | csReplicatable | csClickEvents),
            csCaptureMouse | csOpaque | csDoubleClicks | csReplicatable);

  b.SetMargin(-2);
  EXPECT_EQ(b.Margin(), -1);
  b.SetMargin(3);
  b.SetMargin(-5);
  EXPECT_EQ(b.Margin(), 3);
  b.SetNumGlyphs(9);
  EXPECT_EQ(b.NumGlyphs(), 5);
  b.SetDown(true);  // no group
  EXPECT_FALSE(b.Down());
}

TEST_F(SpeedButton, PressDragOutAndBackFollowsTheStateTable) {
  TVxSpeedButton* b = AddButton(10, 10);
  Press(*b);
  EXPECT_EQ(b->FaceState(), gsDown);
  EXPECT_TRUE(b->Pressing());
  driver.MouseMove(*b, 40, 5, MK_LBUTTON);
  EXPECT_EQ(b->FaceState(), gsUp);
  driver.MouseMove(*b, 25, 25, MK_LBUTTON);  // one column past the width is outside,
  EXPECT_EQ(b->FaceState(), gsUp);
  driver.MouseMove(*b, 24, 25, MK_LBUTTON);  // one row past the height is inside
  EXPECT_EQ(b->FaceState(), gsDown);
  Release(*b, 24, 25);
  EXPECT_EQ(b->FaceState(), gsUp);
  EXPECT_FALSE(b->Pressing());
  EXPECT_EQ(ClicksOf(*b), 1);

  Press(*b);
  driver.MouseMove(*b, 40, 5, MK_LBUTTON);
  Release(*b, 40, 5);
  EXPECT_EQ(ClicksOf(*b), 1);  // released outside: no click
  EXPECT_EQ(b->FaceState(), gsUp);
}

TEST_F(SpeedButton, ADisabledButtonNeitherPressesNorClicks) {
  TVxSpeedButton* b = AddButton(10, 10);
  b->SetEnabled(false);
  driver.RunUntilIdle();
  EXPECT_EQ(b->FaceState(), gsDisabled);
  // A disabled windowless control gets no mouse from its parent; its own hook refuses too.
  b->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(5, 5));
  b->Perform(WM_LBUTTONUP, 0, MakeLParam(5, 5));
  EXPECT_FALSE(b->Pressing());
  EXPECT_EQ(ClicksOf(*b), 0);
  b->SetEnabled(true);
  driver.RunUntilIdle();
  EXPECT_EQ(b->FaceState(), gsUp);
}

TEST_F(SpeedButton, AGroupHoldsOneButtonDownAndAllowAllUpLetsItGo) {
  TVxSpeedButton* first = AddButton(10, 10);
  TVxSpeedButton* second = AddButton(40, 10);
  first->SetGroupIndex(1);
  second->SetGroupIndex(1);
  driver.Click(*first, 5, 5);
  EXPECT_TRUE(first->Down());
  EXPECT_EQ(first->FaceState(), gsExclusive);
  driver.Click(*second, 5, 5);
  EXPECT_TRUE(second->Down());
  EXPECT_FALSE(first->Down());
  EXPECT_EQ(first->FaceState(), gsUp);
  driver.Click(*second, 5, 5);  // the held one again: stays held, still clicks
  EXPECT_TRUE(second->Down());
  EXPECT_EQ(ClicksOf(*second), 2);

  first->SetAllowAllUp(true);  // the broadcast hands it to the whole group
  EXPECT_TRUE(second->AllowAllUp());
  driver.Clock().Advance(1000);
  driver.Click(*second, 5, 5);
  EXPECT_FALSE(second->Down());
  EXPECT_EQ(second->FaceState(), gsUp);

  second->SetDown(true);
  EXPECT_EQ(second->FaceState(), gsExclusive);
  first->SetDown(true);
  EXPECT_FALSE(second->Down());
}

TEST_F(SpeedButton, AutoRepeatClicksAfterThePauseAndThenEveryInterval) {
  TVxSpeedButton* b = AddButton(10, 10);
  b->SetAllowTimer(true);
  Press(*b);
  ASSERT_NE(b->AutoRepeatTimer(), nullptr);
  driver.AdvanceTime(499);
  EXPECT_EQ(ClicksOf(*b), 0);
  driver.AdvanceTime(1);
  EXPECT_EQ(ClicksOf(*b), 1);
  driver.AdvanceTime(300);
  EXPECT_EQ(ClicksOf(*b), 4);
  driver.MouseMove(*b, 60, 5, MK_LBUTTON);  // the face is no longer pressed: no repeats
  driver.AdvanceTime(300);
  EXPECT_EQ(ClicksOf(*b), 4);
  driver.MouseMove(*b, 5, 5, MK_LBUTTON);
  driver.AdvanceTime(100);
  EXPECT_EQ(ClicksOf(*b), 5);
  Release(*b);
  EXPECT_EQ(ClicksOf(*b), 6);  // plus the click of the release
  EXPECT_FALSE(b->AutoRepeatTimer()->Enabled());
  driver.AdvanceTime(1000);
  EXPECT_EQ(ClicksOf(*b), 6);
  b->SetAllowTimer(false);
  EXPECT_EQ(b->AutoRepeatTimer(), nullptr);
}

TEST_F(SpeedButton, DoubleClickFiresOnlyOnAHeldButtonAndClicksFireOnce) {
  TVxSpeedButton* b = AddButton(10, 10);
  int doubles = 0;
  b->SetOnDblClick(classes::TNotifyEvent::FromFunction([&](classes::TObject*) { ++doubles; }));
  driver.Click(*b, 5, 5);
  driver.Click(*b, 5, 5);  // a double click on an up button
  EXPECT_EQ(doubles, 0);
  EXPECT_EQ(ClicksOf(*b), 2);

  b->SetGroupIndex(3);
  driver.Clock().Advance(1000);
  driver.Click(*b, 5, 5);
  ASSERT_TRUE(b->Down());
  driver.Click(*b, 5, 5);
  EXPECT_EQ(doubles, 1);
  EXPECT_EQ(ClicksOf(*b), 4);
}

TEST_F(SpeedButton, TheCaptionAcceleratorClicksOnlyAnEnabledButton) {
  TVxSpeedButton* b = AddButton(10, 10);
  b->SetCaption("&Abrir");
  EXPECT_EQ(b->Perform(CM_DIALOGCHAR, 'a'), 1);
  EXPECT_EQ(ClicksOf(*b), 1);
  EXPECT_EQ(b->Perform(CM_DIALOGCHAR, 'b'), 0);
  b->SetEnabled(false);
  EXPECT_EQ(b->Perform(CM_DIALOGCHAR, 'a'), 0);
  EXPECT_EQ(ClicksOf(*b), 1);
}

TEST_F(SpeedButton, AClickGivesTheFormItsModalResult) {
  TVxSpeedButton* b = AddButton(10, 10);
  form->SetModalResult(mrCancel);
  driver.Click(*b, 5, 5);
  EXPECT_EQ(form->ModalResult(), 0);  // also when it is 0
  b->SetModalResult(mrOk);
  driver.Clock().Advance(1000);
  driver.Click(*b, 5, 5);
  EXPECT_EQ(form->ModalResult(), mrOk);
}

TEST_F(SpeedButton, HotTrackingTellsOfEnterAndLeave) {
  TVxSpeedButton* b = AddButton(10, 10);
  std::vector<std::string> events;
  b->SetOnMouseEnter(classes::TNotifyEvent::FromFunction([&](classes::TObject*) { events.push_back("enter"); }));
  b->SetOnMouseLeave(classes::TNotifyEvent::FromFunction([&](classes::TObject*) { events.push_back("leave"); }));
  driver.MouseMove(*b, 5, 5);
  EXPECT_TRUE(b->MouseInside());
  driver.MouseMove(*b, 60, 5);
  EXPECT_FALSE(b->MouseInside());
  EXPECT_EQ(events, (std::vector<std::string>{"enter", "leave"}));
}

TEST_F(SpeedButton, AGroupButtonReleasedOutsideWithoutAMoveComesBackUp) {
  TVxSpeedButton* b = AddButton(10, 10);
  b->SetGroupIndex(2);
  Press(*b);
  ASSERT_EQ(b->FaceState(), gsDown);
  b->Perform(WM_LBUTTONUP, 0, MakeLParam(60, 5));  // no move reached the button first
  EXPECT_EQ(b->FaceState(), gsUp);
  EXPECT_FALSE(b->Down());
  EXPECT_EQ(ClicksOf(*b), 0);
}

TEST_F(SpeedButton, ALinkedActionRunsOnClickSetsDownAndLendsItsImage) {
  TVxSpeedButton* b = AddButton(10, 10);
  b->SetOnClick(nullptr);
  auto* list = new TCustomActionList(form);
  TImageList images(16, 16);
  images.AddMasked(*MakeStrip(16, {clBlue}), clFuchsia);
  list->SetImages(&images);
  auto* action = new TCustomAction(form);
  action->SetActionList(list);
  int executed = 0;
  action->SetOnExecute(classes::TNotifyEvent::FromFunction([&](classes::TObject*) { ++executed; }));
  b->SetGroupIndex(4);
  b->SetAllowAllUp(true);
  b->SetAction(action);
  driver.Click(*b, 5, 5);
  EXPECT_EQ(executed, 1);

  driver.Clock().Advance(1000);
  driver.Click(*b, 5, 5);  // up again
  ASSERT_FALSE(b->Down());
  action->SetChecked(true);
  EXPECT_TRUE(b->Down());

  EXPECT_TRUE(b->Glyph().Empty());
  action->SetImageIndex(0);
  ASSERT_EQ(b->Glyph().Width(), 16);
  EXPECT_EQ(b->Glyph().Pixels().At(5, 5), clBlue);
  EXPECT_EQ(b->Glyph().Pixels().At(0, 0), clFuchsia);
  EXPECT_EQ(b->ButtonGlyph().MaskColor(), clFuchsia);
  b->SetAction(nullptr);
}

class DropDown : public ButtonForm {
 protected:
  DropDown() {
    button = AddButton(20, 30, 40, 25);
    menu = new TPopupMenu(form);
    auto* item = new TMenuItem(form);
    item->SetCaption("Item");
    menu->Items().Add(item);
    button->SetDropDownMenu(menu);
  }
  TVxSpeedButton* button = nullptr;
  TPopupMenu* menu = nullptr;
};

TEST_F(DropDown, OpensAtTheTablePointAndTheClosingPressDoesNotPressAgain) {
  struct Case {
    TVxDropDownMenuPos pos;
    TPopupAlignment align;
    TPoint expected;
  };
  for (const Case& c : std::initializer_list<Case>{{dmpBottom, paLeft, {-1, 25}},
                                                  {dmpBottom, paRight, {41, 25}},
                                                  {dmpBottom, paCenter, {20, 25}},
                                                  {dmpRight, paLeft, {40, -1}},
                                                  {dmpRight, paRight, {-1, -1}},
                                                  {dmpRight, paCenter, {20, 25}}}) {
    button->SetMenuPosition(c.pos);
    menu->SetAlignment(c.align);
    EXPECT_EQ(button->DropDownMenuPoint(), c.expected);
  }
  button->SetMenuPosition(dmpBottom);
  menu->SetAlignment(paLeft);

  TRect shownAt;
  bool stateDuringMenu = false;
  driver.Backend().idleHandler = [&] {
    if (!menu->Showing()) return false;
    shownAt = menu->Window()->BoundsRect();
    stateDuringMenu = button->FaceState() == gsDown && button->MenuShowing();
    // The press that closes the menu lands on the button itself.
    const TPoint at = button->ClientOffsetInTopLevel();
    driver.Backend().Sink()->MouseInput(form->Handle(), WM_LBUTTONDOWN, {at.x + 5, at.y + 5}, MK_LBUTTON);
    return true;
  };
  driver.MouseDown(*button, 5, 5);
  driver.Backend().idleHandler = nullptr;
  const TPoint expected = button->ClientToScreen({-1, 25});
  EXPECT_EQ(shownAt.TopLeft(), expected);
  EXPECT_TRUE(stateDuringMenu);
  EXPECT_FALSE(menu->Showing());
  EXPECT_EQ(button->FaceState(), gsUp);
  EXPECT_FALSE(button->Pressing());
  EXPECT_FALSE(button->MenuShowing());
  EXPECT_EQ(ClicksOf(*button), 0);
  TMessage pending;
  EXPECT_FALSE(PeekMessage(pending, 0, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_NOREMOVE));
  driver.MouseUp(*button, 5, 5);
  EXPECT_EQ(ClicksOf(*button), 0);
}

TEST_F(DropDown, AMenuThatGoesAwayIsDroppedAndAnUnpoppableMenuIsNotShown) {
  menu->SetAutoPopup(false);
  driver.Click(*button, 5, 5);
  EXPECT_EQ(ClicksOf(*button), 1);  // no menu: an ordinary click
  delete menu;
  EXPECT_EQ(button->DropDownMenu(), nullptr);
  driver.Clock().Advance(1000);
  driver.Click(*button, 5, 5);
  EXPECT_EQ(ClicksOf(*button), 2);
}

}  // namespace
}  // namespace controls_test
