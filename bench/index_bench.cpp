// Seeks per second and an ordered full walk through an NTX order of a generated table of
// 1,000,000 records, printed as a ratio to the natural-order walk of the same table.
//   bench_index [records] [scratch directory]
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "platform/xbe/index_create.h"
#include "platform/xbe/table_create.h"
#include "platform/xbe/xbe.h"

namespace fs = std::filesystem;

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "failed: %s\n", what);
    std::exit(1);
  }
}

// Record r holds NOME "NAME<k>" with k a scrambled r, so key order differs from record order.
std::string NameOf(std::uint32_t r, std::uint32_t records) {
  const std::uint64_t k = (static_cast<std::uint64_t>(r) * 2654435761u) % (records * 7ull + 13);
  return "NAME" + std::to_string(k);
}

void Generate(const fs::path& dir, std::uint32_t records) {
  xbe::CreateTable((dir / "BIG").string(), xbe::TableType::kNtx,
                   {{"CODIGO", 2, 8, 0}, {"NOME", 4, 30, 0}, {"VALOR", 2, 12, 2}});
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
    std::snprintf(rec, sizeof rec, " %8u%-30s%12.2f", r, NameOf(r, records).c_str(), (r % 100000) / 7.0);
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

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::uint32_t WalkAll(XBEHANDLE table, XBEHANDLE handle) {
  std::uint32_t n = 0;
  Check(XbeGotoTop(handle) == 0, "top");
  for (std::uint16_t eof = 0; XbeAtEOF(table, &eof) == 0 && !eof; ++n) Check(XbeSkip(handle, 1) == 0, "skip");
  return n;
}

}  // namespace

int main(int argc, char** argv) {
  const std::uint32_t records = argc > 1 ? static_cast<std::uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 1000000;
  const fs::path dir = argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path() / "tulmevara_bench_index";
  fs::remove_all(dir);
  fs::create_directories(dir);
  Generate(dir, records);

  XBEHANDLE conn = 0, table = 0;
  Check(XbeConnect(dir.c_str(), &conn) == 0, "connect");
  Check(XbeOpenTable(conn, (dir / "BIG").c_str(), nullptr, XBE_NTX, XBE_ANSI, XBE_COMPATIBLE_LOCKING, XBE_CHECK_RIGHTS,
                     0, &table) == 0,
        "open the table");
  auto t0 = std::chrono::steady_clock::now();
  xbe::CreateNtxIndex(table, (dir / "BIGNOME.ntx").string(), "UPPER(NOME)");
  const double build = Seconds(t0);
  XBEHANDLE orders[50];
  std::uint16_t count = 50;
  Check(XbeOpenIndex(table, (dir / "BIGNOME.ntx").c_str(), orders, &count) == 0, "open the index");
  const XBEHANDLE order = orders[0];

  t0 = std::chrono::steady_clock::now();
  const std::uint32_t natural = WalkAll(table, table);
  const double naturalTime = Seconds(t0);
  t0 = std::chrono::steady_clock::now();
  const std::uint32_t ordered = WalkAll(table, order);
  const double orderedTime = Seconds(t0);
  Check(natural == records && ordered == records, "both walks see every record");

  std::mt19937 rng(7);
  const int seeks = 100000;
  int found = 0;
  t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < seeks; ++i) {
    const std::string key = NameOf(1 + rng() % records, records);
    std::uint16_t hit = 0;
    Check(XbeSeek(order, key.data(), static_cast<std::uint16_t>(key.size()), XBE_TEXT_KEY, XBE_HARD_SEEK, &hit) == 0,
          "seek");
    found += hit;
  }
  const double seekTime = Seconds(t0);
  Check(found == seeks, "every seek finds its key");

  std::printf("records                 %u\n", records);
  std::printf("index build             %.2f s\n", build);
  std::printf("natural walk            %.2f s (%.0f records/s)\n", naturalTime, records / naturalTime);
  std::printf("ordered walk            %.2f s (%.0f records/s)\n", orderedTime, records / orderedTime);
  std::printf("ordered / natural       %.2f\n", orderedTime / naturalTime);
  std::printf("seeks                   %.0f per second\n", seeks / seekTime);
  XbeCloseTable(table);
  XbeDisconnect(conn);
  fs::remove_all(dir);
  return 0;
}
