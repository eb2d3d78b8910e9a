// Filters and scopes of a dataset, both carried out by the engine so that its own navigation
// never reaches a record outside them; the filter text's translation into the engine expression.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "engine/xbedata.h"

namespace {

constexpr std::uint16_t kScopeTop = 1;
constexpr std::uint16_t kScopeBottom = 2;
constexpr std::uint16_t kKeyAsText = 2;
constexpr std::size_t kScopeBufferLength = 4082;

bool StartsWithContains(const std::string& text, std::size_t at) {
  static constexpr char kWord[] = "CONTAINS";
  if (text.size() - at < 9) return false;
  for (std::size_t k = 0; k < 8; ++k)
    if (std::toupper(static_cast<unsigned char>(text[at + k])) != kWord[k]) return false;
  return true;
}

void AcceptOnly(const TXbeDataSet* dataSet, XBERESULT result, XBERESULT accepted) {
  if (result != 0 && result != accepted) CheckXbeResult(dataSet, result);
}

}  // namespace

std::size_t TXbeDataSet::SkipParenthesized(const std::string& text, std::size_t open) {
  int depth = 0;
  for (std::size_t i = open; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"' || c == '\'' || c == '[') {
      const std::size_t close = text.find(c == '[' ? ']' : c, i + 1);
      if (close == std::string::npos) return open;
      i = close;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')' && --depth == 0) {
      return i;
    }
  }
  return open;
}

std::string TXbeDataSet::TranslateFilterText(bool& exact) {
  exact = true;
  const std::string& filter = Filter();
  const bool longNames = engineTableType_ == 3;
  std::string text = filter;
  if (longNames) {
    std::vector<char> buffer(filter.size() + 51);
    std::uint16_t length = static_cast<std::uint16_t>(std::min<std::size_t>(buffer.size(), 0xFFFF));
    CheckXbeResult(this, XbeExpressionLongToShort(tableHandle_, filter.c_str(), buffer.data(), &length));
    text.assign(buffer.data(), strnlen(buffer.data(), buffer.size()));
  }

  bool inLiteral = false;
  char quote = 0;
  std::size_t opened = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    // A text search's pattern keeps its asterisks: they mean "any ending" to the function.
    if (!inLiteral && StartsWithContains(text, i)) {
      std::size_t next = i + 8;
      while (next < text.size() && text[next] == ' ') ++next;
      if (next < text.size() && text[next] == '(') {
        i = SkipParenthesized(text, next);
      } else {
        i = next - 1;
      }
      continue;
    }
    if (!inLiteral && (c == '"' || c == '\'')) {
      inLiteral = true;
      quote = c;
      opened = i;
    } else if (inLiteral && c == quote) {
      inLiteral = false;
    } else if (inLiteral && c == '*' && i + 1 < text.size() && text[i + 1] == quote) {
      std::size_t run = i;
      while (run > opened + 1 && text[run - 1] == '*') --run;
      if (run == opened + 1) continue;  // asterisks only: compared as they stand
      // A trailing asterisk means "begins with": the engine's inexact comparison does that.
      text.erase(i, 1);
      exact = false;
      inLiteral = false;  // text[i] is now the closing quote; scanning resumes after it
    }
  }

  if (longNames) {
    std::vector<char> buffer(filter.size() + 1);
    std::uint16_t length = static_cast<std::uint16_t>(std::min<std::size_t>(buffer.size(), 0xFFFF));
    CheckXbeResult(this, XbeExpressionShortToLong(tableHandle_, text.c_str(), buffer.data(), &length));
    text.assign(buffer.data(), strnlen(buffer.data(), buffer.size()));
  }
  return text;
}

std::uint16_t TXbeDataSet::GetXOFOptions() const {
  std::uint16_t type = 0;
  switch (tableOptions_->XbeXOFType()) {
    case atDynamic: type = 0; break;
    case atKeySet: type = 4; break;
    case atFixed: type = 8; break;
  }
  return static_cast<std::uint16_t>(type + (tableOptions_->XbeXOFResolveImmediate() ? 1 : 2));
}

void TXbeDataSet::ApplyEngineFilter() {
  if (Filter().empty()) {
    ClearEngineFilter();
    return;
  }
  bool exact = true;
  const std::string expression = TranslateFilterText(exact);
  CheckXbeResult(this, XbeSetExact22(tableHandle_, exact ? 1 : 0));
  if (tableOptions_->XbeOptimizedFilters())
    CheckXbeResult(this, XbeSetXOF(tableHandle_, expression.c_str(), GetXOFOptions()));
  else
    CheckXbeResult(this, XbeSetFilter(tableHandle_, expression.c_str()));
}

void TXbeDataSet::ClearEngineFilter() {
  const XBERESULT r =
      tableOptions_->XbeOptimizedFilters() ? XbeClearXOF(tableHandle_) : XbeClearFilter(tableHandle_);
  AcceptOnly(this, r, 5037);
}

void TXbeDataSet::ApplyEngineScope() {
  if (activeHandle_ == tableHandle_ || activeHandle_ == kNoHandle)
    RaiseXbeError(this, "Cannot activate scope when there is no active index.");
  char bound[kScopeBufferLength];
  for (const std::uint16_t which : {kScopeTop, kScopeBottom}) {
    std::uint16_t length = kScopeBufferLength;
    if (XbeGetScope(activeHandle_, which, bound, &length) == 0)
      RaiseXbeError(this, "Cannot activate scope when there is an active range.");
  }
  if (!scopeBegin_.empty())
    CheckXbeResult(this, XbeSetScope(activeHandle_, kScopeTop, scopeBegin_.data(),
                                     static_cast<std::uint16_t>(scopeBegin_.size()), kKeyAsText));
  if (!scopeEnd_.empty())
    CheckXbeResult(this, XbeSetScope(activeHandle_, kScopeBottom, scopeEnd_.data(),
                                     static_cast<std::uint16_t>(scopeEnd_.size()), kKeyAsText));
}

void TXbeDataSet::ClearEngineScope() {
  if (activeHandle_ == tableHandle_ || activeHandle_ == kNoHandle) return;
  AcceptOnly(this, XbeClearScope(activeHandle_, kScopeTop), 5038);
  AcceptOnly(this, XbeClearScope(activeHandle_, kScopeBottom), 5038);
}

void TXbeDataSet::SetScoped(bool value) {
  if (value == scoped_) return;
  if (Active()) {
    std::uint32_t remembered = 0;
    std::memcpy(&remembered, ActiveBuffer() + bookmarkOffset_, sizeof remembered);
    if (value) {
      ApplyEngineScope();
      UpdateCursorPos();
      std::uint16_t visible = 0;
      const XBERESULT r = XbeIsRecordVisible(activeHandle_, &visible);
      if (r == 5068) visible = 0;
      else CheckXbeResult(this, r);
      if (visible != 0) Resync({});
      else First();
    } else {
      ClearEngineScope();
      if (Bof() && Eof()) {
        First();
      } else {
        if (XbeGotoRecord(tableHandle_, remembered) == 5022) Next();
        Resync({});
      }
    }
  }
  scoped_ = value;
}

void TXbeDataSet::SetScopeText(std::string& target, const std::string& value) {
  if (value.size() > kScopeBufferLength + 1)
    RaiseXbeError(this, "Scope text length exceeded " + std::to_string(kScopeBufferLength));
  target = value;
}

void TXbeDataSet::SetFiltered(bool value) {
  db::TDataSet::SetFiltered(value);
  if (tableHandle_ == kNoHandle) return;
  if (value) {
    try {
      ApplyEngineFilter();
    } catch (...) {
      // A refused filter must not leave the dataset claiming a filter it does not apply (and
      // failing every later open): it ends unfiltered, and says so.
      db::TDataSet::SetFiltered(false);
      try {
        ClearEngineFilter();
      } catch (...) {
      }
      throw;
    }
  } else {
    ClearEngineFilter();
  }
  if (Active()) First();
}

void TXbeDataSet::SetFilterText(const std::string& value) {
  db::TDataSet::SetFilterText(value);
  if (Active() && Filtered()) SetFiltered(true);
}
