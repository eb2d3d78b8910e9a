#include "platform/ui/colors.h"

#include <array>
#include <cstdio>

#include "platform/rtl/strutils.h"

namespace ui {
namespace {

// The classic scheme, 96 pixels per inch.
constexpr std::array<TColor, kSysColorCount> kClassicScheme = {
    RGB(0xC0, 0xC0, 0xC0),  // scroll bar
    RGB(0x00, 0x80, 0x80),  // desktop
    RGB(0x00, 0x00, 0x80),  // active caption
    RGB(0x80, 0x80, 0x80),  // inactive caption
    RGB(0xC0, 0xC0, 0xC0),  // menu
    RGB(0xFF, 0xFF, 0xFF),  // window
    RGB(0x00, 0x00, 0x00),  // window frame
    RGB(0x00, 0x00, 0x00),  // menu text
    RGB(0x00, 0x00, 0x00),  // window text
    RGB(0xFF, 0xFF, 0xFF),  // caption text
    RGB(0xC0, 0xC0, 0xC0),  // active border
    RGB(0xC0, 0xC0, 0xC0),  // inactive border
    RGB(0x80, 0x80, 0x80),  // application work space
    RGB(0x00, 0x00, 0x80),  // highlight
    RGB(0xFF, 0xFF, 0xFF),  // highlight text
    RGB(0xC0, 0xC0, 0xC0),  // button face
    RGB(0x80, 0x80, 0x80),  // button shadow
    RGB(0x80, 0x80, 0x80),  // gray text
    RGB(0x00, 0x00, 0x00),  // button text
    RGB(0xC0, 0xC0, 0xC0),  // inactive caption text
    RGB(0xFF, 0xFF, 0xFF),  // button highlight
    RGB(0x00, 0x00, 0x00),  // 3-D dark shadow
    RGB(0xC0, 0xC0, 0xC0),  // 3-D light
    RGB(0x00, 0x00, 0x00),  // tooltip text
    RGB(0xFF, 0xFF, 0xE1),  // tooltip background
};

std::array<TColor, kSysColorCount>& Scheme() {
  static std::array<TColor, kSysColorCount> scheme = kClassicScheme;
  return scheme;
}

struct NamedColor {
  const char* name;
  TColor value;
};

constexpr NamedColor kNames[] = {
    {"clBlack", clBlack},
    {"clMaroon", clMaroon},
    {"clGreen", clGreen},
    {"clOlive", clOlive},
    {"clNavy", clNavy},
    {"clPurple", clPurple},
    {"clTeal", clTeal},
    {"clGray", clGray},
    {"clSilver", clSilver},
    {"clRed", clRed},
    {"clLime", clLime},
    {"clYellow", clYellow},
    {"clBlue", clBlue},
    {"clFuchsia", clFuchsia},
    {"clAqua", clAqua},
    {"clWhite", clWhite},
    {"clNone", clNone},
    {"clDefault", clDefault},
    {"clScrollBar", clScrollBar},
    {"clBackground", clBackground},
    {"clActiveCaption", clActiveCaption},
    {"clInactiveCaption", clInactiveCaption},
    {"clMenu", clMenu},
    {"clWindow", clWindow},
    {"clWindowFrame", clWindowFrame},
    {"clMenuText", clMenuText},
    {"clWindowText", clWindowText},
    {"clCaptionText", clCaptionText},
    {"clActiveBorder", clActiveBorder},
    {"clInactiveBorder", clInactiveBorder},
    {"clAppWorkSpace", clAppWorkSpace},
    {"clHighlight", clHighlight},
    {"clHighlightText", clHighlightText},
    {"clBtnFace", clBtnFace},
    {"clBtnShadow", clBtnShadow},
    {"clGrayText", clGrayText},
    {"clBtnText", clBtnText},
    {"clInactiveCaptionText", clInactiveCaptionText},
    {"clBtnHighlight", clBtnHighlight},
    {"cl3DDkShadow", cl3DDkShadow},
    {"cl3DLight", cl3DLight},
    {"clInfoText", clInfoText},
    {"clInfoBk", clInfoBk},
};

}  // namespace

TColor ColorToRGB(TColor c) {
  if (c == clNone || c == clDefault) return clBlack;
  if ((c & kSystemColorFlag) == kSystemColorFlag) return GetSysColor(static_cast<int>(c & 0xFF));
  return c & 0x00FFFFFF;
}

TColor GetSysColor(int index) {
  if (index < 0 || index >= kSysColorCount) return clBlack;
  return Scheme()[static_cast<std::size_t>(index)];
}

void SetSysColor(int index, TColor rgb) {
  if (index < 0 || index >= kSysColorCount) return;
  Scheme()[static_cast<std::size_t>(index)] = rgb & 0x00FFFFFF;
}

void ResetSysColors() { Scheme() = kClassicScheme; }

bool IdentToColor(std::string_view ident, TColor& out) {
  for (const auto& n : kNames) {
    if (rtl::SameText(ident, n.name)) {
      out = n.value;
      return true;
    }
  }
  return false;
}

std::string ColorToIdent(TColor c) {
  for (const auto& n : kNames)
    if (n.value == c) return n.name;
  return {};
}

}  // namespace ui
