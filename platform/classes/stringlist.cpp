#include "platform/classes/stringlist.h"

#include <algorithm>

#include "platform/classes/classbuilder.h"
#include "platform/classes/errors.h"
#include "platform/classes/filer.h"
#include "platform/classes/updating.h"
#include "platform/rtl/ansi.h"
#include "platform/rtl/strutils.h"

using namespace rtl::literals;

namespace classes {

const TClassInfo& TStrings::StaticClassInfo() {
  static const auto info = TClassInfo::Make<TStrings, TPersistent>("TStrings", [](auto&) {});
  return info;
}

const TClassInfo& TStringList::StaticClassInfo() {
  static const auto info = TClassInfo::Make<TStringList, TStrings>("TStringList", [](auto&) {});
  return info;
}

// --- TStrings ----------------------------------------------------------------------------

void TStrings::IndexError(int index) {
  throw EListError(rtl::FormatS("Índice da lista fora dos limites (%d)"_ansi, rtl::IntToStr(index)));
}

void TStrings::Put(int index, const std::string& s) {
  TObject* object = GetObject(index);
  WhileUpdating(*this, [&] {
    Delete(index);
    Insert(index, s);
    PutObject(index, object);
  });
}

TObject* TStrings::GetObject(int) const { return nullptr; }
void TStrings::PutObject(int, TObject*) {}

int TStrings::Add(const std::string& s) {
  const int index = Count();
  Insert(index, s);
  return index;
}

int TStrings::AddObject(const std::string& s, TObject* object) {
  const int index = Add(s);
  PutObject(index, object);
  return index;
}

int TStrings::CompareStrings(const std::string& a, const std::string& b) const {
  return rtl::AnsiCompareText(a, b);
}

int TStrings::IndexOf(const std::string& s) const {
  for (int i = 0; i < Count(); ++i)
    if (CompareStrings(Get(i), s) == 0) return i;
  return -1;
}

int TStrings::IndexOfObject(const TObject* object) const {
  for (int i = 0; i < Count(); ++i)
    if (GetObject(i) == object) return i;
  return -1;
}

void TStrings::AddStrings(const TStrings& strings) {
  WhileUpdating(*this, [&] {
    for (int i = 0; i < strings.Count(); ++i) AddObject(strings.Get(i), strings.GetObject(i));
  });
}

void TStrings::Assign(const TPersistent& source) {
  if (auto* strings = dynamic_cast<const TStrings*>(&source)) {
    if (strings == this) return;
    WhileUpdating(*this, [&] {
      Clear();
      delimiter_ = strings->delimiter_;
      quoteChar_ = strings->quoteChar_;
      AddStrings(*strings);
    });
    return;
  }
  TPersistent::Assign(source);
}

bool TStrings::Equals(const TStrings& other) const {
  if (Count() != other.Count()) return false;
  for (int i = 0; i < Count(); ++i)
    if (Get(i) != other.Get(i)) return false;
  return true;
}

std::string TStrings::Text() const {
  std::string text;
  for (int i = 0; i < Count(); ++i) {
    text += Get(i);
    text += "\r\n";
  }
  return text;
}

void TStrings::SetText(std::string_view text) {
  WhileUpdating(*this, [&] {
    Clear();
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = start;
      while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
      Add(std::string(text.substr(start, end - start)));
      if (end < text.size() && text[end] == '\r') ++end;
      if (end < text.size() && text[end] == '\n') ++end;
      start = end;
    }
  });
}

std::string TStrings::DelimitedText() const {
  if (Count() == 1 && Get(0).empty()) return std::string(2, quoteChar_);
  std::string text;
  for (int i = 0; i < Count(); ++i) {
    const std::string s = Get(i);
    if (i > 0) text += delimiter_;
    if (s.find(delimiter_) != std::string::npos || s.find(quoteChar_) != std::string::npos) {
      text += quoteChar_;
      for (char c : s) {
        if (c == quoteChar_) text += quoteChar_;
        text += c;
      }
      text += quoteChar_;
    } else {
      text += s;
    }
  }
  return text;
}

void TStrings::SetDelimitedText(std::string_view text) {
  WhileUpdating(*this, [&] {
    Clear();
    std::size_t pos = 0;
    while (pos < text.size()) {
      std::string item;
      if (text[pos] == quoteChar_) {
        ++pos;
        while (pos < text.size()) {
          if (text[pos] == quoteChar_) {
            if (pos + 1 < text.size() && text[pos + 1] == quoteChar_) {
              item += quoteChar_;
              pos += 2;
              continue;
            }
            ++pos;
            break;
          }
          item += text[pos++];
        }
      }
      while (pos < text.size() && text[pos] != delimiter_) item += text[pos++];
      Add(item);
      if (pos < text.size()) {  // at a delimiter
        ++pos;
        if (pos == text.size()) Add("");
      }
    }
  });
}

void TStrings::BeginUpdate() {
  if (updateCount_++ == 0) SetUpdateState(true);
}

void TStrings::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0) SetUpdateState(false);
}

void TStrings::DefineProperties(TFiler& filer) {
  TPersistent::DefineProperties(filer);
  filer.DefineProperty(
      "Strings",
      [this](TReader& r) {
        r.ReadListBegin();
        WhileUpdating(*this, [&] {
          Clear();
          while (!r.EndOfList()) Add(r.ReadString());
        });
        r.ReadListEnd();
      },
      [this](TWriter& w) {
        w.WriteListBegin();
        for (int i = 0; i < Count(); ++i) w.WriteString(Get(i));
        w.WriteListEnd();
      },
      Count() > 0);
}

// --- TStringList -------------------------------------------------------------------------

void TStringList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) IndexError(index);
}

std::string TStringList::Get(int index) const {
  CheckIndex(index);
  return items_[static_cast<std::size_t>(index)].text;
}

TObject* TStringList::GetObject(int index) const {
  CheckIndex(index);
  return items_[static_cast<std::size_t>(index)].object;
}

void TStringList::Put(int index, const std::string& s) {
  if (sorted_) throw EListError("Operation not allowed on sorted list");
  CheckIndex(index);
  items_[static_cast<std::size_t>(index)].text = s;
  Changed();
}

void TStringList::PutObject(int index, TObject* object) {
  CheckIndex(index);
  items_[static_cast<std::size_t>(index)].object = object;
  Changed();
}

int TStringList::Add(const std::string& s) {
  int index = Count();
  if (sorted_ && Find(s, index)) {
    if (duplicates_ == dupIgnore) return index;
    if (duplicates_ == dupError) throw EListError(std::string("A lista não permite duplicatas"_ansi));
  }
  InsertItem(index, s, nullptr);
  return index;
}

void TStringList::Insert(int index, const std::string& s) {
  if (sorted_) throw EListError("Operation not allowed on sorted list");
  if (index < 0 || index > Count()) IndexError(index);
  InsertItem(index, s, nullptr);
}

void TStringList::InsertItem(int index, const std::string& s, TObject* object) {
  items_.insert(items_.begin() + index, Item{s, object});
  Changed();
}

void TStringList::Delete(int index) {
  CheckIndex(index);
  items_.erase(items_.begin() + index);
  Changed();
}

void TStringList::Clear() {
  if (items_.empty()) return;
  items_.clear();
  Changed();
}

int TStringList::CompareStrings(const std::string& a, const std::string& b) const {
  return caseSensitive_ ? rtl::AnsiCompareStr(a, b) : rtl::AnsiCompareText(a, b);
}

bool TStringList::Find(const std::string& s, int& index) const {
  // The first position whose entry is not below s.
  int low = 0, high = Count();
  while (low < high) {
    const int mid = (low + high) / 2;
    if (CompareStrings(items_[static_cast<std::size_t>(mid)].text, s) < 0)
      low = mid + 1;
    else
      high = mid;
  }
  index = low;
  return low < Count() && CompareStrings(items_[static_cast<std::size_t>(low)].text, s) == 0;
}

int TStringList::IndexOf(const std::string& s) const {
  if (!sorted_) return TStrings::IndexOf(s);
  int index;
  return Find(s, index) ? index : -1;
}

void TStringList::Sort() {
  std::stable_sort(items_.begin(), items_.end(),
                   [this](const Item& a, const Item& b) { return CompareStrings(a.text, b.text) < 0; });
  Changed();
}

void TStringList::SetSorted(bool sorted) {
  if (sorted == sorted_) return;
  if (sorted) Sort();
  sorted_ = sorted;
}

void TStringList::SetCaseSensitive(bool value) {
  if (value == caseSensitive_) return;
  caseSensitive_ = value;
  if (sorted_) Sort();
}

void TStringList::Changed() {
  if (UpdateCount() > 0) {
    changedWhileUpdating_ = true;
    return;
  }
  onChange_.Fire(this);
}

void TStringList::SetUpdateState(bool updating) {
  if (updating) {
    changedWhileUpdating_ = false;
  } else if (changedWhileUpdating_) {
    changedWhileUpdating_ = false;
    onChange_.Fire(this);
  }
}

}  // namespace classes
