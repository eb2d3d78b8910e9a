#include "platform/xbe/restructure.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/rtl/files.h"
#include "platform/rtl/paths.h"
#include "platform/xbe/errors.h"
#include "platform/xbe/field_codec.h"
#include "platform/xbe/memo_store.h"
#include "platform/xbe/restructure_plan.h"
#include "platform/xbe/restructure_switch.h"
#include "platform/xbe/table_files.h"
#include "platform/xbe/transaction_journal.h"

namespace xbe {

namespace {

constexpr std::size_t kChunkBytes = 1 << 20;

// One contiguous byte run copied from the old record to the new one.
struct CopyRun {
  std::uint32_t from, to, length;
};

// Removes the temporary files (after the switch they no longer exist under these names).
struct TempFiles {
  std::string data, memo;
  ~TempFiles() {
    if (!data.empty()) ::unlink(data.c_str());
    if (!memo.empty()) ::unlink(memo.c_str());
  }
};

// The file a path names, symbolic links followed; the path itself when it cannot be resolved.
std::string RealPath(const std::string& hostPath) {
  char* real = ::realpath(hostPath.c_str(), nullptr);
  if (real == nullptr) return hostPath;
  std::string resolved(real);
  std::free(real);
  return resolved;
}

// The header's record count must describe the record area exactly (an end mark may follow):
// records it does not count, or a partial record, are bytes whose meaning the restructure
// cannot decide, and rewriting would drop them.
void CheckRecordArea(const DbfHeader& header, std::uint64_t size, const RawFile& file, const std::string& name) {
  const std::uint64_t area = size > header.headerLength ? size - header.headerLength : 0;
  const std::uint64_t counted = static_cast<std::uint64_t>(header.recordCount) * header.recordLength;
  if (area == counted) return;
  if (area == counted + 1) {
    char mark = 0;
    if (file.ReadAt(size - 1, &mark, 1) == 1 && mark == 0x1A) return;
  }
  const std::uint64_t whole = area / header.recordLength;
  const std::uint64_t rest = area % header.recordLength;
  std::string found = std::to_string(whole) + " complete record" + (whole == 1 ? "" : "s");
  if (rest != 0) found += " and a partial record of " + std::to_string(rest) + " byte" + (rest == 1 ? "" : "s");
  Fail(kCorruptFile, "The table " + name + " cannot be restructured: its header counts " +
                         std::to_string(header.recordCount) + " records, but the file holds " + found + ".");
}

}  // namespace

void RestructureTable(const RestructureRequest& request) {
  if (request.name.empty()) Fail(kInvalidArgument, "No table name was given.");
  const TableNames names = DataFileNames(request.name, request.type);
  bool writable = true;
  // Before-images of an interrupted transaction describe the old layout: they go back first.
  RecoverInterruptedTransaction(names);
  // Exclusive: fails with "table in use" while any other handle, here or elsewhere, has it open.
  RawFile old = OpenDataFile(names, ShareMode::kExclusive, writable, false);
  struct stat oldStat{};
  if (::fstat(old.fd(), &oldStat) != 0) Fail(kIoError, "Cannot examine " + names.windowsName + ".");
  // A file without write bits is read-only whoever runs the program (the superuser too).
  if (!writable || !old.Writable() || rtl::IsReadOnlyMode(oldStat.st_mode))
    Fail(kReadOnly, "The table " + names.windowsName + " cannot be restructured: it cannot be written.");
  // Replacing one name of several would leave the others on the old table.
  if (oldStat.st_nlink > 1)
    Fail(kUnsupported, "The table " + names.windowsName + " cannot be restructured: its file has " +
                           std::to_string(oldStat.st_nlink) + " names (hard links).");
  // A symbolic link stays a link: the file it points to is replaced, in its own folder.
  const std::string dataPath = RealPath(names.hostPath);
  const std::uint64_t size = old.Size();
  std::string head(static_cast<std::size_t>(std::min<std::uint64_t>(size, 65535)), '\0');
  head.resize(old.ReadAt(0, head.data(), head.size()));
  const DbfHeader oldHeader = ParseDbfHeader(head, size, names.windowsName);
  if ((request.type == TableType::kXdt) != oldHeader.IsXdt())
    Fail(kUnsupported, "The file " + names.windowsName + " is not a table of type " +
                           std::to_string(static_cast<int>(request.type)) + ".");
  CheckRecordArea(oldHeader, size, old, names.windowsName);
  RemoveRestructureLeftovers(names);

  RestructurePlan plan =
      PlanRestructure(oldHeader, request.type, request.addList, request.deleteList, request.changeList, names.windowsName);
  DbfHeader& header = plan.header;
  const std::uint32_t count = ReadableRecordCount(oldHeader, size);
  header.recordCount = count;

  const MemoKind oldMemo = oldHeader.Memo();
  const MemoKind newMemo = header.Memo();
  TempFiles temp;
  temp.data = RestructureTempPath(dataPath);
  SwitchPlan switchPlan;
  switchPlan.display = names.windowsName;
  switchPlan.dataPath = dataPath;
  switchPlan.newData = temp.data;
  switchPlan.faults = request.faults;
  if (oldMemo != MemoKind::kNone) switchPlan.keptMemo = MemoFileNames(names, oldMemo, oldHeader.IsXdt()).hostPath;
  if (newMemo != MemoKind::kNone && oldMemo == MemoKind::kNone) {
    // The first memo field: a new, empty memo file, switched in before the data file.
    const TableNames memoNames = MemoFileNames(names, newMemo, header.IsXdt());
    temp.memo = RestructureMemoTempPath(names.hostPath);
    RawFile memo;
    memo.Create(temp.memo, memoNames.windowsName);
    struct stat replaced{};
    KeepOwnership(memo.fd(), ::stat(memoNames.hostPath.c_str(), &replaced) == 0 ? replaced : oldStat);
    if (newMemo == MemoKind::kFpt) CreateFptMemoFile(memo, header.IsXdt() ? 64 : 64);
    else CreateDbtMemoFile(memo);
    memo.Sync();
    switchPlan.newMemo = temp.memo;
    switchPlan.memoPath = memoNames.hostPath;
    switchPlan.memoAside = RestructureMemoAsidePath(names.hostPath);
  } else if (newMemo != MemoKind::kNone && oldMemo != newMemo) {
    Fail(kUnsupported, "The memo file of table " + names.windowsName + " cannot change its format.");
  }

  // The copy plan: runs of unchanged bytes, fields to convert, a blank image for the rest.
  const bool xdt = header.IsXdt();
  std::string blank(header.recordLength, ' ');
  for (const auto& f : header.schema.fields) WriteBlankValue(f, blank.data() + f.offset, xdt);
  std::vector<CopyRun> runs;
  std::vector<std::pair<std::size_t, std::size_t>> conversions;  // (new field, old field)
  runs.push_back({0, 0, 1});  // the deletion flag
  for (std::size_t i = 0; i < header.schema.fields.size(); ++i) {
    if (!plan.source[i]) continue;
    const FieldDesc& nf = header.schema.fields[i];
    const FieldDesc& of = oldHeader.schema.fields[*plan.source[i]];
    if (plan.convert[i]) {
      conversions.emplace_back(i, *plan.source[i]);
      continue;
    }
    CopyRun& last = runs.back();
    if (last.from + last.length == of.offset && last.to + last.length == nf.offset) last.length += nf.length;
    else runs.push_back({of.offset, nf.offset, nf.length});
  }

  RawFile out;
  out.Create(temp.data, names.windowsName);
  KeepOwnership(out.fd(), oldStat);
  const std::string headBytes = SerializeDbfHeader(header);
  out.WriteAt(0, headBytes.data(), headBytes.size());

  const std::uint32_t oldLength = oldHeader.recordLength;
  const std::uint32_t newLength = header.recordLength;
  const std::uint32_t perChunk = static_cast<std::uint32_t>(std::max<std::size_t>(1, kChunkBytes / std::max(oldLength, newLength)));
  std::string in(static_cast<std::size_t>(perChunk) * oldLength, '\0');
  std::string outBuf(static_cast<std::size_t>(perChunk) * newLength, '\0');
  std::uint64_t outPos = header.headerLength;
  for (std::uint32_t done = 0; done < count;) {
    const std::uint32_t n = std::min(perChunk, count - done);
    old.ReadExact(oldHeader.headerLength + static_cast<std::uint64_t>(done) * oldLength, in.data(),
                  static_cast<std::size_t>(n) * oldLength);
    for (std::uint32_t k = 0; k < n; ++k) {
      const char* src = in.data() + static_cast<std::size_t>(k) * oldLength;
      char* dst = outBuf.data() + static_cast<std::size_t>(k) * newLength;
      std::memcpy(dst, blank.data(), newLength);
      for (const CopyRun& r : runs) std::memcpy(dst + r.to, src + r.from, r.length);
      for (const auto& [ni, oi] : conversions) {
        const FieldDesc& nf = header.schema.fields[ni];
        const FieldDesc& of = oldHeader.schema.fields[oi];
        try {
          if (IsMemoCode(nf.code)) {
            const std::uint32_t block = DecodeMemoReference(std::string_view(src + of.offset, of.length));
            EncodeMemoReference(block, dst + nf.offset, nf.length);
          } else {
            StoreFieldText(nf, dst + nf.offset, FieldText(of, src + of.offset, oldHeader.IsXdt()), xdt);
          }
        } catch (const Error& e) {
          Fail(kInvalidRestructure, "Cannot restructure table " + names.windowsName + ": record " +
                                        std::to_string(done + k + 1) + ": " + e.Message());
        }
      }
    }
    out.WriteAt(outPos, outBuf.data(), static_cast<std::size_t>(n) * newLength);
    outPos += static_cast<std::uint64_t>(n) * newLength;
    done += n;
  }
  out.WriteAt(outPos, "\x1A", 1);
  out.Sync();
  out.Close();

  // The switch: the new memo file (only when the old table had none, so nothing references
  // it), then the data file in one rename. Before the rename the old table is untouched.
  // Whatever fails, the temporary names hold nothing but leftovers afterwards.
  SwitchRestructuredFiles(switchPlan);
  // `old` closes now, dropping the exclusive lock of the replaced file.
}

}  // namespace xbe
