// What a statement's text may do: read and write the records of the connection's tables, and
// nothing else. The SQL engine's authorizer refuses, while a text is prepared, transactions
// written as SQL (the connection's own calls hold them), schema changes (the engine's tables
// are made and restructured by its own calls) and whatever reaches other files or changes the
// SQL engine itself (ATTACH, PRAGMA, extensions); the connection also runs in the SQL engine's
// defensive mode.
#pragma once
#include <set>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace xbe::sql {

// What a SELECT reads, seen while it is prepared.
struct Reads {
  std::set<std::string> tables;  // upper case
  bool aggregate = false;
};

class StatementGuard {
 public:
  // Sets the connection's defensive settings and its authorizer, which reads this guard.
  void Install(sqlite3* db);

  // Starts watching the preparation of a caller's text, noting what it reads into `reads`.
  void Watch(Reads* reads);
  // The engine's own statements (the declarations of the tables) pass unwatched.
  void Pass() { watching_ = false; }

  // Refuses (7200, native code 23) a text whose first word starts what a statement may not do,
  // before anything of it is prepared (the SQL engine refuses some of these on virtual tables
  // with texts of its own, and VACUUM and REINDEX ask the authorizer nothing).
  static void CheckText(const std::string& sql);
  // Raises the authorizer's refusal of the last text, when it refused it.
  void RaiseRefusal() const;
  // Refuses a prepared text that the authorizer never saw: it does nothing to the tables.
  void CheckPrepared(const std::string& sql) const;

 private:
  static int Authorize(void* guard, int action, const char* a, const char* b, const char* database, const char*);
  int Judge(int action, const char* a, const char* b);
  int Refuse(std::string text);

  bool watching_ = false;
  Reads* reads_ = nullptr;
  int actions_ = 0;
  std::string refusal_;
};

}  // namespace xbe::sql
