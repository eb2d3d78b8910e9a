// Input routing: windowless controls get the mouse through their parent, capture, double
// clicks, mouse enter/leave, pending-message peeks, and painting into a given context.
#include <gtest/gtest.h>

#include "platform/ui/extctrls.h"
#include "platform/ui/menus.h"
#include "platform/ui/testdriver.h"
#include "platform/ui/winapi.h"

namespace ui {
namespace {

struct Seen {
  std::uint32_t msg;
  TPoint at;
};

class TProbe : public TGraphicControl {
 public:
  explicit TProbe(classes::TComponent* owner) : TGraphicControl(owner) {}
  std::vector<Seen> seen;
  int clicks = 0;
  void WndProc(TMessage& m) override {
    if (m.msg != WM_PAINT) seen.push_back({m.msg, PointFromLParam(m.lParam)});
    TGraphicControl::WndProc(m);
  }
  void Click() override {
    ++clicks;
    TGraphicControl::Click();
  }
  std::vector<std::uint32_t> Messages(bool withMoves = false) const {
    std::vector<std::uint32_t> out;
    for (const Seen& s : seen)
      if (withMoves || s.msg != WM_MOUSEMOVE) out.push_back(s.msg);
    return out;
  }

 protected:
  void Paint() override {
    Canvas().Brush().SetColor(clRed);
    Canvas().FillRect(Rect(0, 0, Width(), Height()));
  }
};

class InputTest : public ::testing::Test {
 protected:
  InputTest() {
    form = new TForm(&driver.App());
    form->SetBounds(100, 100, 200, 150);
    probe = new TProbe(form);
    probe->SetParent(form);
    probe->SetBounds(10, 20, 30, 30);
    driver.Show(*form);
  }
  HeadlessDriver driver;
  TForm* form = nullptr;
  TProbe* probe = nullptr;
};

TEST_F(InputTest, AWindowlessControlGetsItsMouseThroughTheParentAndHoldsTheCapture) {
  driver.MouseDown(*probe, 5, 6);
  ASSERT_FALSE(probe->seen.empty());
  EXPECT_EQ(probe->seen.back().msg, static_cast<std::uint32_t>(WM_LBUTTONDOWN));
  EXPECT_EQ(probe->seen.back().at, (TPoint{5, 6}));
  EXPECT_TRUE(probe->MouseCapture());
  driver.MouseMove(*probe, 60, 6, MK_LBUTTON);  // outside, still captured
  EXPECT_EQ(probe->seen.back().msg, static_cast<std::uint32_t>(WM_MOUSEMOVE));
  EXPECT_EQ(probe->seen.back().at, (TPoint{60, 6}));
  driver.MouseUp(*probe, 60, 6);
  EXPECT_EQ(probe->seen.back().msg, static_cast<std::uint32_t>(WM_LBUTTONUP));
  EXPECT_FALSE(probe->MouseCapture());
  EXPECT_EQ(probe->clicks, 0);  // released outside
  driver.Clock().Advance(1000);
  driver.Click(*probe, 3, 3);
  EXPECT_EQ(probe->clicks, 1);
}

TEST_F(InputTest, DoubleClicksNeedBothTheTimeAndTheDistance) {
  struct Case {
    std::uint64_t delayMs;
    int dx;
    std::uint32_t second;
  } cases[] = {
      {0, 0, WM_LBUTTONDBLCLK},
      {500, 4, WM_LBUTTONDBLCLK},
      {501, 0, WM_LBUTTONDOWN},
      {100, 5, WM_LBUTTONDOWN},
  };
  for (const Case& c : cases) {
    driver.Clock().Advance(10000);
    driver.Click(*probe, 5, 5);
    driver.Clock().Advance(c.delayMs);
    probe->seen.clear();
    driver.MouseDown(*probe, 5 + c.dx, 5);
    driver.MouseUp(*probe, 5 + c.dx, 5);
    EXPECT_EQ(probe->Messages(), (std::vector<std::uint32_t>{c.second, WM_LBUTTONUP}))
        << c.delayMs << " ms, " << c.dx << " px";
  }
}

TEST_F(InputTest, EnterAndLeaveFollowTheMouseAndCountDisabledControls) {
  probe->SetEnabled(false);
  driver.MouseMove(*form, 1, 1);
  probe->seen.clear();
  driver.MouseMove(*probe, 2, 2);
  driver.MouseMove(*probe, 3, 2);
  driver.MouseMove(*form, 150, 100);
  EXPECT_EQ(probe->Messages(true), (std::vector<std::uint32_t>{CM_MOUSEENTER, CM_MOUSELEAVE}));
  // A disabled control gets no clicks: the parent does.
  driver.Click(*probe, 2, 2);
  EXPECT_EQ(probe->clicks, 0);
  EXPECT_EQ(FindDragTarget(probe->ClientToScreen({2, 2}), true), probe);
  EXPECT_EQ(FindDragTarget(probe->ClientToScreen({2, 2}), false), form);
}

TEST_F(InputTest, APendingPressIsSeenWithItsScreenPointBeforeItIsDispatched) {
  const TPoint client = probe->ClientOffsetInTopLevel();
  driver.Backend().Sink()->MouseInput(form->Handle(), WM_LBUTTONDOWN, {client.x + 4, client.y + 4}, MK_LBUTTON);
  TMessage m;
  ASSERT_TRUE(PeekMessage(m, 0, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(m.msg, static_cast<std::uint32_t>(WM_LBUTTONDOWN));
  EXPECT_EQ(m.pt, probe->ClientToScreen({4, 4}));
  EXPECT_EQ(m.pt, (TPoint{100 + 4 + 10 + 4, 100 + 23 + 20 + 4}));
  PostQuitMessage(7);
  ASSERT_TRUE(PeekMessage(m, form->Handle(), WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE));
  ASSERT_TRUE(PeekMessage(m, form->Handle(), WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE));
  EXPECT_EQ(m.msg, static_cast<std::uint32_t>(WM_QUIT));
  EXPECT_TRUE(probe->seen.empty());
}

TEST_F(InputTest, AParentPaintsItsBackgroundAndWindowlessChildrenIntoAGivenContext) {
  TBitmap target(60, 60);
  TCanvas& dc = target.Canvas();
  dc.SetViewportOrigin({-5, -15});  // as a child's own canvas sees its parent
  dc.IntersectClipRect(Rect(0, 0, form->ClientWidth(), form->ClientHeight()));
  form->Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(&dc));
  form->Perform(WM_PAINT, reinterpret_cast<WPARAM>(&dc));
  EXPECT_EQ(target.Pixels().At(0, 0), ColorToRGB(clBtnFace));
  EXPECT_EQ(target.Pixels().At(5, 5), clRed);    // the probe at (10, 20) lands at (5, 5)
  EXPECT_EQ(target.Pixels().At(34, 34), clRed);
  EXPECT_EQ(target.Pixels().At(35, 35), ColorToRGB(clBtnFace));
  // And the real paint shows it in the window.
  EXPECT_EQ(driver.Pixel(*probe, 0, 0), clRed);
  EXPECT_EQ(driver.Pixel(*form, 9, 20), ColorToRGB(clBtnFace));
  // Outside a paint the control draws straight on the window at its place, clipped to itself.
  probe->SetLeft(12);
  driver.RunUntilIdle();
  probe->Canvas().Brush().SetColor(clLime);
  probe->Canvas().FillRect(Rect(-5, 0, 2, 1));
  EXPECT_EQ(form->TopLevelSurface()->At(12, 20), clLime);
  EXPECT_EQ(form->TopLevelSurface()->At(11, 20), ColorToRGB(clBtnFace));
}

TEST_F(InputTest, SystemMetricsAndTheActiveWindow) {
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 768);
  EXPECT_EQ(GetSystemMetrics(SM_CYBORDER), 1);
  EXPECT_EQ(GetActiveWindow(), form->Handle());
  EXPECT_EQ(Screen->Width(), 1024);
}

}  // namespace
}  // namespace ui

namespace ui {
namespace {

TEST_F(InputTest, TheLaterSiblingIsOnTopUntilAnotherIsBroughtToFront) {
  auto* over = new TProbe(form);
  over->SetParent(form);
  over->SetBounds(20, 30, 30, 30);  // overlaps the probe's lower right part
  driver.Click(*form, 25, 35);
  EXPECT_EQ(over->clicks, 1);
  EXPECT_EQ(probe->clicks, 0);
  probe->BringToFront();
  driver.Clock().Advance(1000);
  driver.Click(*form, 25, 35);
  EXPECT_EQ(probe->clicks, 1);
  EXPECT_EQ(form->Controls(form->ControlCount() - 1), probe);
}

// Auto-repeat timing: the first tick after 500 ms sets the interval to 100, which restarts the
// countdown; setting the same interval again on later ticks does not.
TEST(Timer, ChangingTheIntervalInsideTheEventRestartsItButTheSameValueDoesNot) {
  HeadlessDriver driver;
  auto* timer = new TTimer(&driver.App());
  std::vector<std::uint64_t> ticks;
  timer->SetInterval(500);
  timer->SetOnTimer(classes::TNotifyEvent::FromFunction([&](classes::TObject*) {
    ticks.push_back(driver.Clock().NowMs());
    timer->SetInterval(100);
    if (ticks.size() == 4) timer->SetEnabled(false);
  }));
  driver.AdvanceTime(2000);
  EXPECT_EQ(ticks, (std::vector<std::uint64_t>{500, 600, 700, 800}));
  EXPECT_FALSE(timer->Armed());
  timer->SetEnabled(true);  // enabling restarts from now
  driver.AdvanceTime(99);
  EXPECT_EQ(ticks.size(), 4u);
  driver.AdvanceTime(1);
  EXPECT_EQ(ticks.size(), 5u);
  delete timer;
}

}  // namespace
}  // namespace ui

namespace ui {
namespace {

TEST_F(InputTest, APopupMenuRunsUntilAChoiceOrAPressOutsideWhichStaysQueued) {
  auto* menu = new TPopupMenu(form);
  std::vector<std::string> clicked;
  for (const char* caption : {"Primeiro", "Segundo"}) {
    auto* item = new TMenuItem(form);
    item->SetCaption(caption);
    item->SetOnClick(classes::TNotifyEvent::FromFunction([&clicked, item](classes::TObject*) {
      clicked.push_back(item->Caption());
    }));
    menu->Items().Add(item);
  }
  // A choice: the second row.
  driver.Backend().idleHandler = [&] {
    if (!menu->Showing()) return false;
    TWinControl* w = menu->Window();
    driver.Backend().Sink()->MouseInput(w->Handle(), WM_LBUTTONDOWN, {10, 2 + 18 + 5}, MK_LBUTTON);
    driver.Backend().Sink()->MouseInput(w->Handle(), WM_LBUTTONUP, {10, 2 + 18 + 5}, 0);
    return true;
  };
  menu->Popup(400, 300);
  EXPECT_EQ(clicked, (std::vector<std::string>{"Segundo"}));
  EXPECT_FALSE(menu->Showing());
  EXPECT_EQ(driver.ActiveForm(), form);

  // A press on the form outside the menu: the menu closes, the press waits in the queue.
  driver.Backend().idleHandler = [&] {
    if (!menu->Showing()) return false;
    driver.Backend().Sink()->MouseInput(form->Handle(), WM_LBUTTONDOWN, {15, 25}, MK_LBUTTON);
    return true;
  };
  menu->Popup(400, 300);
  EXPECT_EQ(clicked.size(), 1u);
  TMessage pending;
  ASSERT_TRUE(PeekMessage(pending, 0, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(pending.msg, static_cast<std::uint32_t>(WM_LBUTTONDOWN));
  EXPECT_EQ(pending.pt, form->ClientToScreen({15, 25}));
  driver.Backend().idleHandler = nullptr;
  driver.RunUntilIdle();
  EXPECT_EQ(probe->seen.back().msg, static_cast<std::uint32_t>(WM_LBUTTONDOWN));  // it reached the probe
}

}  // namespace
}  // namespace ui
