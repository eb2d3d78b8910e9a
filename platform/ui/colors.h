// Colour values and the system-colour scheme.
// A colour is 0x00BBGGRR for an RGB colour (the red byte lowest); 0xFF000000 + index names a
// system colour, resolved through the current scheme when drawn.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace ui {

using TColor = std::uint32_t;

inline constexpr TColor RGB(int r, int g, int b) {
  return static_cast<TColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
inline constexpr int GetRValue(TColor c) { return static_cast<int>(c & 0xFF); }
inline constexpr int GetGValue(TColor c) { return static_cast<int>((c >> 8) & 0xFF); }
inline constexpr int GetBValue(TColor c) { return static_cast<int>((c >> 16) & 0xFF); }

inline constexpr TColor kSystemColorFlag = 0xFF000000u;
// Palette-relative colours carry this bit; the software canvas ignores it.
inline constexpr TColor kPaletteRelativeFlag = 0x02000000u;

// System-colour indexes.
enum SysColorIndex : int {
  COLOR_SCROLLBAR = 0,
  COLOR_BACKGROUND = 1,
  COLOR_ACTIVECAPTION = 2,
  COLOR_INACTIVECAPTION = 3,
  COLOR_MENU = 4,
  COLOR_WINDOW = 5,
  COLOR_WINDOWFRAME = 6,
  COLOR_MENUTEXT = 7,
  COLOR_WINDOWTEXT = 8,
  COLOR_CAPTIONTEXT = 9,
  COLOR_ACTIVEBORDER = 10,
  COLOR_INACTIVEBORDER = 11,
  COLOR_APPWORKSPACE = 12,
  COLOR_HIGHLIGHT = 13,
  COLOR_HIGHLIGHTTEXT = 14,
  COLOR_BTNFACE = 15,
  COLOR_BTNSHADOW = 16,
  COLOR_GRAYTEXT = 17,
  COLOR_BTNTEXT = 18,
  COLOR_INACTIVECAPTIONTEXT = 19,
  COLOR_BTNHIGHLIGHT = 20,
  COLOR_3DDKSHADOW = 21,
  COLOR_3DLIGHT = 22,
  COLOR_INFOTEXT = 23,
  COLOR_INFOBK = 24,
  kSysColorCount = 25,
};

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clDefault = 0x20000000;

inline constexpr TColor clScrollBar = kSystemColorFlag | COLOR_SCROLLBAR;
inline constexpr TColor clBackground = kSystemColorFlag | COLOR_BACKGROUND;
inline constexpr TColor clActiveCaption = kSystemColorFlag | COLOR_ACTIVECAPTION;
inline constexpr TColor clInactiveCaption = kSystemColorFlag | COLOR_INACTIVECAPTION;
inline constexpr TColor clMenu = kSystemColorFlag | COLOR_MENU;
inline constexpr TColor clWindow = kSystemColorFlag | COLOR_WINDOW;
inline constexpr TColor clWindowFrame = kSystemColorFlag | COLOR_WINDOWFRAME;
inline constexpr TColor clMenuText = kSystemColorFlag | COLOR_MENUTEXT;
inline constexpr TColor clWindowText = kSystemColorFlag | COLOR_WINDOWTEXT;
inline constexpr TColor clCaptionText = kSystemColorFlag | COLOR_CAPTIONTEXT;
inline constexpr TColor clActiveBorder = kSystemColorFlag | COLOR_ACTIVEBORDER;
inline constexpr TColor clInactiveBorder = kSystemColorFlag | COLOR_INACTIVEBORDER;
inline constexpr TColor clAppWorkSpace = kSystemColorFlag | COLOR_APPWORKSPACE;
inline constexpr TColor clHighlight = kSystemColorFlag | COLOR_HIGHLIGHT;
inline constexpr TColor clHighlightText = kSystemColorFlag | COLOR_HIGHLIGHTTEXT;
inline constexpr TColor clBtnFace = kSystemColorFlag | COLOR_BTNFACE;
inline constexpr TColor clBtnShadow = kSystemColorFlag | COLOR_BTNSHADOW;
inline constexpr TColor clGrayText = kSystemColorFlag | COLOR_GRAYTEXT;
inline constexpr TColor clBtnText = kSystemColorFlag | COLOR_BTNTEXT;
inline constexpr TColor clInactiveCaptionText = kSystemColorFlag | COLOR_INACTIVECAPTIONTEXT;
inline constexpr TColor clBtnHighlight = kSystemColorFlag | COLOR_BTNHIGHLIGHT;
inline constexpr TColor cl3DDkShadow = kSystemColorFlag | COLOR_3DDKSHADOW;
inline constexpr TColor cl3DLight = kSystemColorFlag | COLOR_3DLIGHT;
inline constexpr TColor clInfoText = kSystemColorFlag | COLOR_INFOTEXT;
inline constexpr TColor clInfoBk = kSystemColorFlag | COLOR_INFOBK;

// The RGB value of a colour: system colours through the current scheme, the palette-relative
// bit dropped, clNone and clDefault as black.
TColor ColorToRGB(TColor c);

// The current scheme, classic by default. Changing it is for tests and for the "system colours
// changed" notification; callers tell the controls themselves.
TColor GetSysColor(int index);
void SetSysColor(int index, TColor rgb);
void ResetSysColors();

// Colour names of stored descriptions ("clBtnFace", "clWindowText", ...). False when unknown.
bool IdentToColor(std::string_view ident, TColor& out);
// The name for a colour, or empty when it has none (stored as a number then).
std::string ColorToIdent(TColor c);

}  // namespace ui
