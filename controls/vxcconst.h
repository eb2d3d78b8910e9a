// The editor controls' screen cursors and their registration.
#pragma once

namespace ui {
class TScreen;
}

inline constexpr int HandCursorId = 14000;
inline constexpr int DragHandCursorId = 14001;

// Registers the hand cursors (resources "VX_HANDCUR" and "VX_DRAGCUR") as screen cursors
// 14000 and 14001, once per screen object; the screen owns and releases them.
void RegisterEditorCursors(ui::TScreen& screen);

