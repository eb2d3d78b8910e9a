// An index file opened after a process died inside a record change: the change's write intent
// names the record and the keys it was moving, and this file's part is made right here, from
// the record as the table now holds it, under the index-update lock.
#include "platform/xbe/index/index_error.h"
#include "platform/xbe/index_file.h"
#include "platform/xbe/table.h"
#include "platform/xbe/write_intent.h"

namespace xbe {

void IndexFile::RecoverInterruptedWrites() {
  if (!table_.Writable()) return;
  for (DeadIntent& dead : DeadIntent::Find(table_.Names())) {
    const std::optional<std::size_t> file = dead.PendingFile(hostPath_);
    if (!file) {
      dead.RemoveWhenFinished();
      continue;
    }
    // An append's reserved record is settled first: its keys follow from what it becomes.
    table_.RecoverInterruptedAppend(dead);
    TakeLock();
    struct Release {
      IndexFile& f;
      ~Release() {
        f.structuralNote_ = nullptr;
        f.ReleaseLock();
      }
    } release{*this};
    // Read under the lock: another writer may have changed the file since it was opened.
    if (cdx_) cdx_->Reload();
    else ntx_->Reload();
    // A repair that itself splits pages and is cut short is rebuilt by the next open.
    structuralNote_ = [&dead, i = *file] { dead.MarkStructural(i); };
    try {
      if (dead.Structural(*file)) {
        // Pages of a change of several pages may have been written in part: other records'
        // entries may be lost or doubled, so every order of the file is built again.
        Rebuild();
      } else {
        RepairKeys(dead.Entry().files[*file], dead.Entry().recno);
      }
    } catch (const index::IndexError& e) {
      if (e.kind() != index::IndexErrorKind::kCorrupt) throw;
      // A file damaged otherwise is not ours to mend: its walks and seeks report it, and the
      // entry waits for a sound file (a rebuild by its program).
      if (cdx_) cdx_->Reload();
      else ntx_->Reload();
      continue;
    }
    dead.MarkFileDone(*file);
    dead.RemoveWhenFinished();
  }
}

void IndexFile::RepairKeys(const IntentFile& file, std::uint32_t recno) {
  table_.WithStoredRecord(recno, [&](const RecordView* record) {
    for (Tag& t : tags_) {
      const std::optional<index::KeyEntry> now = record ? EntryOf(t, *record) : std::nullopt;
      if (t.order->Info().unique) {
        // Which record holds a key depends on every record that has it: built again.
        std::vector<index::KeyEntry> entries;
        table_.ForEachRecord([&](const RecordView& r) {
          if (auto e = EntryOf(t, r)) entries.push_back(std::move(*e));
        });
        t.order->Build(std::move(entries));
        continue;
      }
      // The entries the change was moving go, whichever of them the file holds; the record's
      // entry as it now is comes in, unless it is there already.
      for (const IntentKey& k : file.keys) {
        if (k.order != t.order->Info().name) continue;
        for (const auto* key : {&k.before, &k.after})
          if (*key && !(now && now->key == **key)) t.order->Remove(index::KeyEntry{**key, recno});
      }
      if (now && !t.order->NewCursor()->Find(*now)) t.order->Insert(*now);
    }
  });
}

}  // namespace xbe
