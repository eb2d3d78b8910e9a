// Byte-addressed access to an index file. The table core may supply its own implementation
// (sharing the handle it locks); the host-file and in-memory ones serve the rest.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

namespace xbe::index {

// What tells a file's readers that someone changed it: its size and its last modification time
// (nanoseconds; 0 where the file has none).
struct FileMark {
  std::uint64_t size = 0;
  std::uint64_t modified = 0;
};

class BlockFile {
 public:
  virtual ~BlockFile() = default;
  // Reads exactly n bytes; raises IndexError(kCorrupt) when the file ends before.
  virtual void Read(std::uint64_t offset, void* buffer, std::size_t n) = 0;
  virtual void Write(std::uint64_t offset, const void* data, std::size_t n) = 0;
  virtual std::uint64_t Size() = 0;
  virtual FileMark Mark() { return FileMark{Size(), 0}; }
  virtual void Truncate(std::uint64_t size) = 0;
  virtual void Sync() {}
  virtual bool Writable() const = 0;
  // For messages: the file's name.
  virtual const std::string& Name() const = 0;
  // Told before the writes of a change that touches more than one page or node (splits,
  // merges, branch keys, freed nodes): a process killed among them may leave other entries
  // unreachable, which the engine's write intent then repairs by a rebuild.
  virtual void BeforeStructuralChange() {}
};

// For tests: `probe` runs before every write and truncation of the engine's files (null: none),
// so that a test can stop a process at any write.
void SetWriteProbe(void (*probe)());
void ProbeWrite();

// A host file (a path already mapped to the host). Raises IndexError(kIo) when it cannot open.
std::unique_ptr<BlockFile> OpenHostFile(const std::string& hostPath, bool writable);
// Creates (or empties) a host file for writing.
std::unique_ptr<BlockFile> CreateHostFile(const std::string& hostPath);
// A file held in memory (tests, fuzzing, building before a replace).
std::unique_ptr<BlockFile> MemoryFile(std::string contents, std::string name = "memory");

}  // namespace xbe::index
