#include "platform/ui/graphics.h"

#include "platform/classes/classbuilder.h"
#include "platform/classes/filer.h"
#include "platform/ui/storedcolor.h"

namespace ui {

const classes::TClassInfo& TFont::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TFont, classes::TPersistent>("TFont", [](auto& c) {
    c.Integer("Height", &TFont::Height, &TFont::SetHeight);
    c.String("Name", &TFont::Name, &TFont::SetName);
    c.Integer("Size", &TFont::Size, &TFont::SetSize).Stored(false);
    c.Set("Style", &TFont::Style, &TFont::SetStyle, {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"})
        .Default(0);
  });
  return info;
}

void TFont::DefineProperties(classes::TFiler& filer) {
  TGraphicsObject::DefineProperties(filer);
  DefineColorProperty(filer, "Color", [this] { return Color(); }, [this](TColor c) { SetColor(c); },
                      clWindowText);
  DefineCharsetProperty(filer, "Charset", [this] { return Charset(); }, [this](int v) { SetCharset(v); });
}

void TFont::Assign(const classes::TPersistent& source) {
  if (auto* font = dynamic_cast<const TFont*>(&source)) {
    Assign(*font);
    return;
  }
  TGraphicsObject::Assign(source);
}

void TFont::SetName(const std::string& v) {
  if (v == name_) return;
  name_ = v;
  Changed();
}

void TFont::SetHeight(int v) {
  if (v == height_) return;
  height_ = v;
  Changed();
}

int TFont::Size() const {
  // points = -height * 72 / ppi, rounded
  const int h = height_ < 0 ? -height_ : height_;
  const int pts = (h * 72 + 48) / 96;
  return height_ < 0 ? pts : -pts;
}

void TFont::SetSize(int points) {
  const int p = points < 0 ? -points : points;
  const int pixels = (p * 96 + 36) / 72;
  SetHeight(points < 0 ? pixels : -pixels);
}

void TFont::SetColor(TColor v) {
  if (v == color_) return;
  color_ = v;
  Changed();
}

void TFont::SetStyle(TFontStyles v) {
  if (v == style_) return;
  style_ = v;
  Changed();
}

void TFont::Assign(const TFont& other) {
  if (&other == this) return;
  if (SameAs(other)) return;
  name_ = other.name_;
  height_ = other.height_;
  color_ = other.color_;
  style_ = other.style_;
  charset_ = other.charset_;
  Changed();
}

bool TFont::SameAs(const TFont& other) const {
  return name_ == other.name_ && height_ == other.height_ && color_ == other.color_ &&
         style_ == other.style_ && charset_ == other.charset_;
}

void TBrush::SetColor(TColor v) {
  if (v == color_ && style_ != bsClear) return;
  color_ = v;
  if (style_ == bsClear) style_ = bsSolid;
  Changed();
}

void TBrush::SetStyle(TBrushStyle v) {
  if (v == style_) return;
  style_ = v;
  Changed();
}

void TBrush::SetBitmap(TBitmap* v) {
  bitmap_ = v;
  style_ = v ? bsPattern : bsSolid;
  Changed();
}

void TBrush::Assign(const TBrush& other) {
  color_ = other.color_;
  style_ = other.style_;
  bitmap_ = other.bitmap_;
  Changed();
}

}  // namespace ui
