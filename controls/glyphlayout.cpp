// The face content of a button: caption fitting and drawing, the placement of glyph, caption
// and drop-down mark, the mark itself.
#include <algorithm>
#include <vector>

#include "controls/buttonglyph.h"
#include "controls/maxmin.h"
#include "controls/vxutils.h"

using namespace ui;

namespace {

constexpr int kMarkWidthWithGap = 9;   // room the mark takes beside the caption
constexpr int kMarkGapAfterGlyph = 6;  // room the mark takes beside the glyph
constexpr std::size_t kCaptionBuffer = 255;

// Lines split at CR LF, CR or LF; a break at the very end starts no further line.
std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
  return lines;
}

std::string TrimRight(std::string s) {
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.pop_back();
  return s;
}

}  // namespace

std::string TVxButtonGlyph::FitCaption(TCanvas& canvas, const std::string& caption, int maxWidth,
                                       int maxLength) const {
  const std::size_t limit = static_cast<std::size_t>(std::max(0, maxLength));
  std::string buffer = caption.substr(0, limit);
  if (wordWrap_) return buffer;
  std::string joined;
  bool first = true;
  for (const std::string& line : SplitLines(buffer)) {
    if (!first) joined += "\r\n";
    joined += FitTextToWidth(line, canvas, maxWidth);
    first = false;
  }
  return TrimRight(std::move(joined)).substr(0, limit);
}

void TVxButtonGlyph::DrawCaption(TCanvas& canvas, const std::string& caption, TRect rect, TGlyphState state,
                                 unsigned flags) const {
  canvas.Brush().SetStyle(bsClear);
  const std::string buffer = caption.substr(0, kCaptionBuffer);
  flags |= (wordWrap_ ? DT_WORDBREAK : 0u) | DT_VCENTER;
  if (state == gsDisabled) {
    // Embossed: a highlight copy one pixel right and down under the shadow-coloured text.
    rect = OffsetRect(rect, 1, 1);
    canvas.Font().SetColor(clBtnHighlight);
    canvas.DrawText(buffer, rect, flags);
    rect = OffsetRect(rect, -1, -1);
    canvas.Font().SetColor(clBtnShadow);
    canvas.DrawText(buffer, rect, flags);
  } else {
    canvas.DrawText(buffer, rect, flags);
  }
}

void TVxButtonGlyph::ComputeGlyphTextLayout(TCanvas& canvas, const TRect& client, int index, const TImageList* list,
                                            unsigned flags, TRect& textRect, TPoint& glyphPos, bool withMark,
                                            int spacing, int margin, TButtonLayout layout, std::string& caption) {
  const bool horizontal = layout == blGlyphLeft || layout == blGlyphRight;
  const TPoint cs{client.right - client.left, client.bottom - client.top};
  TPoint gs{};
  if (list && list->Width() > 0 && index >= 0 && index < list->Count()) gs = {list->Width(), list->Height()};
  else if (!GlyphEmpty()) gs = {glyphBitmap_->Width() / numGlyphs_, glyphBitmap_->Height()};

  TPoint room{};
  if (horizontal) {
    room = {cs.x - gs.x, cs.y};
    if (margin != -1) room.x -= margin;
    if (spacing != -1) room.x -= spacing;
    if (withMark) room.x -= kMarkWidthWithGap;
  } else {
    room = {cs.x, cs.y - gs.y};
    if (margin != -1) room.y -= margin;
    if (spacing != -1) room.y -= spacing;
  }
  room = {LargerOf(0, room.x), LargerOf(0, room.y)};

  caption = FitCaption(canvas, caption, room.x, static_cast<int>(kCaptionBuffer));
  TRect t{};
  if (!caption.empty()) {
    t = Rect(0, 0, room.x, 0);
    canvas.DrawText(caption, t, (wordWrap_ ? DT_WORDBREAK : 0u) | DT_CALCRECT | DT_VCENTER | DT_CENTER | flags);
  }
  t.bottom = LargerOf(t.top, t.top + SmallerOf(room.y, t.Height()));
  t.right = LargerOf(t.left, t.left + SmallerOf(room.x, t.Width()));
  TPoint ts{t.Width(), t.Height()};

  if (withMark) {
    if (gs.x == 0 || gs.y == 0 || layout == blGlyphLeft) ts.x += kMarkWidthWithGap;
    else if (gs.x > 0) gs.x += kMarkGapAfterGlyph;
  }

  TPoint text{};
  if (horizontal) {
    glyphPos.y = cs.y / 2 - gs.y / 2;
    text.y = cs.y / 2 - ts.y / 2;
  } else {
    glyphPos.x = cs.x / 2 - gs.x / 2;
    text.x = cs.x / 2 - ts.x / 2;
  }

  if (ts.x == 0 || gs.x == 0) spacing = 0;

  auto along = [horizontal](const TPoint& p) { return horizontal ? p.x : p.y; };
  if (margin == -1 && spacing == -1) {
    margin = (along(cs) - (along(gs) + along(ts))) / 3;
    spacing = margin;
  } else if (margin == -1) {
    const int total = along(gs) + spacing + along(ts);
    margin = along(cs) / 2 - total / 2;
  } else if (spacing == -1) {
    const int rest = along(cs) - (margin + along(gs));
    spacing = rest / 2 - along(ts) / 2;
  }

  switch (layout) {
    case blGlyphLeft:
      glyphPos.x = margin;
      text.x = margin + gs.x + spacing;
      break;
    case blGlyphRight:
      glyphPos.x = cs.x - margin - gs.x;
      text.x = glyphPos.x - spacing - ts.x;
      break;
    case blGlyphTop:
      glyphPos.y = margin;
      text.y = margin + gs.y + spacing;
      break;
    case blGlyphBottom:
      glyphPos.y = cs.y - margin - gs.y;
      text.y = glyphPos.y - spacing - ts.y;
      break;
  }
  glyphPos = {glyphPos.x + client.left, glyphPos.y + client.top};
  textRect = OffsetRect(t, client.left + text.x, client.top + text.y);
}

void TVxButtonGlyph::DrawDropDownMark(TCanvas& canvas, int x, int y, TGlyphState state) {
  auto draw = [&canvas](int left, int top, TColor color) {
    // A triangle pointing down: rows of 7, 5, 3 and 1 pixels.
    for (int row = 0; row < 4; ++row)
      for (int px = left + row; px <= left + 6 - row; ++px) canvas.SetPixel(px, top - 1 + row, color);
  };
  if (state == gsDisabled) {
    draw(x + 1, y + 1, clBtnHighlight);
    draw(x, y, clBtnShadow);
  } else {
    draw(x, y, clBtnText);
  }
}

void TVxButtonGlyph::PaintFaceWithList(TCanvas& canvas, const TRect& client, TRect& textBounds, unsigned flags,
                                       TGlyphState state, const TImageList* list, int index, bool withMark,
                                       int spacing, int margin, TButtonLayout layout, const std::string& caption) {
  TRect t;
  TPoint p;
  std::string fitted = caption;
  ComputeGlyphTextLayout(canvas, client, index, list, flags, t, p, withMark, spacing, margin, layout, fitted);
  const bool validList = list && index >= 0 && index < list->Count() && list->Width() > 0;
  const TSize drawn = validList ? DrawListImage(canvas, p.x, p.y, list, index, state)
                                : DrawGlyphImage(canvas, p.x, p.y, state);
  DrawCaption(canvas, fitted, t, state, flags);
  if (withMark) {
    if (layout != blGlyphLeft && (glyphBitmap_->Width() > 0 || validList)) {
      DrawDropDownMark(canvas, p.x + drawn.cx + 1, p.y + drawn.cy / 2, state);
    } else {
      const int x = !fitted.empty() ? t.right + 3 : (client.left + client.right - 7) / 2;
      DrawDropDownMark(canvas, x, t.top + t.Height() / 2, state);
    }
  }
  textBounds = t;
}

void TVxButtonGlyph::PaintFace(TCanvas& canvas, const TRect& client, TRect& textBounds, unsigned flags,
                               TGlyphState state, bool withMark, int spacing, int margin, TButtonLayout layout,
                               const std::string& caption) {
  PaintFaceWithList(canvas, client, textBounds, flags, state, nullptr, -1, withMark, spacing, margin, layout,
                    caption);
}
