// The updater's one window: it compares the template tables ML2 and ML6 with the installed
// ones, adds each missing field, deletes the six index files and tells the user what to do.
#pragma once
#include <string>
#include <string_view>

#include "engine/xbeset.h"
#include "engine/xbetable.h"
#include "platform/classes/stringlist.h"
#include "platform/ui/forms.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/extctrls.h"

// Tulmevara's data directory as read from the INI file, and the directory of the template
// tables (the working directory at window creation).
extern std::string DataPath;
extern std::string TemplatePath;

class TFPrincipal : public ui::TForm {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TFPrincipal(classes::TComponent* owner);

  // Published handlers, bound by name from the stored description.
  void FormCreate(classes::TObject* sender);
  void Timer1Timer(classes::TObject* sender);
  bool Verifica(const std::string& tableName);
  bool Existe(const std::string& fieldName, const classes::TStrings& names);

  // The run went through to its closing message and no restructure request failed: what a run
  // without a display reports in its exit code.
  bool RunSucceeded() const { return runCompleted_ && !restructureFailed_; }

  ui::TMemo* Memo1 = nullptr;
  TXbeTable* Atualizada = nullptr;
  TXbeTable* EmUso = nullptr;
  ui::TTimer* Timer1 = nullptr;
  TXbeSettings* XbeSettings1 = nullptr;

 private:
  bool runCompleted_ = false;
  bool restructureFailed_ = false;
};

// The add-field definition of one template field ("OBS,Char,40,0").
std::string AddFieldDefinition(const db::TField& field, const TXbeFieldDef* engineField);

// The window's stored description.
extern const std::string_view kFPrincipalDescription;

// Clears the program-wide state, as the unit's shut-down does.
void FinalizeUPrincipa();
