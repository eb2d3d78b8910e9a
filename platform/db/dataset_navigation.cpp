// The record-buffer ring: filling, scrolling, resynchronising, cursor position and bookmarks.
//
// buffers_[0 .. recordCount_-1] hold consecutive records; buffers_[bufferCount_] is the spare
// slot. A fetch always goes into buffers_[recordCount_] (a free ring slot, or the spare when the
// ring is full), and buffers move only by pointer rotation, because each owns what the dataset
// put in it.
#include <algorithm>

#include "platform/db/dataset.h"

namespace db {

void TDataSet::ClearBuffers() {
  recordCount_ = 0;
  activeRecord_ = 0;
  currentRecord_ = -1;
  bof_ = true;
  eof_ = true;
}

void TDataSet::ActivateBuffers() {
  recordCount_ = 1;
  activeRecord_ = 0;
  currentRecord_ = 0;
  bof_ = false;
  eof_ = false;
}

void TDataSet::MoveBuffer(int from, int to) {
  if (from == to) return;
  auto first = buffers_.begin();
  if (from < to)
    std::rotate(first + from, first + from + 1, first + to + 1);
  else
    std::rotate(first + to, first + from, first + from + 1);
}

void TDataSet::SetCurrentRecord(int index) {
  if (currentRecord_ == index) return;
  TRecordBuffer buffer = buffers_[static_cast<std::size_t>(index)];
  switch (BookmarkFlagOf(buffer)) {
    case bfBOF: GoBeforeFirst(); break;
    case bfEOF: GoAfterLast(); break;
    default: PositionOnBuffer(buffer); break;
  }
  currentRecord_ = index;
}

void TDataSet::UpdateCursorPos() {
  if (recordCount_ > 0) SetCurrentRecord(activeRecord_);
}

bool TDataSet::GetNextRecord() {
  if (recordCount_ > 0 && currentRecord_ != recordCount_ - 1) SetCurrentRecord(recordCount_ - 1);
  if (FetchRecord(buffers_[static_cast<std::size_t>(recordCount_)], GetMode::Next, true) != GetResult::Ok) {
    CursorPosChanged();  // the failed fetch left the cursor past the last buffer
    return false;
  }
  if (recordCount_ == bufferCount_) {
    MoveBuffer(0, bufferCount_);  // the oldest record leaves the ring for the spare slot
    if (activeRecord_ > 0) --activeRecord_;
  } else {
    ++recordCount_;
  }
  currentRecord_ = recordCount_ - 1;
  return true;
}

bool TDataSet::GetPriorRecord() {
  if (recordCount_ > 0 && currentRecord_ != 0) SetCurrentRecord(0);
  if (FetchRecord(buffers_[static_cast<std::size_t>(recordCount_)], GetMode::Prior, true) != GetResult::Ok) {
    CursorPosChanged();
    return false;
  }
  MoveBuffer(recordCount_, 0);  // when full, the newest record leaves for the spare slot
  if (recordCount_ < bufferCount_) {
    ++recordCount_;
    if (recordCount_ > 1) ++activeRecord_;
  } else if (activeRecord_ < recordCount_ - 1) {
    ++activeRecord_;
  }
  currentRecord_ = 0;
  return true;
}

int TDataSet::GetNextRecords() {
  int fetched = 0;
  while (recordCount_ < bufferCount_ && GetNextRecord()) ++fetched;
  return fetched;
}

int TDataSet::GetPriorRecords() {
  int fetched = 0;
  while (recordCount_ < bufferCount_ && GetPriorRecord()) ++fetched;
  return fetched;
}

void TDataSet::First() {
  CheckBrowseMode();
  DoBeforeScroll();
  ClearBuffers();
  try {
    GoBeforeFirst();
    GetNextRecords();
  } catch (...) {
    bof_ = true;
    DataEvent(DataEventKind::DataSetChange, 0);
    throw;
  }
  bof_ = true;
  eof_ = recordCount_ == 0;
  DataEvent(DataEventKind::DataSetChange, 0);
  DoAfterScroll();
}

void TDataSet::Last() {
  CheckBrowseMode();
  DoBeforeScroll();
  ClearBuffers();
  try {
    GoAfterLast();
    GetPriorRecords();
  } catch (...) {
    eof_ = true;
    DataEvent(DataEventKind::DataSetChange, 0);
    throw;
  }
  activeRecord_ = std::max(0, recordCount_ - 1);
  eof_ = true;
  bof_ = recordCount_ == 0;
  DataEvent(DataEventKind::DataSetChange, 0);
  DoAfterScroll();
}

int TDataSet::MoveBy(int distance) {
  CheckBrowseMode();
  int moved = 0;
  DoBeforeScroll();
  if ((distance > 0 && !eof_) || (distance < 0 && !bof_)) {
    bof_ = false;
    eof_ = false;
    int scrolled = 0;  // ring rotations, for the links
    bool ringChanged = false;
    try {
      while (distance > 0) {
        if (activeRecord_ < recordCount_ - 1) {
          ++activeRecord_;
        } else {
          const bool full = recordCount_ == bufferCount_;
          if (!GetNextRecord()) {
            eof_ = true;
            break;
          }
          if (full) --scrolled; else ringChanged = true;
          activeRecord_ = recordCount_ - 1;
        }
        --distance;
        ++moved;
      }
      while (distance < 0) {
        if (activeRecord_ > 0) {
          --activeRecord_;
        } else {
          const bool full = recordCount_ == bufferCount_;
          if (!GetPriorRecord()) {
            bof_ = true;
            break;
          }
          if (full) ++scrolled; else ringChanged = true;
          activeRecord_ = 0;
        }
        ++distance;
        --moved;
      }
    } catch (...) {
      DataEvent(DataEventKind::DataSetChange, 0);
      throw;
    }
    if (ringChanged)
      DataEvent(DataEventKind::DataSetChange, 0);
    else
      DataEvent(DataEventKind::DataSetScroll, scrolled);
    DoAfterScroll();
  }
  return moved < 0 ? -moved : moved;
}

void TDataSet::Resync(ResyncModes modes) {
  if (buffers_.empty()) return;
  TRecordBuffer spare = buffers_[static_cast<std::size_t>(recordCount_)];
  if (modes.exact) {
    CursorPosChanged();
    if (FetchRecord(spare, GetMode::Current, true) != GetResult::Ok) DatabaseError(kRecordNotFoundText, this);
  } else if (FetchRecord(spare, GetMode::Current, false) != GetResult::Ok &&
             FetchRecord(spare, GetMode::Next, false) != GetResult::Ok &&
             FetchRecord(spare, GetMode::Prior, false) != GetResult::Ok) {
    ClearBuffers();
    DataEvent(DataEventKind::DataSetChange, 0);
    return;
  }
  int before = modes.center ? (bufferCount_ - 1) / 2 : activeRecord_;
  MoveBuffer(recordCount_, 0);
  ActivateBuffers();
  try {
    while (before > 0 && recordCount_ < bufferCount_ && GetPriorRecord()) --before;
    GetNextRecords();
    GetPriorRecords();
  } catch (...) {
    DataEvent(DataEventKind::DataSetChange, 0);
    throw;
  }
  DataEvent(DataEventKind::DataSetChange, 0);
}

TBookmark TDataSet::GetBookmark() {
  TBookmark bookmark;
  const bool available = state_ == DSState::Browse || state_ == DSState::Edit || state_ == DSState::Insert;
  if (!available || IsEmpty() || BookmarkFlagOf(ActiveBuffer()) != bfCurrent) return bookmark;
  bookmark.resize(static_cast<std::size_t>(bookmarkSize_));
  if (bookmarkSize_ > 0) CopyBookmark(ActiveBuffer(), bookmark.data());
  return bookmark;
}

void TDataSet::GotoBookmark(const TBookmark& bookmark) {
  if (bookmark.empty()) return;
  CheckBrowseMode();
  DoBeforeScroll();
  GoToBookmark(bookmark.data());
  Resync({.exact = true, .center = true});
  DoAfterScroll();
}

bool TDataSet::BookmarkValid(const TBookmark& bookmark) {
  return IsBookmarkValid(bookmark.empty() ? nullptr : bookmark.data());
}

int TDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b) {
  return CompareBookmarkOrder(a.empty() ? nullptr : a.data(), b.empty() ? nullptr : b.data());
}

void TDataSet::Refresh() {
  CheckBrowseMode();
  BeforeRefresh.Fire(this);
  UpdateCursorPos();
  RefreshRecord();
  Resync({});
  AfterRefresh.Fire(this);
}

}  // namespace db
