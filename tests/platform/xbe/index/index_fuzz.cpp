// Random mutation of index files for a fixed short time: every damaged file must give an
// IndexError (or work), never a crash, another exception or a hang, also on calls made after an
// error through the same order and cursor.
// Usage: xbe_index_fuzz [seconds [seed]] (default 4 s); the reference files are used when present.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "platform/xbe/index/cdx_file.h"
#include "platform/xbe/index/index_error.h"
#include "platform/xbe/index/ntx_order.h"
#include "testsupport.h"

using namespace xbe::index;

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string BuiltNtx() {
  std::vector<KeyEntry> entries;
  for (std::uint32_t i = 1; i <= 500; ++i) entries.push_back({std::to_string(100000 + (i * 37) % 1000), i});
  auto file = MemoryFile("");
  BlockFile* raw = file.get();
  auto order = NtxOrder::Create(std::move(file), "F", {"CODIGO", "", false, false, 6, 0}, entries);
  std::string out(raw->Size(), '\0');
  raw->Read(0, out.data(), out.size());
  return out;
}

std::string BuiltCdx() {
  auto file = MemoryFile("");
  BlockFile* raw = file.get();
  auto cdx = CdxFile::Create(std::move(file));
  std::vector<KeyEntry> a, b;
  for (std::uint32_t i = 1; i <= 400; ++i) {
    a.push_back({"K" + std::to_string(1000 + i % 97) + "     ", i});
    b.push_back({std::string(7, '\0') + static_cast<char>(i % 200), i});
  }
  cdx->AddTag({"NAME", "NAME", "", false, false, 10, xbe::expr::Type::kCharacter}, a);
  cdx->AddTag({"NUM", "NUM", "", false, true, 8, xbe::expr::Type::kNumeric}, b);
  std::string out(raw->Size(), '\0');
  raw->Read(0, out.data(), out.size());
  return out;
}

void Mutate(std::string& s, std::mt19937& rng) {
  const int n = 1 + static_cast<int>(rng() % 8);
  for (int i = 0; i < n && !s.empty(); ++i) {
    const std::size_t at = rng() % s.size();
    switch (rng() % 4) {
      case 0: s[at] = static_cast<char>(rng()); break;
      case 1: s[at] = static_cast<char>(s[at] ^ (1 << (rng() % 8))); break;
      case 2: s[at] = static_cast<char>(rng() % 3 == 0 ? 0 : 0xFF); break;
      default:
        if (rng() % 16 == 0) s.resize(at);  // truncation
        break;
    }
  }
}

// One call on the order or a cursor: a corrupt-file error is an answer like any other, and the
// same handles go on being used after it (errors other than IndexError still end the run).
template <class Call>
void Try(const Call& call) {
  try {
    call();
  } catch (const IndexError&) {
  }
}

void Exercise(Order& o, std::mt19937& rng) {
  Try([&] { o.KeyCount(); });
  auto c = o.NewCursor();
  int steps = 0;
  Try([&] {
    for (bool ok = c->First(); ok && steps < 5000; ok = c->Next()) ++steps;
  });
  Try([&] {
    for (bool ok = c->Last(); ok && steps < 10000; ok = c->Prev()) ++steps;
  });
  const std::string key(static_cast<std::size_t>(o.Info().keyLength), static_cast<char>('0' + rng() % 60));
  // Seeks, edges and steps both ways in any order, each from wherever the last call left the
  // cursor, failed or not.
  for (int i = 0; i < 24; ++i) {
    Try([&] {
      switch (rng() % 8) {
        case 0: c->First(); break;
        case 1: c->Last(); break;
        case 2: c->Seek(key.substr(0, rng() % (key.size() + 1))); break;
        case 3: c->SeekLast(key.substr(0, 1)); break;
        case 4:
          for (int n = 1 + static_cast<int>(rng() % 64); n > 0 && c->Next(); --n) {
          }
          break;
        case 5:
          for (int n = 1 + static_cast<int>(rng() % 64); n > 0 && c->Prev(); --n) {
          }
          break;
        case 6:
          if (c->Valid()) c->Find(c->Current());
          break;
        default: o.KeyCount(); break;
      }
    });
  }
  Try([&] { o.Insert({key, 99999}); });
  Try([&] { o.Remove({key, 99999}); });
  Try([&] {
    if (c->First()) o.Remove(c->Current());
  });
  Try([&] {
    for (int n = 0; n < 64 && c->Prev(); ++n) {
    }
  });
  o.Check();
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 4.0;
  std::vector<std::pair<std::string, bool>> seeds = {{BuiltNtx(), false}, {BuiltCdx(), true}};
  const auto dir = testsupport::FixturesDir();
  if (!dir.empty()) {
    for (const char* f : {"ntx/peocod.ntx", "ntx/peonom.ntx", "ntx/peofor.ntx", "ml/installed/ML24.NTX"})
      seeds.push_back({ReadAll((dir / f).string()), false});
    seeds.push_back({ReadAll((dir / "cdx/STOCK.cdx").string()), true});
  }
  std::mt19937 rng(argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 20240229u);
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  long runs = 0, rejected = 0;
  while (std::chrono::steady_clock::now() < end) {
    const auto& seed = seeds[rng() % seeds.size()];
    std::string s = seed.first;
    Mutate(s, rng);
    ++runs;
    try {
      if (seed.second) {
        auto cdx = CdxFile::Open(MemoryFile(s, "fuzz.cdx"), [&](const std::string& e) {
          return e.size() % 2 ? xbe::expr::Type::kNumeric : xbe::expr::Type::kCharacter;
        });
        for (CdxTag* t : cdx->Tags()) Exercise(*t, rng);
        cdx->Check();
      } else {
        auto order = NtxOrder::Open(MemoryFile(s, "fuzz.ntx"), "FUZZ");
        Exercise(*order, rng);
      }
    } catch (const IndexError&) {
      ++rejected;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "unexpected exception after %ld runs: %s\n", runs, e.what());
      return 1;
    }
  }
  std::printf("%ld damaged files, %ld rejected with a clear error\n", runs, rejected);
  return 0;
}
