// The editor controls' button unit: glyph cache, button glyph and speed button.
#pragma once
#include "controls/buttonglyph.h"
#include "controls/glyphcache.h"
#include "controls/speedbutton.h"
