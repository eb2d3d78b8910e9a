#include <gtest/gtest.h>

#include "tests/controls/buttonform.h"

using namespace ui;

namespace controls_test {

std::unique_ptr<TBitmap> MakeStrip(int size, const std::vector<TColor>& colours) {
  auto strip = std::make_unique<TBitmap>(size * static_cast<int>(colours.size()), size);
  TCanvas& dc = strip->Canvas();
  dc.Brush().SetColor(clFuchsia);
  dc.FillRect(Rect(0, 0, strip->Width(), size));
  for (std::size_t n = 0; n < colours.size(); ++n) {
    dc.Brush().SetColor(colours[n]);
    const int left = size * static_cast<int>(n);
    dc.FillRect(Rect(left + 1, 1, left + size - 1, size - 1));
  }
  return strip;
}

ButtonForm::ButtonForm() {
  form = new TForm(&driver.App());
  form->SetBounds(100, 100, 300, 200);
  driver.Show(*form);
}

TVxSpeedButton* ButtonForm::AddButton(int left, int top, int width, int height) {
  auto* b = new TVxSpeedButton(form);
  b->SetParent(form);
  b->SetBounds(left, top, width, height);
  const std::size_t index = clicks.size();
  clicks.push_back(0);
  b->SetTag(static_cast<int>(index));
  b->SetOnClick(classes::TNotifyEvent::FromFunction([this, index](classes::TObject*) { ++clicks[index]; }));
  driver.RunUntilIdle();
  return b;
}

int ButtonForm::ClicksOf(TVxSpeedButton& b) { return clicks[static_cast<std::size_t>(b.Tag())]; }

}  // namespace controls_test
