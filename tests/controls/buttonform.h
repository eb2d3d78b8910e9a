// A headless form for the speed-button tests, and glyph strips drawn in code.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "controls/vxctrls.h"
#include "platform/ui/testdriver.h"

namespace controls_test {

// `count` images of size x size side by side, image n filled with colours[n] on a fuchsia
// border of one pixel (the mask colour, taken from the bottom-left pixel).
std::unique_ptr<ui::TBitmap> MakeStrip(int size, const std::vector<ui::TColor>& colours);

class ButtonForm : public ::testing::Test {
 protected:
  ButtonForm();
  TVxSpeedButton* AddButton(int left, int top, int width = 25, int height = 25);
  void Press(TVxSpeedButton& b, int x = 5, int y = 5) { driver.MouseDown(b, x, y); }
  void Release(TVxSpeedButton& b, int x = 5, int y = 5) { driver.MouseUp(b, x, y); }
  int ClicksOf(TVxSpeedButton& b);

  ui::HeadlessDriver driver;
  ui::TForm* form = nullptr;
  std::vector<int> clicks;
};

}  // namespace controls_test
