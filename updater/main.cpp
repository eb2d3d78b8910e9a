// TavroAtualiza: brings the installed tables ML2 and ML6 up to the structure of their templates.
#include "platform/rtl/ansi.h"
#include "updater/uprincipa.h"

using namespace rtl::literals;

int main() {
  int exitCode = 0;
  {
    ui::TApplication application;
    application.Initialize();
    application.SetTitle("Atualização de Estrutura do ML2 e ML6"_ansi);
    TFPrincipal* form = nullptr;
    application.CreateForm<TFPrincipal>(kFPrincipalDescription, &form);
    application.Run();
    exitCode = application.ExitCode();
    // Without a display nobody saw the boxes: the exit code tells a script whether the update
    // went through (no error box, every restructure done) or not.
    if (!application.Windows().GetBackend().OnScreen()) {
      const auto* window = dynamic_cast<const TFPrincipal*>(application.MainForm());
      exitCode = window != nullptr && window->RunSucceeded() && application.ErrorBoxCount() == 0 ? 0 : 1;
    }
  }
  FinalizeUPrincipa();
  return exitCode;
}
