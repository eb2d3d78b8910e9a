// Bitmaps as BMP files: the stored form of a glyph and the screenshot format. Written as 24 bits
// per pixel (1 bit with a black-and-white palette for a monochrome bitmap); read from the
// uncompressed 1, 4, 8, 24 and 32 bit forms, bottom-up or top-down.
#include <cstdio>
#include <string>

#include "platform/classes/streams.h"
#include "platform/rtl/ansi.h"
#include "platform/rtl/exception.h"
#include "platform/ui/bitmap.h"

namespace ui {

using namespace rtl::literals;

namespace {

constexpr int kFileHeader = 14;
constexpr int kInfoHeader = 40;

std::uint32_t Get32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
         (static_cast<std::uint32_t>(b[at + 2]) << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
std::uint16_t Get16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

[[noreturn]] void Invalid() { throw rtl::Exception(std::string("Imagem bitmap inválida"_ansi)); }

std::vector<std::uint8_t> EncodeBmp(const Surface& s) {
  const int bits = s.monochrome ? 1 : 24;
  const int rowBytes = ((s.width * bits + 31) / 32) * 4;
  const int palette = s.monochrome ? 8 : 0;
  const std::size_t offset = kFileHeader + kInfoHeader + palette;
  std::vector<std::uint8_t> out(offset + static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(s.height), 0);
  out[0] = 'B';
  out[1] = 'M';
  Put32(out, 2, static_cast<std::uint32_t>(out.size()));
  Put32(out, 10, static_cast<std::uint32_t>(offset));
  Put32(out, 14, kInfoHeader);
  Put32(out, 18, static_cast<std::uint32_t>(s.width));
  Put32(out, 22, static_cast<std::uint32_t>(s.height));
  out[26] = 1;
  out[28] = static_cast<std::uint8_t>(bits);
  Put32(out, 34, static_cast<std::uint32_t>(rowBytes * s.height));
  Put32(out, 38, 3780);
  Put32(out, 42, 3780);
  if (s.monochrome) Put32(out, 58, 0x00FFFFFF);  // entry 0 black, entry 1 white
  for (int y = 0; y < s.height; ++y) {
    std::uint8_t* row = &out[offset + static_cast<std::size_t>((s.height - 1 - y) * rowBytes)];
    for (int x = 0; x < s.width; ++x) {
      const std::uint32_t px = s.At(x, y);
      if (s.monochrome) {
        if (px) row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
      } else {
        row[x * 3] = static_cast<std::uint8_t>(GetBValue(px));
        row[x * 3 + 1] = static_cast<std::uint8_t>(GetGValue(px));
        row[x * 3 + 2] = static_cast<std::uint8_t>(GetRValue(px));
      }
    }
  }
  return out;
}

Surface DecodeBmp(const std::vector<std::uint8_t>& b) {
  if (b.size() < kFileHeader + kInfoHeader || b[0] != 'B' || b[1] != 'M') Invalid();
  const std::uint32_t offset = Get32(b, 10);
  const std::uint32_t infoSize = Get32(b, 14);
  const auto width = static_cast<std::int32_t>(Get32(b, 18));
  const auto rawHeight = static_cast<std::int32_t>(Get32(b, 22));
  const int bits = Get16(b, 28);
  const std::uint32_t compression = Get32(b, 30);
  std::uint32_t colours = Get32(b, 46);
  if (infoSize < kInfoHeader || compression != 0 || width < 0 || width > 32767 || rawHeight == INT32_MIN ||
      (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32))
    Invalid();
  const bool topDown = rawHeight < 0;
  const int height = topDown ? -rawHeight : rawHeight;
  if (height > 32767) Invalid();
  std::vector<std::uint32_t> palette;
  if (bits <= 8) {
    if (colours == 0 || colours > (1u << bits)) colours = 1u << bits;
    const std::size_t at = kFileHeader + infoSize;
    if (at + colours * 4 > b.size()) Invalid();
    for (std::uint32_t i = 0; i < colours; ++i)
      palette.push_back(RGB(b[at + i * 4 + 2], b[at + i * 4 + 1], b[at + i * 4]));
  }
  const std::size_t rowBytes = ((static_cast<std::size_t>(width) * static_cast<std::size_t>(bits) + 31) / 32) * 4;
  if (offset > b.size() || rowBytes * static_cast<std::size_t>(height) > b.size() - offset) Invalid();
  Surface s;
  s.monochrome = bits == 1 && palette.size() == 2 && palette[0] == 0 && palette[1] == 0xFFFFFF;
  s.Resize(width, height, 0);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = &b[offset + rowBytes * static_cast<std::size_t>(topDown ? y : height - 1 - y)];
    for (int x = 0; x < width; ++x) {
      std::uint32_t px = 0;
      switch (bits) {
        case 1: px = (row[x / 8] >> (7 - x % 8)) & 1; break;
        case 4: px = (row[x / 2] >> (x % 2 ? 0 : 4)) & 0xF; break;
        case 8: px = row[x]; break;
        case 24: px = RGB(row[x * 3 + 2], row[x * 3 + 1], row[x * 3]); break;
        case 32: px = RGB(row[x * 4 + 2], row[x * 4 + 1], row[x * 4]); break;
      }
      if (bits <= 8) px = px < palette.size() ? palette[px] : 0;
      s.At(x, y) = px;
    }
  }
  return s;
}

}  // namespace

void TBitmap::LoadFromStream(classes::TStream& stream) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::max<std::int64_t>(0, stream.Size() - stream.Position())));
  if (!bytes.empty()) stream.ReadBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
  Surface decoded = DecodeBmp(bytes);  // a bad image leaves the bitmap as it was
  surface_ = std::move(decoded);
  canvas_->SetTarget(&surface_);
  Changed();
}

void TBitmap::SaveToStream(classes::TStream& stream) const {
  const std::vector<std::uint8_t> bytes = EncodeBmp(surface_);
  stream.WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
}

bool TBitmap::SaveToBmpFile(const std::string& hostPath) const {
  std::FILE* f = std::fopen(hostPath.c_str(), "wb");
  if (!f) return false;
  const std::vector<std::uint8_t> bytes = EncodeBmp(surface_);
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace ui
