// Moving the shared cursor through an order, with deleted-record visibility and filters.
#include <algorithm>

#include "platform/xbe/errors.h"
#include "platform/xbe/settings.h"
#include "platform/xbe/table.h"
#include "platform/xbe/table_view.h"

namespace xbe {

std::string Table::ReadImage(std::uint32_t recno) {
  std::string image(header_.recordLength, ' ');
  dbf_.ReadExact(RecordOffset(recno), image.data(), image.size());
  return image;
}

inline const char* Table::RecordBytes(std::uint32_t recno) {
  const std::uint32_t length = header_.recordLength;
  if (readAhead_.Enabled()) return readAhead_.Find(dbf_, header_.headerLength, length, recno);
  scratch_.resize(length);
  return dbf_.ReadAt(RecordOffset(recno), scratch_.data(), length) == length ? scratch_.data() : nullptr;
}

bool Table::Load(std::uint32_t recno) {
  const char* bytes = RecordBytes(recno);
  if (bytes == nullptr) {
    // Another program took back the append that made this record: the walk ends before it.
    if (recno > RecordCount()) return false;
    scratch_.resize(header_.recordLength);
    dbf_.ReadExact(RecordOffset(recno), scratch_.data(), scratch_.size());  // raises: the file is cut short
    bytes = scratch_.data();
  }
  // A record read on its own is taken over rather than copied.
  if (bytes == scratch_.data()) current_.swap(scratch_);
  else current_.assign(bytes, header_.recordLength);
  cursor_.recno = recno;
  cursor_.bof = false;
  cursor_.eof = false;
  currentView_->Reset(&current_, recno);
  return true;
}

void Table::SetAtEof() {
  current_ = NullRecord();
  cursor_.recno = RecordCount() + 1;
  cursor_.eof = true;
  cursor_.bof = false;
  currentView_->Reset(&current_, cursor_.recno);
}

void Table::SetAtBof() {
  current_ = NullRecord();
  cursor_.recno = 0;
  cursor_.bof = true;
  cursor_.eof = false;
  currentView_->Reset(&current_, 0);
}

bool Table::Visible(Order& order, const RecordView& view, bool withFilters) {
  if (view.IsDeleted() && !EngineSettings().showDeleted) return false;
  if (!order.Contains(view)) return false;
  if (!withFilters) return true;
  for (RecordFilter* f : filters_)
    if (!f->Accepts(view)) return false;
  return true;
}

bool Table::LandVisible(Order& order, std::uint32_t recno, bool forward) {
  for (std::uint32_t r = recno; r != 0; r = forward ? order.Next(*currentView_) : order.Prior(*currentView_)) {
    if (!Load(r)) {
      order.PastTheEnd(r);
      if (forward) return false;
      r = std::min(r - 1, RecordCount());  // backwards: the last record there is now
      if (r == 0 || !Load(r)) return false;
    }
    if (Visible(order, *currentView_)) return true;
  }
  return false;
}

bool Table::SettleOn(Order& order, std::uint32_t recno, bool forward) {
  FlushPending();
  if (LandVisible(order, recno, forward)) return true;
  SetAtEof();
  return false;
}

void Table::GotoTop(Order& order) {
  FlushPending();
  if (LandVisible(order, order.First(), true)) return;
  SetAtEof();
  cursor_.bof = true;  // an empty set is at both ends
}

void Table::GotoBottom(Order& order) {
  FlushPending();
  if (LandVisible(order, order.Last(), false)) return;
  SetAtEof();
  cursor_.bof = true;
}

void Table::GotoBOF(Order& order) {
  GotoTop(order);
  const bool empty = cursor_.eof;
  SetAtBof();
  cursor_.eof = empty;
}

void Table::Skip(Order& order, std::int32_t count) {
  FlushPending();
  if (count == 0) {
    if (cursor_.OnRecord()) {
      readAhead_.Drop();  // a re-read asks the file
      if (!Load(cursor_.recno)) SetAtEof();
    }
    return;
  }
  for (; count > 0; --count) {
    if (cursor_.eof) return;
    if (cursor_.bof || cursor_.recno == 0) {
      GotoTop(order);
      if (cursor_.eof) return;
      continue;
    }
    if (!LandVisible(order, order.Next(*currentView_), true)) {
      SetAtEof();
      return;
    }
  }
  for (; count < 0; ++count) {
    if (cursor_.bof) return;
    if (cursor_.eof) {
      GotoBottom(order);
      if (cursor_.eof) return;
      continue;
    }
    if (!LandVisible(order, order.Prior(*currentView_), false)) {
      SetAtBof();
      return;
    }
  }
}

bool Table::GotoRecord(std::uint32_t recno) {
  FlushPending();
  if (recno == 0 || (recno > knownCount_ && recno > RecordCount()) || !Load(recno)) {
    SetAtEof();
    return false;
  }
  return true;
}

bool Table::IsVisible(Order& order) {
  if (!HasCurrentRecord()) Fail(kNoCurrentRecord, "");
  return Visible(order, CurrentView());
}

std::uint32_t Table::CountVisible(Order& order, bool withFilters) {
  FlushPending();
  std::string image;
  std::uint32_t n = 0;
  ImageView view(*this, &image, 0);
  for (std::uint32_t r = order.First(); r != 0; r = order.Next(view)) {
    image = ReadImage(r);
    view.Reset(&image, r);
    if (Visible(order, view, withFilters)) ++n;
  }
  return n;
}

void Table::ForEachRecord(const std::function<void(const RecordView&)>& visit) {
  const std::uint32_t count = RecordCount();
  const std::uint32_t length = header_.recordLength;
  const std::uint32_t perChunk = std::max<std::uint32_t>(1, (256u * 1024u) / std::max<std::uint32_t>(length, 1));
  std::string chunk;
  std::string image;
  ImageView view(*this, &image, 0);
  for (std::uint32_t first = 1; first <= count; first += perChunk) {
    const std::uint32_t n = std::min(perChunk, count - first + 1);
    chunk.resize(static_cast<std::size_t>(n) * length);
    dbf_.ReadExact(RecordOffset(first), chunk.data(), chunk.size());
    for (std::uint32_t i = 0; i < n; ++i) {
      image.assign(chunk, static_cast<std::size_t>(i) * length, length);
      view.Reset(&image, first + i);
      visit(view);
    }
  }
}

std::uint32_t Table::KeyNumber(Order& order) {
  if (!cursor_.OnRecord()) return 0;
  std::string image;
  std::uint32_t n = 0;
  ImageView view(*this, &image, 0);
  for (std::uint32_t r = order.First(); r != 0; r = order.Next(view)) {
    image = ReadImage(r);
    view.Reset(&image, r);
    if (Visible(order, view)) ++n;
    if (r == cursor_.recno) return n;
  }
  return 0;
}

void Table::GotoKeyNumber(Order& order, std::uint32_t keyNumber) {
  GotoTop(order);
  if (keyNumber > 1) Skip(order, static_cast<std::int32_t>(keyNumber - 1));
  if (cursor_.eof) GotoBottom(order);
}

void Table::AddFilter(RecordFilter* filter) { filters_.push_back(filter); }
void Table::RemoveFilter(RecordFilter* filter) { std::erase(filters_, filter); }
void Table::AddHook(RecordHook* hook) {
  hooks_.push_back(hook);
  if (journal_) hook->JoinTransaction(*journal_);
}
void Table::RemoveHook(RecordHook* hook) { std::erase(hooks_, hook); }

}  // namespace xbe
