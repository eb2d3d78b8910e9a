// The press-and-glyph behaviour the edit's embedded button needs: a windowless button that
// draws one glyph image centred on a button face, goes down while pressed, and clicks when
// released over itself.
#pragma once
#include <memory>

#include "platform/ui/bitmap.h"
#include "platform/ui/controls.h"

namespace controls {

enum TButtonState { bsUp, bsDisabled, bsDown, bsExclusive };

class TEditButtonBase : public ui::TGraphicControl {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TEditButtonBase(classes::TComponent* owner);

  ui::TBitmap& Glyph() { return *glyph_; }
  const ui::TBitmap& Glyph() const { return *glyph_; }
  void SetGlyph(const ui::TBitmap* v);
  int NumGlyphs() const { return numGlyphs_; }
  void SetNumGlyphs(int v);
  TButtonState FaceState() const { return state_; }
  // The button keeps its width when its glyph changes (set for the drop-down kind).
  bool FixedWidth() const { return fixedWidth_; }
  void SetFixedWidth(bool v) { fixedWidth_ = v; }
  void SetEnabled(bool v) override;

 protected:
  void Paint() override;
  void MouseDown(ui::TMouseButton button, ui::TShiftState shift, int x, int y) override;
  void MouseMove(ui::TShiftState shift, int x, int y) override;
  void MouseUp(ui::TMouseButton button, ui::TShiftState shift, int x, int y) override;

 private:
  std::unique_ptr<ui::TBitmap> glyph_;
  int numGlyphs_ = 1;
  TButtonState state_ = bsUp;
  bool dragging_ = false;
  bool fixedWidth_ = false;
};

}  // namespace controls
