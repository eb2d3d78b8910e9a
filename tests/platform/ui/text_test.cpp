// Text measuring and drawing in the form font: metrics, DrawText's calculate mode, word
// breaks, alignment, the "&" prefix and clipping.
#include <gtest/gtest.h>

#include "platform/rtl/ansi.h"
#include "platform/ui/bitmap.h"
#include "platform/ui/fontengine.h"
#include "platform/ui/stdctrls.h"

namespace ui {
namespace {

using namespace rtl::literals;

// The bounding box of the pixels of one colour, or an empty rectangle.
TRect InkBox(const TBitmap& b, TColor ink) {
  TRect box{b.Width(), b.Height(), 0, 0};
  bool any = false;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      if (b.Pixels().At(x, y) == ink) {
        any = true;
        box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1), std::max(box.bottom, y + 1)};
      }
  return any ? box : TRect{};
}

class TextTest : public ::testing::Test {
 protected:
  TextTest() : bitmap(200, 60) {
    bitmap.Canvas().Font().SetName("MS Sans Serif");
    bitmap.Canvas().Font().SetHeight(-11);
    bitmap.Canvas().Font().SetColor(clBlack);
    bitmap.Canvas().Brush().SetStyle(bsClear);
  }
  TCanvas& c() { return bitmap.Canvas(); }
  TBitmap bitmap;
};

TEST_F(TextTest, TheFormFontHasALineOfThirteenPixels) {
  EXPECT_EQ(c().TextHeight("Ag"), 13);
  EXPECT_EQ(c().TextMetrics().ascent + c().TextMetrics().descent, 13);
  EXPECT_GT(c().TextWidth("W"), c().TextWidth("i"));
  // Widths add up, "&" counts as a character, accented 1252 letters have glyphs.
  EXPECT_EQ(c().TextWidth("AB"), c().TextWidth("A") + c().TextWidth("B"));
  EXPECT_GT(c().TextWidth("&"), 0);
  EXPECT_GT(c().TextWidth("ção"_ansi), 0);
  EXPECT_EQ(c().TextWidth(""), 0);
}

TEST_F(TextTest, CalculateModeGivesTheWidestLineAndTheLineCount) {
  TRect r = Rect(5, 7, 5, 7);
  const int h = c().DrawText("ab\r\nlonger line", r, DT_CALCRECT);
  EXPECT_EQ(h, 26);
  EXPECT_EQ(r.left, 5);
  EXPECT_EQ(r.top, 7);
  EXPECT_EQ(r.Width(), c().TextWidth("longer line"));
  EXPECT_EQ(r.bottom, 7 + 26);
  EXPECT_EQ(InkBox(bitmap, clBlack), TRect{});  // nothing drawn

  // Word breaks wrap at blanks within the width; a word too long widens the rectangle.
  const int wordWidth = c().TextWidth("alpha");
  TRect wrap = Rect(0, 0, wordWidth + 2, 0);
  EXPECT_EQ(c().DrawText("alpha beta gamma", wrap, DT_CALCRECT | DT_WORDBREAK), 39);
  TRect narrow = Rect(0, 0, 3, 0);
  c().DrawText("alpha", narrow, DT_CALCRECT | DT_WORDBREAK);
  EXPECT_EQ(narrow.Width(), wordWidth);

  TRect empty = Rect(0, 0, 50, 50);
  EXPECT_EQ(c().DrawText("", empty, DT_CALCRECT), 0);
  EXPECT_EQ(empty, Rect(0, 0, 0, 0));
}

TEST_F(TextTest, PrefixIsHiddenUnderlinesTheNextCharacterAndDoubledShowsItself) {
  TRect r = Rect(0, 0, 200, 0);
  c().DrawText("&Sim", r, DT_CALCRECT);
  EXPECT_EQ(r.Width(), c().TextWidth("Sim"));
  r = Rect(0, 0, 200, 0);
  c().DrawText("A&&B", r, DT_CALCRECT);
  EXPECT_EQ(r.Width(), c().TextWidth("A&B"));
  r = Rect(0, 0, 200, 0);
  c().DrawText("&Sim", r, DT_CALCRECT | DT_NOPREFIX);
  EXPECT_EQ(r.Width(), c().TextWidth("&Sim"));

  TRect draw = Rect(0, 0, 200, 20);
  c().DrawText("&Sim", draw, DT_LEFT);
  // The underline runs under the "S" one pixel below the baseline.
  const int underlineRow = c().TextMetrics().ascent + 1;
  const int sWidth = c().TextWidth("S");
  for (int x = 0; x < sWidth; ++x) EXPECT_EQ(bitmap.Pixels().At(x, underlineRow), clBlack) << x;
  EXPECT_NE(bitmap.Pixels().At(sWidth + 1, underlineRow), clBlack);
}

TEST_F(TextTest, AlignmentAndVerticalCentringPlaceTheInk) {
  const TRect box = Rect(10, 10, 190, 50);
  struct Case {
    unsigned flags;
    const char* name;
  } cases[] = {{DT_LEFT, "left"}, {DT_CENTER, "centre"}, {DT_RIGHT, "right"}};
  const int w = c().TextWidth("Tulmevara");
  for (const Case& k : cases) {
    TBitmap b(200, 60);
    b.Canvas().Font().Assign(c().Font());
    b.Canvas().Brush().SetStyle(bsClear);
    TRect r = box;
    b.Canvas().DrawText("Tulmevara", r, k.flags | DT_SINGLELINE | DT_VCENTER);
    const TRect ink = InkBox(b, clBlack);
    ASSERT_FALSE(ink.IsEmpty()) << k.name;
    int expectedLeft = box.left;
    if (k.flags == DT_CENTER) expectedLeft = box.left + (box.Width() - w) / 2;
    if (k.flags == DT_RIGHT) expectedLeft = box.right - w;
    EXPECT_NEAR(ink.left, expectedLeft, 2) << k.name;
    EXPECT_LE(ink.right, expectedLeft + w + 1) << k.name;
    const int cellTop = box.top + (box.Height() - 13) / 2;
    EXPECT_GE(ink.top, cellTop) << k.name;
    EXPECT_LE(ink.bottom, cellTop + 13) << k.name;
  }
}

TEST_F(TextTest, TextIsClippedToTheRectangleUnlessNoClip) {
  TRect r = Rect(0, 0, 8, 5);
  c().DrawText("WWWW", r, DT_LEFT);
  const TRect ink = InkBox(bitmap, clBlack);
  ASSERT_FALSE(ink.IsEmpty());
  EXPECT_LE(ink.right, 8);
  EXPECT_LE(ink.bottom, 5);
  TBitmap b(60, 20);
  b.Canvas().Font().Assign(c().Font());
  TRect small = Rect(0, 0, 8, 5);
  b.Canvas().Brush().SetStyle(bsClear);
  b.Canvas().DrawText("WWWW", small, DT_LEFT | DT_NOCLIP);
  EXPECT_GT(InkBox(b, clBlack).right, 8);
}

// A line too long for its rectangle shows the longest start that fits before "..."; a line that
// fits is drawn as it is.
TEST_F(TextTest, EndEllipsisCutsOnlyALineThatDoesNotFit) {
  const auto drawn = [&](const std::string& text, int width, unsigned flags) {
    TBitmap b(200, 20);
    b.Canvas().Font().Assign(c().Font());
    b.Canvas().Brush().SetStyle(bsClear);
    TRect r = Rect(10, 2, 10 + width, 15);
    b.Canvas().DrawText(text, r, DT_SINGLELINE | DT_NOPREFIX | flags);
    return b.Pixels().pixels;
  };
  const std::string path = "F:\\DADOS\\UMA PASTA DE NOME LONGO";
  std::size_t keep = path.size();
  while (keep > 0 && c().TextWidth(path.substr(0, keep) + "...") > 90) --keep;
  ASSERT_GT(keep, 3u);
  EXPECT_EQ(drawn(path, 90, DT_END_ELLIPSIS), drawn(path.substr(0, keep) + "...", 180, 0));
  EXPECT_EQ(drawn("F:\\DADOS", 90, DT_END_ELLIPSIS), drawn("F:\\DADOS", 90, 0));
  // Room for nothing but the dots.
  EXPECT_EQ(drawn(path, 12, DT_END_ELLIPSIS), drawn("...", 12, 0));
}

TEST_F(TextTest, OpaqueTextFillsItsCellWithTheBackgroundColour) {
  c().Brush().SetColor(clYellow);  // solid brush: opaque text on yellow
  c().TextOut(3, 4, "x");
  EXPECT_EQ(bitmap.Pixels().At(3, 4), clYellow);
  EXPECT_EQ(bitmap.Pixels().At(3 + c().TextWidth("x") - 1, 4 + 12), clYellow);
  EXPECT_EQ(bitmap.Pixels().At(3, 4 + 13), clWhite);
  EXPECT_FALSE(InkBox(bitmap, clBlack).IsEmpty());
}

TEST(Accelerators, TheCharacterAfterTheFirstSinglePrefixInAnyCase) {
  struct Case {
    const char* caption;
    int key;
    bool accelerator;
  } cases[] = {{"&Sim", 's', true},           {"&Sim", 'S', true},  {"Sim", 'S', false},
               {"A&&B", 'B', false},          {"A&&&Bola", 'b', true}, {"Fim&", 'F', false},
               {"&Ok &Cancela", 'C', false},  // only the first prefix counts
               {"", 'A', false}};
  for (const Case& c : cases)
    EXPECT_EQ(IsAccelerator(c.key, c.caption), c.accelerator) << c.caption << " / " << static_cast<char>(c.key);
}

TEST(FontEngine, ThePackagedFontIsFoundAndBoldUsesItsOwnFace) {
  FontRequest regular{"MS Sans Serif", -11, false, false};
  FontRequest bold{"MS Sans Serif", -11, true, false};
  const std::string file = FontEngine::Instance().FontFileFor(regular);
  if (file.empty()) GTEST_SKIP() << "no packaged sans-serif font on this host";
  EXPECT_NE(file, FontEngine::Instance().FontFileFor(bold));
  EXPECT_GE(FontEngine::Instance().Face(bold).TextWidth("Tulmevara"),
            FontEngine::Instance().Face(regular).TextWidth("Tulmevara"));
}

}  // namespace
}  // namespace ui
