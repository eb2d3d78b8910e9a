// Record writes with two NTX orders open (a numeric and a character key): appending records and
// changing a key field of every record, in a shared and in an exclusive open.
//   bench_write [records] [phases] [scratch directory]
// phases: a comma list of append, change, xappend, xchange (x: exclusive; default all). Under
// callgrind each phase is one function (RunAppends, RunKeyChanges), so --toggle-collect gives
// its instructions; see bench/README.md.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/bench_check.h"
#include "platform/xbe/index_create.h"
#include "platform/xbe/table_create.h"
#include "platform/xbe/xbe.h"

namespace fs = std::filesystem;

namespace {

using bench::Check;

bool Set(XBEHANDLE t, std::uint16_t field, const std::string& value) {
  return XbeSetField(t, XBE_FIELD_ORDINAL(field), value.data(), static_cast<std::uint32_t>(value.size())) == 0;
}

// Keys in an order other than the records': every insert lands somewhere inside the orders.
std::uint64_t Scrambled(std::uint32_t r) { return (static_cast<std::uint64_t>(r) * 2654435761u) % 9999991u; }

__attribute__((noipa)) void RunAppends(XBEHANDLE t, std::uint32_t records) {
  for (std::uint32_t r = 1; r <= records; ++r)
    Check(XbeAppendRecord(t) == 0 && Set(t, 1, std::to_string(Scrambled(r))) &&
              Set(t, 2, "NAME" + std::to_string(Scrambled(r))) && XbeWriteRecord(t) == 0,
          "append");
}

__attribute__((noipa)) void RunKeyChanges(XBEHANDLE t, std::uint32_t records) {
  for (std::uint32_t r = 1; r <= records; ++r)
    Check(XbeGotoRecord(t, r) == 0 && Set(t, 1, std::to_string(Scrambled(r + 7))) && XbeWriteRecord(t) == 0,
          "change");
}

// A fresh empty table with its two orders.
void Prepare(const fs::path& dir) {
  fs::remove_all(dir);
  fs::create_directories(dir);
  xbe::CreateTable((dir / "W").string(), xbe::TableType::kNtx, {{"CODIGO", 2, 8, 0}, {"NOME", 4, 30, 0}});
  XBEHANDLE c = 0, t = 0;
  Check(XbeConnect(dir.c_str(), &c) == 0, "connect");
  Check(XbeOpenTable(c, (dir.string() + "\\W").c_str(), nullptr, XBE_NTX, XBE_ANSI, XBE_COMPATIBLE_LOCKING,
                     XBE_CHECK_RIGHTS, 0, &t) == 0,
        "open");
  xbe::CreateNtxIndex(t, (dir / "WCOD").string(), "CODIGO");
  xbe::CreateNtxIndex(t, (dir / "WNOME").string(), "UPPER(NOME)");
  Check(XbeCloseTable(t) == 0 && XbeDisconnect(c) == 0, "close");
}

void Phase(const fs::path& dir, std::uint32_t records, bool exclusive, bool change) {
  XBEHANDLE c = 0, t = 0;
  Check(XbeConnect(dir.c_str(), &c) == 0, "connect");
  Check(XbeOpenTable(c, (dir.string() + "\\W").c_str(), nullptr, XBE_NTX, XBE_ANSI, XBE_COMPATIBLE_LOCKING,
                     XBE_CHECK_RIGHTS, exclusive ? 1 : 0, &t) == 0,
        "open");
  for (const char* f : {"WCOD", "WNOME"}) {
    XBEHANDLE orders[2];
    std::uint16_t n = 2;
    Check(XbeOpenIndex(t, (dir.string() + "\\" + f).c_str(), orders, &n) == 0, "open index");
  }
  const auto start = std::chrono::steady_clock::now();
  if (change) RunKeyChanges(t, records);
  else RunAppends(t, records);
  const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  Check(XbeCloseTable(t) == 0 && XbeDisconnect(c) == 0, "close");
  std::printf("%-8s %-9s %10.0f records/s (%.2f s)\n", change ? "change" : "append",
              exclusive ? "exclusive" : "shared", records / s, s);
}

}  // namespace

int main(int argc, char** argv) {
  const std::uint32_t records = argc > 1 ? static_cast<std::uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 100000;
  const std::string phases = argc > 2 ? argv[2] : "all";
  const fs::path dir = argc > 3 ? fs::path(argv[3]) : fs::temp_directory_path() / "bench_write";
  auto wanted = [&](const std::string& p) {
    return phases == "all" || ("," + phases + ",").find("," + p + ",") != std::string::npos;
  };
  for (const bool exclusive : {false, true}) {
    const std::string x = exclusive ? "x" : "";
    if (!wanted(x + "append") && !wanted(x + "change")) continue;
    Prepare(dir);
    // The key changes work on the appended records.
    Phase(dir, records, exclusive, false);
    if (wanted(x + "change")) Phase(dir, records, exclusive, true);
  }
  fs::remove_all(dir);
  return 0;
}
