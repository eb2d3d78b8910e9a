// Finding a record by field values: a seek on an index whose leading key fields are the
// searched ones, otherwise an engine filter built from the values. Locate moves the dataset to
// the record found; lookup only reads it.
#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/xbedata.h"
#include "engine/xbeset.h"
#include "platform/db/datetime.h"
#include "platform/rtl/strutils.h"

namespace {

constexpr std::uint16_t kKeyCapacity = 4082;
constexpr std::size_t kMaxKeySegments = 100;
constexpr XBERESULT kBufferTooSmall = 5005;
constexpr XBERESULT kNoFilter = 5037;
constexpr std::uint16_t kResolveDynamic = 2;

bool IsCharacterType(std::uint16_t t) { return t == 4 || t == 20; }

std::vector<std::string> SplitAtSemicolons(const std::string& text) {
  std::vector<std::string> parts;
  std::size_t at = 0;
  for (;;) {
    const std::size_t semicolon = text.find(';', at);
    parts.push_back(text.substr(at, semicolon == std::string::npos ? std::string::npos : semicolon - at));
    if (semicolon == std::string::npos) return parts;
    at = semicolon + 1;
  }
}

// Numbers go into an engine expression with the engine's decimal point, whatever the host uses.
class DecimalSeparatorDot {
 public:
  DecimalSeparatorDot() : saved_(db::HostDecimalSeparator) { db::HostDecimalSeparator = '.'; }
  ~DecimalSeparatorDot() { db::HostDecimalSeparator = saved_; }
  DecimalSeparatorDot(const DecimalSeparatorDot&) = delete;
  DecimalSeparatorDot& operator=(const DecimalSeparatorDot&) = delete;

 private:
  char saved_;
};

// Dates go in the engine's date format, whatever the host uses; the time of a timestamp as
// the host writes it (hh:nn:ss, left out at midnight).
std::string EngineTimestampText(db::TDateTime value) {
  std::string text = xbeset::EngineDateText(value);
  if (db::DateTimeToTimeMSecs(value) != 0) text += " " + db::TimeToStr(value);
  return text;
}

// Answers whether a filter of the kind asked for is set: 5037 none, 5005 one is.
bool FilterPresent(const TXbeDataSet* dataSet, XBERESULT result) {
  if (result == kBufferTooSmall) return true;
  if (result != kNoFilter) CheckXbeResult(dataSet, result);
  return false;
}

}  // namespace

bool TXbeDataSet::MatchKeyPrefix(const std::string& keyFieldList, const std::string& locateFields,
                                 std::string& deepest) {
  bool marked[kMaxKeySegments + 1] = {};
  int largest = 0;
  for (const std::string& name : SplitAtSemicolons(locateFields)) {
    const int position = FindDelimitedPart(TrimSpaces(name), keyFieldList);
    if (position <= 0 || position > static_cast<int>(kMaxKeySegments)) return false;
    marked[position] = true;
    largest = std::max(largest, position);
  }
  for (int p = 1; p <= largest; ++p)
    if (!marked[p]) return false;
  deepest = rtl::UpperCase(GetDelimitedPart(static_cast<std::uint16_t>(largest), keyFieldList.c_str()));
  return largest > 0;
}

std::string TXbeDataSet::BuildFilterString(const std::vector<db::TField*>& fields, bool caseInsensitive) {
  if (State() != db::DSState::Filter) RaiseXbeError(this, "Internal Error, << BuildFilterString >>");
  const std::string upper = caseInsensitive ? "UPPER(" : "";
  const std::string close = caseInsensitive ? ")" : "";
  DecimalSeparatorDot dot;
  std::string text;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    db::TField* field = fields[i];
    const std::string& name = field->FieldName();
    const int at = xbeFieldDefs_->IndexOfName(name);
    const std::uint16_t type = at < 0 ? 0 : xbeFieldDefs_->GetDef(at)->EngineType;
    if (i > 0) text += " AND ";
    if (field->IsNull()) {
      text += "(empty(" + name + "))";
    } else if (type == 1) {
      text += "(" + name + "=" + (field->AsBoolean() ? ".TRUE." : ".FALSE.") + ")";
    } else if (type == 3) {
      text += "(" + name + "=ctod(\"" + xbeset::EngineDateText(field->AsDateTime()) + "\"))";
    } else if (type == 13) {
      text += "(" + name + "=ctot(\"" + field->AsString() + "\"))";
    } else if (type == 14) {
      text += "(" + name + "=ctots(\"" + EngineTimestampText(field->AsDateTime()) + "\"))";
    } else if (IsCharacterType(type)) {
      std::string quoted;
      for (const char c : field->AsString()) quoted += c == '"' ? std::string("\"+ Chr(34) + \"") : std::string(1, c);
      text += "(" + upper + name + close + "=" + upper + "\"" + quoted + "\"" + close + ")";
    } else {
      text += "(" + name + "=" + field->AsString() + ")";
    }
  }
  return text;
}

bool TXbeDataSet::ScanForExpression(const std::string& expression) {
  std::uint16_t atEnd = 0;
  CheckXbeResult(this, XbeGotoTop(activeHandle_));
  CheckXbeResult(this, XbeAtEOF(tableHandle_, &atEnd));
  while (!atEnd) {
    std::uint16_t result = 0;
    CheckXbeResult(this, XbeEvalLogicalExpr(activeHandle_, expression.c_str(), &result));
    if (result == 1 && FilterEventAcceptsCurrent()) return true;
    CheckXbeResult(this, XbeSkip(activeHandle_, 1));
    CheckXbeResult(this, XbeAtEOF(tableHandle_, &atEnd));
  }
  return false;
}

bool TXbeDataSet::SeekNextAcceptedMatch(XBEHANDLE index, const void* key, std::uint16_t keyLength) {
  // The keys from the first match to the last one all match; the filter event picks among them.
  std::uint16_t hit = 0;
  CheckXbeResult(this, XbeSeek(index, key, keyLength, XBE_RAW_KEY, XBE_HARD_SEEK | XBE_SEEK_LAST, &hit));
  if (!hit) return false;
  std::uint32_t last = 0;
  CheckXbeResult(this, XbeGetRecordNum(tableHandle_, 2, &last));
  CheckXbeResult(this, XbeSeek(index, key, keyLength, XBE_RAW_KEY, XBE_HARD_SEEK, &hit));
  for (;;) {
    std::uint32_t at = 0;
    CheckXbeResult(this, XbeGetRecordNum(tableHandle_, 2, &at));
    if (at == last) return false;
    CheckXbeResult(this, XbeSkip(index, 1));
    std::uint16_t atEnd = 0;
    CheckXbeResult(this, XbeAtEOF(tableHandle_, &atEnd));
    if (atEnd) return false;
    if (FilterEventAcceptsCurrent()) return true;
  }
}

bool TXbeDataSet::FindByValues(const std::string& keyFields, const db::Variant& keyValues,
                               db::LocateOptions options) {
  CheckBrowseMode();
  bool found = false;
  std::uint32_t saved = 0;
  CheckXbeResult(this, XbeGetBookmark(tableHandle_, &saved));
  std::vector<db::TField*> fields;
  GetFieldList(fields, keyFields);

  const db::DSState previous = SetTempState(db::DSState::Filter);
  try {
    filterRecordBuffer_ = TempBuffer();
    InitRecordInfo(filterRecordBuffer_);
    if (fields.size() == 1)
      fields[0]->SetValue(keyValues.IsArray() ? keyValues[0] : keyValues);
    else
      for (std::size_t i = 0; i < fields.size(); ++i) fields[i]->SetValue(keyValues[static_cast<int>(i)]);

    // An index restricted by a range, a scope, a condition or uniqueness would hide records
    // from a seek; only the active one may serve then, since the dataset shows no more anyway.
    XBEHANDLE index = kNoHandle;
    std::string deepest;
    if (!options.caseInsensitive) {
      const bool activeIsNarrow = ActiveIndexHasScope() || ActiveIndexHasCondition() || ActiveIndexIsUnique() ||
                                  ActiveIndexIsCustom();
      if (activeIsNarrow) {
        if (MatchKeyPrefix(ActiveIndexFieldNames(), keyFields, deepest)) index = activeHandle_;
      } else {
        std::uint16_t count = 0;
        CheckXbeResult(this, XbeGetNumIndexes(tableHandle_, &count));
        if (activeHandle_ != tableHandle_ && MatchKeyPrefix(ActiveIndexFieldNames(), keyFields, deepest)) {
          index = activeHandle_;
        } else if (count > 0) {
          std::vector<XBEHANDLE> handles(count, 0);
          std::uint16_t delivered = count;
          CheckXbeResult(this, XbeGetAllIndexes(tableHandle_, handles.data(), &delivered));
          for (std::uint16_t i = 0; i < delivered && index == kNoHandle; ++i) {
            std::uint16_t segments = 0;
            CheckXbeResult(this, XbeGetNumSegments(handles[i], &segments));
            std::string list;
            for (std::uint16_t s = 0; s < segments; ++s) {
              char name[510] = {};
              std::uint16_t length = sizeof name;
              CheckXbeResult(this, XbeGetSegmentFieldname(handles[i], s, name, &length));
              if (s > 0) list += ';';
              list += std::string(name, strnlen(name, sizeof name));
            }
            if (MatchKeyPrefix(list, keyFields, deepest) && IndexUsableForSeek(handles[i])) index = handles[i];
          }
        }
      }
    }

    if (index != kNoHandle) {
      CheckXbeResult(this, XbeInitRawKey(index));
      for (db::TField* field : fields) {
        const int at = xbeFieldDefs_->IndexOfName(field->FieldName());
        if (at < 0) continue;  // no key segment is a calculated field
        const TXbeFieldDef* def = xbeFieldDefs_->GetDef(at);
        const db::Byte* value = filterRecordBuffer_ + def->Offset;
        std::uint32_t length = def->Length;
        const auto name = reinterpret_cast<XBEFIELD>(def->Name.c_str());
        if (IsCharacterType(def->EngineType)) {
          if (options.partialKey && rtl::UpperCase(def->Name) == deepest)
            while (length > 0 && value[length - 1] == ' ') --length;
          CheckXbeResult(this, XbeSetField(index, name, value, length));
        } else {
          CheckXbeResult(this, XbeSetFieldRaw(index, name, value, length));
        }
      }
      char key[kKeyCapacity];
      std::uint16_t keyLength = kKeyCapacity;
      CheckXbeResult(this, XbeBuildRawKey(index, key, &keyLength));
      std::uint16_t hit = 0;
      CheckXbeResult(this, XbeSeek(index, key, keyLength, XBE_RAW_KEY, XBE_HARD_SEEK, &hit));
      found = hit != 0;
      if (found && !FilterEventAcceptsCurrent()) found = SeekNextAcceptedMatch(index, key, keyLength);
    } else {
      const std::string expression = BuildFilterString(fields, options.caseInsensitive);
      std::uint16_t none = 0;
      const bool optimizedPresent = FilterPresent(this, XbeGetXOF(tableHandle_, nullptr, &none));
      none = 0;
      const bool plainPresent = FilterPresent(this, XbeGetFilter(tableHandle_, nullptr, &none));
      std::uint16_t savedExact = 0;
      CheckXbeResult(this, XbeGetExact22(tableHandle_, &savedExact));
      // The dataset's own filter stays in force; only what the search set is taken away again.
      auto restore = [&] {
        XbeSetExact22(tableHandle_, savedExact);
        if (!optimizedPresent)
          XbeClearXOF(tableHandle_);
        else if (!plainPresent)
          XbeClearFilter(tableHandle_);
      };
      try {
        CheckXbeResult(this, XbeSetExact22(tableHandle_, options.partialKey ? 0 : 1));
        if (optimizedPresent && plainPresent) {
          found = ScanForExpression(expression);
        } else {
          if (optimizedPresent)
            CheckXbeResult(this, XbeSetFilter(tableHandle_, expression.c_str()));
          else
            CheckXbeResult(this, XbeSetXOF(tableHandle_, expression.c_str(), kResolveDynamic));
          CheckXbeResult(this, XbeGotoTop(activeHandle_));
          std::uint16_t atEnd = 0;
          CheckXbeResult(this, XbeAtEOF(tableHandle_, &atEnd));
          while (!atEnd && !FilterEventAcceptsCurrent()) {
            CheckXbeResult(this, XbeSkip(activeHandle_, 1));
            CheckXbeResult(this, XbeAtEOF(tableHandle_, &atEnd));
          }
          found = !atEnd;
        }
      } catch (...) {
        restore();
        throw;
      }
      restore();
    }
  } catch (...) {
    RestoreState(previous);
    XbeGotoBookmark(tableHandle_, saved);
    throw;
  }
  RestoreState(previous);
  if (!found) XbeGotoBookmark(tableHandle_, saved);
  return found;
}

bool TXbeDataSet::LocateValues(const std::string& keyFields, const db::Variant& keyValues,
                               db::LocateOptions options) {
  DoBeforeScroll();
  const bool found = FindByValues(keyFields, keyValues, options);
  if (found) {
    Resync({.exact = true, .center = true});
    DoAfterScroll();
  }
  return found;
}

db::Variant TXbeDataSet::LookupValues(const std::string& keyFields, const db::Variant& keyValues,
                                      const std::string& resultFields) {
  db::Variant result = db::Variant::Null();
  if (keyValues.IsNull()) return result;
  if (FindByValues(keyFields, keyValues, {})) {
    const db::DSState previous = SetTempState(db::DSState::CalcFields);
    db::TRecordBuffer buffer = AllocateRecordBuffer();
    try {
      FetchRecord(buffer, db::GetMode::Current, false);
      GetCalcFields(buffer);
      result = FieldValues(resultFields);
    } catch (...) {
      ReleaseRecordBuffer(buffer);
      RestoreState(previous);
      throw;
    }
    ReleaseRecordBuffer(buffer);
    RestoreState(previous);
  }
  // The visible record stays; the next use of the cursor puts the engine back on it.
  CursorPosChanged();
  return result;
}
