// The modal boxes shown for real (on screen, or when a test leaves a box to be driven): a
// form with the wrapped text and one button per answer, centred on the screen, captioned as
// asked. Enter answers the default button, Escape the escape answer, the close button the close
// answer.
#pragma once
#include "platform/ui/backend.h"
#include "platform/ui/forms.h"

namespace ui {

int RunBoxForm(const BoxRequest& request);

// Text wider than this wraps in a box.
inline constexpr int kBoxTextWidth = 420;

}  // namespace ui
