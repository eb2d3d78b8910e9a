// The program resources the editor controls use, authored here as pixel maps: the directory
// edit's folder glyph "FEDITBMP" and the two hand cursors "VX_HANDCUR" and "VX_DRAGCUR".
#pragma once
#include <memory>
#include <string_view>

#include "platform/ui/bitmap.h"

// A new bitmap from the named bitmap resource, or null when there is none by that name.
std::unique_ptr<ui::TBitmap> LoadBitmapResource(std::string_view name);

struct CursorResource {
  std::shared_ptr<ui::TBitmap> image;  // monochrome; black is the shape, white the rest
  ui::TPoint hotSpot;
};
// The named cursor resource; an empty image when there is none by that name.
CursorResource LoadCursorResource(std::string_view name);

