#include "tests/controls/buttonsform.h"

#include <cstdio>

#include "platform/classes/classbuilder.h"
#include "platform/classes/streams.h"
#include "tests/controls/buttonform.h"

using namespace ui;

namespace controls_test {

const classes::TClassInfo& TButtonsForm::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TButtonsForm, TForm>("TButtonsForm", [](auto& c) {
    c.Field("GlyphButton", &TButtonsForm::GlyphButton);
    c.Field("FlatButton", &TButtonsForm::FlatButton);
    c.Field("GroupButton", &TButtonsForm::GroupButton);
  });
  return info;
}

namespace {

// "Glyph.Data" of a bitmap: its byte count and BMP image in hexadecimal, 64 digits a line.
std::string GlyphData(const TBitmap& bitmap) {
  classes::TMemoryStream image;
  bitmap.SaveToStream(image);
  std::string bytes;
  const auto count = static_cast<std::uint32_t>(image.Size());
  for (int i = 0; i < 4; ++i) bytes += static_cast<char>(count >> (8 * i));
  bytes.append(reinterpret_cast<const char*>(image.Memory()), static_cast<std::size_t>(image.Size()));
  std::string hex = "{";
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i % 32 == 0) hex += "\n      ";
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned char>(bytes[i]));
    hex += digits;
  }
  return hex + "}";
}

}  // namespace

std::string ButtonsFormDescription() {
  const auto strip = MakeStrip(16, {kGlyphColours[0], kGlyphColours[1], kGlyphColours[2], kGlyphColours[3]});
  return R"(object ButtonsForm: TButtonsForm
  Left = 100
  Top = 100
  BorderStyle = bsSingle
  Caption = 'Bot)" "\xF5" R"(es'
  ClientHeight = 64
  ClientWidth = 200
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  PixelsPerInch = 96
  TextHeight = 13
  object GlyphButton: TVxSpeedButton
    Left = 8
    Top = 8
    Width = 40
    Height = 40
    Glyph.Data = )" +
         GlyphData(*strip) + R"(
    NumGlyphs = 4
  end
  object FlatButton: TVxSpeedButton
    Left = 56
    Top = 8
    Width = 80
    Height = 25
    Caption = 'Abrir'
    Flat = True
    Anchors = [akLeft, akTop, akRight]
    Constraints.MinWidth = 40
    DragMode = dmManual
  end
  object GroupButton: TVxSpeedButton
    Left = 144
    Top = 8
    Width = 40
    Height = 40
    AllowAllUp = True
    GroupIndex = 1
    Down = True
    Caption = 'G'
  end
end
)";
}

}  // namespace controls_test
