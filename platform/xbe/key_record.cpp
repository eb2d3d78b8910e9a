#include "platform/xbe/key_record.h"

#include <cstring>
#include <optional>

#include "platform/xbe/detached_view.h"
#include "platform/xbe/errors.h"
#include "platform/xbe/field_codec.h"
#include "platform/xbe/julian.h"
#include "platform/xbe/table.h"

namespace xbe {

namespace {

KeyRecord& Prepared(IndexOrder& order, const Table& table, std::size_t field) {
  KeyRecord& k = order.Keys();
  if (k.image.empty()) k.image = table.NullRecord();
  if (IsMemoCode(table.Field(field).code))
    Fail(kInvalidArgument, "The memo field " + table.Field(field).name + " is no key segment.");
  k.partial.erase(field);
  k.given.insert(field);
  return k;
}

// Stores a value whose key differs from the blank value's from its first byte on, to find
// where a segment begins in the key.
void StoreOtherThanBlank(const FieldDesc& f, char* p) {
  if (IsCharacterCode(f.code)) {
    std::memset(p, '\x01', f.length);
  } else if (f.code == kNumericText) {
    std::memset(p, '9', f.length);
  } else if (f.code == kDate && f.length == 8) {
    std::memcpy(p, "29991231", 8);
  } else if (f.code == kDate && f.length == 4) {
    const auto julian = static_cast<std::int32_t>(JulianFromCivil(2999, 12, 31));
    std::memcpy(p, &julian, sizeof julian);
  } else if (f.code == kLogical) {
    std::memset(p, 'T', f.length);
  } else {
    std::memset(p, '\x7F', f.length);
  }
}

}  // namespace

void InitKeyRecord(IndexOrder& order, const Table& table) {
  order.Keys().image = table.NullRecord();
  order.Keys().partial.clear();
  order.Keys().given.clear();
}

void SetKeyFieldText(IndexOrder& order, const Table& table, std::size_t field, std::string_view text) {
  KeyRecord& k = Prepared(order, table, field);
  const FieldDesc& f = table.Field(field);
  char* p = k.image.data() + f.offset;
  if (IsCharacterCode(f.code)) {
    const std::string_view given = text.substr(0, std::min<std::size_t>(text.size(), f.length));
    StoreFieldText(f, p, table.ToOem(given), table.IsXdt());
    if (given.size() < f.length) k.partial[field] = given.size();
  } else {
    StoreFieldText(f, p, text, table.IsXdt());
  }
}

void SetKeyFieldRaw(IndexOrder& order, const Table& table, std::size_t field, std::string_view bytes) {
  KeyRecord& k = Prepared(order, table, field);
  const FieldDesc& f = table.Field(field);
  if (bytes.size() > f.length)
    Fail(kInvalidValue, "The value for field " + f.name + " is " + std::to_string(bytes.size()) +
                            " bytes long; the field holds " + std::to_string(f.length) + ".");
  char* p = k.image.data() + f.offset;
  std::memcpy(p, bytes.data(), bytes.size());
  const bool binary = !(IsCharacterCode(f.code) || f.code == kNumericText || f.code == kLogical ||
                        (f.code == kDate && f.length != 4));
  std::memset(p + bytes.size(), binary || table.IsXdt() ? 0 : ' ', f.length - bytes.size());
}

void SetKeyFieldEmpty(IndexOrder& order, const Table& table, std::size_t field) {
  KeyRecord& k = Prepared(order, table, field);
  WriteBlankValue(table.Field(field), k.image.data() + table.Field(field).offset, table.IsXdt());
}

std::string BuildRawKey(IndexOrder& order, const Table& table) {
  KeyRecord& k = order.Keys();
  if (k.image.empty()) k.image = table.NullRecord();
  std::string key = order.File().KeyOf(order.Tag(), DetachedView(table, k.image));
  // Leading segments given and a later one not: the key ends before that one, so that it
  // compares as a prefix of every key with those leading values.
  std::optional<std::size_t> leftOut;
  const auto& segments = order.Tag().bound->SegmentFields();
  for (std::size_t s = 0; s < segments.size(); ++s) {
    const std::size_t field = table.FieldIndexName(segments[s]);
    if (k.given.count(field) != 0) continue;
    if (s > 0) leftOut = field;
    break;
  }
  if (k.partial.empty() && !leftOut) return key;
  // Where the given characters end in the key: fill the rest of each partial segment (and the
  // segment left out) with another value and see where the key starts to differ.
  std::string probe = k.image;
  for (const auto& [field, given] : k.partial) {
    const FieldDesc& f = table.Field(field);
    std::memset(probe.data() + f.offset + given, '\x01', f.length - given);
  }
  if (leftOut) StoreOtherThanBlank(table.Field(*leftOut), probe.data() + table.Field(*leftOut).offset);
  const std::string other = order.File().KeyOf(order.Tag(), DetachedView(table, probe));
  std::size_t end = 0;
  while (end < key.size() && end < other.size() && key[end] == other[end]) ++end;
  key.resize(end);
  return key;
}

}  // namespace xbe
