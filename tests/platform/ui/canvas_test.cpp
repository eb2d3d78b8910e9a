// Pixel results of the software canvas: fills, frames, lines, patterns, raster operations,
// monochrome conversion and image lists.
#include <gtest/gtest.h>

#include "platform/ui/bitmap.h"
#include "platform/ui/imagelist.h"
#include "platform/ui/rop.h"

namespace ui {
namespace {

constexpr TColor kFace = 0xC0C0C0, kShadow = 0x808080, kWhite = 0xFFFFFF, kBlack = 0x000000;

// The bitmap as rows of characters, one per pixel, from a colour legend.
std::vector<std::string> Picture(const TBitmap& b, const std::map<TColor, char>& legend) {
  std::vector<std::string> rows;
  for (int y = 0; y < b.Height(); ++y) {
    std::string row;
    for (int x = 0; x < b.Width(); ++x) {
      auto it = legend.find(b.Pixels().At(x, y));
      row.push_back(it == legend.end() ? '?' : it->second);
    }
    rows.push_back(row);
  }
  return rows;
}

TEST(Canvas, FillCoversLeftTopButNotRightBottomAndClipsToTheSurface) {
  TBitmap b(6, 4);
  b.Canvas().Brush().SetColor(clBtnFace);
  b.Canvas().FillRect(Rect(1, 1, 4, 3));
  b.Canvas().FillRect(Rect(5, 3, 50, 50));  // mostly outside
  EXPECT_EQ(Picture(b, {{kWhite, '.'}, {kFace, '#'}}),
            (std::vector<std::string>{"......", ".###..", ".###..", ".....#"}));
}

TEST(Canvas, ClearBrushFillsNothing) {
  TBitmap b(3, 3);
  b.Canvas().Brush().SetStyle(bsClear);
  b.Canvas().FillRect(Rect(0, 0, 3, 3));
  EXPECT_EQ(b.Pixels().At(1, 1), kWhite);
}

TEST(Canvas, LinesExcludeTheirEndPointAndPolylinesChainSegments) {
  TBitmap b(5, 5);
  TCanvas& c = b.Canvas();
  c.Pen().SetColor(clBlack);
  c.MoveTo(0, 0);
  c.LineTo(4, 0);
  c.Polyline({{0, 4}, {0, 1}, {3, 1}});
  EXPECT_EQ(Picture(b, {{kWhite, '.'}, {kBlack, '#'}}),
            (std::vector<std::string>{"####.", "###..", "#....", "#....", "#...."}));
  EXPECT_EQ(c.PenPos(), (TPoint{4, 0}));  // a poly-line leaves the pen where it was
}

TEST(Canvas, Frame3DPutsTheCornersOppositeTheFirstColourInTheSecondAndShrinks) {
  TBitmap b(5, 4);
  TRect r = Rect(0, 0, 5, 4);
  b.Canvas().Frame3D(r, clBtnHighlight, clBtnShadow, 1);
  b.Canvas().Brush().SetColor(clBtnFace);
  b.Canvas().FillRect(r);
  EXPECT_EQ(r, Rect(1, 1, 4, 3));
  ResetSysColors();
  EXPECT_EQ(Picture(b, {{kWhite, 'H'}, {kShadow, 'S'}, {kFace, '.'}}),
            (std::vector<std::string>{"HHHHS", "H...S", "H...S", "SSSSS"}));
}

TEST(Canvas, TwoFramesInsetByTwo) {
  TBitmap b(6, 6);
  TRect r = Rect(0, 0, 6, 6);
  b.Canvas().Frame3D(r, clWindowFrame, clWindowFrame, 1);
  b.Canvas().Frame3D(r, clBtnHighlight, clBtnShadow, 1);
  EXPECT_EQ(r, Rect(2, 2, 4, 4));
  EXPECT_EQ(b.Pixels().At(1, 4), kShadow);  // inner bottom-left corner: second colour
  EXPECT_EQ(b.Pixels().At(4, 1), kShadow);  // inner top-right corner
  EXPECT_EQ(b.Pixels().At(1, 1), kWhite);
  EXPECT_EQ(b.Pixels().At(0, 5), kBlack);
}

TEST(Canvas, FrameRectUsesTheBrush) {
  TBitmap b(4, 3);
  b.Canvas().Brush().SetColor(clBlack);
  b.Canvas().FrameRect(Rect(0, 0, 4, 3));
  EXPECT_EQ(Picture(b, {{kWhite, '.'}, {kBlack, '#'}}), (std::vector<std::string>{"####", "#..#", "####"}));
}

TEST(Canvas, CheckerboardPatternBrushStartsAtTheSurfaceOrigin) {
  TBitmap pattern(8, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) pattern.Canvas().SetPixel(x, y, (x + y) % 2 == 0 ? clBtnHighlight : clBtnFace);
  TBitmap b(4, 3);
  b.Canvas().SetViewportOrigin({1, 0});  // the pattern does not move with the origin
  b.Canvas().Brush().SetBitmap(&pattern);
  b.Canvas().FillRect(Rect(-1, 0, 3, 3));
  EXPECT_EQ(Picture(b, {{kWhite, 'H'}, {kFace, '.'}}), (std::vector<std::string>{"H.H.", ".H.H", "H.H."}));
}

TEST(Canvas, PixelsFollowOriginAndClipAndSaveRestoreBringsThemBack) {
  TBitmap b(4, 4);
  TCanvas& c = b.Canvas();
  const int saved = c.SaveDC();
  c.SetViewportOrigin({1, 1});
  c.IntersectClipRect(Rect(0, 0, 2, 2));
  c.SetPixel(0, 0, clRed);
  c.SetPixel(2, 2, clRed);  // clipped
  EXPECT_EQ(c.Pixel(0, 0), clRed);
  EXPECT_EQ(c.Pixel(2, 2), CLR_INVALID);
  c.RestoreDC(saved);
  EXPECT_EQ(c.Pixel(1, 1), clRed);
  EXPECT_EQ(c.Pixel(3, 3), kWhite);
  EXPECT_EQ(c.Pixel(4, 0), CLR_INVALID);
}

TEST(RasterOperation, TruthTableEvaluation) {
  struct Case {
    std::uint32_t rop, d, s, p, expected;
  } cases[] = {
      {SRCCOPY, 0x123456, 0xABCDEF, 0x000000, 0xABCDEF},
      {ROP_PSDPxax, 0x112233, 0xFFFFFF, 0x808080, 0x808080},  // white source: the brush
      {ROP_PSDPxax, 0x112233, 0x000000, 0x808080, 0x112233},  // black source: the destination
      {ROP_PSDPxax, 0x00FF00, 0x0F0F0F, 0xFFFFFF, 0x0FFF0F},  // bit by bit
      {0x00B8074A, 0x00FF00, 0x0F0F0F, 0xFFFFFF, 0xF0FFF0},  // PSDPxax's mirror, by the general evaluator
      {PATINVERT, 0xFF00FF, 0, 0x0F0F0F, 0xF00FF0},
      {BLACKNESS, 0x123456, 0x654321, 0xABCDEF, 0},
      {WHITENESS, 0x123456, 0x654321, 0xABCDEF, 0xFFFFFF},
      {DSTINVERT, 0x123456, 0, 0, 0xEDCBA9},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ApplyRop3(c.rop, c.d, c.s, c.p), c.expected) << std::hex << c.rop;
}

TEST(BitBlt, MonochromeMaskPaintsTheBrushWhereWhiteWithE20746) {
  TBitmap mask(3, 1);
  mask.SetMonochrome(true);
  mask.Canvas().SetPixel(0, 0, clBlack);
  mask.Canvas().SetPixel(1, 0, clWhite);
  mask.Canvas().SetPixel(2, 0, clBlack);
  TBitmap dest(4, 1);
  dest.Canvas().Brush().SetColor(clBtnFace);
  dest.Canvas().FillRect(Rect(0, 0, 4, 1));
  dest.Canvas().SetPixel(2, 0, clRed);
  // The rule of the disabled look: text black, background white, brush = the paint colour.
  dest.Canvas().Brush().SetColor(clBtnShadow);
  dest.Canvas().SetTextColor(clBlack);
  dest.Canvas().SetBkColor(clWhite);
  BitBlt(dest.Canvas(), 1, 0, 3, 1, &mask.Canvas(), 0, 0, ROP_PSDPxax);
  EXPECT_EQ(dest.Pixels().At(0, 0), kFace);
  EXPECT_EQ(dest.Pixels().At(1, 0), kFace);    // black mask bit: destination stays
  EXPECT_EQ(dest.Pixels().At(2, 0), kShadow);  // white mask bit: brush
  EXPECT_EQ(dest.Pixels().At(3, 0), kFace);
}

TEST(BitBlt, MonochromeSourceTakesTextColourForZeroAndBackgroundForOne) {
  TBitmap mono(2, 1);
  mono.SetMonochrome(true);
  mono.Canvas().SetPixel(0, 0, clBlack);
  TBitmap dest(2, 1);
  dest.Canvas().SetTextColor(clRed);
  dest.Canvas().SetBkColor(clBlue);
  BitBlt(dest.Canvas(), 0, 0, 2, 1, &mono.Canvas(), 0, 0, SRCCOPY);
  EXPECT_EQ(dest.Pixels().At(0, 0), clRed);
  EXPECT_EQ(dest.Pixels().At(1, 0), clBlue);
}

TEST(BitBlt, ColourSourceOnMonochromeDestinationTurnsTheSourceBackgroundWhite) {
  TBitmap src(3, 1);
  src.Canvas().SetPixel(0, 0, clFuchsia);
  src.Canvas().SetPixel(1, 0, clBlack);
  src.Canvas().SetPixel(2, 0, clWhite);
  src.Canvas().Brush().SetColor(clFuchsia);  // the background colour follows the brush
  TBitmap mono(3, 1);
  mono.SetMonochrome(true);
  BitBlt(mono.Canvas(), 0, 0, 3, 1, &src.Canvas(), 0, 0, SRCCOPY);
  EXPECT_EQ(mono.Pixels().At(0, 0), kWhite);
  EXPECT_EQ(mono.Pixels().At(1, 0), kBlack);
  EXPECT_EQ(mono.Pixels().At(2, 0), kBlack);  // white is not the background: black
}

TEST(Bitmap, MonochromeConversionFollowsBrushAndFontColours) {
  TBitmap b(3, 1);
  b.Canvas().SetPixel(0, 0, clBlack);
  b.Canvas().SetPixel(1, 0, clRed);
  b.Canvas().SetPixel(2, 0, clWhite);
  b.Canvas().Brush().SetColor(clBlack);  // the outline colour becomes white
  b.SetMonochrome(true);
  EXPECT_EQ(b.Pixels().At(0, 0), kWhite);
  EXPECT_EQ(b.Pixels().At(1, 0), kBlack);
  EXPECT_EQ(b.Pixels().At(2, 0), kBlack);
  EXPECT_EQ(b.TransparentColor(), clWhite);
  // Back to colour: 0 bits in the font colour, 1 bits in the brush colour.
  b.Canvas().Font().SetColor(clBlue);
  b.Canvas().Brush().SetColor(clLime);
  b.SetMonochrome(false);
  EXPECT_EQ(b.Pixels().At(0, 0), clLime);
  EXPECT_EQ(b.Pixels().At(1, 0), clBlue);
}

TEST(Bitmap, TransparentColourIsExplicitElseTheBottomLeftPixel) {
  TBitmap b(2, 2);
  b.Canvas().SetPixel(0, 1, clFuchsia);
  EXPECT_EQ(b.TransparentColor(), clFuchsia | kPaletteRelativeFlag);
  b.SetTransparentColor(clRed);
  EXPECT_EQ(b.TransparentColor(), clRed);
}

TEST(Bitmap, ResizingKeepsPixelsAndFillsNewRoomWithTheBrushAndReportsChanges) {
  TBitmap b(2, 1);
  int changes = 0;
  b.OnChange = [&] { ++changes; };
  b.Canvas().SetPixel(0, 0, clRed);
  b.Canvas().Brush().SetColor(clLime);
  b.SetSize(3, 2);
  EXPECT_EQ(b.Pixels().At(0, 0), clRed);
  EXPECT_EQ(b.Pixels().At(1, 0), kWhite);
  EXPECT_EQ(b.Pixels().At(2, 1), clLime);
  EXPECT_EQ(changes, 2);
}

TEST(ImageList, MaskedDrawingAndMaskOnlyDrawing) {
  TBitmap glyph(2, 2);
  glyph.Canvas().Brush().SetColor(clFuchsia);
  glyph.Canvas().FillRect(Rect(0, 0, 2, 2));
  glyph.Canvas().SetPixel(0, 0, clRed);
  glyph.Canvas().SetPixel(1, 1, clBlue);
  TImageList list(2, 2);
  const int slot = list.AddEmpty();
  list.ReplaceMasked(slot, glyph, clFuchsia);

  TBitmap dest(3, 3);
  dest.Canvas().Brush().SetColor(clBtnFace);
  dest.Canvas().FillRect(Rect(0, 0, 3, 3));
  list.Draw(dest.Canvas(), 1, 1, slot);
  EXPECT_EQ(dest.Pixels().At(1, 1), clRed);
  EXPECT_EQ(dest.Pixels().At(2, 1), kFace);  // transparent: unchanged
  EXPECT_EQ(dest.Pixels().At(2, 2), clBlue);

  // The mask: opaque pixels black, transparent ones white (text black, background white).
  TBitmap work(2, 2);
  work.Canvas().SetTextColor(clBlack);
  work.Canvas().SetBkColor(clWhite);
  ImageList_Draw(list, slot, work.Canvas(), 0, 0, ILD_MASK);
  EXPECT_EQ(work.Pixels().At(0, 0), kBlack);
  EXPECT_EQ(work.Pixels().At(1, 0), kWhite);

  // A slot replaced with an explicit mask.
  TBitmap mask(2, 2);
  mask.SetMonochrome(true);
  mask.Canvas().SetPixel(1, 0, clBlack);
  list.Replace(slot, glyph, &mask);
  TBitmap again(2, 2);
  list.Draw(again.Canvas(), 0, 0, slot);
  EXPECT_EQ(again.Pixels().At(0, 0), kWhite);
  EXPECT_EQ(again.Pixels().At(1, 0), clFuchsia);
}

}  // namespace
}  // namespace ui
