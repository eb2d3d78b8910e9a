// The speed button's pixels, headless: the frames of every look, the flat and grey faces, the
// held-down pattern, the transparent face, and the stored test form with three buttons, all
// against pixels worked out from the placement rules.
#include <gtest/gtest.h>

#include "platform/classes/filer.h"
#include "tests/controls/buttonform.h"
#include "tests/controls/buttonsform.h"

using namespace ui;

namespace controls_test {
namespace {

const TColor kFace = ColorToRGB(clBtnFace), kHighlight = ColorToRGB(clBtnHighlight),
             kShadow = ColorToRGB(clBtnShadow), kFrame = ColorToRGB(clWindowFrame);

struct BorderCase {
  bool pressed;
  TButtonStyle style;
  bool flat;
  std::vector<std::pair<TColor, TColor>> frames;  // outer first: (top/left, bottom/right)
};

TEST(PaintButtonBorder, DrawsTheFramesOfEveryLook) {
  HeadlessDriver driver;
  for (const BorderCase& c : std::initializer_list<BorderCase>{
           {true, bsNew, false, {{kFrame, kHighlight}, {kShadow, kFace}}},
           {true, bsNew, true, {{kFrame, kHighlight}}},
           {true, bsWin31, true, {{kFrame, kHighlight}}},
           {false, bsNew, false, {{kHighlight, kFrame}, {kFace, kShadow}}},
           {false, bsAutoDetect, false, {{kHighlight, kFrame}, {kFace, kShadow}}},
           {false, bsNew, true, {{kHighlight, kShadow}}},
           {false, bsWin31, false, {{kFrame, kFrame}, {kHighlight, kShadow}}},
           {false, bsWin31, true, {{kHighlight, kFrame}}},
       }) {
    SCOPED_TRACE(std::string("pressed ") + std::to_string(c.pressed) + " style " + std::to_string(c.style) +
                 " flat " + std::to_string(c.flat));
    TBitmap b(12, 10);
    b.Canvas().Brush().SetColor(clLime);
    b.Canvas().FillRect(Rect(0, 0, 12, 10));
    const TRect inner = PaintButtonBorder(b.Canvas(), Rect(0, 0, 12, 10), c.pressed, c.style, c.flat);
    const int n = static_cast<int>(c.frames.size());
    EXPECT_EQ(inner, Rect(n + 1, n + 1, 12 - n - 1, 10 - n - 1));
    for (int i = 0; i < n; ++i) {
      EXPECT_EQ(b.Pixels().At(i, 5), c.frames[static_cast<std::size_t>(i)].first);
      EXPECT_EQ(b.Pixels().At(6, i), c.frames[static_cast<std::size_t>(i)].first);
      EXPECT_EQ(b.Pixels().At(11 - i, 5), c.frames[static_cast<std::size_t>(i)].second);
      EXPECT_EQ(b.Pixels().At(6, 9 - i), c.frames[static_cast<std::size_t>(i)].second);
    }
    EXPECT_EQ(b.Pixels().At(6, 5), clLime);  // the inside is left alone
  }
  // Old style pressed, not flat: a black frame, then a shadow line down the left and along the top.
  TBitmap b(12, 10);
  b.Canvas().Brush().SetColor(clLime);
  b.Canvas().FillRect(Rect(0, 0, 12, 10));
  EXPECT_EQ(PaintButtonBorder(b.Canvas(), Rect(0, 0, 12, 10), true, bsWin31, false), Rect(2, 2, 10, 8));
  EXPECT_EQ(b.Pixels().At(0, 5), kFrame);
  EXPECT_EQ(b.Pixels().At(11, 5), kFrame);
  EXPECT_EQ(b.Pixels().At(1, 5), kShadow);
  EXPECT_EQ(b.Pixels().At(6, 1), kShadow);
  EXPECT_EQ(b.Pixels().At(1, 8), kShadow);    // (Left, Bottom - 1)
  EXPECT_EQ(b.Pixels().At(10, 5), clLime);    // no right or bottom edge
  EXPECT_EQ(b.Pixels().At(6, 8), clLime);
}

using Faces = ButtonForm;

TEST_F(Faces, AFlatButtonShowsNoBorderAndItsGreyImageUntilTheMouseIsOver) {
  TVxSpeedButton* b = AddButton(10, 10, 30, 30);
  b->SetGlyph(*MakeStrip(16, {clRed}));
  b->SetFlat(true);
  driver.RunUntilIdle();
  // Up: glyph centred with the automatic margin, (30 - 4 - 16) div 2 + 2 = 7.
  EXPECT_EQ(driver.Pixel(*b, 0, 0), kFace);
  EXPECT_EQ(driver.Pixel(*b, 29, 29), kFace);
  EXPECT_EQ(driver.Pixel(*b, 10, 10), RGB(76, 76, 76));
  b->SetGrayedInactive(false);
  driver.RunUntilIdle();
  EXPECT_EQ(driver.Pixel(*b, 10, 10), clRed);
  EXPECT_EQ(driver.Pixel(*b, 0, 0), kFace);
  b->SetGrayedInactive(true);
  driver.MouseMove(*b, 3, 3);  // hot: the flat frame and the up image
  EXPECT_EQ(driver.Pixel(*b, 0, 15), kHighlight);
  EXPECT_EQ(driver.Pixel(*b, 29, 15), kShadow);
  // Inside the frame (1 px) and one pixel more the content rectangle starts at 2: glyph at
  // (26 - 16) div 2 + 2 = 7, its image (fuchsia border transparent) from 8.
  EXPECT_EQ(driver.Pixel(*b, 10, 10), clRed);
  EXPECT_EQ(driver.Pixel(*b, 7, 7), kFace);
}

TEST_F(Faces, AHeldButtonOfAGroupShowsTheCheckerboardAndIsMovedByOnePixel) {
  TVxSpeedButton* b = AddButton(10, 10, 30, 30);
  b->SetGroupIndex(1);
  b->SetDown(true);
  driver.RunUntilIdle();
  EXPECT_EQ(driver.Pixel(*b, 0, 10), kFrame);
  EXPECT_EQ(driver.Pixel(*b, 1, 10), kShadow);
  EXPECT_EQ(driver.Pixel(*b, 29, 10), kHighlight);
  // The pattern fills the frames' inside, from (2, 2); white where x and y are both even or odd.
  for (int y = 2; y < 28; y += 5)
    for (int x = 2; x < 28; x += 3)
      EXPECT_EQ(driver.Pixel(*b, x, y), (x % 2 == y % 2) ? kHighlight : kFace) << x << "," << y;
  b->SetFlat(true);  // flat and hot while held: no pattern
  driver.MouseMove(*b, 3, 3);
  EXPECT_EQ(driver.Pixel(*b, 4, 4), kFace);
}

TEST_F(Faces, ATransparentButtonShowsTheParentThrough) {
  form->SetColor(clAqua);
  auto* sibling = new TLabel(form);
  sibling->SetParent(form);
  sibling->SetAutoSize(false);
  sibling->SetColor(clYellow);
  sibling->SetBounds(0, 0, 60, 14);
  TVxSpeedButton* b = AddButton(10, 10, 30, 30);
  b->SetTransparent(true);
  driver.RunUntilIdle();
  EXPECT_EQ(driver.Pixel(*b, 15, 2), clYellow);  // the label below shows through
  EXPECT_EQ(driver.Pixel(*b, 15, 20), clAqua);   // and the form's colour
  EXPECT_EQ(driver.Pixel(*b, 0, 20), kHighlight);
  b->SetTransparent(false);
  driver.RunUntilIdle();
  EXPECT_EQ(driver.Pixel(*b, 15, 20), kFace);
}

TEST_F(Faces, ADisabledButtonDrawsAnEmbossedCaption) {
  TVxSpeedButton* b = AddButton(10, 10, 60, 25);
  b->SetCaption("Abrir");
  b->SetEnabled(false);
  driver.RunUntilIdle();
  int shadow = 0, highlight = 0, text = 0;
  for (int y = 2; y < 23; ++y)
    for (int x = 2; x < 58; ++x) {
      const TColor p = driver.Pixel(*b, x, y);
      shadow += p == kShadow;
      highlight += p == kHighlight;
      text += p == ColorToRGB(clWindowText);
    }
  EXPECT_GT(shadow, 10);
  EXPECT_GT(highlight, 10);
  EXPECT_EQ(text, 0);  // nothing in the font colour
}

class StoredForm : public ::testing::Test {
 protected:
  StoredForm() {
    form = driver.App().CreateForm<TButtonsForm>(ButtonsFormDescription());
    driver.Show(*form);
  }
  HeadlessDriver driver;
  TButtonsForm* form = nullptr;
};

TEST_F(StoredForm, ReadsEveryButtonWithItsProperties) {
  ASSERT_NE(form->GlyphButton, nullptr);
  EXPECT_EQ(form->GlyphButton->Glyph().Width(), 64);
  EXPECT_EQ(form->GlyphButton->NumGlyphs(), 4);
  EXPECT_EQ(form->GlyphButton->ButtonGlyph().MaskColor(), clFuchsia);
  EXPECT_NE(form->GlyphButton->ButtonGlyph().StateIndex(gsUp), -1);  // prepared when loaded
  EXPECT_TRUE(form->FlatButton->Flat());
  EXPECT_EQ(form->FlatButton->Caption(), "Abrir");
  EXPECT_EQ(form->FlatButton->Anchors(), akLeft | akTop | akRight);
  EXPECT_EQ(form->FlatButton->Constraints().MinWidth, 40);
  EXPECT_TRUE(form->GroupButton->Down());
  EXPECT_EQ(form->GroupButton->FaceState(), gsExclusive);

  // Written again, the description keeps what differs from the defaults, the glyph included.
  const std::string written = classes::WriteRootComponent(*form);
  EXPECT_NE(written.find("Glyph.Data = {"), std::string::npos);
  EXPECT_NE(written.find("NumGlyphs = 4"), std::string::npos);
  EXPECT_NE(written.find("Flat = True"), std::string::npos);
  EXPECT_EQ(written.find("Spacing"), std::string::npos);
  EXPECT_EQ(written.find("Layout"), std::string::npos);
  std::string renamed = written;
  renamed.replace(renamed.find("ButtonsForm:"), 11, "ButtonsCopy");
  auto* copy = new TButtonsForm(&driver.App());
  copy->ReadDescription(renamed);
  EXPECT_EQ(copy->GlyphButton->Glyph().Pixels().pixels, form->GlyphButton->Glyph().Pixels().pixels);
}

TEST_F(StoredForm, RendersTheExpectedPixels) {
  TVxSpeedButton& glyph = *form->GlyphButton;
  // Up, new style: outer frame highlight / window frame, inner face / shadow.
  EXPECT_EQ(driver.Pixel(glyph, 0, 20), kHighlight);
  EXPECT_EQ(driver.Pixel(glyph, 39, 20), kFrame);
  EXPECT_EQ(driver.Pixel(glyph, 38, 20), kShadow);
  // Content rectangle (3, 3)-(37, 37), 34 x 34; no caption, so spacing 0 and the margin
  // 34 div 2 - 16 div 2 = 9: the glyph at (12, 12), its coloured inside from (13, 13).
  struct Probe {
    int x, y;
    TColor expected;
  };
  auto check = [&](TGlyphState state, TColor inside, int shift) {
    SCOPED_TRACE(std::to_string(state));
    for (const Probe& p : std::initializer_list<Probe>{{12 + shift, 12 + shift, kFace},
                                                       {13 + shift, 13 + shift, inside},
                                                       {26 + shift, 26 + shift, inside},
                                                       {27 + shift, 20 + shift, kFace}})
      EXPECT_EQ(driver.Pixel(glyph, p.x, p.y), p.expected) << p.x << "," << p.y;
  };
  check(gsUp, kGlyphColours[0], 0);
  driver.MouseDown(glyph, 5, 5);  // down: its own image, moved by one pixel
  check(gsDown, kGlyphColours[2], 1);
  EXPECT_EQ(driver.Pixel(glyph, 0, 20), kFrame);
  driver.MouseUp(glyph, 5, 5);
  glyph.SetEnabled(false);
  driver.RunUntilIdle();
  check(gsDisabled, kGlyphColours[1], 0);

  // The flat button without the mouse: no frame; its caption centred, 4 pixels below the
  // content rectangle's top (2): margin 21 div 2 - 13 div 2 = 4.
  TVxSpeedButton& flat = *form->FlatButton;
  for (int x = 0; x < 80; ++x) {
    EXPECT_EQ(driver.Pixel(flat, x, 0), kFace);
    EXPECT_EQ(driver.Pixel(flat, x, 24), kFace);
  }
  TBitmap measure(1, 1);
  const int w = measure.Canvas().TextWidth("Abrir");
  const TRect text = Bounds(2 + 76 / 2 - w / 2, 2 + 4, w, 13);
  int inside = 0, outside = 0;
  for (int y = 0; y < 25; ++y)
    for (int x = 0; x < 80; ++x)
      if (driver.Pixel(flat, x, y) == ColorToRGB(clWindowText)) (text.Contains({x, y}) ? inside : outside)++;
  EXPECT_GT(inside, 10);
  EXPECT_EQ(outside, 0);

  // The grouped button is held: pressed frames and the checkerboard.
  TVxSpeedButton& group = *form->GroupButton;
  EXPECT_EQ(driver.Pixel(group, 0, 20), kFrame);
  EXPECT_EQ(driver.Pixel(group, 39, 20), kHighlight);
  EXPECT_EQ(driver.Pixel(group, 2, 2), kHighlight);
  EXPECT_EQ(driver.Pixel(group, 3, 2), kFace);
  EXPECT_EQ(driver.Pixel(group, 37, 37), kHighlight);
  driver.Click(group, 5, 5);  // AllowAllUp: released
  EXPECT_FALSE(group.Down());
  EXPECT_EQ(driver.Pixel(group, 0, 20), kHighlight);
  EXPECT_EQ(driver.Pixel(group, 2, 2), kFace);
}

}  // namespace
}  // namespace controls_test
