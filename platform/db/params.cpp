#include "platform/db/params.h"

#include <cstring>

#include "platform/db/dberrors.h"
#include "platform/db/field.h"
#include "platform/rtl/strutils.h"

namespace db {

namespace {

TFieldType TypeOfValue(const Variant& v) {
  switch (v.kind()) {
    case Variant::Kind::Boolean: return ftBoolean;
    case Variant::Kind::Integer: return ftInteger;
    case Variant::Kind::Int64: return ftLargeint;
    case Variant::Kind::Double: return ftFloat;
    case Variant::Kind::Currency: return ftCurrency;
    case Variant::Kind::DateTime: return ftDateTime;
    case Variant::Kind::String: return ftString;
    case Variant::Kind::Bytes: return ftBytes;
    default: return ftUnknown;
  }
}

bool IsRawType(TFieldType t) {
  return t == ftBytes || t == ftVarBytes || t == ftBlob || t == ftMemo || t == ftGraphic ||
         t == ftFmtMemo || t == ftTypedBinary || t == ftParadoxOle || t == ftDBaseOle;
}

bool EndsName(char c) { return c == ' ' || c == ',' || c == ';' || c == ')' || c == '\r' || c == '\n'; }
bool IsQuote(char c) { return c == '\'' || c == '"' || c == '`'; }

}  // namespace

void TParam::SetValue(const Variant& value) {
  value_ = value;
  if (dataType_ == ftUnknown) dataType_ = TypeOfValue(value);
  bound_ = true;
}

void TParam::SetAsString(const std::string& v) {
  if (dataType_ == ftUnknown) dataType_ = ftString;
  SetValue(Variant(v));
}

void TParam::SetAsInteger(int v) {
  if (dataType_ == ftUnknown) dataType_ = ftInteger;
  SetValue(Variant(v));
}

void TParam::SetAsFloat(double v) {
  if (dataType_ == ftUnknown) dataType_ = ftFloat;
  SetValue(Variant(v));
}

void TParam::SetAsBoolean(bool v) {
  if (dataType_ == ftUnknown) dataType_ = ftBoolean;
  SetValue(Variant(v));
}

void TParam::SetAsDateTime(TDateTime v) {
  if (dataType_ == ftUnknown) dataType_ = ftDateTime;
  SetValue(Variant::FromDateTime(v));
}

int TParam::GetDataSize() const {
  if (IsRawType(dataType_)) return IsNull() ? 0 : static_cast<int>(value_.AsBytes().size());
  switch (dataType_) {
    case ftString: case ftFixedChar: case ftWideString:
      return static_cast<int>(value_.AsString().size()) + 1;
    case ftSmallint: case ftWord: case ftBoolean: return 2;
    case ftInteger: case ftAutoInc: case ftDate: case ftTime: return 4;
    case ftFloat: case ftCurrency: case ftDateTime: case ftLargeint: return 8;
    default: return fieldDataSize_;
  }
}

void TParam::GetData(void* buffer) const {
  if (IsRawType(dataType_)) {
    const std::vector<std::uint8_t> bytes = value_.AsBytes();
    if (!bytes.empty()) std::memcpy(buffer, bytes.data(), bytes.size());
    return;
  }
  const std::string text = value_.AsString();
  std::memcpy(buffer, text.c_str(), text.size() + 1);
}

void TParam::AssignField(const TField* field) {
  dataType_ = field->DataType();
  name_ = field->FieldName();
  fieldDataSize_ = field->DataSize();
  value_ = field->IsNull() ? Variant::Null() : field->Value();
  if (IsRawType(dataType_) && value_.kind() == Variant::Kind::String) {
    const std::string s = value_.AsString();
    value_ = Variant::FromBytes(std::vector<std::uint8_t>(s.begin(), s.end()));
  }
  bound_ = true;
}

void TParam::Assign(const classes::TPersistent& source) {
  if (const auto* other = dynamic_cast<const TParam*>(&source)) {
    name_ = other->name_;
    dataType_ = other->dataType_;
    paramType_ = other->paramType_;
    value_ = other->value_;
    bound_ = other->bound_;
    fieldDataSize_ = other->fieldDataSize_;
    return;
  }
  if (const auto* field = dynamic_cast<const TField*>(&source)) {
    AssignField(field);
    return;
  }
  classes::TCollectionItem::Assign(source);
}

TParams::TParams(classes::TPersistent* owner)
    : classes::TCollection([] { return std::make_unique<TParam>(); }, owner) {}

TParam& TParams::Items(int index) const { return *static_cast<TParam*>(Item(index)); }

TParam* TParams::CreateParam(TFieldType type, const std::string& name, TParamType paramType) {
  TParam* p = AddParam();
  p->SetName(name);
  p->SetDataType(type);
  p->SetParamType(paramType);
  return p;
}

TParam* TParams::FindParam(std::string_view name) const {
  for (int i = 0; i < Count(); ++i)
    if (rtl::AnsiSameText(Items(i).Name(), name)) return &Items(i);
  return nullptr;
}

TParam* TParams::ParamByName(std::string_view name) const {
  TParam* p = FindParam(name);
  if (!p) DatabaseErrorFmt(kParamNotFoundText, name);
  return p;
}

void TParams::AssignValues(const TParams& source) {
  for (int i = 0; i < source.Count(); ++i) {
    const TParam& from = source.Items(i);
    if (TParam* to = FindParam(from.Name())) to->Assign(from);
  }
}

std::vector<std::string> TParams::ParseSQL(std::string_view sql, bool create) {
  std::vector<std::string> names;
  std::size_t i = 0;
  const std::size_t n = sql.size();
  while (i < n) {
    const char c = sql[i];
    if (IsQuote(c)) {
      const std::size_t close = sql.find(c, i + 1);
      i = close == std::string_view::npos ? n : close + 1;
      continue;
    }
    if (c != ':') {
      ++i;
      continue;
    }
    if (i + 1 < n && sql[i + 1] == ':') {  // "::" is one colon, no marker
      i += 2;
      continue;
    }
    std::size_t start = i + 1;
    std::string name;
    if (start < n && IsQuote(sql[start])) {
      const std::size_t close = sql.find(sql[start], start + 1);
      const std::size_t end = close == std::string_view::npos ? n : close;
      name = std::string(sql.substr(start + 1, end - start - 1));
      i = close == std::string_view::npos ? n : close + 1;
    } else {
      std::size_t end = start;
      while (end < n && !EndsName(sql[end])) ++end;
      name = std::string(sql.substr(start, end - start));
      i = end;
    }
    if (name.empty()) continue;
    names.push_back(name);
    if (create) CreateParam(ftUnknown, name, TParamType::ptUnknown);
  }
  return names;
}

}  // namespace db
