// Shared helpers of the engine tests: calls through the C interface with readable failures.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testsupport.h"

#include "platform/xbe/xbe.h"

namespace xbetest {

// The last error's text, for failure messages.
std::string LastErrorText();

#define XBE_OK(call)                                                              \
  do {                                                                            \
    const XBERESULT xbe_result_ = (call);                                         \
    ASSERT_EQ(xbe_result_, 0u) << #call << ": " << ::xbetest::LastErrorText();    \
  } while (0)

// A local connection to a host directory, closed at the end.
class Connection {
 public:
  explicit Connection(const std::string& directory);
  ~Connection();
  XBEHANDLE handle() const { return handle_; }
  const std::string& directory() const { return dir_; }

 private:
  std::string dir_;
  XBEHANDLE handle_ = 0;
};

// A folder of the reference files copied into a scratch directory (`dir()`), with a connection
// to the copy.
class CopiedFolder {
 public:
  explicit CopiedFolder(const std::string& folder);
  std::filesystem::path dir() const { return tmp.path() / "d"; }

  testsupport::TempDir tmp;
  Connection conn;

 private:
  static std::string CopyInto(const testsupport::TempDir& tmp, const std::string& folder);
};

struct OpenOptions {
  uint16_t tableType = XBE_NTX;
  uint16_t charType = XBE_ANSI;
  uint16_t lockType = XBE_COMPATIBLE_LOCKING;
  uint16_t rights = XBE_CHECK_RIGHTS;
  uint32_t options = 0;
};

// Opens a table (directory + "\" + name); 0 and the result in `result` when it fails.
XBEHANDLE OpenTable(const Connection& c, const std::string& name, const OpenOptions& o = {},
                    XBERESULT* result = nullptr);

// Field values through XbeGetField as text; memos whole.
std::string FieldText(XBEHANDLE t, uint16_t ordinal);
std::string FieldText(XBEHANDLE t, const char* name);
uint16_t FieldCount(XBEHANDLE t);
std::string FieldName(XBEHANDLE t, uint16_t ordinal);
uint32_t RecordCount(XBEHANDLE t);
bool IsDeleted(XBEHANDLE t);
void SetText(XBEHANDLE t, const char* name, const std::string& value);

// Reads a whole file.
std::string ReadFile(const std::string& path);

// Sets the engine to the updater's settings (deleted records hidden) or shows them.
void ShowDeleted(bool show);

// A parameterised test that sees deleted records, as the reference dumps list them.
template <class Param>
class WithDeletedShown : public ::testing::TestWithParam<Param> {
 protected:
  void SetUp() override { ShowDeleted(true); }
  void TearDown() override { ShowDeleted(false); }
};

}  // namespace xbetest
