#include "controls/vxcconst.h"

#include "controls/resources.h"
#include "platform/ui/forms.h"

void RegisterEditorCursors(ui::TScreen& screen) {
  if (screen.HasCursor(HandCursorId)) return;
  const CursorResource hand = LoadCursorResource("VX_HANDCUR");
  const CursorResource drag = LoadCursorResource("VX_DRAGCUR");
  screen.SetCursor(HandCursorId, hand.image, hand.hotSpot);
  screen.SetCursor(DragHandCursorId, drag.image, drag.hotSpot);
}

