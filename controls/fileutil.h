// Path functions of the editor controls and the folder-browse dialog component.
#pragma once
#include <string>
#include <string_view>

#include "platform/classes/component.h"
#include "platform/classes/method.h"

namespace ui {
class FolderBrowser;
}

// True when the attributes of `name` can be read and carry the directory bit.
bool DirectoryPresent(std::string_view name);
// `s` without its last "\" when it has at least two characters, ends in "\" and is not a
// drive root ("X:\" with a letter X).
std::string StripTrailingBackslash(std::string_view s);

// The name of the entry `name` finds (empty when nothing is found). On this host a file has
// one name, so the long and the short forms are the same spelling, as the disk holds it.
std::string ExpandShortFileName(std::string_view name);
std::string CompactLongFileName(std::string_view name);
// Every component of the path converted by the functions above; a component not found
// contributes an empty name and keeps its "\"; the part before the first "\" stays as given.
std::string ExpandShortPath(std::string_view path);
std::string CompactLongPath(std::string_view path);

enum TBrowseKind { bfFolders, bfComputers };
enum TDialogPosition { dpDefault, dpScreenCenter };

// The folder-browse dialog: the class library's folder browser, with the folder to preselect,
// a text above the tree, a help button when a help context is given, and OK enabled only on
// an existing directory.
class TBrowseFolderDlg : public classes::TComponent {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TBrowseFolderDlg(classes::TComponent* owner);

  TBrowseKind BrowseKind() const { return browseKind_; }
  void SetBrowseKind(TBrowseKind v) { browseKind_ = v; }
  bool DesktopRoot() const { return desktopRoot_; }
  void SetDesktopRoot(bool v) { desktopRoot_ = v; }
  const std::string& DialogText() const { return dialogText_; }
  void SetDialogText(const std::string& v) { dialogText_ = v; }
  const std::string& FolderName() const { return folderName_; }
  void SetFolderName(const std::string& v) { folderName_ = v; }
  int HelpContext() const { return helpContext_; }
  void SetHelpContext(int v) { helpContext_ = v; }
  TDialogPosition Position() const { return position_; }
  void SetPosition(TDialogPosition v) { position_ = v; }
  const classes::TNotifyEvent& OnInitialized() const { return onInitialized_; }
  void SetOnInitialized(classes::TNotifyEvent e) { onInitialized_ = std::move(e); }
  const classes::TNotifyEvent& OnSelChanged() const { return onSelChanged_; }
  void SetOnSelChanged(classes::TNotifyEvent e) { onSelChanged_ = std::move(e); }

  // Runs the browser; true when the user chose an item (then FolderName holds it).
  bool ShowFolderBrowser();

  // The running browser (null before and after a run).
  ui::FolderBrowser* BrowserWindow() const { return browserWindow_; }
  const std::string& CurrentSelection() const { return currentSelection_; }
  int SelectionImage() const { return selectionImage_; }

 protected:
  virtual void HandleBrowserInitialized();
  virtual void HandleBrowserSelectionChanged(const std::string& selection);
  void SetBrowserSelection(const std::string& path);
  void EnableBrowserOk(bool enable);

 private:
  TBrowseKind browseKind_ = bfFolders;
  bool desktopRoot_ = true;
  std::string dialogText_;
  std::string folderName_;
  int helpContext_ = 0;
  TDialogPosition position_ = dpScreenCenter;
  classes::TNotifyEvent onInitialized_, onSelChanged_;
  ui::FolderBrowser* browserWindow_ = nullptr;
  std::string currentSelection_;
  int selectionImage_ = 0;
};

// Lets the user pick a folder in the folder browser, starting at `folder`; true (and `folder`
// replaced) when one was chosen.
bool PickFolderWithShellDialog(std::string& folder, const std::string& dialogText, int helpContext);

