// The folder browser: a modal window with a text above a tree of the host's folders under the
// mapped drives, "OK" (default) and "Cancelar" (cancel). It stands in for the shell's browser:
// its owner hears when it is ready and when the selection changes, and may preselect a folder,
// enable or disable OK, and add a help button beside the others.
#pragma once
#include <functional>
#include <optional>
#include <string>

namespace ui {

class FolderBrowser {
 public:
  virtual ~FolderBrowser() = default;
  // Selects a folder (opening the tree down to it); ignored when it does not exist.
  virtual void SetSelection(const std::string& path) = 0;
  virtual void EnableOk(bool enable) = 0;
  // Adds a push button at the left of the button row, as wide and high as OK; `click` runs
  // when it is pressed.
  virtual void AddHelpButton(const std::string& caption, std::function<void()> click) = 0;
};

struct FolderBrowserSetup {
  std::string caption = "Procurar pasta";
  std::string text;             // shown above the tree; none when empty
  bool computers = false;       // browse computers: this host lists none
  bool centerOnScreen = true;
  std::function<void(FolderBrowser&)> initialized;
  // The selected path (empty when the selection is not a folder of the file system).
  std::function<void(FolderBrowser&, const std::string& selection)> selectionChanged;
};

// Runs the browser; the chosen folder, or nullopt when it was cancelled or closed.
std::optional<std::string> BrowseForFolder(const FolderBrowserSetup& setup);

}  // namespace ui
