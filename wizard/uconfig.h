// The wizard's one dialog: the data directory of Tulmevara, filled from "tesqueln.ini", typed
// or picked, created when missing, confirmed when it holds no "ml5.dbf", and stored back.
#pragma once
#include <string_view>

#include "controls/tooledit.h"
#include "platform/ui/forms.h"
#include "platform/ui/stdctrls.h"

class TFConfig : public ui::TForm {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TFConfig(classes::TComponent* owner);

  // Published handlers, bound by name from the stored description.
  void FormActivate(classes::TObject* sender);
  void BitBtn1Click(classes::TObject* sender);
  void BitBtn2Click(classes::TObject* sender);

  ui::TLabel* Label3 = nullptr;
  ui::TBitBtn* BitBtn1 = nullptr;
  ui::TBitBtn* BitBtn2 = nullptr;
  TDirectoryEdit* EDTul = nullptr;
};

// The INI file, section and key the updater reads the data directory from.
inline constexpr std::string_view kConfigIniName = "tesqueln.ini";
inline constexpr std::string_view kConfigSection = "BD";
inline constexpr std::string_view kConfigKey = "PathLIS";

// The dialog's stored description.
extern const std::string_view kFConfigDescription;
