// Points, sizes and rectangles in pixels. Rectangles are (left, top, right, bottom) with the
// right and bottom edges exclusive, as the window system's are.
#pragma once
#include <algorithm>

namespace ui {

struct TPoint {
  int x = 0;
  int y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TSize {
  int cx = 0;
  int cy = 0;
  friend bool operator==(const TSize&, const TSize&) = default;
};

struct TRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool IsEmpty() const { return right <= left || bottom <= top; }
  bool Contains(TPoint p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  TPoint TopLeft() const { return {left, top}; }
  friend bool operator==(const TRect&, const TRect&) = default;
};

inline TRect Rect(int left, int top, int right, int bottom) { return {left, top, right, bottom}; }
inline TRect Bounds(int left, int top, int width, int height) {
  return {left, top, left + width, top + height};
}

inline TRect IntersectRect(const TRect& a, const TRect& b) {
  TRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
  if (r.IsEmpty()) return {};
  return r;
}

inline TRect UnionRect(const TRect& a, const TRect& b) {
  if (a.IsEmpty()) return b;
  if (b.IsEmpty()) return a;
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
          std::max(a.bottom, b.bottom)};
}

inline TRect OffsetRect(const TRect& r, int dx, int dy) {
  return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

inline TRect InflateRect(const TRect& r, int dx, int dy) {
  return {r.left - dx, r.top - dy, r.right + dx, r.bottom + dy};
}

}  // namespace ui
