// The stored form of a bitmap property: a sub-object whose one stored value "Data" holds the
// image as its byte count (4 bytes, little-endian) followed by a BMP file. Published with
// c.Object("Glyph", ...) it reads and writes "Glyph.Data = {...}".
#pragma once
#include "platform/classes/object.h"
#include "platform/ui/bitmap.h"

namespace ui {

class TStoredBitmap : public classes::TPersistent {
 public:
  explicit TStoredBitmap(TBitmap& bitmap) : bitmap_(bitmap) {}
  TBitmap& Bitmap() const { return bitmap_; }
  void DefineProperties(classes::TFiler& filer) override;

 private:
  TBitmap& bitmap_;
};

}  // namespace ui
