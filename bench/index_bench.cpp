// Seeks and walks on a generated table of 1,000,000 records with two NTX orders and a compound
// CDX file of two tags (in each, a numeric and a character key): hard seeks per second of random
// existing keys, ordered and natural walks reading every field, in a shared and in an exclusive
// open, and the memory they need.
//   bench_index [records] [seeks] [phases] [scratch directory]
// phases: a comma list of numseek, charseek, ordered, natural, exclusive, cdxnumseek,
// cdxcharseek, cdxordered (default: all of them); "none" only prepares the files (a baseline for
// system-call counts). Under callgrind each phase is one function (RunNumericSeeks,
// RunCharacterSeeks, RunOrderedWalk, RunNaturalWalk, RunCdxNumericSeeks, RunCdxCharacterSeeks,
// RunCdxOrderedWalk), so --toggle-collect gives its instructions; see bench/README.md.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_check.h"
#include "platform/xbe/expr/keys.h"
#include "platform/xbe/index/block_file.h"
#include "platform/xbe/index/cdx_file.h"
#include "platform/xbe/index_create.h"
#include "platform/xbe/table_create.h"
#include "platform/xbe/xbe.h"

namespace fs = std::filesystem;

namespace {

using bench::Check;

// Record r holds CODIGO k and NOME "NAME<k>" with k a scrambled r, so key order differs from
// record order.
std::uint64_t CodeOf(std::uint32_t r, std::uint32_t records) {
  return (static_cast<std::uint64_t>(r) * 2654435761u) % (records * 7ull + 13);
}
std::string NameOf(std::uint32_t r, std::uint32_t records) { return "NAME" + std::to_string(CodeOf(r, records)); }

// Eight fields of the usual kinds.
void Generate(const fs::path& dir, std::uint32_t records) {
  xbe::CreateTable((dir / "BIG").string(), xbe::TableType::kNtx,
                   {{"CODIGO", 2, 8, 0},
                    {"NOME", 4, 30, 0},
                    {"VALOR", 2, 12, 2},
                    {"CIDADE", 4, 25, 0},
                    {"UF", 4, 2, 0},
                    {"ATIVO", 1, 1, 0},
                    {"DTCAD", 3, 8, 0},
                    {"QTDE", 2, 6, 0}});
  const int dbf = ::open((dir / "BIG.dbf").c_str(), O_RDWR);
  Check(dbf >= 0, "open the generated file");
  char head[12];
  Check(::pread(dbf, head, 12, 0) == 12, "read the header");
  const std::uint16_t headerLength = static_cast<std::uint8_t>(head[8]) | static_cast<std::uint8_t>(head[9]) << 8;
  const std::uint16_t recordLength = static_cast<std::uint8_t>(head[10]) | static_cast<std::uint8_t>(head[11]) << 8;
  std::string chunk;
  std::uint64_t pos = headerLength;
  char rec[256];
  for (std::uint32_t r = 1; r <= records; ++r) {
    std::snprintf(rec, sizeof rec, " %8llu%-30s%12.2f%-25s%-2s%c%08u%6u",
                  static_cast<unsigned long long>(CodeOf(r, records)), NameOf(r, records).c_str(),
                  (r % 100000) / 7.0, "SAO PAULO", "SP", r % 2 ? 'T' : 'F', 19900101 + r % 28, r % 1000);
    chunk.append(rec, recordLength);
    if (chunk.size() >= (1u << 20) || r == records) {
      Check(::pwrite(dbf, chunk.data(), chunk.size(), static_cast<off_t>(pos)) == static_cast<ssize_t>(chunk.size()),
            "write records");
      pos += chunk.size();
      chunk.clear();
    }
  }
  Check(::pwrite(dbf, "\x1A", 1, static_cast<off_t>(pos)) == 1, "write the end mark");
  Check(::pwrite(dbf, &records, 4, 4) == 4, "write the count");
  ::close(dbf);
}

XBEHANDLE OpenTable(XBEHANDLE conn, const fs::path& dir, std::uint32_t options) {
  XBEHANDLE table = 0;
  Check(XbeOpenTable(conn, (dir / "BIG").c_str(), nullptr, XBE_NTX, XBE_ANSI, XBE_COMPATIBLE_LOCKING,
                     XBE_CHECK_RIGHTS, options, &table) == 0,
        "open the table");
  return table;
}

XBEHANDLE OpenOrder(XBEHANDLE table, const fs::path& file) {
  XBEHANDLE orders[50];
  std::uint16_t count = 50;
  Check(XbeOpenIndex(table, file.c_str(), orders, &count) == 0 && count == 1, "open the index");
  return orders[0];
}

// The two orders of a compound file, in the order its tags were made.
void OpenCdxOrders(XBEHANDLE table, const fs::path& file, XBEHANDLE& byCode, XBEHANDLE& byName) {
  XBEHANDLE orders[50];
  std::uint16_t count = 50;
  Check(XbeOpenIndex(table, file.c_str(), orders, &count) == 0 && count == 2, "open the compound index");
  byCode = orders[0];
  byName = orders[1];
}

// No C call makes CDX files, so the engine's index layer writes BIGX.cdx with the keys it would
// compute for "CODIGO" and "UPPER(NOME)": taken from the generator (NOME is upper case already),
// encoded by the engine's own key encoder. The seek and walk phases check that they are right.
void BuildCdx(const fs::path& dir, std::uint32_t records) {
  namespace ix = xbe::index;
  using xbe::expr::KeyFormat;
  using xbe::expr::Value;
  const xbe::expr::KeyLayout codeLayout = xbe::expr::KeyLayoutFor(KeyFormat::kCdx, Value::Numeric(0, 8, 0));
  const xbe::expr::KeyLayout nameLayout =
      xbe::expr::KeyLayoutFor(KeyFormat::kCdx, Value::Character(std::string(30, ' ')));
  std::vector<ix::KeyEntry> codes, names;
  codes.reserve(records);
  names.reserve(records);
  for (std::uint32_t r = 1; r <= records; ++r) {
    codes.push_back({xbe::expr::EncodeKey(Value::Numeric(static_cast<double>(CodeOf(r, records)), 8, 0), codeLayout,
                                          "CODIGO"),
                     r});
    std::string name = NameOf(r, records);
    name.resize(30, ' ');
    names.push_back({xbe::expr::EncodeKey(Value::Character(std::move(name)), nameLayout, "UPPER(NOME)"), r});
  }
  auto cdx = ix::CdxFile::Create(ix::CreateHostFile((dir / "BIGX.cdx").string()));
  cdx->AddTag(ix::CdxTagDefinition{"CODIGO", "CODIGO", "", false, false, codeLayout.length, codeLayout.type},
              std::move(codes));
  cdx->AddTag(ix::CdxTagDefinition{"NOME", "UPPER(NOME)", "", false, false, nameLayout.length, nameLayout.type},
              std::move(names));
}

// Builds the orders in a child process, so that the build's memory stays out of the figures.
void Prepare(const fs::path& dir, std::uint32_t records) {
  const pid_t child = ::fork();
  Check(child >= 0, "fork");
  if (child == 0) {
    Generate(dir, records);
    XBEHANDLE conn = 0;
    Check(XbeConnect(dir.c_str(), &conn) == 0, "connect");
    const XBEHANDLE table = OpenTable(conn, dir, XBE_EXCLUSIVE);
    const auto t0 = std::chrono::steady_clock::now();
    xbe::CreateNtxIndex(table, (dir / "BIGCOD.ntx").string(), "CODIGO");
    xbe::CreateNtxIndex(table, (dir / "BIGNOME.ntx").string(), "UPPER(NOME)");
    std::printf("index builds            %.2f s (two orders)\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    std::fflush(stdout);
    XbeCloseTable(table);
    XbeDisconnect(conn);
    const auto t1 = std::chrono::steady_clock::now();
    BuildCdx(dir, records);
    std::printf("cdx build               %.2f s (two tags)\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - t1).count());
    std::fflush(stdout);
    std::_Exit(0);
  }
  int status = 0;
  Check(::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0, "prepare the files");
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Reads every field of the current record, as a browse does.
void ReadFields(XBEHANDLE table, std::uint16_t fields) {
  char buffer[64];
  for (std::uint16_t f = 1; f <= fields; ++f) {
    std::uint32_t length = sizeof buffer;
    Check(XbeGetField(table, XBE_FIELD_ORDINAL(f), buffer, &length, 0) == 0, "read a field");
  }
}

__attribute__((noipa)) std::uint32_t RunWalk(XBEHANDLE table, XBEHANDLE handle, std::uint16_t fields) {
  std::uint32_t n = 0;
  Check(XbeGotoTop(handle) == 0, "top");
  for (std::uint16_t eof = 0; XbeAtEOF(table, &eof) == 0 && !eof; ++n) {
    ReadFields(table, fields);
    Check(XbeSkip(handle, 1) == 0, "skip");
  }
  return n;
}
__attribute__((noipa)) std::uint32_t RunNaturalWalk(XBEHANDLE table, std::uint16_t fields) {
  return RunWalk(table, table, fields);
}
__attribute__((noipa)) std::uint32_t RunOrderedWalk(XBEHANDLE table, XBEHANDLE order, std::uint16_t fields) {
  return RunWalk(table, order, fields);
}
__attribute__((noipa)) std::uint32_t RunCdxOrderedWalk(XBEHANDLE table, XBEHANDLE order, std::uint16_t fields) {
  return RunWalk(table, order, fields);
}

int Seeks(XBEHANDLE order, const std::vector<std::string>& keys) {
  int found = 0;
  for (const std::string& key : keys) {
    std::uint16_t hit = 0;
    Check(XbeSeek(order, key.data(), static_cast<std::uint16_t>(key.size()), XBE_TEXT_KEY, XBE_HARD_SEEK, &hit) == 0,
          "seek");
    found += hit;
  }
  return found;
}
__attribute__((noipa)) int RunNumericSeeks(XBEHANDLE order, const std::vector<std::string>& keys) {
  return Seeks(order, keys);
}
__attribute__((noipa)) int RunCharacterSeeks(XBEHANDLE order, const std::vector<std::string>& keys) {
  return Seeks(order, keys);
}
__attribute__((noipa)) int RunCdxNumericSeeks(XBEHANDLE order, const std::vector<std::string>& keys) {
  return Seeks(order, keys);
}
__attribute__((noipa)) int RunCdxCharacterSeeks(XBEHANDLE order, const std::vector<std::string>& keys) {
  return Seeks(order, keys);
}

// One timed phase: the seeks, each of which must find its key, or a walk that must see every record.
void TimeSeeks(const char* label, int seeks, const char* check, const std::function<int()>& run) {
  const auto t0 = std::chrono::steady_clock::now();
  Check(run() == seeks, check);
  const double t = Seconds(t0);
  std::printf("%s%.0f per second (%d in %.2f s)\n", label, seeks / t, seeks, t);
}
void TimeWalk(const char* label, std::uint32_t records, const char* check, const std::function<std::uint32_t()>& run) {
  const auto t0 = std::chrono::steady_clock::now();
  Check(run() == records, check);
  const double t = Seconds(t0);
  std::printf("%s%.0f records per second (%.2f s)\n", label, records / t, t);
}

// Resident and peak resident memory of this process (kB), from /proc.
long StatusKb(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(field, 0) == 0) return std::strtol(line.c_str() + std::strlen(field), nullptr, 10);
  return -1;
}

bool Wants(const std::string& phases, const char* phase) {
  return phases == "all" || ("," + phases + ",").find(std::string(",") + phase + ",") != std::string::npos;
}

}  // namespace

int main(int argc, char** argv) {
  const std::uint32_t records = argc > 1 ? static_cast<std::uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 1000000;
  const int seeks = argc > 2 ? std::atoi(argv[2]) : 200000;
  const std::string phases = argc > 3 ? argv[3] : "all";
  const fs::path dir = argc > 4 ? fs::path(argv[4]) : fs::temp_directory_path() / "tulmevara_bench_index";
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::printf("records                 %u\n", records);
  std::fflush(stdout);
  Prepare(dir, records);

  std::mt19937 rng(7);
  std::vector<std::string> numericKeys, characterKeys;
  for (int i = 0; i < seeks; ++i) {
    const std::uint32_t r = 1 + rng() % records;
    numericKeys.push_back(std::to_string(CodeOf(r, records)));
    characterKeys.push_back(NameOf(r, records));
  }

  XBEHANDLE conn = 0;
  Check(XbeConnect(dir.c_str(), &conn) == 0, "connect");
  const long rssBefore = StatusKb("VmRSS:");
  {
    const XBEHANDLE table = OpenTable(conn, dir, 0);
    std::uint16_t fields = 0;
    Check(XbeGetNumFields(table, &fields) == 0, "field count");
    const XBEHANDLE byCode = OpenOrder(table, dir / "BIGCOD.ntx");
    const XBEHANDLE byName = OpenOrder(table, dir / "BIGNOME.ntx");
    if (Wants(phases, "numseek"))
      TimeSeeks("numeric seeks           ", seeks, "every numeric seek finds its key",
               [&] { return RunNumericSeeks(byCode, numericKeys); });
    if (Wants(phases, "charseek"))
      TimeSeeks("character seeks         ", seeks, "every character seek finds its key",
               [&] { return RunCharacterSeeks(byName, characterKeys); });
    if (Wants(phases, "ordered"))
      TimeWalk("ordered walk (shared)   ", records, "the ordered walk sees every record",
               [&] { return RunOrderedWalk(table, byCode, fields); });
    if (Wants(phases, "natural"))
      TimeWalk("natural walk (shared)   ", records, "the natural walk sees every record",
               [&] { return RunNaturalWalk(table, fields); });
    XbeCloseTable(table);
  }
  // A table handle of its own, so that the NTX phases above run exactly as without the CDX file.
  if (Wants(phases, "cdxnumseek") || Wants(phases, "cdxcharseek") || Wants(phases, "cdxordered")) {
    const XBEHANDLE table = OpenTable(conn, dir, 0);
    std::uint16_t fields = 0;
    Check(XbeGetNumFields(table, &fields) == 0, "field count");
    XBEHANDLE byCode = 0, byName = 0;
    OpenCdxOrders(table, dir / "BIGX.cdx", byCode, byName);
    if (Wants(phases, "cdxnumseek"))
      TimeSeeks("cdx numeric seeks       ", seeks, "every cdx numeric seek finds its key",
               [&] { return RunCdxNumericSeeks(byCode, numericKeys); });
    if (Wants(phases, "cdxcharseek"))
      TimeSeeks("cdx character seeks     ", seeks, "every cdx character seek finds its key",
               [&] { return RunCdxCharacterSeeks(byName, characterKeys); });
    if (Wants(phases, "cdxordered"))
      TimeWalk("cdx ordered walk (shared) ", records, "the cdx ordered walk sees every record",
               [&] { return RunCdxOrderedWalk(table, byCode, fields); });
    XbeCloseTable(table);
  }
  if (Wants(phases, "exclusive")) {
    const XBEHANDLE table = OpenTable(conn, dir, XBE_EXCLUSIVE);
    std::uint16_t fields = 0;
    Check(XbeGetNumFields(table, &fields) == 0, "field count");
    TimeWalk("natural walk (exclusive) ", records, "the exclusive walk sees every record",
             [&] { return RunNaturalWalk(table, fields); });
    XbeCloseTable(table);
  }
  std::printf("memory                  peak %ld kB resident; %ld kB more than before the table was opened\n",
              StatusKb("VmHWM:"), StatusKb("VmHWM:") - rssBefore);
  XbeDisconnect(conn);
  fs::remove_all(dir);
  return 0;
}
