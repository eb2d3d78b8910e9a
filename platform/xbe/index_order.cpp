#include "platform/xbe/index_order.h"

#include "platform/xbe/errors.h"
#include "platform/xbe/expr/keys.h"

namespace xbe {

IndexOrder::IndexOrder(IndexFile& file, std::size_t tag)
    : file_(file), tag_(tag), cursor_(file.Tags()[tag].order->NewCursor()) {}

int IndexOrder::CompareKeys(std::string_view a, std::string_view b) const {
  const int order = a.compare(b);
  const int c = (order > 0) - (order < 0);
  return file_.Tags()[tag_].order->Info().descending ? -c : c;
}

bool IndexOrder::BeforeTop(std::string_view key) const {
  const auto& top = bounds_[0];
  return top && CompareKeys(key.substr(0, top->size()), *top) < 0;
}

bool IndexOrder::AfterBottom(std::string_view key) const {
  const auto& bottom = bounds_[1];
  return bottom && CompareKeys(key.substr(0, bottom->size()), *bottom) > 0;
}

// Equal keys follow each other by record number: ascending, except in a descending CDX tag,
// which is its ascending storage walked backwards.
bool IndexOrder::RecnoBefore(std::uint32_t a, std::uint32_t b) const {
  const bool backwards = file_.IsCdx() && file_.Tags()[tag_].order->Info().descending;
  return backwards ? a > b : a < b;
}

void IndexOrder::Mark() {
  markedChanges_ = file_.ChangeCount();
  markedRecno_ = cursor_->Valid() ? cursor_->Current().recno : 0;
}

inline bool IndexOrder::OnMarked(std::uint32_t recno) const {
  return markedChanges_ == file_.ChangeCount() && markedRecno_ == recno && cursor_->Valid() &&
         cursor_->Current().recno == recno;
}

std::uint32_t IndexOrder::EmitForward() {
  while (cursor_->Valid() && BeforeTop(cursor_->Current().key)) cursor_->Next();
  Mark();
  if (!cursor_->Valid() || AfterBottom(cursor_->Current().key)) return 0;
  return cursor_->Current().recno;
}

std::uint32_t IndexOrder::EmitBackward() {
  while (cursor_->Valid() && AfterBottom(cursor_->Current().key)) cursor_->Prev();
  Mark();
  if (!cursor_->Valid() || BeforeTop(cursor_->Current().key)) return 0;
  return cursor_->Current().recno;
}

std::uint32_t IndexOrder::First() {
  if (bounds_[0]) cursor_->Seek(*bounds_[0]);
  else cursor_->First();
  return EmitForward();
}

std::uint32_t IndexOrder::Last() {
  if (bounds_[1]) cursor_->SeekLast(*bounds_[1]);
  else cursor_->Last();
  return EmitBackward();
}

// Puts the cursor on the current record's entry (true), or, when the order does not hold it,
// on the entry that follows where its key would be (false).
bool IndexOrder::Locate(const RecordView& current) {
  const std::uint32_t recno = current.RecordNumber();
  if (OnMarked(recno)) return true;
  const std::optional<index::KeyEntry> entry = file_.EntryOf(Tag(), current);
  if (entry && cursor_->Find(*entry)) {
    Mark();
    return true;
  }
  const std::string key = entry ? entry->key : file_.KeyOf(Tag(), current);
  cursor_->Seek(key);
  while (cursor_->Valid() && cursor_->Current().key == key &&
         (cursor_->Current().recno == recno || RecnoBefore(cursor_->Current().recno, recno)))
    cursor_->Next();
  return false;
}

std::uint32_t IndexOrder::Next(const RecordView& current) {
  if (Locate(current)) cursor_->Next();
  return EmitForward();
}

std::uint32_t IndexOrder::Prior(const RecordView& current) {
  if (Locate(current) || cursor_->Valid()) cursor_->Prev();
  else cursor_->Last();
  return EmitBackward();
}

bool IndexOrder::Contains(const RecordView& record) {
  if (OnMarked(record.RecordNumber()))
    return !BeforeTop(cursor_->Current().key) && !AfterBottom(cursor_->Current().key);
  const std::optional<index::KeyEntry> entry = file_.EntryOf(Tag(), record);
  if (!entry || BeforeTop(entry->key) || AfterBottom(entry->key)) return false;
  // A unique order holds one record of each key.
  if (Info().unique) {
    auto probe = Tag().order->NewCursor();
    return probe->Find(*entry);
  }
  return true;
}

int IndexOrder::Compare(const RecordView& a, const RecordView& b) {
  const std::string ka = file_.KeyOf(Tag(), a);
  const std::string kb = file_.KeyOf(Tag(), b);
  if (const int c = CompareKeys(ka, kb)) return c;
  if (a.RecordNumber() == b.RecordNumber()) return 0;
  return RecnoBefore(a.RecordNumber(), b.RecordNumber()) ? -1 : 1;
}

void IndexOrder::PastTheEnd(std::uint32_t recno) {
  // Keys are written only for records already in the table; stepping on from here could come
  // back to the same key, as a walk backwards from the last record there is does.
  Fail(kCorruptFile, "The index " + file_.FileName() + " (order " + Info().name + ") is corrupt: a key names record " +
                         std::to_string(recno) + ", past the end of the table.");
}

void IndexOrder::SetScope(Bound which, std::string key, std::string given) {
  bounds_[which - 1] = std::move(key);
  given_[which - 1] = std::move(given);
}

bool IndexOrder::ClearScope(Bound which) {
  const bool had = bounds_[which - 1].has_value();
  bounds_[which - 1].reset();
  given_[which - 1].reset();
  return had;
}

std::string IndexOrder::KeyFromText(std::string_view text) {
  const expr::KeyLayout& layout = Layout();
  if (layout.type == expr::Type::kCharacter) {
    std::string stored = file_.StoredText(text);
    if (stored.size() > static_cast<std::size_t>(layout.length)) stored.resize(static_cast<std::size_t>(layout.length));
    return stored;
  }
  return expr::KeyFromText(text, layout);
}

std::uint32_t IndexOrder::SeekPosition(std::string_view key, bool last) {
  if (last) {
    if (!cursor_->SeekLast(key)) return SeekPosition(key, false);
    if (AfterBottom(cursor_->Current().key)) {
      cursor_->Seek(key);  // beyond the scope: nothing to land on
      Mark();
      return 0;
    }
    return EmitBackward() != 0 ? cursor_->Current().recno : First();
  }
  cursor_->Seek(key);
  if (cursor_->Valid() && BeforeTop(cursor_->Current().key)) return First();
  return EmitForward();
}

std::string IndexOrder::KeyOfCurrent(const RecordView& current) {
  if (Locate(current)) return cursor_->Current().key;
  return file_.KeyOf(Tag(), current);
}

bool IndexOrder::CurrentKeyStartsWith(const RecordView& current, std::string_view prefix) {
  if (Locate(current)) return std::string_view(cursor_->Current().key).substr(0, prefix.size()) == prefix;
  return std::string_view(file_.KeyOf(Tag(), current)).substr(0, prefix.size()) == prefix;
}

std::uint64_t IndexOrder::KeysInScope() {
  if (!HasScope()) return Tag().order->KeyCount();
  std::uint64_t n = 0;
  for (std::uint32_t r = First(); r != 0; r = EmitForward()) {
    ++n;
    cursor_->Next();
  }
  return n;
}

}  // namespace xbe
