#include "controls/glyphcache.h"

#include <algorithm>

TGlyphCache* SharedGlyphCache = nullptr;

TGlyphList::TGlyphList(int width, int height) : ui::TImageList(width, height) {}

int TGlyphList::AllocateSlot() {
  auto free = std::find(usedSlots_.begin(), usedSlots_.end(), false);
  int slot = static_cast<int>(free - usedSlots_.begin());
  if (slot >= static_cast<int>(usedSlots_.size())) {
    slot = AddEmpty();
    usedSlots_.resize(static_cast<std::size_t>(slot) + 1, false);
  }
  usedSlots_[static_cast<std::size_t>(slot)] = true;
  return slot;
}

int TGlyphList::StoreWithMask(const ui::TBitmap& image, const ui::TBitmap& mask) {
  const int slot = AllocateSlot();
  try {
    Replace(slot, image, &mask);
  } catch (...) {
    usedSlots_[static_cast<std::size_t>(slot)] = false;
    throw;
  }
  ++usedCount_;
  return slot;
}

int TGlyphList::StoreMasked(const ui::TBitmap& image, ui::TColor maskColor) {
  const int slot = AllocateSlot();
  try {
    ReplaceMasked(slot, image, maskColor);
  } catch (...) {
    usedSlots_[static_cast<std::size_t>(slot)] = false;
    throw;
  }
  ++usedCount_;
  return slot;
}

void TGlyphList::ReleaseSlot(int slot) {
  if (slot < 0 || slot >= static_cast<int>(usedSlots_.size()) || !usedSlots_[static_cast<std::size_t>(slot)]) return;
  --usedCount_;
  usedSlots_[static_cast<std::size_t>(slot)] = false;
}

TGlyphList* TGlyphCache::ListForSize(int width, int height) {
  for (auto it = lists_.rbegin(); it != lists_.rend(); ++it)
    if ((*it)->Width() == width && (*it)->Height() == height) return it->get();
  lists_.push_back(std::make_unique<TGlyphList>(width, height));
  return lists_.back().get();
}

void TGlyphCache::ReturnList(TGlyphList* list) {
  if (!list || list->UsedCount() != 0) return;
  std::erase_if(lists_, [list](const auto& l) { return l.get() == list; });
}
