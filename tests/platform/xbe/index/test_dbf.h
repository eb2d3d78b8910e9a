// Test-only helpers: a tiny read-only DBF reader that serves records to the evaluator, and the
// `#order` lines of the reference dumps.
#pragma once
#include <cctype>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/xbe/expr/record_context.h"

namespace xbe::index::testing {

class TestDbf : public expr::RecordContext {
 public:
  explicit TestDbf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    data_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (data_.size() < 32) throw std::runtime_error("not a DBF: " + path);
    records_ = U32(4);
    headerLength_ = U16(8);
    recordLength_ = U16(10);
    int offset = 1;
    for (std::size_t p = 32; p + 32 <= headerLength_ && data_[p] != '\x0D'; p += 32) {
      expr::FieldInfo f;
      f.name = std::string(data_.c_str() + p, strnlen(data_.c_str() + p, 11));
      f.type = data_[p + 11];
      f.length = static_cast<unsigned char>(data_[p + 16]);
      f.decimals = static_cast<unsigned char>(data_[p + 17]);
      fields_.push_back(f);
      offsets_.push_back(offset);
      offset += f.length;
    }
  }
  std::uint32_t RecordCount() const { return records_; }
  // Changes of the in-memory copy (the file is not touched).
  void SetDeleted(bool deleted) { data_[RecordOffset()] = deleted ? '*' : ' '; }
  void SetField(const std::string& name, std::string bytes) {
    const std::size_t i = static_cast<std::size_t>(FindField(name));
    bytes.resize(static_cast<std::size_t>(fields_[i].length), ' ');
    data_.replace(RecordOffset() + static_cast<std::size_t>(offsets_[i]), bytes.size(), bytes);
  }
  void Go(std::uint32_t recno) { current_ = recno; }

  int FindField(std::string_view name) const override {
    for (std::size_t i = 0; i < fields_.size(); ++i) {
      const std::string& n = fields_[i].name;
      if (n.size() != name.size()) continue;
      bool same = true;
      for (std::size_t k = 0; k < n.size(); ++k)
        same = same && std::toupper(static_cast<unsigned char>(n[k])) == std::toupper(static_cast<unsigned char>(name[k]));
      if (same) return static_cast<int>(i);
    }
    return -1;
  }
  expr::FieldInfo FieldAt(int i) const override { return fields_[static_cast<std::size_t>(i)]; }
  bool IsOwnAlias(std::string_view) const override { return false; }
  std::string_view RawField(int i) const override {
    return std::string_view(Record() + offsets_[static_cast<std::size_t>(i)],
                            static_cast<std::size_t>(fields_[static_cast<std::size_t>(i)].length));
  }
  bool IsDeleted() const override { return Record()[0] == '*'; }
  std::uint32_t RecordNumber() const override { return current_; }

 private:
  std::size_t RecordOffset() const { return headerLength_ + (current_ - 1) * std::size_t{recordLength_}; }
  const char* Record() const { return data_.data() + RecordOffset(); }
  std::uint32_t U32(std::size_t p) const {
    return static_cast<unsigned char>(data_[p]) | (static_cast<unsigned char>(data_[p + 1]) << 8) |
           (static_cast<unsigned char>(data_[p + 2]) << 16) | (static_cast<std::uint32_t>(static_cast<unsigned char>(data_[p + 3])) << 24);
  }
  std::uint16_t U16(std::size_t p) const {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(data_[p]) | (static_cast<unsigned char>(data_[p + 1]) << 8));
  }

  std::string data_;
  std::uint32_t records_ = 0;
  std::uint16_t headerLength_ = 0, recordLength_ = 0;
  std::vector<expr::FieldInfo> fields_;
  std::vector<int> offsets_;
  std::uint32_t current_ = 1;
};

struct ExpectedOrder {
  std::string name, key, condition;
  bool unique = false, descending = false;
  std::uint64_t keyCount = 0;
  std::vector<std::uint32_t> records;
};

// The `#order` lines of a dump: "#order NAME key=... for=... unique=T descend=F keycount=K".
inline std::vector<ExpectedOrder> ReadExpectedOrders(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<ExpectedOrder> out;
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("#order ", 0) != 0) continue;
    ExpectedOrder o;
    const std::size_t k = line.find(" key="), f = line.find(" for="), u = line.find(" unique="),
                      d = line.find(" descend="), c = line.find(" keycount=");
    o.name = line.substr(7, k - 7);
    o.key = line.substr(k + 5, f - k - 5);
    o.condition = line.substr(f + 5, u - f - 5);
    o.unique = line[u + 8] == 'T';
    o.descending = line[d + 9] == 'T';
    o.keyCount = std::stoull(line.substr(c + 10));
    std::string numbers;
    std::getline(in, numbers);
    std::istringstream ns(numbers);
    for (std::uint32_t r; ns >> r;) o.records.push_back(r);
    out.push_back(o);
  }
  return out;
}

}  // namespace xbe::index::testing
