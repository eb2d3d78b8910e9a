// A plain random-mutation driver for the table and memo readers, for builds without libFuzzer:
// mutates the reference tables for a fixed time and runs each case.
//   xbe_fuzz_tables [seconds] [seed]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <vector>

#include "table_reader_fuzz.h"

namespace fs = std::filesystem;

namespace {

std::string Read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> Seeds() {
  std::vector<std::string> seeds;
  const fs::path dir = fs::path(TULMEVARA_SOURCE_DIR) / ".." / "shared" / "fixtures" / "xbase";
  if (fs::exists(dir / "ntx" / "people.dbf")) {
    // A shorter memo file keeps cases fast; the cut itself is a case worth trying.
    seeds.push_back(xbefuzz::Pack(Read(dir / "ntx" / "people.dbf"), Read(dir / "ntx" / "people.dbt").substr(0, 20000), false));
    seeds.push_back(xbefuzz::Pack(Read(dir / "cdx" / "STOCK.dbf"), Read(dir / "cdx" / "STOCK.fpt").substr(0, 20000), true));
    seeds.push_back(xbefuzz::Pack(Read(dir / "ml" / "installed" / "ML2.DBF"), Read(dir / "ml" / "installed" / "ML2.DBT"), false));
    seeds.push_back(xbefuzz::Pack(Read(dir / "ml" / "installed" / "ML6.DBF"), "", false));
  }
  if (seeds.empty()) {
    // A small table of our own when the reference files are absent.
    std::string t(32, '\0');
    t[0] = 0x03;
    t[4] = 1;
    t[8] = 65;
    t[10] = 6;
    std::string d(32, '\0');
    d.replace(0, 4, "NAME");
    d[11] = 'C';
    d[16] = 5;
    t += d + "\r" + " hello\x1A";
    seeds.push_back(xbefuzz::Pack(t, "", false));
  }
  return seeds;
}

void Mutate(std::string& s, std::mt19937& rng) {
  std::uniform_int_distribution<int> kind(0, 7);
  const int rounds = 1 + static_cast<int>(rng() % 4);
  for (int r = 0; r < rounds && !s.empty(); ++r) {
    // Headers and descriptors are where most damage matters: favour the first bytes.
    const std::size_t at = (rng() % 4 == 0 ? rng() % s.size() : rng() % std::min<std::size_t>(s.size(), 600));
    switch (kind(rng)) {
      case 0: s[at] = static_cast<char>(s[at] ^ (1 << (rng() % 8))); break;
      case 1: s[at] = static_cast<char>(rng()); break;
      case 2: {
        static const char v[] = {0, 1, 0x0D, 0x1A, 0x7F, static_cast<char>(0x80), static_cast<char>(0xFF), ' '};
        s[at] = v[rng() % sizeof v];
        break;
      }
      case 3: s.resize(rng() % s.size()); break;
      case 4: s.insert(at, std::string(1 + rng() % 40, static_cast<char>(rng()))); break;
      case 5: s.erase(at, 1 + rng() % 64); break;
      case 6: {
        const std::uint32_t v = static_cast<std::uint32_t>(rng());
        if (at + 4 <= s.size()) s.replace(at, 4, reinterpret_cast<const char*>(&v), 4);
        break;
      }
      default: {
        const std::size_t from = rng() % s.size();
        const std::size_t n = std::min<std::size_t>(1 + rng() % 32, s.size() - from);
        if (at + n <= s.size()) s.replace(at, n, s.substr(from, n));
      }
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
  const unsigned seed = argc > 2 ? static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)) : std::random_device{}();
  char pattern[] = "/tmp/xbe-fuzz-XXXXXX";
  const char* dir = mkdtemp(pattern);
  if (dir == nullptr) return 2;
  std::mt19937 rng(seed);
  const std::vector<std::string> seeds = Seeds();
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  unsigned long cases = 0;
  while (std::chrono::steady_clock::now() < end) {
    std::string input = seeds[rng() % seeds.size()];
    Mutate(input, rng);
    xbefuzz::RunCase(dir, reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
    ++cases;
  }
  std::error_code ec;
  fs::remove_all(dir, ec);
  std::printf("%lu cases in %.0f s, seed %u, no crash\n", cases, seconds, seed);
  return 0;
}
