// One whole run of the updater's window on the headless backend, as the program runs it:
// the application titled, the window created from its description, the message loop until the
// window closes (or until nothing more can happen, when an error left it open). Every box is
// answered OK and logged in Events() together with the restructure requests and the closing
// of the window ("close").
#pragma once
#include <string>
#include <vector>

#include "installation.h"
#include "platform/ui/backend.h"

namespace updatertest {

struct RunResult {
  std::vector<std::string> log;                           // the memo's lines
  std::vector<ui::BoxRequest> boxes;                      // in the order shown
  std::vector<std::vector<std::string>> indexFilesAtBox;  // index files present when each box showed
  bool windowClosed = false;                              // the window closed itself
  std::string dataPath, templatePath;                     // as the window read them
};

RunResult RunUpdater(const Installation& installation);

// The program's title and texts, code page 1252.
std::string Title();
std::string IndexFileMessage(const std::string& path);
std::string ClosingMessage();
std::string RestructureFailureMessage(const std::string& table);

// The template fields in order, and the log lines of comparing a table up to (and including)
// its field `last` (all fields when empty).
extern const std::vector<std::string> kMl2TemplateFields;
extern const std::vector<std::string> kMl6TemplateFields;
std::vector<std::string> LogOf(const std::string& table, const std::string& last = "");

std::vector<std::string> Concat(std::vector<std::vector<std::string>> parts);

}  // namespace updatertest
