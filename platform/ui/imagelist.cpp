#include "platform/ui/imagelist.h"

#include "platform/rtl/exception.h"

namespace ui {

TImageList::TImageList(int width, int height) : width_(width), height_(height) {}

void TImageList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) throw rtl::Exception("Invalid ImageList Index");
}

TImageList::Slot TImageList::MakeSlot(const TBitmap& image) const {
  Slot slot;
  slot.image.Resize(width_, height_, 0);
  slot.mask.monochrome = true;
  slot.mask.Resize(width_, height_, 0xFFFFFF);
  const Surface& src = image.Pixels();
  for (int y = 0; y < height_ && y < src.height; ++y)
    for (int x = 0; x < width_ && x < src.width; ++x) slot.image.At(x, y) = src.At(x, y);
  return slot;
}

int TImageList::AddEmpty() {
  Slot slot;
  slot.image.Resize(width_, height_, 0);
  slot.mask.monochrome = true;
  slot.mask.Resize(width_, height_, 0xFFFFFF);
  slots_.push_back(std::move(slot));
  return Count() - 1;
}

int TImageList::Add(const TBitmap& image, const TBitmap* mask) {
  const int index = AddEmpty();
  Replace(index, image, mask);
  return index;
}

int TImageList::AddMasked(const TBitmap& image, TColor maskColor) {
  const int index = AddEmpty();
  ReplaceMasked(index, image, maskColor);
  return index;
}

void TImageList::Replace(int index, const TBitmap& image, const TBitmap* mask) {
  CheckIndex(index);
  Slot slot = MakeSlot(image);
  const Surface& src = image.Pixels();
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      bool transparent = false;
      if (mask && !mask->Empty()) {
        const Surface& m = mask->Pixels();
        transparent = x < m.width && y < m.height && m.At(x, y) == 0xFFFFFF;
      } else if (!mask) {
        transparent = !(x < src.width && y < src.height);
      }
      slot.mask.At(x, y) = transparent ? 0xFFFFFF : 0;
    }
  slots_[static_cast<std::size_t>(index)] = std::move(slot);
}

void TImageList::ReplaceMasked(int index, const TBitmap& image, TColor maskColor) {
  CheckIndex(index);
  Slot slot = MakeSlot(image);
  const std::uint32_t key = ColorToRGB(maskColor & ~kPaletteRelativeFlag);
  const Surface& src = image.Pixels();
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      const bool inside = x < src.width && y < src.height;
      slot.mask.At(x, y) = !inside || src.At(x, y) == key ? 0xFFFFFF : 0;
    }
  slots_[static_cast<std::size_t>(index)] = std::move(slot);
}

void TImageList::Draw(TCanvas& canvas, int x, int y, int index, unsigned style) const {
  if (index < 0 || index >= Count()) return;
  const Slot& slot = slots_[static_cast<std::size_t>(index)];
  const TPoint o = canvas.ViewportOrigin();
  const bool mono = canvas.Target() && canvas.Target()->monochrome;
  const std::uint32_t zero = ColorToRGB(canvas.TextColor());
  const std::uint32_t one = ColorToRGB(canvas.BkColor());
  for (int py = 0; py < height_; ++py)
    for (int px = 0; px < width_; ++px) {
      const bool transparent = slot.mask.At(px, py) != 0;
      if (style & ILD_MASK) {
        canvas.PutDevicePixel(x + px + o.x, y + py + o.y,
                              mono ? slot.mask.At(px, py) : (transparent ? one : zero));
      } else if (!transparent) {
        canvas.PutDevicePixel(x + px + o.x, y + py + o.y, slot.image.At(px, py));
      }
    }
  if (canvas.OnChange) canvas.OnChange();
}

}  // namespace ui
