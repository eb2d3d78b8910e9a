// Colour and character-set values in stored form descriptions: a colour is a name ("clBtnFace")
// or a number, a character set a name ("DEFAULT_CHARSET") or a number. They are read and
// written as defined properties, so that both forms are accepted.
#pragma once
#include <functional>
#include <string_view>

#include "platform/ui/colors.h"

namespace classes {
class TFiler;
}

namespace ui {

void DefineColorProperty(classes::TFiler& filer, std::string_view name, std::function<TColor()> get,
                         std::function<void(TColor)> set, TColor defaultValue);
void DefineCharsetProperty(classes::TFiler& filer, std::string_view name, std::function<int()> get,
                           std::function<void(int)> set);

}  // namespace ui
