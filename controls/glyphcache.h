// The shared store of ready-made button state images: one masked image list per image size
// (TGlyphList, with a map of used slots), all of them in one process-wide cache
// (SharedGlyphCache). Used on the user-interface thread only.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/ui/imagelist.h"

// A state of a button face, and the index of the state image built for it.
enum TGlyphState : std::uint8_t { gsUp, gsDisabled, gsDown, gsExclusive, gsInactive };

class TGlyphList : public ui::TImageList {
 public:
  TGlyphList(int width, int height);

  // The first free slot; the list grows by one empty image when none is free.
  int AllocateSlot();
  int StoreWithMask(const ui::TBitmap& image, const ui::TBitmap& mask);
  int StoreMasked(const ui::TBitmap& image, ui::TColor maskColor);
  // A released slot keeps its old image until it is reused.
  void ReleaseSlot(int slot);

  int UsedCount() const { return usedCount_; }
  const std::vector<bool>& UsedSlots() const { return usedSlots_; }

 private:
  std::vector<bool> usedSlots_;
  int usedCount_ = 0;
};

class TGlyphCache {
 public:
  TGlyphCache() = default;
  TGlyphCache(const TGlyphCache&) = delete;
  TGlyphCache& operator=(const TGlyphCache&) = delete;

  // The list for images of that size, created and added when there is none.
  TGlyphList* ListForSize(int width, int height);
  // Frees the list when nothing uses a slot of it any more.
  void ReturnList(TGlyphList* list);
  bool IsEmpty() const { return lists_.empty(); }
  int ListCount() const { return static_cast<int>(lists_.size()); }

 private:
  std::vector<std::unique_ptr<TGlyphList>> lists_;
};

// The one cache of the process: made by the first glyph object, freed by the last one.
extern TGlyphCache* SharedGlyphCache;
