// The test form with three speed buttons read from a stored description: a glyph with four
// state images, a flat button with a caption, and a grouped button held down. Shared by the
// headless pixel test and the on-screen capture.
#pragma once
#include <string>

#include "controls/vxctrls.h"
#include "platform/ui/forms.h"

namespace controls_test {

class TButtonsForm : public ui::TForm {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TButtonsForm(classes::TComponent* owner) : ui::TForm(owner) {}
  TVxSpeedButton* GlyphButton = nullptr;
  TVxSpeedButton* FlatButton = nullptr;
  TVxSpeedButton* GroupButton = nullptr;
};

// The four images of the glyph strip, in state order (up, disabled, down, exclusive); each
// 16 x 16 with a one-pixel fuchsia (transparent) border.
inline constexpr ui::TColor kGlyphColours[4] = {ui::clRed, ui::clGray, ui::clBlue, ui::clGreen};

// The stored description, its glyph data made from the strip above.
std::string ButtonsFormDescription();

}  // namespace controls_test
