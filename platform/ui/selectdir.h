// The select-directory dialog: a modal window titled "Selecione o diretório", centred on the
// screen, with the current path under "Diretório &Nome:" (an editable field with
// sdAllowCreate), the directory tree under "&Diretorios:", the directory's files under
// "&Arquivos: (*.*)", the mapped drives under "D&rives:", and the buttons "OK" (default),
// "Cancelar" (cancel) and "&Ajuda" (hidden with help context 0, the other two then one place to
// the right). No network-drive button: this system offers no such dialog.
#pragma once
#include <string>
#include <vector>

namespace ui {

enum TSelectDirOpt : unsigned { sdAllowCreate = 1, sdPerformCreate = 2, sdPrompt = 4 };
using TSelectDirOpts = unsigned;

// Opens at `directory` when it expands to an existing path with a drive letter (else at its
// nearest existing parent, or the current directory). OK returns true and replaces `directory`
// with the path shown; Cancelar or closing returns false and leaves it. With sdAllowCreate and
// sdPrompt, OK on a missing directory asks "O diretório especificado não existe. Criá-lo?" and
// stays open unless the answer is Yes; with sdPerformCreate the directory is created with its
// missing parents. The dialog leaves the process's current directory alone.
bool SelectDirectory(std::string& directory, TSelectDirOpts options, int helpContext);

// The drive letters the path model maps (each "X:"), in order.
std::vector<std::string> MappedDrives();

}  // namespace ui
