#include "wizard/uconfig.h"

#include "platform/classes/classbuilder.h"
#include "platform/rtl/ansi.h"
#include "platform/rtl/files.h"
#include "platform/rtl/inifile.h"

using namespace rtl::literals;

const classes::TClassInfo& TFConfig::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TFConfig, ui::TForm>("TFConfig", [](auto& c) {
    c.Field("Label3", &TFConfig::Label3);
    c.Field("BitBtn1", &TFConfig::BitBtn1);
    c.Field("BitBtn2", &TFConfig::BitBtn2);
    c.Field("EDTul", &TFConfig::EDTul);
    c.Method("FormActivate", &TFConfig::FormActivate);
    c.Method("BitBtn1Click", &TFConfig::BitBtn1Click);
    c.Method("BitBtn2Click", &TFConfig::BitBtn2Click);
  });
  return info;
}

TFConfig::TFConfig(classes::TComponent* owner) : ui::TForm(owner) {}

void TFConfig::FormActivate(classes::TObject*) {
  rtl::TIniFile ini{std::string(kConfigIniName)};
  EDTul->SetText(ini.ReadString(kConfigSection, kConfigKey, "f:\\tulmevar"));
}

void TFConfig::BitBtn1Click(classes::TObject*) {
  // The field is read afresh at every step: a handler of the box may have changed it.
  bool found = false;
  if (rtl::ForceDirectories(EDTul->Text())) found = rtl::FileExists(EDTul->Text() + "\\ml5.dbf");
  if (!found) {
    const int answer = ui::ConfirmationBox(
        std::string("Não foi encontrado o Tulmevara em "_ansi) + EDTul->Text() + ". Desja continuar assim mesmo?",
        std::string("Confirmação"_ansi));
    if (answer == ui::mrNo) return;
  }
  rtl::TIniFile ini{std::string(kConfigIniName)};
  ini.WriteString(kConfigSection, kConfigKey, EDTul->Text());
  Close();
}

void TFConfig::BitBtn2Click(classes::TObject*) { Close(); }
