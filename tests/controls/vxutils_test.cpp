// The drawing and window helpers: text fitting, screen clamping and centring, the pending
// message removal, the embossed disabled images and the parent background under a control.
#include <gtest/gtest.h>

#include "controls/maxmin.h"
#include "controls/vxutils.h"
#include "platform/ui/testdriver.h"
#include "platform/ui/winapi.h"

using namespace ui;

namespace controls_test {
namespace {

TEST(MaxMin, GiveTheLargerAndTheSmaller) {
  EXPECT_EQ(LargerOf(-3, 2), 2);
  EXPECT_EQ(SmallerOf(-3, 2), -3);
  EXPECT_EQ(LargerOf(INT32_MIN, INT32_MAX), INT32_MAX);
}

TEST(FitTextToWidth, ShortensWithAnEllipsisDroppingTwoCharactersFirst) {
  TBitmap b(10, 10);
  TCanvas& dc = b.Canvas();
  const int ab = dc.TextWidth("AB...");
  EXPECT_EQ(FitTextToWidth("ABCDEF", dc, dc.TextWidth("ABCDEF")), "ABCDEF");
  EXPECT_EQ(FitTextToWidth("ABCDEF", dc, dc.TextWidth("ABCD...")), "ABCD...");
  EXPECT_EQ(FitTextToWidth("ABCDEF", dc, ab), "AB...");
  EXPECT_EQ(FitTextToWidth("ABCDEF", dc, 1), "...");  // the shortest form, even when it does not fit
  EXPECT_EQ(FitTextToWidth("", dc, 0), "");
  EXPECT_EQ(FitTextToWidth("A", dc, 0), "...");
}

TEST(ClampRectToScreen, KeepsTheRectangleOnTheScreen) {
  HeadlessDriver driver;
  struct Case {
    TRect in, out;
  };
  for (const Case& c : std::initializer_list<Case>{
           {Rect(-10, 5, 90, 55), Rect(0, 5, 100, 55)},
           {Rect(1000, 700, 1100, 800), Rect(924, 668, 1024, 768)},
           {Rect(10, -20, 30, 0), Rect(10, 0, 30, 20)},
           {Rect(0, 0, 2000, 10), Rect(0, 0, 2000, 10)},  // wider than the screen: ends at 0
       }) {
    TRect r = c.in;
    ClampRectToScreen(r);
    EXPECT_EQ(r, c.out);
  }
}

TEST(CenterWindowOnScreen, MovesWithoutResizingOrActivating) {
  HeadlessDriver driver;
  auto* first = new TForm(&driver.App());
  first->SetBounds(0, 0, 300, 200);
  driver.Show(*first);
  auto* other = new TForm(&driver.App());
  other->SetBounds(5, 5, 200, 100);
  other->Show();
  TCustomForm* active = driver.ActiveForm();
  CenterWindowOnScreen(other->Handle());
  EXPECT_EQ(other->BoundsRect(), Rect(412, 334, 612, 434));
  EXPECT_EQ(driver.ActiveForm(), active);
  other->SetBounds(0, 0, 1100, 100);
  CenterWindowOnScreen(other->Handle());
  EXPECT_EQ(other->BoundsRect(), Rect(0, 334, 1100, 434));
}

TEST(DiscardPendingMessage, RemovesOneAndNeverLosesAQuitRequest) {
  HeadlessDriver driver;
  auto* form = new TForm(&driver.App());
  driver.Show(*form);
  TMessage m;
  DiscardPendingMessage(form->Handle(), WM_LBUTTONDOWN);  // nothing pending: nothing changes
  EXPECT_FALSE(PeekMessage(m, 0, 0, 0, PM_NOREMOVE));

  PostMessage(form->Handle(), WM_LBUTTONDOWN, 0, MakeLParam(1, 1));
  PostMessage(form->Handle(), WM_LBUTTONDOWN, 0, MakeLParam(2, 2));
  DiscardPendingMessage(form->Handle(), WM_LBUTTONDOWN);
  ASSERT_TRUE(PeekMessage(m, form->Handle(), WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE));
  EXPECT_EQ(PointFromLParam(m.lParam), (TPoint{2, 2}));

  PostQuitMessage(7);
  DiscardPendingMessage(form->Handle(), WM_LBUTTONDOWN);
  ASSERT_TRUE(PeekMessage(m, 0, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.msg, static_cast<std::uint32_t>(WM_QUIT));
  EXPECT_EQ(m.wParam, 7u);
}

TEST(IsOwnWindowActive, IsTrueOnlyWhileOneOfOurFormsIsActive) {
  HeadlessDriver driver;
  EXPECT_FALSE(IsOwnWindowActive());
  auto* form = new TForm(&driver.App());
  driver.Show(*form);
  EXPECT_TRUE(IsOwnWindowActive());
}

// A black cross on white: the outline colour is black.
std::unique_ptr<TBitmap> Cross() {
  auto b = std::make_unique<TBitmap>(5, 5);
  for (int i = 0; i < 5; ++i) {
    b->Pixels().At(2, i) = 0;
    b->Pixels().At(i, 2) = 0;
  }
  return b;
}

bool OnCross(int x, int y) { return x >= 0 && y >= 0 && x < 5 && y < 5 && (x == 2 || y == 2); }

TEST(MakeDisabledImage, PaintsTheOutlineInShadowOverAShiftedHighlight) {
  for (bool highlight : {true, false}) {
    auto source = Cross();
    auto result = MakeDisabledImage(*source, clBlack, clRed, clYellow, clBlue, highlight);
    ASSERT_EQ(result->Width(), 5);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 5; ++x) {
        TColor expected = clRed;
        if (OnCross(x, y)) expected = clBlue;
        else if (highlight && OnCross(x - 1, y - 1)) expected = clYellow;
        EXPECT_EQ(result->Pixels().At(x, y), expected) << x << "," << y << " highlight " << highlight;
      }
  }
  // The standard colours, and a monochrome source whose black pixels are the shape.
  auto mono = Cross();
  mono->Canvas().Brush().SetColor(clWhite);
  mono->SetMonochrome(true);
  auto std = MakeDisabledImageStd(*mono, clBlack);
  EXPECT_EQ(std->Pixels().At(2, 0), ColorToRGB(clBtnShadow));
  EXPECT_EQ(std->Pixels().At(3, 1), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(std->Pixels().At(0, 0), ColorToRGB(clBtnFace));
}

TEST(DrawImageListItemDisabled, PaintsTheOpaqueShapeAndLeavesTheRest) {
  TImageList list(5, 5);
  auto cross = Cross();
  list.AddMasked(*cross, clWhite);
  TBitmap target(8, 8);
  target.Canvas().Brush().SetColor(clGreen);
  target.Canvas().FillRect(Rect(0, 0, 8, 8));
  DrawImageListItemDisabled(list, target.Canvas(), 1, 1, 0, clYellow, clBlue, true);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      TColor expected = clGreen;
      if (OnCross(x - 1, y - 1)) expected = clBlue;
      else if (OnCross(x - 2, y - 2)) expected = clYellow;
      EXPECT_EQ(target.Pixels().At(x, y), expected) << x << "," << y;
    }
  EXPECT_EQ(target.Canvas().Brush().Color(), clGreen);  // the brush comes back
}

class Block : public TGraphicControl {
 public:
  Block(classes::TComponent* owner, TColor colour) : TGraphicControl(owner), colour_(colour) {}
  bool sawPaintCopy = false;

 protected:
  void Paint() override {
    sawPaintCopy = sawPaintCopy || (ControlState() & csPaintCopy);
    Canvas().Brush().SetColor(colour_);
    Canvas().FillRect(Rect(0, 0, Width(), Height()));
  }

 private:
  TColor colour_;
};

TEST(PaintParentBackground, PaintsTheParentAndOnlyTheVisibleGraphicSiblingsBelow) {
  HeadlessDriver driver;
  auto* form = new TForm(&driver.App());
  form->SetBounds(0, 0, 200, 150);
  form->SetColor(clAqua);
  auto place = [&](TControl* c, int l, int t) {
    c->SetParent(form);
    c->SetBounds(l, t, 10, 10);
  };
  auto* below = new Block(form, clRed);
  place(below, 15, 15);
  auto* hidden = new Block(form, clLime);
  place(hidden, 25, 15);
  hidden->SetVisible(false);
  auto* target = new Block(form, clBlack);
  place(target, 20, 20);
  auto* above = new Block(form, clBlue);
  place(above, 22, 22);
  driver.Show(*form);

  TBitmap copy(10, 10);
  PaintParentBackground(target, copy.Canvas());
  EXPECT_EQ(copy.Pixels().At(0, 0), clRed);    // (20, 20) lies on the sibling below
  EXPECT_EQ(copy.Pixels().At(4, 4), clRed);
  EXPECT_EQ(copy.Pixels().At(5, 0), clAqua);   // the hidden one is not painted
  EXPECT_EQ(copy.Pixels().At(9, 9), clAqua);   // the one above is not painted
  EXPECT_TRUE(below->sawPaintCopy);
  EXPECT_FALSE(above->sawPaintCopy);
  EXPECT_EQ(form->ControlState() & csPaintCopy, 0u);
  EXPECT_EQ(below->ControlState() & csPaintCopy, 0u);
  EXPECT_EQ(copy.Canvas().ViewportOrigin(), (TPoint{0, 0}));
}

}  // namespace
}  // namespace controls_test
