// The glyph object of a speed button: the glyph strip (up to five state images side by side),
// the state images built from it once and kept in the shared glyph cache, and the drawing of a
// button face's content: glyph, caption and drop-down mark placed by layout, margin and spacing.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "controls/glyphcache.h"
#include "platform/classes/method.h"
#include "platform/classes/object.h"
#include "platform/ui/bitmap.h"
#include "platform/ui/canvas.h"
#include "platform/ui/stdctrls.h"

class TVxButtonGlyph : public classes::TObject {
 public:
  TVxButtonGlyph();
  ~TVxButtonGlyph() override;

  ui::TBitmap& GlyphBitmap() { return *glyphBitmap_; }
  TGlyphList* StateList() const { return stateList_; }
  int StateIndex(TGlyphState state) const { return stateIndexes_[state]; }
  ui::TColor MaskColor() const { return maskColor_; }
  std::uint8_t NumGlyphs() const { return numGlyphs_; }
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool v) { wordWrap_ = v; }
  ui::TAlignment Alignment() const { return alignment_; }
  void SetAlignment(ui::TAlignment v) { alignment_ = v; }
  // Fired (sender: this object) after the glyph bitmap changed.
  classes::TNotifyEvent OnGlyphChanged;

  // Releases the state images, then copies the bitmap into the glyph bitmap.
  void AssignGlyph(const ui::TBitmap& bitmap);
  // A new count of images in the strip (0 is ignored).
  void SetGlyphCount(std::uint8_t n);
  void ReleaseStateImages();
  // The slot of the state's image in StateList, built on first use; -1 when there is none.
  int BuildStateImage(TGlyphState state);
  int BuildListStateImage(TGlyphState state, const ui::TImageList* list, int index);
  // The state image drawn at (x, y); the size drawn, (0, 0) when nothing was.
  ui::TSize DrawGlyphImage(ui::TCanvas& canvas, int x, int y, TGlyphState state);
  ui::TSize DrawListImage(ui::TCanvas& canvas, int x, int y, const ui::TImageList* list, int index,
                          TGlyphState state);
  // The grey of one colour for the inactive look.
  ui::TColor InactiveShade(ui::TColor color) const;

  std::string FitCaption(ui::TCanvas& canvas, const std::string& caption, int maxWidth, int maxLength) const;
  void DrawCaption(ui::TCanvas& canvas, const std::string& caption, ui::TRect rect, TGlyphState state,
                   unsigned flags) const;
  void ComputeGlyphTextLayout(ui::TCanvas& canvas, const ui::TRect& client, int index, const ui::TImageList* list,
                              unsigned flags, ui::TRect& textRect, ui::TPoint& glyphPos, bool withMark,
                              int spacing, int margin, ui::TButtonLayout layout, std::string& caption);
  static void DrawDropDownMark(ui::TCanvas& canvas, int x, int y, TGlyphState state);
  void PaintFaceWithList(ui::TCanvas& canvas, const ui::TRect& client, ui::TRect& textBounds, unsigned flags,
                         TGlyphState state, const ui::TImageList* list, int index, bool withMark, int spacing,
                         int margin, ui::TButtonLayout layout, const std::string& caption);
  void PaintFace(ui::TCanvas& canvas, const ui::TRect& client, ui::TRect& textBounds, unsigned flags,
                 TGlyphState state, bool withMark, int spacing, int margin, ui::TButtonLayout layout,
                 const std::string& caption);

 private:
  void GlyphBitmapChanged();
  TGlyphList& EnsureStateList(int width, int height);
  bool GlyphEmpty() const { return glyphBitmap_->Empty(); }

  std::unique_ptr<ui::TBitmap> glyphBitmap_;
  TGlyphList* stateList_ = nullptr;  // shared, not owned
  std::array<int, 5> stateIndexes_{-1, -1, -1, -1, -1};
  ui::TColor maskColor_ = ui::clFuchsia;
  std::uint8_t numGlyphs_ = 1;
  bool wordWrap_ = false;
  ui::TAlignment alignment_ = ui::taCenter;
};
