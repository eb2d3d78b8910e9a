#include "platform/ui/storedcolor.h"

#include "platform/classes/errors.h"
#include "platform/classes/filer.h"
#include "platform/rtl/strutils.h"

namespace ui {
namespace {

struct NamedCharset {
  const char* name;
  int value;
};
constexpr NamedCharset kCharsets[] = {
    {"ANSI_CHARSET", 0},   {"DEFAULT_CHARSET", 1}, {"SYMBOL_CHARSET", 2}, {"OEM_CHARSET", 255},
    {"EASTEUROPE_CHARSET", 238}, {"RUSSIAN_CHARSET", 204}, {"BALTIC_CHARSET", 186},
};

}  // namespace

void DefineColorProperty(classes::TFiler& filer, std::string_view name, std::function<TColor()> get,
                         std::function<void(TColor)> set, TColor defaultValue) {
  const TColor current = get();
  filer.DefineProperty(
      name,
      [set, n = std::string(name)](classes::TReader& r) {
        if (r.NextValue() == classes::TValueType::vaIdent) {
          const std::string ident = r.ReadIdent();
          TColor c = 0;
          if (!IdentToColor(ident, c)) throw classes::EReadError("Invalid property value: " + n + " = " + ident);
          set(c);
        } else {
          set(static_cast<TColor>(r.ReadInteger()));
        }
      },
      [get](classes::TWriter& w) {
        const TColor c = get();
        const std::string ident = ColorToIdent(c);
        if (!ident.empty()) w.WriteIdent(ident);
        else w.WriteInteger(static_cast<std::int32_t>(c));
      },
      current != defaultValue);
}

void DefineCharsetProperty(classes::TFiler& filer, std::string_view name, std::function<int()> get,
                           std::function<void(int)> set) {
  filer.DefineProperty(
      name,
      [set](classes::TReader& r) {
        if (r.NextValue() == classes::TValueType::vaIdent) {
          const std::string ident = r.ReadIdent();
          for (const auto& cs : kCharsets)
            if (rtl::SameText(ident, cs.name)) return set(cs.value);
          throw classes::EReadError("Invalid character set: " + ident);
        }
        set(static_cast<int>(r.ReadInteger()));
      },
      [get](classes::TWriter& w) {
        for (const auto& cs : kCharsets)
          if (cs.value == get()) return w.WriteIdent(cs.name);
        w.WriteInteger(get());
      },
      get() != 1);
}

}  // namespace ui
