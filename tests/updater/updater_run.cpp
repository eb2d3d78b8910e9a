#include "updater_run.h"

#include <filesystem>

#include "platform/rtl/ansi.h"
#include "platform/rtl/paths.h"
#include "platform/ui/forms.h"
#include "platform/ui/testdriver.h"
#include "restructure_log.h"
#include "updater/uprincipa.h"

using namespace rtl::literals;

namespace updatertest {

const std::vector<std::string> kMl2TemplateFields = {"CODCONV", "NOMECONV", "CGC",    "EMAIL",  "CIDADE",
                                                     "UF",      "TABELA",   "VALORCH", "DESCONTO", "ATIVO",
                                                     "FATURA",  "DTCAD",    "DTALT",  "OBS"};
const std::vector<std::string> kMl6TemplateFields = {"NUMCOL",  "CODPAC", "DATACOL",  "HORACOL", "CODCONV",
                                                     "VALOR",   "MATERIAL", "URGENTE", "QTD",     "COLETADO"};

std::string Title() { return std::string("Atualização de Estrutura do ML2 e ML6"_ansi); }

std::string IndexFileMessage(const std::string& path) {
  return "O arquivo " + path +
         std::string(" nao pôde ser apagado. Como uma tabela teve sua estrutura alterada, este arquivo deve ser "
                     "apagado para que os índices possam ser recriados."_ansi);
}

std::string ClosingMessage() {
  return std::string("Entre no Tulmevara, excute a opção K e compacte somente as opções CONVÊNIOS e COLETAS."_ansi);
}

std::string RestructureFailureMessage(const std::string& table) {
  return std::string("Não foi possível atualizar estrutura da tabela "_ansi) + table +
         std::string(". O Tulmevara deve estar aberto em outra estação. Certifique-se que o Tulmevara não esteja "
                     "sendo usado em outra estação e reinicie este aplicativo."_ansi);
}

std::vector<std::string> LogOf(const std::string& table, const std::string& last) {
  std::vector<std::string> lines = {"Verificando Tabela " + table + "..."};
  for (const std::string& f : table == "ML2" ? kMl2TemplateFields : kMl6TemplateFields) {
    lines.push_back("  campo " + f);
    if (f == last) break;
  }
  return lines;
}

std::vector<std::string> Concat(std::vector<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

RunResult RunUpdater(const Installation& installation) {
  RunResult result;
  Events().clear();
  testsupport::ScopedEnv windir("WINDIR", installation.WindowsDir().string());
  const std::filesystem::path savedCwd = std::filesystem::current_path();
  if (!rtl::SetCurrentDir(rtl::WindowsPathOfHost(installation.Templates().string())))
    throw std::runtime_error("cannot enter " + installation.Templates().string());
  try {
    ui::HeadlessDriver driver;
    driver.App().SetTitle(Title());
    driver.AnswerBoxes([&](const ui::BoxRequest& box) -> std::optional<int> {
      Events().push_back((box.kind == ui::BoxRequest::Error ? "error " : "box ") + box.text);
      result.indexFilesAtBox.push_back(installation.IndexFilesPresent());
      return ui::IDOK;
    });
    TFPrincipal* form = nullptr;
    driver.App().CreateForm<TFPrincipal>(kFPrincipalDescription, &form);
    // Observed only: closing the main window is what ends the program.
    form->SetOnClose(ui::TCloseEvent::FromFunction([&](classes::TObject*, ui::TCloseAction&) {
      Events().push_back("close");
      result.windowClosed = true;
    }));
    result.dataPath = DataPath;
    result.templatePath = TemplatePath;
    driver.Run(10 * 60 * 1000);
    result.log = ui::HeadlessDriver::MemoLines(*form->Memo1);
    result.boxes = driver.Boxes();
  } catch (...) {
    std::filesystem::current_path(savedCwd);
    FinalizeUPrincipa();
    throw;
  }
  std::filesystem::current_path(savedCwd);
  FinalizeUPrincipa();
  return result;
}

}  // namespace updatertest
