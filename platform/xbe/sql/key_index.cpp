#include "platform/xbe/sql/key_index.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

#include "platform/xbe/sql/field_values.h"
#include "platform/xbe/table.h"

namespace xbe::sql {

namespace {

// FNV-1a over a tag byte (the kind of value) and the value's bytes.
std::uint64_t Hash(char tag, std::string_view bytes) {
  std::uint64_t h = 14695981039346656037ull;
  const auto mix = [&](unsigned char c) { h = (h ^ c) * 1099511628211ull; };
  mix(static_cast<unsigned char>(tag));
  for (const char c : bytes) mix(static_cast<unsigned char>(c));
  return h;
}

}  // namespace

std::optional<std::uint64_t> KeyIndex::KeyOf(const SqlValue& value) {
  switch (value.kind) {
    case SqlValue::Kind::kInteger: case SqlValue::Kind::kReal: {
      double d = value.kind == SqlValue::Kind::kInteger ? static_cast<double>(value.integer) : value.real;
      if (std::isnan(d)) return std::nullopt;
      if (d == 0) d = 0;  // -0 equals 0
      char bytes[sizeof d];
      std::memcpy(bytes, &d, sizeof d);
      return Hash('n', std::string_view(bytes, sizeof bytes));
    }
    case SqlValue::Kind::kText: {
      std::string_view text(value.bytes);
      while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
      return Hash('t', text);
    }
    case SqlValue::Kind::kBlob: return Hash('b', value.bytes);
    default: return std::nullopt;
  }
}

bool KeyIndex::Build(Table& table, std::size_t column) {
  entries_.clear();
  built_ = false;
  if (table.RecordCount() > kMaxRecords) return false;
  entries_.reserve(table.KnownRecordCount());
  Order& natural = table.Natural();
  for (table.GotoTop(natural); !table.CursorState().eof; table.Skip(natural, 1))
    if (const auto key = KeyOf(FieldValue(table, column))) entries_.push_back({*key, table.CurrentRecordNumber()});
  std::sort(entries_.begin(), entries_.end(),
            [](const Entry& a, const Entry& b) { return a.key != b.key ? a.key < b.key : a.recno < b.recno; });
  built_ = true;
  return true;
}

std::pair<std::size_t, std::size_t> KeyIndex::Find(std::uint64_t key) const {
  const auto below = [](const Entry& e, std::uint64_t k) { return e.key < k; };
  const auto above = [](std::uint64_t k, const Entry& e) { return k < e.key; };
  const auto first = std::lower_bound(entries_.begin(), entries_.end(), key, below);
  const auto last = std::upper_bound(first, entries_.end(), key, above);
  return {static_cast<std::size_t>(first - entries_.begin()), static_cast<std::size_t>(last - entries_.begin())};
}

}  // namespace xbe::sql
