// A masked image list: fixed-size slots, each an image and a monochrome mask (1 = transparent).
#pragma once
#include <vector>

#include "platform/ui/bitmap.h"
#include "platform/ui/canvas.h"

namespace ui {

enum : unsigned { ILD_NORMAL = 0x0, ILD_TRANSPARENT = 0x1, ILD_MASK = 0x10 };

class TImageList {
 public:
  TImageList(int width, int height);

  int Width() const { return width_; }
  int Height() const { return height_; }
  int Count() const { return static_cast<int>(slots_.size()); }

  // Appends one empty (fully transparent) slot and returns its index.
  int AddEmpty();
  // Appends an image with its mask, or with the mask made from a colour.
  int Add(const TBitmap& image, const TBitmap* mask);
  int AddMasked(const TBitmap& image, TColor maskColor);
  // Replaces slot n. The mask is a monochrome (or colour, taken as white = transparent)
  // bitmap; the masked form makes every pixel equal in RGB to maskColor transparent.
  void Replace(int index, const TBitmap& image, const TBitmap* mask);
  void ReplaceMasked(int index, const TBitmap& image, TColor maskColor);
  void Clear() { slots_.clear(); }

  // Normal (masked) drawing: opaque pixels are copied, transparent ones leave the canvas.
  // ILD_MASK draws the mask as a monochrome source (0 = opaque, 1 = transparent) through the
  // canvas's text and background colours.
  void Draw(TCanvas& canvas, int x, int y, int index, unsigned style = ILD_NORMAL) const;

 private:
  struct Slot {
    Surface image;
    Surface mask;
  };
  Slot MakeSlot(const TBitmap& image) const;
  void CheckIndex(int index) const;

  int width_;
  int height_;
  std::vector<Slot> slots_;
};

// The window-system form of the call.
inline void ImageList_Draw(const TImageList& list, int index, TCanvas& canvas, int x, int y,
                           unsigned style) {
  list.Draw(canvas, x, y, index, style);
}

}  // namespace ui
