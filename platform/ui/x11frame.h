// The frame an SDL window asks the X window manager for. SDL tells the window manager whether a
// window is resizable (its size hints); which boxes the frame shows and which actions it
// offers (maximize among them) go in the Motif hints that window managers read.
#pragma once
#include "platform/ui/backend.h"

struct SDL_Window;

namespace ui {

// Sets the window's Motif hints from `info` when it is an X11 window; nothing otherwise.
void ApplyX11FrameHints(SDL_Window* window, const TopLevelInfo& info);

}  // namespace ui
