// A data dictionary: a file of our own (an SQLite database, ".XDD") that lists tables by name
// with their data files, types and default index orders, and the users allowed to connect, with
// their groups. Dictionary connections read it; tools and tests create and fill it here.
//
// Texts are program text (code page 1252) at this interface and UTF-8 in the file. Names of
// tables, users and groups compare without regard to ASCII case. Stored paths without a drive
// or a leading separator lie in the dictionary's folder.
#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/xbe/field_types.h"

namespace xbe::dictionary {

class SqliteFile;

struct TableEntry {
  std::string name;
  std::string path;  // the data file, Windows-style
  TableType type = TableType::kNtx;
  CharType charType = CharType::kAnsi;
  std::string defaultIndex;             // an order of the index files below; empty when none
  std::vector<std::string> indexFiles;  // opened with the table, in this order
};

class Dictionary {
 public:
  // A new, empty dictionary file; refused (6010) when the file exists.
  static std::unique_ptr<Dictionary> Create(std::string_view windowsPath);
  // An existing dictionary file: 6002 when missing, 6006 when it is not a dictionary file.
  static std::unique_ptr<Dictionary> Open(std::string_view windowsPath, bool writable = false);
  ~Dictionary();

  // Each addition is refused (6010, naming it) when the name is taken or not valid; a user's
  // groups must exist.
  void AddTable(const TableEntry& table);
  void AddGroup(std::string_view name);
  void AddUser(std::string_view name, std::string_view password, const std::vector<std::string>& groups = {});

  std::optional<TableEntry> FindTable(std::string_view name) const;
  // The listed table of that name; 5132 when the dictionary does not list it.
  TableEntry ListedTable(std::string_view name) const;
  std::vector<std::string> TableNames() const;  // in the order they were added
  bool HasUser(std::string_view name) const;
  // True when the user is listed and the password is the user's.
  bool CheckPassword(std::string_view user, std::string_view password) const;
  // The user's groups in the order they were given; none for a user not listed.
  std::optional<std::vector<std::string>> GroupsOf(std::string_view user) const;

  // A stored path as a path to open: relative ones are taken in the dictionary's folder.
  std::string Resolve(std::string_view storedPath) const;
  const std::string& Path() const { return path_; }

 private:
  Dictionary(std::string path, std::unique_ptr<SqliteFile> file);
  void CheckFormat() const;

  std::string path_;
  std::unique_ptr<SqliteFile> file_;
};

}  // namespace xbe::dictionary
