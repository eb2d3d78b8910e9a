// The drawing tools a canvas selects: font, pen and brush. Each reports its changes, so that a
// canvas (or a control owning a font) can react.
#pragma once
#include <functional>
#include <string>

#include "platform/classes/object.h"
#include "platform/ui/colors.h"

namespace ui {

class TBitmap;

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = unsigned;

enum TBrushStyle { bsSolid, bsClear, bsPattern };

class TGraphicsObject : public classes::TPersistent {
 public:
  std::function<void()> OnChange;

 protected:
  void Changed() {
    if (OnChange) OnChange();
  }
};

// Size is in points at 96 pixels per inch; Height is pixels (negative: character height).
// Stored as "Font.Name", "Font.Height", "Font.Color" (a colour name or number), "Font.Style",
// "Font.Charset" (a number or DEFAULT_CHARSET).
class TFont : public TGraphicsObject {
  CLASSES_DECLARE_CLASSINFO()
 public:
  TFont() = default;
  TFont(const TFont& other) : TGraphicsObject() { Assign(other); }
  TFont& operator=(const TFont& other) {
    Assign(other);
    return *this;
  }

  const std::string& Name() const { return name_; }
  void SetName(const std::string& v);
  int Height() const { return height_; }
  void SetHeight(int v);
  int Size() const;
  void SetSize(int points);
  TColor Color() const { return color_; }
  void SetColor(TColor v);
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles v);
  int Charset() const { return charset_; }
  void SetCharset(int v) { charset_ = v; }
  int PixelsPerInch() const { return 96; }

  void Assign(const TFont& other);
  void Assign(const classes::TPersistent& source) override;
  bool SameAs(const TFont& other) const;
  void DefineProperties(classes::TFiler& filer) override;

 private:
  std::string name_ = "MS Sans Serif";
  int height_ = -11;
  TColor color_ = clWindowText;
  TFontStyles style_ = 0;
  int charset_ = 1;  // the default character set
};

class TPen : public TGraphicsObject {
 public:
  TColor Color() const { return color_; }
  void SetColor(TColor v) {
    if (v == color_) return;
    color_ = v;
    Changed();
  }
  int Width() const { return 1; }

 private:
  TColor color_ = clBlack;
};

class TBrush : public TGraphicsObject {
 public:
  TColor Color() const { return color_; }
  void SetColor(TColor v);
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle v);
  // An 8 x 8 pattern; the brush keeps no ownership (the caller's cache does).
  TBitmap* Bitmap() const { return bitmap_; }
  void SetBitmap(TBitmap* v);
  using TGraphicsObject::Assign;
  void Assign(const TBrush& other);

 private:
  TColor color_ = clWhite;
  TBrushStyle style_ = bsSolid;
  TBitmap* bitmap_ = nullptr;
};

}  // namespace ui
