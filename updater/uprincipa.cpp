#include "updater/uprincipa.h"

#include <memory>

#include "platform/classes/classbuilder.h"
#include "platform/rtl/ansi.h"
#include "platform/rtl/files.h"
#include "platform/rtl/inifile.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/strutils.h"

using namespace rtl::literals;

std::string DataPath;
std::string TemplatePath;

namespace {

// Tables compared, in this order, and the index files deleted afterwards.
constexpr const char* kTables[] = {"ML2", "ML6"};
constexpr const char* kIndexFiles[] = {"\\ml21.ntx", "\\ml22.ntx", "\\ml23.ntx",
                                       "\\ml24.ntx", "\\ml61.ntx", "\\ml62.ntx"};

}  // namespace

const classes::TClassInfo& TFPrincipal::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TFPrincipal, ui::TForm>("TFPrincipal", [](auto& c) {
    c.Field("Memo1", &TFPrincipal::Memo1);
    c.Field("Atualizada", &TFPrincipal::Atualizada);
    c.Field("EmUso", &TFPrincipal::EmUso);
    c.Field("Timer1", &TFPrincipal::Timer1);
    c.Field("XbeSettings1", &TFPrincipal::XbeSettings1);
    c.Method("FormCreate", &TFPrincipal::FormCreate);
    c.Method("Timer1Timer", &TFPrincipal::Timer1Timer);
    c.Method("Verifica", &TFPrincipal::Verifica);
    c.Method("Existe", &TFPrincipal::Existe);
  });
  return info;
}

TFPrincipal::TFPrincipal(classes::TComponent* owner) : ui::TForm(owner) {}

void TFPrincipal::FormCreate(classes::TObject*) {
  {
    rtl::TIniFile ini("tesqueln.ini");
    DataPath = ini.ReadString("BD", "PathLIS", "F:\\TULMEVAR");
  }
  TemplatePath = rtl::GetCurrentDir();
  Timer1->SetEnabled(true);
}

void TFPrincipal::Timer1Timer(classes::TObject*) {
  Timer1->SetEnabled(false);
  for (const char* table : kTables) Verifica(table);

  for (const char* name : kIndexFiles) {
    const std::string path = DataPath + name;
    if (!rtl::DeleteFile(path)) {
      ui::ShowMessage(std::string("O arquivo ") + path +
                      std::string(" nao pôde ser apagado. Como uma tabela teve sua estrutura alterada, "
                                  "este arquivo deve ser apagado para que os índices possam ser recriados."_ansi));
    }
  }
  ui::ShowMessage(std::string(
      "Entre no Tulmevara, excute a opção K e compacte somente as opções CONVÊNIOS e COLETAS."_ansi));
  runCompleted_ = true;
  Close();
}

bool TFPrincipal::Verifica(const std::string& tableName) {
  bool result = false;
  Memo1->Lines().Add("Verificando Tabela " + tableName + "...");

  Atualizada->SetDatabaseName(TemplatePath);
  Atualizada->SetTableName(tableName);
  Atualizada->Open();

  EmUso->SetDatabaseName(DataPath);
  EmUso->SetTableName(tableName);
  EmUso->Open();

  // The installed names before any change; fields added below are not added to it.
  classes::TStringList installedNames;
  EmUso->GetFieldNames(installedNames);
  EmUso->Close();  // a restructure needs the installed table closed

  const int count = Atualizada->FieldCount();
  for (int i = 0; i < count; ++i) {
    db::TField& field = *Atualizada->Fields()[i];
    const std::string name = field.FullName();
    Memo1->Lines().Add("  campo " + name);
    if (Existe(name, installedNames)) continue;
    result = true;

    const int engineIndex = field.FieldNo() - 1;
    const TXbeFieldDef* engineField =
        engineIndex >= 0 && engineIndex < Atualizada->XbeFieldDefs().Count()
            ? Atualizada->XbeFieldDefs().GetDef(engineIndex)
            : nullptr;
    try {
      EmUso->RestructureTable(AddFieldDefinition(field, engineField), "", "");
    } catch (...) {  // any refusal: the table is in use elsewhere or the engine rejects the field
      restructureFailed_ = true;
      ui::ShowMessage(std::string("Não foi possível atualizar estrutura da tabela "_ansi) + tableName +
                      std::string(". O Tulmevara deve estar aberto em outra estação. Certifique-se que o "
                                  "Tulmevara não esteja sendo usado em outra estação e reinicie este "
                                  "aplicativo."_ansi));
      Atualizada->Close();
      return false;
    }
  }
  Atualizada->Close();
  return result;
}

bool TFPrincipal::Existe(const std::string& fieldName, const classes::TStrings& names) {
  bool result = false;
  const std::string wanted = rtl::Trim(fieldName);
  for (int i = 0; i < names.Count(); ++i)
    if (rtl::Trim(names[i]) == wanted) result = true;
  return result;
}

std::string AddFieldDefinition(const db::TField& field, const TXbeFieldDef* engineField) {
  std::string text = field.FullName() + ",";
  switch (field.DataType()) {
    case db::ftString:
      text += "Char," + rtl::IntToStr(field.DataSize() - 1) + ",0";
      break;
    case db::ftSmallint:
      // The template's own number of digits: a width taken from the 2-byte data size would
      // truncate every value.
      text += "Numeric," + rtl::IntToStr(engineField ? engineField->Length : 4) + ",0";
      break;
    case db::ftFloat:
      text += "Numeric,15,4";
      break;
    case db::ftBoolean:
      text += "Logical,1,0";
      break;
    case db::ftDate:
      text += "Date,8,0";
      break;
    case db::ftMemo:
      text += "Memo,10,0";
      break;
    default:
      break;  // the engine refuses the bare definition; handled as any restructure failure
  }
  return text;
}

void FinalizeUPrincipa() {
  DataPath.clear();
  TemplatePath.clear();
}
