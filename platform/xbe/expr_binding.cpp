#include "platform/xbe/expr_binding.h"

#include "platform/rtl/strutils.h"
#include "platform/xbe/settings.h"

namespace xbe {

namespace {
// The DBF letter the expression compiler knows for a field of the engine's own format.
char LetterFor(const FieldDesc& f) {
  switch (f.code) {
    case kCharacter: case kCiCharacter: case kRaw: return 'C';
    case kNumericText: return 'N';
    case kDate: case kPackedDate: return 'D';
    case kLogical: return 'L';
    case kMemo: case kVarMemo: case kBinary: case kImage: return 'M';
    case kInteger: case kShortInt: case kAutoInc: return 'I';
    case kDouble: case kMoneyDouble: return 'B';
    case kMoney: return 'Y';
    case kTimestamp: case kTime: return 'T';
    default: return f.letter;
  }
}
}  // namespace

int RecordBinding::FindField(std::string_view name) const {
  auto i = fields_.Find(name);
  return i ? static_cast<int>(*i) : -1;
}

expr::FieldInfo RecordBinding::FieldAt(int index) const {
  const FieldDesc& f = fields_.fields.at(static_cast<std::size_t>(index));
  expr::FieldInfo info;
  info.name = f.name;
  info.type = LetterFor(f);
  info.length = static_cast<int>(f.length);
  info.decimals = f.decimals;
  return info;
}

bool RecordBinding::IsOwnAlias(std::string_view alias) const { return rtl::SameText(alias, alias_); }

std::string_view RecordBinding::RawField(int index) const {
  if (!record_) return {};
  const auto i = static_cast<std::size_t>(index);
  if (text_ == FieldText::kAnsi && IsCharacterCode(fields_.fields.at(i).code)) {
    auto it = converted_.find(index);
    if (it == converted_.end()) it = converted_.emplace(index, record_->FieldString(i)).first;
    return it->second;
  }
  return record_->FieldBytes(i);
}

std::string RecordBinding::MemoText(int index) const {
  if (!record_) return {};
  const MemoBlob b = record_->Memo(static_cast<std::size_t>(index));
  return b.text ? b.data : std::string();
}

bool RecordBinding::IsDeleted() const { return record_ && record_->IsDeleted(); }
std::uint32_t RecordBinding::RecordNumber() const { return record_ ? record_->RecordNumber() : 0; }

expr::EvalSettings EvaluationSettings(bool exact) {
  expr::EvalSettings s;
  s.exact = exact;
  s.dateFormat = EngineSettings().dateFormat;
  s.decimals = EngineSettings().decimals;
  return s;
}

}  // namespace xbe
