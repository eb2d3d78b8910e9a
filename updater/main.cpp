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
  }
  FinalizeUPrincipa();
  return exitCode;
}
