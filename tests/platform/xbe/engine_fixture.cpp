#include "engine_fixture.h"

#include <fstream>
#include <sstream>

namespace xbetest {

std::string LastErrorText() {
  uint32_t code = 0;
  char text[601] = {};
  uint16_t length = 600;
  XbeGetLastError(&code, text, &length);
  return std::to_string(code) + " " + text;
}

Connection::Connection(const std::string& directory) : dir_(directory) {
  EXPECT_EQ(XbeConnect(directory.c_str(), &handle_), 0u) << LastErrorText();
}

CopiedFolder::CopiedFolder(const std::string& folder) : conn(CopyInto(tmp, folder)) {}

std::string CopiedFolder::CopyInto(const testsupport::TempDir& tmp, const std::string& folder) {
  testsupport::CopyFixture(folder, tmp.path() / "d");
  return (tmp.path() / "d").string();
}

Connection::~Connection() {
  if (handle_) XbeDisconnect(handle_);
}

XBEHANDLE OpenTable(const Connection& c, const std::string& name, const OpenOptions& o, XBERESULT* result) {
  XBEHANDLE t = 0;
  const std::string full = c.directory() + "\\" + name;
  const XBERESULT r =
      XbeOpenTable(c.handle(), full.c_str(), nullptr, o.tableType, o.charType, o.lockType, o.rights, o.options, &t);
  if (result) *result = r;
  else EXPECT_EQ(r, 0u) << "open " << full << ": " << LastErrorText();
  return r == 0 ? t : 0;
}

static std::string GetText(XBEHANDLE t, XBEFIELD f) {
  uint32_t length = 0;
  std::string buffer(256, '\0');
  length = static_cast<uint32_t>(buffer.size());
  XBERESULT r = XbeGetField(t, f, buffer.data(), &length, 0);
  if (r == 5005) {
    buffer.assign(length, '\0');
    r = XbeGetField(t, f, buffer.data(), &length, 0);
  }
  EXPECT_EQ(r, 0u) << LastErrorText();
  if (r != 0) return "<error>";
  buffer.resize(length);
  return buffer;
}

std::string FieldText(XBEHANDLE t, uint16_t ordinal) { return GetText(t, XBE_FIELD_ORDINAL(ordinal)); }
std::string FieldText(XBEHANDLE t, const char* name) { return GetText(t, name); }

uint16_t FieldCount(XBEHANDLE t) {
  uint16_t n = 0;
  EXPECT_EQ(XbeGetNumFields(t, &n), 0u);
  return n;
}

std::string FieldName(XBEHANDLE t, uint16_t ordinal) {
  char name[129];
  uint16_t length = 129;
  EXPECT_EQ(XbeGetFieldName(t, ordinal, name, &length), 0u);
  return std::string(name, length);
}

uint32_t RecordCount(XBEHANDLE t) {
  uint32_t n = 0;
  EXPECT_EQ(XbeGetRecordCount(t, 2, &n), 0u);
  return n;
}

bool IsDeleted(XBEHANDLE t) {
  uint16_t d = 0;
  EXPECT_EQ(XbeIsRecordDeleted(t, &d), 0u) << LastErrorText();
  return d != 0;
}

void SetText(XBEHANDLE t, const char* name, const std::string& value) {
  EXPECT_EQ(XbeSetField(t, name, value.data(), static_cast<uint32_t>(value.size())), 0u) << LastErrorText();
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void ShowDeleted(bool show) { XbeShowDeleted(show ? 1 : 0); }

}  // namespace xbetest
