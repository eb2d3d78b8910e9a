#include "controls/buttonglyph.h"

#include "controls/vxutils.h"
#include "platform/ui/rop.h"

using namespace ui;

TVxButtonGlyph::TVxButtonGlyph() : glyphBitmap_(std::make_unique<TBitmap>()) {
  glyphBitmap_->OnChange = [this] { GlyphBitmapChanged(); };
  if (!SharedGlyphCache) SharedGlyphCache = new TGlyphCache;
}

TVxButtonGlyph::~TVxButtonGlyph() {
  glyphBitmap_->OnChange = nullptr;
  glyphBitmap_.reset();
  ReleaseStateImages();
  if (SharedGlyphCache && SharedGlyphCache->IsEmpty()) {
    delete SharedGlyphCache;
    SharedGlyphCache = nullptr;
  }
}

void TVxButtonGlyph::AssignGlyph(const TBitmap& bitmap) {
  ReleaseStateImages();
  glyphBitmap_->Assign(bitmap);
}

void TVxButtonGlyph::SetGlyphCount(std::uint8_t n) {
  if (n == numGlyphs_ || n == 0) return;
  ReleaseStateImages();
  numGlyphs_ = n;
}

void TVxButtonGlyph::ReleaseStateImages() {
  for (int& slot : stateIndexes_) {
    if (slot != -1 && stateList_) stateList_->ReleaseSlot(slot);
    slot = -1;
  }
  if (SharedGlyphCache) SharedGlyphCache->ReturnList(stateList_);
  stateList_ = nullptr;
}

void TVxButtonGlyph::GlyphBitmapChanged() {
  ReleaseStateImages();
  if (glyphBitmap_ && glyphBitmap_->Height() > 0) {
    maskColor_ = glyphBitmap_->TransparentColor() & ~kPaletteRelativeFlag;
    const int w = glyphBitmap_->Width(), h = glyphBitmap_->Height();
    if (w % h == 0) {
      int n = w / h;
      if (n > 5) n = 1;
      SetGlyphCount(static_cast<std::uint8_t>(n));
    }
  }
  OnGlyphChanged.Fire(this);
}

TGlyphList& TVxButtonGlyph::EnsureStateList(int width, int height) {
  if (!stateList_) {
    if (!SharedGlyphCache) SharedGlyphCache = new TGlyphCache;
    stateList_ = SharedGlyphCache->ListForSize(width, height);
  }
  return *stateList_;
}

TColor TVxButtonGlyph::InactiveShade(TColor color) const {
  const std::uint32_t rgb = ColorToRGB(color);
  if (rgb == ColorToRGB(maskColor_) || rgb == ColorToRGB(clBtnFace)) return color;
  const std::uint32_t r = rgb & 0xFF, g = (rgb >> 8) & 0xFF, b = (rgb >> 16) & 0xFF;
  const std::uint32_t grey = (77 * r + 150 * g + 29 * b) >> 8;
  return grey | (grey << 8) | (grey << 16);
}

int TVxButtonGlyph::BuildStateImage(TGlyphState state) {
  if (state == gsDown && numGlyphs_ < 3) state = gsUp;  // the down face reuses the up image
  if (stateIndexes_[state] != -1) return stateIndexes_[state];
  if (GlyphEmpty()) return -1;
  const int w = glyphBitmap_->Width() / numGlyphs_, h = glyphBitmap_->Height();
  TGlyphList& list = EnsureStateList(w, h);
  TBitmap work(w, h);
  const int source = state < numGlyphs_ ? state : 0;
  auto copySource = [&] { BitBlt(work.Canvas(), 0, 0, w, h, &glyphBitmap_->Canvas(), w * source, 0, SRCCOPY); };
  int slot = -1;
  switch (state) {
    case gsUp:
    case gsDown:
    case gsExclusive:
      copySource();
      slot = list.StoreMasked(work, maskColor_);
      break;
    case gsDisabled:
      if (numGlyphs_ >= 2) {
        copySource();
        slot = list.StoreMasked(work, maskColor_);
      } else {
        const auto disabled = MakeDisabledImageStd(*glyphBitmap_, clBlack);
        slot = list.StoreMasked(*disabled, ColorToRGB(clBtnFace));
      }
      break;
    case gsInactive:
      if (numGlyphs_ == 5) {
        copySource();
      } else {
        const Surface& src = glyphBitmap_->Pixels();
        for (int y = 0; y < h; ++y)
          for (int x = 0; x < w; ++x) work.Pixels().At(x, y) = InactiveShade(src.At(x, y));
      }
      slot = list.StoreMasked(work, maskColor_);
      break;
  }
  stateIndexes_[state] = slot;
  glyphBitmap_->Dormant();
  return slot;
}

int TVxButtonGlyph::BuildListStateImage(TGlyphState state, const TImageList* list, int index) {
  if (state == gsDown) state = gsUp;
  if (stateIndexes_[state] != -1) return stateIndexes_[state];
  if (!list || list->Width() == 0 || list->Height() == 0 || list->Count() == 0) return -1;
  const int w = list->Width(), h = list->Height();
  TGlyphList& target = EnsureStateList(w, h);
  TBitmap work(w, h);
  int slot = -1;
  switch (state) {
    case gsUp:
    case gsDown:
    case gsExclusive: {
      work.Canvas().FillRect(Rect(0, 0, w, h));
      ImageList_Draw(*list, index, work.Canvas(), 0, 0, ILD_NORMAL);
      TBitmap mask(w, h);
      mask.SetMonochrome(true);
      mask.Canvas().FillRect(Rect(0, 0, w, h));
      ImageList_Draw(*list, index, mask.Canvas(), 0, 0, ILD_MASK);
      slot = target.StoreWithMask(work, mask);
      break;
    }
    case gsDisabled:
      work.Canvas().Brush().SetColor(clBtnFace);
      work.Canvas().FillRect(Rect(0, 0, w, h));
      DrawImageListItemDisabled(*list, work.Canvas(), 0, 0, index, clBtnHighlight, clBtnShadow, true);
      slot = target.StoreMasked(work, ColorToRGB(clBtnFace));
      break;
    case gsInactive:
      work.Canvas().Brush().SetColor(clBtnFace);
      work.Canvas().FillRect(Rect(0, 0, w, h));
      ImageList_Draw(*list, index, work.Canvas(), 0, 0, ILD_NORMAL);
      for (auto& px : work.Pixels().pixels) px = InactiveShade(px);
      slot = target.StoreMasked(work, ColorToRGB(clBtnFace));
      break;
  }
  stateIndexes_[state] = slot;
  return slot;
}

TSize TVxButtonGlyph::DrawGlyphImage(TCanvas& canvas, int x, int y, TGlyphState state) {
  if (GlyphEmpty()) return {};
  const int slot = BuildStateImage(state);
  if (slot < 0) return {};
  stateList_->Draw(canvas, x, y, slot, ILD_NORMAL);
  return {stateList_->Width(), stateList_->Height()};
}

TSize TVxButtonGlyph::DrawListImage(TCanvas& canvas, int x, int y, const TImageList* list, int index,
                                    TGlyphState state) {
  if (!list || index < 0 || index >= list->Count()) return {};
  if (state == gsDisabled) {
    DrawImageListItemDisabled(*list, canvas, x, y, index, clBtnHighlight, clBtnShadow, true);
  } else if (state == gsInactive) {
    const int slot = BuildListStateImage(state, list, index);
    if (slot >= 0) stateList_->Draw(canvas, x, y, slot, ILD_NORMAL);
  } else {
    ImageList_Draw(*list, index, canvas, x, y, ILD_NORMAL);
  }
  return {list->Width(), list->Height()};
}
