// Restructure of a generated table of 1,000,000 records (one added field), timed against
// copying the same files, with the restructure's peak memory.
//   bench_restructure [records] [scratch directory]
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_check.h"
#include "platform/xbe/table_create.h"
#include "platform/xbe/xbe.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kChunk = 1 << 20;

using bench::Check;

// Fills the table with records and every tenth record with a memo, streaming in chunks.
void Generate(const fs::path& dir, std::uint32_t records) {
  using xbe::NewField;
  xbe::CreateTable((dir / "BIG").string(), xbe::TableType::kNtx,
                   {{"CODCONV", 2, 6, 0}, {"NOMECONV", 4, 40, 0}, {"CGC", 4, 18, 0}, {"CIDADE", 4, 25, 0},
                    {"UF", 4, 2, 0}, {"VALORCH", 2, 10, 2}, {"ATIVO", 1, 1, 0}, {"DTCAD", 3, 8, 0},
                    {"OBS", 5, 10, 0}});
  const int dbf = ::open((dir / "BIG.dbf").c_str(), O_RDWR);
  const int dbt = ::open((dir / "BIG.dbt").c_str(), O_RDWR);
  Check(dbf >= 0 && dbt >= 0, "open the generated files");
  char head[12];
  Check(::pread(dbf, head, 12, 0) == 12, "read the header");
  const std::uint16_t headerLength = static_cast<std::uint8_t>(head[8]) | static_cast<std::uint8_t>(head[9]) << 8;
  const std::uint16_t recordLength = static_cast<std::uint8_t>(head[10]) | static_cast<std::uint8_t>(head[11]) << 8;
  std::string chunk, memo;
  std::uint64_t pos = headerLength;
  std::uint32_t nextBlock = 1;
  char rec[512];
  for (std::uint32_t r = 1; r <= records; ++r) {
    std::uint32_t block = 0;
    if (r % 10 == 0) {
      std::string text = "Observation of record " + std::to_string(r) + "\r\n" + std::string(200, 'o') + "\x1A\x1A";
      text.resize(512, '\0');
      memo += text;
      block = nextBlock++;
    }
    std::snprintf(rec, sizeof rec, " %6u%-40s%-18s%-25s%-2s%10.2f%c%08u%10s", r % 1000000, "NOME DO CONVENIO",
                  "12345678/0001-99", "CIDADE", "SP", (r % 100000) / 7.0, r % 2 ? 'T' : 'F', 19900101 + r % 28,
                  block ? std::to_string(block).c_str() : "");
    chunk.append(rec, recordLength);
    if (chunk.size() >= kChunk || r == records) {
      Check(::pwrite(dbf, chunk.data(), chunk.size(), static_cast<off_t>(pos)) == static_cast<ssize_t>(chunk.size()), "write records");
      pos += chunk.size();
      chunk.clear();
    }
    if (memo.size() >= kChunk || (r == records && !memo.empty())) {
      const off_t at = static_cast<off_t>(nextBlock - memo.size() / 512) * 512;
      Check(::pwrite(dbt, memo.data(), memo.size(), at) == static_cast<ssize_t>(memo.size()), "write memos");
      memo.clear();
    }
  }
  Check(::pwrite(dbf, "\x1A", 1, static_cast<off_t>(pos)) == 1, "write the end mark");
  Check(::pwrite(dbf, &records, 4, 4) == 4, "write the count");
  Check(::pwrite(dbt, &nextBlock, 4, 0) == 4, "write the next block");
  ::fsync(dbf);
  ::fsync(dbt);
  ::close(dbf);
  ::close(dbt);
}

void CopyFile(const fs::path& from, const fs::path& to) {
  const int in = ::open(from.c_str(), O_RDONLY);
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  Check(in >= 0 && out >= 0, "open for copying");
  std::vector<char> buf(kChunk);
  ssize_t n;
  while ((n = ::read(in, buf.data(), buf.size())) > 0) Check(::write(out, buf.data(), static_cast<std::size_t>(n)) == n, "copy");
  ::fsync(out);
  ::close(in);
  ::close(out);
}

// Runs `work` in a child process; returns its time in seconds and peak memory in KiB.
template <class Work>
std::pair<double, long> Measure(Work work) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    work();
    _exit(0);
  }
  int status = 0;
  struct rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  Check(WIFEXITED(status) && WEXITSTATUS(status) == 0, "the measured step");
  return {seconds, usage.ru_maxrss};
}

}  // namespace

int main(int argc, char** argv) {
  const std::uint32_t records = argc > 1 ? static_cast<std::uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 1000000;
  const fs::path base = argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path();
  const fs::path dir = base / ("xbe-bench-" + std::to_string(::getpid()));
  fs::create_directories(dir / "copy");
  std::printf("generating %u records in %s ...\n", records, dir.c_str());
  Generate(dir, records);
  const double mib = (fs::file_size(dir / "BIG.dbf") + fs::file_size(dir / "BIG.dbt")) / 1048576.0;

  // Copy first and restructure second, both on files the generation left in the page cache.
  const auto copy = Measure([&] {
    CopyFile(dir / "BIG.dbf", dir / "copy" / "BIG.dbf");
    CopyFile(dir / "BIG.dbt", dir / "copy" / "BIG.dbt");
  });
  fs::remove_all(dir / "copy");
  const auto restructure = Measure([&] {
    XBEHANDLE c = 0;
    Check(XbeConnect(dir.c_str(), &c) == 0, "connect");
    const std::string name = dir.string() + "\\BIG";
    Check(XbeRestructureTable(c, name.c_str(), nullptr, XBE_NTX, XBE_OEM, 0, XBE_IGNORE_RIGHTS, "OBS2,Char,40,0", "", "") == 0,
          "restructure");
  });
  std::printf("table and memo: %.1f MiB\n", mib);
  std::printf("copy of the files:       %.3f s\n", copy.first);
  std::printf("restructure (one field): %.3f s\n", restructure.first);
  std::printf("ratio restructure/copy:  %.2f (target <= 1.2)\n", restructure.first / copy.first);
  std::printf("restructure peak memory: %.1f MiB (target < 32)\n", restructure.second / 1024.0);
  std::printf("new table: %.1f MiB\n", fs::file_size(dir / "BIG.dbf") / 1048576.0);
  if (std::getenv("XBE_BENCH_KEEP") == nullptr) fs::remove_all(dir);
  return 0;
}
