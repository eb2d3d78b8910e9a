#include "controls/fileutil.h"

#include "platform/classes/classbuilder.h"
#include "platform/rtl/files.h"
#include "platform/ui/folderbrowser.h"
#include "platform/ui/forms.h"

bool DirectoryPresent(std::string_view name) {
  if (name.empty()) return false;
  const int attr = rtl::FileGetAttr(name);
  return attr != -1 && (attr & rtl::faDirectory) != 0;
}

std::string StripTrailingBackslash(std::string_view s) {
  const char c = s.empty() ? '\0' : s[0];
  const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  const bool driveRoot = s.size() == 3 && letter && s[1] == ':' && s[2] == '\\';
  if (s.size() >= 2 && s.back() == '\\' && !driveRoot) return std::string(s.substr(0, s.size() - 1));
  return std::string(s);
}

namespace {

std::string FoundName(std::string_view name) {
  if (name.empty()) return {};
  const std::vector<std::string> found = rtl::FindFiles(name, true);
  return found.empty() ? std::string() : found.front();
}

template <class Convert>
std::string ConvertPath(std::string_view path, Convert convert) {
  std::string result;
  std::string p(path);
  for (std::size_t sep = p.rfind('\\'); sep != std::string::npos; sep = p.rfind('\\')) {
    result = "\\" + convert(p) + result;
    p.resize(sep);
  }
  return p + result;
}

}  // namespace

// One name per file here: the long and the short forms are the entry's own spelling.
std::string ExpandShortFileName(std::string_view name) { return FoundName(name); }
std::string CompactLongFileName(std::string_view name) { return FoundName(name); }

std::string ExpandShortPath(std::string_view path) {
  return ConvertPath(path, [](const std::string& p) { return ExpandShortFileName(p); });
}

std::string CompactLongPath(std::string_view path) {
  return ConvertPath(path, [](const std::string& p) { return CompactLongFileName(p); });
}

const classes::TClassInfo& TBrowseFolderDlg::StaticClassInfo() {
  static const auto info =
      classes::TClassInfo::Make<TBrowseFolderDlg, classes::TComponent>("TBrowseFolderDlg", [](auto& c) {
        c.Enum("BrowseKind", &TBrowseFolderDlg::BrowseKind, &TBrowseFolderDlg::SetBrowseKind,
               {"bfFolders", "bfComputers"})
            .Default(bfFolders);
        c.Bool("DesktopRoot", &TBrowseFolderDlg::DesktopRoot, &TBrowseFolderDlg::SetDesktopRoot).Default(true);
        c.String("DialogText", &TBrowseFolderDlg::DialogText, &TBrowseFolderDlg::SetDialogText);
        c.String("FolderName", &TBrowseFolderDlg::FolderName, &TBrowseFolderDlg::SetFolderName);
        c.Integer("HelpContext", &TBrowseFolderDlg::HelpContext, &TBrowseFolderDlg::SetHelpContext).Default(0);
        c.Enum("Position", &TBrowseFolderDlg::Position, &TBrowseFolderDlg::SetPosition,
               {"dpDefault", "dpScreenCenter"})
            .Default(dpScreenCenter);
        c.Event("OnInitialized", &TBrowseFolderDlg::OnInitialized, &TBrowseFolderDlg::SetOnInitialized);
        c.Event("OnSelChanged", &TBrowseFolderDlg::OnSelChanged, &TBrowseFolderDlg::SetOnSelChanged);
      });
  return info;
}

TBrowseFolderDlg::TBrowseFolderDlg(classes::TComponent* owner) : classes::TComponent(owner) {}

bool TBrowseFolderDlg::ShowFolderBrowser() {
  ui::FolderBrowserSetup setup;
  setup.text = dialogText_;
  setup.computers = browseKind_ == bfComputers;
  setup.centerOnScreen = position_ == dpScreenCenter;
  setup.initialized = [this](ui::FolderBrowser& b) {
    browserWindow_ = &b;
    HandleBrowserInitialized();
  };
  setup.selectionChanged = [this](ui::FolderBrowser& b, const std::string& selection) {
    browserWindow_ = &b;
    HandleBrowserSelectionChanged(selection);
  };
  std::optional<std::string> chosen;
  try {
    chosen = ui::BrowseForFolder(setup);
  } catch (...) {
    browserWindow_ = nullptr;
    throw;
  }
  browserWindow_ = nullptr;
  if (!chosen) return false;
  folderName_ = browseKind_ == bfFolders ? StripTrailingBackslash(*chosen) : *chosen;
  currentSelection_ = folderName_;
  selectionImage_ = 0;
  return true;
}

void TBrowseFolderDlg::HandleBrowserInitialized() {
  if (browseKind_ == bfComputers || DirectoryPresent(folderName_)) SetBrowserSelection(folderName_);
  if (helpContext_ != 0 && browserWindow_) {
    browserWindow_->AddHelpButton("&Ajuda", [this] {
      if (helpContext_ != 0 && ui::Application) ui::Application->HelpContext(helpContext_);
    });
  }
  onInitialized_.Fire(this);
}

void TBrowseFolderDlg::HandleBrowserSelectionChanged(const std::string& selection) {
  if (browseKind_ == bfComputers) {
    currentSelection_ = selection;
  } else if (!selection.empty()) {
    currentSelection_ = selection;
    EnableBrowserOk(DirectoryPresent(currentSelection_));
  } else {
    currentSelection_.clear();
    EnableBrowserOk(false);
  }
  onSelChanged_.Fire(this);
}

void TBrowseFolderDlg::SetBrowserSelection(const std::string& path) {
  if (browserWindow_) browserWindow_->SetSelection(path);
}

void TBrowseFolderDlg::EnableBrowserOk(bool enable) {
  if (browserWindow_) browserWindow_->EnableOk(enable);
}

bool PickFolderWithShellDialog(std::string& folder, const std::string& dialogText, int helpContext) {
  TBrowseFolderDlg dialog(ui::Application);
  dialog.SetDialogText(dialogText);
  dialog.SetFolderName(folder);
  dialog.SetHelpContext(helpContext);
  if (!dialog.ShowFolderBrowser()) return false;
  folder = dialog.FolderName();
  return true;
}

