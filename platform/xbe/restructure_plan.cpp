#include "platform/xbe/restructure_plan.h"

#include <cctype>

#include "platform/rtl/strutils.h"
#include "platform/xbe/errors.h"

namespace xbe {

namespace {

std::vector<std::string> Split(std::string_view s, char sep) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = s.find(sep, start);
    parts.push_back(rtl::Trim(s.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start)));
    if (at == std::string_view::npos) break;
    start = at + 1;
  }
  return parts;
}

std::vector<std::vector<std::string>> Entries(std::string_view list) {
  std::vector<std::vector<std::string>> entries;
  if (rtl::Trim(list).empty()) return entries;
  for (const std::string& e : Split(list, ';')) {
    if (e.empty()) continue;  // a trailing ";" is harmless
    entries.push_back(Split(e, ','));
  }
  return entries;
}

struct TypeName {
  const char* name;
  std::uint16_t code;
};
constexpr TypeName kTypeNames[] = {
    {"CHAR", kCharacter},        {"CHARACTER", kCharacter},   {"C", kCharacter},
    {"NUMERIC", kNumericText},   {"NUMBER", kNumericText},    {"N", kNumericText},
    {"FLOAT", kNumericText},     {"F", kNumericText},
    {"LOGICAL", kLogical},       {"BOOLEAN", kLogical},       {"L", kLogical},
    {"DATE", kDate},             {"D", kDate},
    {"MEMO", kMemo},             {"M", kMemo},
    {"BINARY", kBinary},         {"BLOB", kBinary},           {"IMAGE", kImage},
    {"GENERAL", kImage},         {"PICTURE", kImage},         {"VARMEMO", kVarMemo},
    {"PACKEDDATE", kPackedDate}, {"DOUBLE", kDouble},         {"INTEGER", kInteger},
    {"SHORTINT", kShortInt},     {"SHORT", kShortInt},        {"TIME", kTime},
    {"TIMESTAMP", kTimestamp},   {"DATETIME", kTimestamp},    {"AUTOINC", kAutoInc},
    {"RAW", kRaw},               {"BYTES", kRaw},             {"CURDOUBLE", kMoneyDouble},
    {"MONEY", kMoney},           {"CURRENCY", kMoney},        {"CICHARACTER", kCiCharacter},
    {"CICHAR", kCiCharacter},
};

[[noreturn]] void Refuse(std::string_view table, const std::string& what) {
  Fail(kInvalidRestructure, "Cannot restructure table " + std::string(table) + ": " + what + ".");
}

std::optional<std::uint32_t> Number(const std::string& s) {
  if (s.empty() || s.size() > 6) return std::nullopt;
  std::uint32_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + static_cast<std::uint32_t>(c - '0');
  }
  return v;
}

void CheckName(const std::string& name, std::string_view table) {
  if (name.empty()) Refuse(table, "a field has no name");
  if (name.size() > 10) Refuse(table, "the field name " + name + " is longer than 10 characters");
  for (char c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_')
      Refuse(table, "the field name " + name + " holds characters other than letters, digits and _");
  if (std::isdigit(static_cast<unsigned char>(name[0]))) Refuse(table, "the field name " + name + " starts with a digit");
}

// Builds one field from its items (type, length, decimals); `base` gives the values an empty
// item keeps (change lists).
FieldDesc MakeField(const std::string& name, const std::string& typeItem, const std::string& lengthItem,
                    const std::string& decimalsItem, const FieldDesc* base, TableType type, bool xdt,
                    std::string_view table) {
  FieldDesc f;
  f.name = rtl::UpperCase(name);  // as other programs store and look names up
  std::uint16_t code = 0;
  if (typeItem.empty()) {
    if (base == nullptr) Refuse(table, "the field " + name + " has no type");
    code = base->code;
  } else {
    const std::string upper = rtl::UpperCase(typeItem);
    for (const auto& t : kTypeNames)
      if (upper == t.name) code = t.code;
    if (code == 0) Refuse(table, "the field " + name + " has the unknown type " + typeItem);
  }
  f.code = code;
  f.letter = xdt ? XdtLetterOf(code) : DbfLetterOf(code, type);
  if (f.letter == 0) Refuse(table, "the field " + name + " has a type (" + typeItem + ") that this table type cannot hold");

  const bool sameType = base != nullptr && base->code == code;
  std::optional<std::uint32_t> length, decimals;
  if (!lengthItem.empty()) {
    length = Number(lengthItem);
    if (!length) Refuse(table, "the field " + name + " has the invalid length " + lengthItem);
  } else if (sameType) {
    length = base->length;
  }
  if (!decimalsItem.empty()) {
    decimals = Number(decimalsItem);
    if (!decimals) Refuse(table, "the field " + name + " has the invalid decimals " + decimalsItem);
  } else if (sameType) {
    decimals = base->decimals;
  }
  const std::uint32_t dec = decimals.value_or(0);
  const std::string bad = "the field " + name + " has the invalid length " + std::to_string(length.value_or(0));
  const auto fixedLength = [&](std::uint32_t storage, std::initializer_list<std::uint32_t> accepted) {
    if (length && *length != 0) {
      bool ok = false;
      for (std::uint32_t a : accepted) ok = ok || *length == a;
      if (!ok) Refuse(table, bad);
    }
    f.length = storage;
  };
  switch (code) {
    case kCharacter: case kCiCharacter: case kRaw: {
      if (!length) Refuse(table, "the field " + name + " needs a length");
      const std::uint32_t max = type == TableType::kCdx && !xdt ? 254 : 65000;
      if (*length < 1 || *length > max) Refuse(table, bad);
      f.length = *length;
      break;
    }
    case kNumericText:
      if (!length) Refuse(table, "the field " + name + " needs a length");
      if (*length < 1 || *length > 20) Refuse(table, bad);
      if (dec > 15 || (dec > 0 && dec + 2 > *length))
        Refuse(table, "the field " + name + " cannot have " + std::to_string(dec) + " decimals in length " +
                          std::to_string(*length));
      f.length = *length;
      f.decimals = static_cast<std::uint16_t>(dec);
      break;
    case kLogical: fixedLength(1, {1}); break;
    case kDate: xdt ? fixedLength(4, {4, 8}) : fixedLength(8, {8}); break;
    case kMemo: case kBinary: case kImage: case kVarMemo:
      xdt ? fixedLength(4, {4, 10}) : fixedLength(10, {10, 4});
      break;
    default: {
      const std::uint32_t fixed = xdt ? XdtFixedLength(code) : (code == kInteger ? 4 : 8);
      fixedLength(fixed, {fixed});
    }
  }
  if (code != kNumericText && dec != 0) Refuse(table, "the field " + name + " cannot have decimals");
  return f;
}

}  // namespace

RestructurePlan PlanRestructure(const DbfHeader& old, TableType type, std::string_view addList,
                                std::string_view deleteList, std::string_view changeList,
                                std::string_view tableName) {
  const bool xdt = old.IsXdt();
  RestructurePlan plan;
  std::vector<FieldDesc> fields;
  for (std::size_t i = 0; i < old.schema.fields.size(); ++i) {
    fields.push_back(old.schema.fields[i]);
    plan.source.push_back(i);
    plan.convert.push_back(false);
  }
  const auto find = [&](const std::string& name) -> std::optional<std::size_t> {
    for (std::size_t i = 0; i < fields.size(); ++i)
      if (rtl::SameText(fields[i].name, name)) return i;
    return std::nullopt;
  };

  for (const auto& e : Entries(deleteList)) {
    if (e.size() != 1) Refuse(tableName, "the delete entry '" + e[0] + ",...' must be a field name alone");
    auto i = find(e[0]);
    if (!i) Refuse(tableName, "there is no field " + e[0] + " to delete");
    fields.erase(fields.begin() + static_cast<std::ptrdiff_t>(*i));
    plan.source.erase(plan.source.begin() + static_cast<std::ptrdiff_t>(*i));
    plan.convert.erase(plan.convert.begin() + static_cast<std::ptrdiff_t>(*i));
  }
  for (const auto& e : Entries(changeList)) {
    if (e.size() < 2 || e.size() > 5) Refuse(tableName, "the change entry for " + e[0] + " is not name,newname,type,length,decimals");
    auto i = find(e[0]);
    if (!i) Refuse(tableName, "there is no field " + e[0] + " to change");
    const FieldDesc base = fields[*i];
    const std::string newName = e[1].empty() ? base.name : e[1];
    CheckName(newName, tableName);
    if (auto other = find(newName); other && *other != *i) Refuse(tableName, "the field " + newName + " already exists");
    FieldDesc f = MakeField(newName, e.size() > 2 ? e[2] : "", e.size() > 3 ? e[3] : "", e.size() > 4 ? e[4] : "",
                            &base, type, xdt, tableName);
    if (IsMemoCode(f.code) != IsMemoCode(base.code))
      Refuse(tableName, "the field " + base.name + " cannot change between memo and other types");
    f.flags = base.flags;
    plan.convert[*i] = f.code != base.code || f.length != base.length || f.decimals != base.decimals;
    fields[*i] = f;
  }
  for (const auto& e : Entries(addList)) {
    CheckName(e[0], tableName);
    if (e.size() < 2) Refuse(tableName, "the field " + e[0] + " has no type");
    if (e.size() > 4) Refuse(tableName, "the add entry for " + e[0] + " has more than name,type,length,decimals");
    if (find(e[0])) Refuse(tableName, "the field " + e[0] + " already exists");
    fields.push_back(MakeField(e[0], e[1], e.size() > 2 ? e[2] : "", e.size() > 3 ? e[3] : "", nullptr, type, xdt,
                               tableName));
    plan.source.push_back(std::nullopt);
    plan.convert.push_back(false);
  }
  if (fields.empty()) Refuse(tableName, "no field would remain");
  if (fields.size() > kMaxFields) Refuse(tableName, "the table would have more than " + std::to_string(kMaxFields) + " fields");
  std::uint64_t recordLength = 1;
  for (const auto& f : fields) recordLength += f.length;
  if (recordLength > kMaxRecordLength)
    Refuse(tableName, "the record would be " + std::to_string(recordLength) + " bytes long; at most " +
                          std::to_string(kMaxRecordLength) + " are possible");

  plan.header = old;
  plan.header.schema.fields = fields;
  plan.header.recordCount = 0;
  bool memo = false;
  for (const auto& f : fields) memo = memo || IsMemoCode(f.code);
  if (!xdt) {
    switch (old.version) {
      case kVersionDbase3:
        // A table without memos does not tell its family; the table type does.
        plan.header.version = memo ? (type == TableType::kCdx ? kVersionFoxProMemo : kVersionDbase3Memo) : kVersionDbase3;
        break;
      case kVersionDbase3Memo:
        plan.header.version = memo ? kVersionDbase3Memo : kVersionDbase3;
        break;
      case kVersionFoxProMemo:
        plan.header.version = memo ? kVersionFoxProMemo : kVersionDbase3;
        break;
      default:
        break;
    }
    if (old.version == kVersionFoxPro || old.version == 0x31 || old.version == 0x32)
      plan.header.tableFlags = static_cast<std::uint8_t>(memo ? (old.tableFlags | 0x02) : (old.tableFlags & ~0x02));
  }
  if (const std::uint64_t headerLength = NeededHeaderLength(plan.header); headerLength > kMaxHeaderLength)
    Refuse(tableName, "its header would be " + std::to_string(headerLength) + " bytes long; at most " +
                          std::to_string(kMaxHeaderLength) + " can be written");
  LayoutHeader(plan.header);
  StampToday(plan.header);
  return plan;
}

}  // namespace xbe
