#include "platform/ui/storedbitmap.h"

#include <cstdint>

#include "platform/classes/filer.h"
#include "platform/classes/streams.h"

namespace ui {

void TStoredBitmap::DefineProperties(classes::TFiler& filer) {
  classes::TPersistent::DefineProperties(filer);
  filer.DefineBinaryProperty(
      "Data",
      [this](classes::TStream& s) {
        std::uint8_t size[4];
        s.ReadBuffer(size, 4);
        classes::TMemoryStream image;
        const std::int64_t count = static_cast<std::int64_t>(size[0] | (size[1] << 8) | (size[2] << 16)) |
                                   (static_cast<std::int64_t>(size[3]) << 24);
        image.CopyFrom(s, count);
        image.SetPosition(0);
        bitmap_.LoadFromStream(image);
      },
      [this](classes::TStream& s) {
        classes::TMemoryStream image;
        bitmap_.SaveToStream(image);
        const auto count = static_cast<std::uint32_t>(image.Size());
        const std::uint8_t size[4] = {static_cast<std::uint8_t>(count), static_cast<std::uint8_t>(count >> 8),
                                      static_cast<std::uint8_t>(count >> 16), static_cast<std::uint8_t>(count >> 24)};
        s.WriteBuffer(size, 4);
        s.WriteBuffer(image.Memory(), image.Size());
      },
      !bitmap_.Empty());
}

}  // namespace ui
