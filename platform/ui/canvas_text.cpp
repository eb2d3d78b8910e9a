#include <algorithm>

#include "platform/ui/canvas.h"
#include "platform/ui/fontengine.h"

namespace ui {
namespace {

struct TextLine {
  std::string text;
  int underline = -1;  // index in text of the character an "&" marks, or -1
  int width = 0;
};

// Removes the "&" prefixes: "&x" underlines x, "&&" is one "&", a lone trailing "&" goes.
TextLine StripPrefix(std::string_view s, bool prefixes) {
  TextLine line;
  if (!prefixes) {
    line.text = std::string(s);
    return line;
  }
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '&') {
      if (i + 1 >= s.size()) break;
      ++i;
      if (s[i] != '&' && line.underline < 0) line.underline = static_cast<int>(line.text.size());
    }
    line.text.push_back(s[i]);
  }
  return line;
}

std::vector<std::string_view> SplitParagraphs(std::string_view text) {
  std::vector<std::string_view> out;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      out.push_back(text.substr(start, i - start));
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = i + 1;
    }
  }
  out.push_back(text.substr(start));
  return out;
}

// Greedy word wrapping at blanks: a line takes words while they fit; a word wider than the
// room stays whole on a line of its own.
void WrapInto(const TextLine& para, int room, FontFace& face, std::vector<TextLine>& out) {
  const std::string& s = para.text;
  std::size_t lineStart = 0;
  while (true) {
    std::size_t lineEnd = lineStart;  // end of the last word that fits
    std::size_t pos = lineStart;
    bool any = false;
    while (pos < s.size()) {
      std::size_t wordEnd = pos;
      while (wordEnd < s.size() && s[wordEnd] == ' ') ++wordEnd;
      while (wordEnd < s.size() && s[wordEnd] != ' ') ++wordEnd;
      const int w = face.TextWidth(std::string_view(s).substr(lineStart, wordEnd - lineStart));
      if (any && w > room) break;
      lineEnd = wordEnd;
      any = true;
      pos = wordEnd;
      if (w > room) break;
    }
    TextLine line;
    line.text = s.substr(lineStart, lineEnd - lineStart);
    if (para.underline >= static_cast<int>(lineStart) && para.underline < static_cast<int>(lineEnd))
      line.underline = para.underline - static_cast<int>(lineStart);
    while (!line.text.empty() && line.text.back() == ' ') line.text.pop_back();
    line.width = face.TextWidth(line.text);
    out.push_back(std::move(line));
    std::size_t next = lineEnd;
    while (next < s.size() && s[next] == ' ') ++next;
    if (next >= s.size()) break;
    lineStart = next;
  }
}

// A line wider than `room` keeps the characters that fit before a closing "..." (the dots
// alone when nothing else fits). Glyph advances add up, so the cut is found in one pass.
void EndWithEllipsis(TextLine& line, int room, FontFace& face) {
  if (line.width <= room) return;
  const int dots = face.TextWidth("...");
  std::size_t keep = 0;
  for (int width = 0; keep < line.text.size(); ++keep) {
    width += face.TextWidth(std::string_view(line.text).substr(keep, 1));
    if (width + dots > room) break;
  }
  line.text = line.text.substr(0, keep) + "...";
  if (line.underline >= static_cast<int>(keep)) line.underline = -1;
  line.width = face.TextWidth(line.text);
}

}  // namespace

std::vector<std::string> WrapText(FontFace& face, std::string_view text, int width) {
  std::vector<TextLine> lines;
  for (std::string_view para : SplitParagraphs(text)) WrapInto(StripPrefix(para, false), width, face, lines);
  std::vector<std::string> out;
  for (TextLine& l : lines) out.push_back(std::move(l.text));
  return out;
}

FontFace& TCanvas::Face() {
  if (!face_) {
    FontRequest req;
    req.name = font_.Name();
    req.height = font_.Height();
    req.bold = (font_.Style() & fsBold) != 0;
    req.italic = (font_.Style() & fsItalic) != 0;
    face_ = &FontEngine::Instance().Face(req);
  }
  return *face_;
}

const FontMetrics& TCanvas::TextMetrics() { return Face().Metrics(); }

int TCanvas::TextWidth(std::string_view text) { return Face().TextWidth(text); }

int TCanvas::TextHeight(std::string_view) { return Face().Metrics().height; }

TSize TCanvas::TextExtent(std::string_view text) {
  return {TextWidth(text), TextHeight(text)};
}

void TCanvas::DrawTextLine(int x, int y, std::string_view text, int underlineIndex) {
  FontFace& face = Face();
  const FontMetrics& m = face.Metrics();
  const int width = face.TextWidth(text);
  const int dx = x + origin_.x, dy = y + origin_.y;
  if (bkMode_ == OPAQUE) {
    const std::uint32_t bk = ColorToRGB(bkColor_);
    for (int py = dy; py < dy + m.height; ++py)
      for (int px = dx; px < dx + width; ++px) PutDevicePixel(px, py, bk);
  }
  const std::uint32_t ink = ColorToRGB(textColor_);
  const int baseline = dy + m.ascent;
  int pen = dx;
  const bool underlineAll = (font_.Style() & fsUnderline) != 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const Glyph& g = face.GlyphOf(static_cast<unsigned char>(text[i]));
    for (int gy = 0; gy < g.rows; ++gy)
      for (int gx = 0; gx < g.width; ++gx)
        if (g.bits[static_cast<std::size_t>(gy * g.width + gx)])
          PutDevicePixel(pen + g.left + gx, baseline - g.top + gy, ink);
    if (underlineAll || static_cast<int>(i) == underlineIndex)
      for (int ux = pen; ux < pen + g.advance; ++ux) PutDevicePixel(ux, baseline + 1, ink);
    pen += g.advance;
  }
}

void TCanvas::TextOut(int x, int y, std::string_view text) {
  DrawTextLine(x, y, text, -1);
  penPos_ = {x + TextWidth(text), y};
  Changed();
}

void TCanvas::TextRect(const TRect& r, int x, int y, std::string_view text) {
  SaveDC();
  IntersectClipRect(r);
  if (bkMode_ == OPAQUE && brush_.Style() != bsClear) FillRect(r);
  DrawTextLine(x, y, text, -1);
  RestoreDC(-1);
  Changed();
}

int TCanvas::DrawText(std::string_view text, TRect& r, unsigned flags) {
  FontFace& face = Face();
  const int lineHeight = face.Metrics().height;
  const bool prefixes = !(flags & DT_NOPREFIX);
  std::vector<TextLine> lines;
  if (flags & DT_SINGLELINE) {
    TextLine line = StripPrefix(text, prefixes);
    std::string shown;
    for (char c : line.text)
      if (c != '\r' && c != '\n') shown.push_back(c);
    line.text = shown;
    line.width = face.TextWidth(line.text);
    lines.push_back(std::move(line));
  } else if (!text.empty()) {
    for (std::string_view para : SplitParagraphs(text)) {
      TextLine stripped = StripPrefix(para, prefixes);
      if (flags & DT_WORDBREAK) {
        WrapInto(stripped, r.Width(), face, lines);
      } else {
        stripped.width = face.TextWidth(stripped.text);
        lines.push_back(std::move(stripped));
      }
    }
  }
  if ((flags & DT_SINGLELINE) && text.empty()) lines.clear();
  int widest = 0;
  for (const TextLine& l : lines) widest = std::max(widest, l.width);
  const int total = static_cast<int>(lines.size()) * lineHeight;
  if (flags & DT_CALCRECT) {
    r.right = r.left + widest;
    r.bottom = r.top + total;
    return total;
  }
  int y = r.top;
  if (flags & DT_SINGLELINE) {
    if (flags & DT_VCENTER) y = r.top + (r.Height() - lineHeight) / 2;
    else if (flags & DT_BOTTOM) y = r.bottom - lineHeight;
  }
  SaveDC();
  if (!(flags & DT_NOCLIP)) IntersectClipRect(r);
  for (TextLine& l : lines) {
    if (flags & DT_END_ELLIPSIS) EndWithEllipsis(l, r.Width(), face);
    int x = r.left;
    if (flags & DT_CENTER) x = r.left + (r.Width() - l.width) / 2;
    else if (flags & DT_RIGHT) x = r.right - l.width;
    DrawTextLine(x, y, l.text, l.underline);
    y += lineHeight;
  }
  RestoreDC(-1);
  Changed();
  if (flags & (DT_VCENTER | DT_BOTTOM)) return y - r.top;
  return total;
}

}  // namespace ui
