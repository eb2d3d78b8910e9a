// ZeqConfig: sets the data directory of Tulmevara that the structure updater reads.
#include "controls/tooledit.h"
#include "platform/rtl/ansi.h"
#include "wizard/uconfig.h"

using namespace rtl::literals;

int main() {
  int exitCode = 0;
  {
    ui::TApplication application;
    application.Initialize();
    RegisterEditorControls();
    application.SetTitle("Assistente de Configuração"_ansi);
    TFConfig* form = nullptr;
    application.CreateForm<TFConfig>(kFConfigDescription, &form);
    application.Run();
    exitCode = application.ExitCode();
  }
  FreeEditGlyphs();
  return exitCode;
}
