// A SELECT with a WHERE on an indexed field of a generated table against the same search by an
// engine seek: the SQL statement prepared once and executed per key (with and without a
// cursor), the engine's hard seek per key, and once a WHERE on a field no order has (a scan).
// Last, a small table joined to the large one on its key field, with the key's order open and
// without it.
//   bench_sql [records] [searches] [scratch directory] [phases]
// phases: a comma list of seek, select, scan, join, joinorder (default all).
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/xbe/index_create.h"
#include "platform/xbe/table_create.h"
#include "platform/xbe/xbe.h"

namespace fs = std::filesystem;

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    char text[600];
    std::uint16_t length = sizeof text;
    std::uint32_t code = 0;
    XbeGetLastError(&code, text, &length);
    std::fprintf(stderr, "failed: %s (%s)\n", what, text);
    std::exit(1);
  }
}

// Record r holds CODIGO "C<k>" with k a scrambled r, so key order differs from record order.
std::string CodeOf(std::uint32_t r, std::uint32_t records) {
  return "C" + std::to_string((static_cast<std::uint64_t>(r) * 2654435761u) % (records * 7ull + 13));
}

void Generate(const fs::path& dir, std::uint32_t records) {
  xbe::CreateTable((dir / "BIG").string(), xbe::TableType::kNtx,
                   {{"CODIGO", 4, 10, 0}, {"NOME", 4, 30, 0}, {"VALOR", 2, 12, 2}, {"QTDE", 2, 6, 0}});
  const int dbf = ::open((dir / "BIG.dbf").c_str(), O_RDWR);
  Check(dbf >= 0, "open the generated file");
  char head[12];
  Check(::pread(dbf, head, 12, 0) == 12, "read the header");
  const std::uint16_t headerLength = static_cast<std::uint8_t>(head[8]) | static_cast<std::uint8_t>(head[9]) << 8;
  const std::uint16_t recordLength = static_cast<std::uint8_t>(head[10]) | static_cast<std::uint8_t>(head[11]) << 8;
  std::string chunk;
  std::uint64_t pos = headerLength;
  char rec[128];
  for (std::uint32_t r = 1; r <= records; ++r) {
    std::snprintf(rec, sizeof rec, " %-10s%-30s%12.2f%6u", CodeOf(r, records).c_str(), ("NOME " + std::to_string(r)).c_str(),
                  (r % 100000) / 7.0, r % 1000);
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

// SMALL holds `rows` codes of BIG records, one in ten a code BIG does not hold.
void GenerateSmall(const fs::path& dir, std::uint32_t rows, std::uint32_t records) {
  xbe::CreateTable((dir / "SMALL").string(), xbe::TableType::kNtx, {{"CODIGO", 4, 10, 0}, {"PESO", 2, 4, 0}});
  XBEHANDLE conn = 0, statement = 0;
  Check(XbeConnect(dir.c_str(), &conn) == 0 && XbeCreateSQLStatement(conn, &statement) == 0, "connect");
  Check(XbePrepareSQL(statement, "INSERT INTO SMALL (codigo, peso) VALUES (:codigo, :peso)") == 0, "prepare the insert");
  for (std::uint32_t i = 0; i < rows; ++i) {
    const std::string code = i % 10 == 9 ? "X" + std::to_string(i) : CodeOf(1 + (i * 7919u) % records, records);
    Check(XbeSetString(statement, XBE_FIELD_ORDINAL(1), code.data(), static_cast<std::uint32_t>(code.size())) == 0 &&
              XbeSetDouble(statement, XBE_FIELD_ORDINAL(2), i) == 0 && XbeExecuteSQL(statement, nullptr) == 0,
          "insert");
  }
  XbeCloseSQLStatement(statement);
  XbeDisconnect(conn);
}

bool Wanted(const std::string& phases, const char* phase) {
  if (phases == "all") return true;
  const std::string list = "," + phases + ",";
  return list.find("," + std::string(phase) + ",") != std::string::npos;
}

// The join's rows; a function of its own so that callgrind can count it alone.
__attribute__((noinline)) std::uint32_t RunJoin(XBEHANDLE statement) {
  XBEHANDLE result = 0;
  Check(XbeExecuteSQLDirect(statement, "SELECT s.codigo, b.nome FROM SMALL s JOIN BIG b ON b.codigo = s.codigo",
                            &result) == 0,
        "join");
  std::uint32_t n = 0;
  Check(XbeGetRecordCount(result, 1, &n) == 0 && XbeCloseTable(result) == 0, "count the join");
  return n;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
  const std::uint32_t records = argc > 1 ? static_cast<std::uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 1000000;
  const int searches = argc > 2 ? std::atoi(argv[2]) : 20000;
  const fs::path dir = argc > 3 && *argv[3] ? fs::path(argv[3]) : fs::temp_directory_path() / "tulmevara_bench_sql";
  const std::string phases = argc > 4 ? argv[4] : "all";
  constexpr std::uint32_t kSmallRows = 80;
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::printf("records                      %u\n", records);
  Generate(dir, records);
  GenerateSmall(dir, kSmallRows, records);

  XBEHANDLE conn = 0;
  Check(XbeConnect(dir.c_str(), &conn) == 0, "connect");
  XBEHANDLE table = 0;
  Check(XbeOpenTable(conn, "BIG", nullptr, XBE_NTX, XBE_ANSI, XBE_COMPATIBLE_LOCKING, XBE_CHECK_RIGHTS, 0, &table) == 0,
        "open the table");
  xbe::CreateNtxIndex(table, (dir / "BIGCOD.ntx").string(), "CODIGO");
  XBEHANDLE orders[4];
  std::uint16_t count = 4;
  Check(XbeOpenIndex(table, (dir / "BIGCOD.ntx").c_str(), orders, &count) == 0, "open the index");
  const XBEHANDLE order = orders[0];

  std::mt19937 rng(7);
  std::vector<std::string> keys;
  for (int i = 0; i < searches; ++i) keys.push_back(CodeOf(1 + rng() % records, records));

  // The engine's seek.
  auto t0 = std::chrono::steady_clock::now();
  int found = 0;
  if (Wanted(phases, "seek")) {
    for (const std::string& key : keys) {
      std::uint16_t hit = 0;
      Check(XbeSeek(order, key.data(), static_cast<std::uint16_t>(key.size()), XBE_TEXT_KEY, XBE_HARD_SEEK, &hit) == 0,
            "seek");
      found += hit;
    }
    const double seek = Seconds(t0);
    Check(found == searches, "every key found by the seek");
    std::printf("engine hard seek             %9.1f us per search (%d searches)\n", seek * 1e6 / searches, searches);
  }

  XBEHANDLE statement = 0;
  Check(XbeCreateSQLStatement(conn, &statement) == 0, "create the statement");
  Check(XbePrepareSQL(statement, "SELECT * FROM BIG WHERE codigo = :codigo") == 0, "prepare");
  for (const bool cursor : {false, true}) {
    if (!Wanted(phases, "select")) break;
    t0 = std::chrono::steady_clock::now();
    found = 0;
    for (const std::string& key : keys) {
      Check(XbeSetString(statement, XBE_FIELD_ORDINAL(1), key.data(), static_cast<std::uint32_t>(key.size())) == 0,
            "bind");
      XBEHANDLE result = 0;
      Check(XbeExecuteSQL(statement, cursor ? &result : nullptr) == 0, "execute");
      if (cursor) {
        std::uint32_t n = 0;
        Check(XbeGetRecordCount(result, 1, &n) == 0 && XbeCloseTable(result) == 0, "read the cursor");
        found += static_cast<int>(n);
      }
    }
    const double sql = Seconds(t0);
    Check(!cursor || found == searches, "every key found by the SELECT");
    std::printf("SQL SELECT WHERE (indexed)   %9.1f us per search, %s\n", sql * 1e6 / searches,
                cursor ? "live cursor opened, counted and closed" : "rows stepped, no cursor");
  }

  // The same kind of search on a field without an order: the SQL engine scans the table.
  if (Wanted(phases, "scan")) {
    t0 = std::chrono::steady_clock::now();
    XBEHANDLE result = 0;
    Check(XbeExecuteSQLDirect(statement, "SELECT * FROM BIG WHERE nome = 'NOME 12345'", &result) == 0, "scan");
    std::uint32_t n = 0;
    Check(XbeGetRecordCount(result, 1, &n) == 0 && n == (records >= 12345 ? 1u : 0u), "count the scan");
    XbeCloseTable(result);
    std::printf("SQL SELECT WHERE (no order)  %9.1f ms for one search over every record\n", Seconds(t0) * 1e3);
  }

  // SMALL joined to BIG on CODIGO: first with BIG's order on CODIGO open, then with none.
  const std::uint32_t joined = kSmallRows - kSmallRows / 10;
  if (Wanted(phases, "joinorder")) {
    t0 = std::chrono::steady_clock::now();
    Check(RunJoin(statement) == joined, "every SMALL code that BIG holds joined, with the order");
    std::printf("SQL JOIN %u rows, order open %9.1f ms\n", kSmallRows, Seconds(t0) * 1e3);
  }
  XbeCloseTable(table);
  if (Wanted(phases, "join")) {
    t0 = std::chrono::steady_clock::now();
    Check(RunJoin(statement) == joined, "every SMALL code that BIG holds joined");
    std::printf("SQL JOIN %u rows, no order   %9.1f ms\n", kSmallRows, Seconds(t0) * 1e3);
  }

  XbeCloseSQLStatement(statement);
  XbeDisconnect(conn);
  fs::remove_all(dir);
  return 0;
}
