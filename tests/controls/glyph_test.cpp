// The button glyph: strip counts, state images built once in the shared cache, the grey and
// disabled images, caption fitting, and the layout of glyph, caption and mark against the
// placement formulas.
#include <gtest/gtest.h>

#include "controls/vxutils.h"
#include "tests/controls/buttonform.h"

using namespace ui;

namespace controls_test {
namespace {

class Glyph : public ::testing::Test {
 protected:
  HeadlessDriver driver;  // the text renderer and system colours of a running application
};

TEST_F(Glyph, TheStripWidthSetsTheImageCount) {
  TVxButtonGlyph g;
  struct Case {
    int width;
    int expected;
  };
  for (const Case& c : std::initializer_list<Case>{{64, 4}, {96, 1}, {80, 5}, {50, 1}}) {
    g.SetGlyphCount(3);
    TBitmap b(c.width, 16);
    g.AssignGlyph(b);
    EXPECT_EQ(g.NumGlyphs(), c.width == 50 ? 3 : c.expected) << c.width;  // 50 x 16 leaves it
  }
  TBitmap empty;
  g.AssignGlyph(empty);
  EXPECT_EQ(g.NumGlyphs(), 3);
  g.SetGlyphCount(0);
  EXPECT_EQ(g.NumGlyphs(), 3);
}

TEST_F(Glyph, TheMaskColourIsTheBottomLeftPixelOrTheColourSetOnTheBitmap) {
  TVxButtonGlyph g;
  EXPECT_EQ(g.MaskColor(), clFuchsia);
  auto strip = MakeStrip(16, {clRed});
  strip->Pixels().At(0, 15) = clLime;
  g.AssignGlyph(*strip);
  EXPECT_EQ(g.MaskColor(), clLime);
  strip->SetTransparentColor(clTeal);
  g.AssignGlyph(*strip);
  EXPECT_EQ(g.MaskColor(), clTeal);
}

TEST_F(Glyph, StateImagesAreBuiltOnceAndTheDownFaceSharesTheUpImage) {
  TVxButtonGlyph g;
  g.AssignGlyph(*MakeStrip(16, {clRed}));
  const int up = g.BuildStateImage(gsUp);
  EXPECT_EQ(g.BuildStateImage(gsDown), up);
  EXPECT_EQ(g.BuildStateImage(gsUp), up);
  const int exclusive = g.BuildStateImage(gsExclusive);
  EXPECT_NE(exclusive, up);
  EXPECT_EQ(g.StateList()->UsedCount(), 2);

  TBitmap drawn(16, 16);
  drawn.Canvas().Brush().SetColor(clWhite);
  drawn.Canvas().FillRect(Rect(0, 0, 16, 16));
  EXPECT_EQ(g.DrawGlyphImage(drawn.Canvas(), 0, 0, gsExclusive), (TSize{16, 16}));
  EXPECT_EQ(drawn.Pixels().At(0, 0), clWhite);  // the mask colour is transparent
  EXPECT_EQ(drawn.Pixels().At(5, 5), clRed);

  // Three or more images: the down face has its own image.
  g.AssignGlyph(*MakeStrip(16, {clRed, clGray, clBlue}));
  EXPECT_EQ(g.StateIndex(gsUp), -1);  // a new strip releases the old images
  drawn.Canvas().FillRect(Rect(0, 0, 16, 16));
  g.DrawGlyphImage(drawn.Canvas(), 0, 0, gsDown);
  EXPECT_EQ(drawn.Pixels().At(5, 5), clBlue);
  g.DrawGlyphImage(drawn.Canvas(), 0, 0, gsInactive);  // fewer than five: the grey of the first
  EXPECT_EQ(drawn.Pixels().At(5, 5), RGB(76, 76, 76));
  g.DrawGlyphImage(drawn.Canvas(), 0, 0, gsDisabled);
  EXPECT_EQ(drawn.Pixels().At(5, 5), clGray);

  TBitmap empty;
  g.AssignGlyph(empty);
  EXPECT_EQ(g.BuildStateImage(gsUp), -1);
  EXPECT_EQ(g.DrawGlyphImage(drawn.Canvas(), 0, 0, gsUp), (TSize{0, 0}));
}

TEST_F(Glyph, TheGreyKeepsMaskAndFaceColours) {
  TVxButtonGlyph g;
  EXPECT_EQ(g.InactiveShade(clRed), RGB(76, 76, 76));
  EXPECT_EQ(g.InactiveShade(RGB(0, 255, 0)), RGB(149, 149, 149));
  EXPECT_EQ(g.InactiveShade(clFuchsia), clFuchsia);
  EXPECT_EQ(g.InactiveShade(ColorToRGB(clBtnFace)), ColorToRGB(clBtnFace));
}

TEST_F(Glyph, TheDisabledImageOfOneImageIsEmbossedFromItsBlackPixels) {
  TVxButtonGlyph g;
  auto strip = MakeStrip(8, {clBlack});
  g.AssignGlyph(*strip);
  TBitmap drawn(8, 8);
  drawn.Canvas().Brush().SetColor(clLime);
  drawn.Canvas().FillRect(Rect(0, 0, 8, 8));
  g.DrawGlyphImage(drawn.Canvas(), 0, 0, gsDisabled);
  auto expected = MakeDisabledImageStd(*strip, clBlack);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const std::uint32_t e = expected->Pixels().At(x, y);
      // The face colour of the embossed image is transparent.
      EXPECT_EQ(drawn.Pixels().At(x, y), e == ColorToRGB(clBtnFace) ? clLime : e) << x << "," << y;
    }
}

TEST_F(Glyph, GlyphsOfOneSizeShareOneListAndTheLastOneFreesTheCache) {
  ASSERT_EQ(SharedGlyphCache, nullptr);
  auto first = std::make_unique<TVxButtonGlyph>();
  auto second = std::make_unique<TVxButtonGlyph>();
  ASSERT_NE(SharedGlyphCache, nullptr);
  first->AssignGlyph(*MakeStrip(16, {clRed}));
  second->AssignGlyph(*MakeStrip(16, {clBlue}));
  first->BuildStateImage(gsUp);
  second->BuildStateImage(gsUp);
  EXPECT_EQ(first->StateList(), second->StateList());
  EXPECT_EQ(SharedGlyphCache->ListCount(), 1);
  EXPECT_EQ(first->StateList()->UsedCount(), 2);

  auto other = std::make_unique<TVxButtonGlyph>();
  other->AssignGlyph(*MakeStrip(8, {clRed}));
  other->BuildStateImage(gsUp);
  EXPECT_EQ(SharedGlyphCache->ListCount(), 2);
  other.reset();
  EXPECT_EQ(SharedGlyphCache->ListCount(), 1);

  // A released slot is reused without growing the list.
  TGlyphList* list = second->StateList();
  first.reset();
  EXPECT_EQ(list->UsedCount(), 1);
  EXPECT_EQ(list->Count(), 2);
  second->BuildStateImage(gsExclusive);
  EXPECT_EQ(list->Count(), 2);
  EXPECT_EQ(second->StateIndex(gsExclusive), 0);
  second.reset();
  EXPECT_EQ(SharedGlyphCache, nullptr);
}

TEST_F(Glyph, CaptionsAreFittedLineByLineUnlessTheyWrap) {
  TVxButtonGlyph g;
  TBitmap b(1, 1);
  TCanvas& dc = b.Canvas();
  const int width = dc.TextWidth("AB...");
  EXPECT_EQ(g.FitCaption(dc, "ABCDEF\r\nXY\r\n", width, 255), "AB...\r\nXY");
  EXPECT_EQ(g.FitCaption(dc, "ABCDEF\nXY  \n", width, 255), "AB...\r\nXY");
  EXPECT_EQ(g.FitCaption(dc, "ABCDEF", 1000, 3), "ABC");
  g.SetWordWrap(true);
  EXPECT_EQ(g.FitCaption(dc, "ABCDEF\r\n", width, 255), "ABCDEF\r\n");
}

// The layout formulas, computed here from the sizes the layout sees.
struct LayoutCase {
  TButtonLayout layout;
  int margin, spacing;
  const char* caption;
  int glyphs;  // 0: no glyph
  bool mark;
};

TEST_F(Glyph, GlyphAndCaptionArePlacedByTheFormulas) {
  const TRect client = Rect(3, 2, 103, 42);  // 100 x 40
  const TPoint cs{100, 40};
  TBitmap b(1, 1);
  TCanvas& dc = b.Canvas();
  for (const LayoutCase& c : std::initializer_list<LayoutCase>{
           {blGlyphLeft, -1, -1, "Abrir", 1, false},
           {blGlyphLeft, 4, -1, "Abrir", 1, false},
           {blGlyphLeft, -1, 3, "Abrir", 2, false},
           {blGlyphLeft, 2, 5, "Abrir", 1, true},
           {blGlyphRight, -1, -1, "Abrir", 1, false},
           {blGlyphRight, 6, 2, "Abrir", 1, true},
           {blGlyphTop, -1, 4, "Abrir", 1, false},
           {blGlyphTop, -1, -1, "Ok", 4, true},
           {blGlyphBottom, 1, -1, "Ok", 1, false},
           {blGlyphBottom, -1, -1, "", 1, true},
           {blGlyphLeft, -1, -1, "", 0, true},
           {blGlyphTop, -1, 1, "Arquivos", 0, false},
       }) {
    SCOPED_TRACE(std::string("layout ") + std::to_string(c.layout) + " margin " + std::to_string(c.margin) +
                 " spacing " + std::to_string(c.spacing) + " '" + c.caption + "' glyphs " +
                 std::to_string(c.glyphs) + " mark " + std::to_string(c.mark));
    TVxButtonGlyph g;
    if (c.glyphs) g.AssignGlyph(*MakeStrip(16, std::vector<TColor>(static_cast<std::size_t>(c.glyphs), clRed)));
    std::string caption = c.caption;
    TRect t;
    TPoint p;
    g.ComputeGlyphTextLayout(dc, client, -1, nullptr, DT_CENTER, t, p, c.mark, c.spacing, c.margin, c.layout,
                             caption);

    const bool horizontal = c.layout == blGlyphLeft || c.layout == blGlyphRight;
    TPoint gs = c.glyphs ? TPoint{16, 16} : TPoint{0, 0};
    const int lineHeight = dc.TextHeight("Ag");
    TPoint ts = caption.empty() ? TPoint{0, 0} : TPoint{dc.TextWidth(caption), lineHeight};
    if (c.mark) {
      if (gs.x == 0 || c.layout == blGlyphLeft) ts.x += 9;
      else gs.x += 6;
    }
    int m = c.margin, s = c.spacing;
    if (ts.x == 0 || gs.x == 0) s = 0;
    const int csA = horizontal ? cs.x : cs.y, gsA = horizontal ? gs.x : gs.y, tsA = horizontal ? ts.x : ts.y;
    if (m == -1 && s == -1) m = s = (csA - gsA - tsA) / 3;
    else if (m == -1) m = csA / 2 - (gsA + s + tsA) / 2;
    else if (s == -1) s = (csA - m - gsA) / 2 - tsA / 2;
    TPoint ep, et;
    if (horizontal) {
      ep.y = cs.y / 2 - gs.y / 2;
      et.y = cs.y / 2 - ts.y / 2;
      ep.x = c.layout == blGlyphLeft ? m : cs.x - m - gs.x;
      et.x = c.layout == blGlyphLeft ? m + gs.x + s : ep.x - s - ts.x;
    } else {
      ep.x = cs.x / 2 - gs.x / 2;
      et.x = cs.x / 2 - ts.x / 2;
      ep.y = c.layout == blGlyphTop ? m : cs.y - m - gs.y;
      et.y = c.layout == blGlyphTop ? m + gs.y + s : ep.y - s - ts.y;
    }
    EXPECT_EQ(p, (TPoint{client.left + ep.x, client.top + ep.y}));
    EXPECT_EQ(t.TopLeft(), (TPoint{client.left + et.x, client.top + et.y}));
    EXPECT_EQ(t.Height(), caption.empty() ? 0 : lineHeight);
  }
}

TEST_F(Glyph, TheMarkIsATriangleAndGoesToTheCentreWithoutGlyphOrCaption) {
  TBitmap b(20, 12);
  TCanvas& dc = b.Canvas();
  dc.Brush().SetColor(clWhite);
  dc.FillRect(Rect(0, 0, 20, 12));
  TVxButtonGlyph::DrawDropDownMark(dc, 2, 3, gsUp);
  const std::uint32_t text = ColorToRGB(clBtnText);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 20; ++x) {
      const int row = y - 2;
      const bool on = row >= 0 && row < 4 && x >= 2 + row && x <= 8 - row;
      EXPECT_EQ(b.Pixels().At(x, y), on ? text : clWhite) << x << "," << y;
    }

  TVxButtonGlyph g;
  TBitmap face(41, 21);
  face.Canvas().Brush().SetColor(clWhite);
  face.Canvas().FillRect(Rect(0, 0, 41, 21));
  TRect bounds;
  g.PaintFace(face.Canvas(), Rect(0, 0, 41, 21), bounds, DT_CENTER, gsUp, true, 1, -1, blGlyphTop, "");
  // x = (0 + 41 - 7) div 2 = 17; the caption rectangle is empty at the vertical centre.
  int left = 41, top = 21;
  for (int y = 0; y < 21; ++y)
    for (int x = 0; x < 41; ++x)
      if (face.Pixels().At(x, y) == text) {
        left = std::min(left, x);
        top = std::min(top, y);
      }
  EXPECT_EQ(left, 17);
  EXPECT_EQ(top, bounds.top + bounds.Height() / 2 - 1);
}

TEST_F(Glyph, ALongCaptionIsDrawnAsItsFirst255Characters) {
  TVxButtonGlyph g;
  g.SetWordWrap(true);
  const std::string longCaption = std::string(255, 'W') + "ZZZZ";
  for (TGlyphState state : {gsUp, gsDisabled}) {
    TBitmap a(4000, 20), b(4000, 20);
    g.DrawCaption(a.Canvas(), longCaption, Rect(0, 0, 4000, 20), state, DT_LEFT | DT_SINGLELINE);
    g.DrawCaption(b.Canvas(), longCaption.substr(0, 255), Rect(0, 0, 4000, 20), state, DT_LEFT | DT_SINGLELINE);
    EXPECT_EQ(a.Pixels().pixels, b.Pixels().pixels);
  }
}

}  // namespace
}  // namespace controls_test
