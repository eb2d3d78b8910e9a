#include "platform/ui/selectdir.h"

#include <algorithm>
#include <filesystem>

#include "platform/rtl/ansi.h"
#include "platform/rtl/files.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/strutils.h"
#include "platform/ui/bitmap.h"
#include "platform/ui/edit.h"
#include "platform/ui/folderlisting.h"
#include "platform/ui/forms.h"
#include "platform/ui/stdctrls.h"

namespace ui {

using namespace rtl::literals;

std::vector<std::string> MappedDrives() {
  std::vector<std::string> drives{"C:"};
  std::error_code ec;
  const std::filesystem::path dir = std::filesystem::path(rtl::WindowsDirectoryHost()) / "drives";
  for (const auto& e : std::filesystem::directory_iterator(dir, ec)) {
    const std::string name = e.path().filename().string();
    if (name.size() == 1 && std::isalpha(static_cast<unsigned char>(name[0]))) {
      const std::string drive = std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])))) + ":";
      if (std::find(drives.begin(), drives.end(), drive) == drives.end()) drives.push_back(drive);
    }
  }
  std::sort(drives.begin(), drives.end());
  return drives;
}

namespace {

std::string WithoutTrailingSeparator(const std::string& path) {
  if (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) return path.substr(0, path.size() - 1);
  return path;
}

// The directory the dialog opens at.
std::string StartDirectory(const std::string& requested) {
  std::string path = requested.empty() ? rtl::GetCurrentDir() : rtl::ExpandFileName(requested);
  if (path.size() < 2 || path[1] != ':') return rtl::GetCurrentDir();
  path = WithoutTrailingSeparator(path);
  while (!rtl::DirectoryExists(path)) {
    const std::string parent = rtl::ExcludeTrailingPathDelimiter(rtl::ExtractFilePath(path));
    if (parent.empty() || parent == path) return rtl::GetCurrentDir();
    path = parent;
  }
  if (path.size() == 2) path += '\\';
  return path;
}

// A list of names: a name too long for its row ends in "...".
class TNameList : public TListBox {
 public:
  explicit TNameList(classes::TComponent* owner) : TListBox(owner) {}

 protected:
  unsigned ItemTextFlags() const override { return TListBox::ItemTextFlags() | DT_END_ELLIPSIS; }
};

// The current path shown as text on one line, ending in "..." when it is too long.
class TPathLabel final : public TLabel {
 public:
  explicit TPathLabel(classes::TComponent* owner) : TLabel(owner) {}

 protected:
  unsigned TextFlags() const override { return TLabel::TextFlags() | DT_SINGLELINE | DT_END_ELLIPSIS; }
};

// The directory list: the path's components from the drive root down, then its subdirectories.
// Enter or a double click opens the selected entry.
class TDirList final : public TNameList {
 public:
  explicit TDirList(classes::TComponent* owner) : TNameList(owner) {}
  std::vector<std::string> paths;  // the directory each row opens
  std::function<void(const std::string&)> open;

  void Fill(const std::string& dir) {
    Items().BeginUpdate();
    Items().Clear();
    paths.clear();
    std::string root = dir.substr(0, 2) + "\\";
    Items().Add(root);
    paths.push_back(root);
    std::string walked = root;
    std::string rest = dir.size() > 3 ? dir.substr(3) : std::string();
    int depth = 1;
    int current = 0;
    while (!rest.empty()) {
      const std::size_t sep = rest.find('\\');
      const std::string part = rest.substr(0, sep);
      walked = rtl::IncludeTrailingPathDelimiter(walked) + part;
      Items().Add(std::string(static_cast<std::size_t>(depth) * 2, ' ') + part);
      paths.push_back(walked);
      current = static_cast<int>(paths.size()) - 1;
      ++depth;
      rest = sep == std::string::npos ? std::string() : rest.substr(sep + 1);
    }
    for (const std::string& sub : ListSubDirectories(dir)) {
      Items().Add(std::string(static_cast<std::size_t>(depth) * 2, ' ') + sub);
      paths.push_back(rtl::IncludeTrailingPathDelimiter(dir) + sub);
    }
    Items().EndUpdate();
    SetItemIndex(current);
  }

 protected:
  // Enter opens the selected directory; Escape and Tab keep their dialog meaning.
  bool HandleNavigationKey(int key, TShiftState shift) override {
    if (key == VK_RETURN) return false;
    return TNameList::HandleNavigationKey(key, shift);
  }
  void KeyPress(char& key) override {
    if (key == '\r' && ItemIndex() >= 0 && open) {
      key = 0;
      open(paths[static_cast<std::size_t>(ItemIndex())]);
    }
  }
  void DblClick() override {
    if (ItemIndex() >= 0 && open) open(paths[static_cast<std::size_t>(ItemIndex())]);
  }
};

class TDriveList final : public TListBox {
 public:
  explicit TDriveList(classes::TComponent* owner) : TListBox(owner) {}
};

// The dialog's form, built in code like the other boxes of the class library.
class TSelectDirForm final : public TForm {
 public:
  TSelectDirForm(classes::TComponent* owner, TSelectDirOpts options, int helpContext)
      : TForm(owner), options_(options) {
    SetBorderStyle(bsDialog);
    SetBorderIcons(biSystemMenu);
    SetCaption(std::string("Selecione o diretório"_ansi));
    SetPosition(poScreenCenter);
    SetClientSize(350, 302);

    AddLabel(std::string("Diretório &Nome:"_ansi), 8, 6);
    if (options & sdAllowCreate) {
      pathEdit_ = new TEdit(this);
      pathEdit_->SetParent(this);
      pathEdit_->SetBounds(8, 22, 334, 21);
      pathEdit_->SetTabOrder(0);
    } else {
      pathLabel_ = new TPathLabel(this);
      pathLabel_->SetParent(this);
      pathLabel_->SetAutoSize(false);
      pathLabel_->SetShowAccelChar(false);
      pathLabel_->SetBounds(8, 24, 334, 13);
    }
    AddLabel("&Diretorios:", 8, 48);
    dirs_ = new TDirList(this);
    dirs_->SetParent(this);
    dirs_->SetBounds(8, 64, 180, 140);
    dirs_->SetTabOrder(1);
    dirs_->open = [this](const std::string& d) { Open(d); };
    AddLabel("&Arquivos: (*.*)", 196, 48);
    files_ = new TNameList(this);
    files_->SetParent(this);
    files_->SetBounds(196, 64, 146, 140);
    files_->SetEnabled(false);
    AddLabel("D&rives:", 8, 212);
    drives_ = new TDriveList(this);
    drives_->SetParent(this);
    drives_->SetBounds(8, 228, 180, 34);
    drives_->SetTabOrder(2);
    for (const std::string& d : MappedDrives()) drives_->Items().Add(d);
    drives_->SetOnChange(classes::TNotifyEvent::FromFunction([this](classes::TObject*) {
      if (drives_->ItemIndex() >= 0) Open(drives_->Items().Get(drives_->ItemIndex()) + "\\");
    }));

    // The buttons in a row under the lists, wide enough for the widest caption with a margin.
    // With no help the help button is hidden and the others move one place to the right.
    const bool help = helpContext != 0;
    const int buttonW = ButtonWidth({"OK", "Cancelar", "&Ajuda"});
    int slot[3];
    for (int i = 2, right = 342; i >= 0; --i, right -= buttonW + 6) slot[i] = right - buttonW;
    ok_ = AddButton("OK", slot[help ? 0 : 1], kButtonTop, buttonW, mrOk, 3);
    ok_->SetDefault(true);
    cancel_ = AddButton("Cancelar", slot[help ? 1 : 2], kButtonTop, buttonW, mrCancel, 4);
    cancel_->SetCancel(true);
    if (help) AddButton("&Ajuda", slot[2], kButtonTop, buttonW, 0, 5);
  }

  void Open(const std::string& dir) {
    current_ = dir.size() == 2 ? dir + "\\" : dir;
    if (pathEdit_) pathEdit_->SetText(current_);
    if (pathLabel_) pathLabel_->SetCaption(current_);
    dirs_->Fill(current_);
    files_->Items().BeginUpdate();
    files_->Items().Clear();
    for (const std::string& f : ListFiles(current_)) files_->Items().Add(f);
    files_->Items().EndUpdate();
    const std::string drive = rtl::UpperCase(current_.substr(0, 2));
    for (int i = 0; i < drives_->Items().Count(); ++i)
      if (drives_->Items().Get(i) == drive) drives_->SetItemIndex(i);
    Invalidate();
  }

  std::string Shown() const { return pathEdit_ ? pathEdit_->Text() : current_; }

  void WndProc(TMessage& m) override {
    if (m.msg == WM_CLOSE) {
      SetModalResult(mrCancel);
      return;
    }
    TForm::WndProc(m);
  }

 protected:
  void DoClose(TCloseAction& action) override {
    // OK on a directory that does not exist asks first, with the options that allow it.
    if (ModalResult() == mrOk && (options_ & sdAllowCreate) && (options_ & sdPrompt) &&
        !rtl::DirectoryExists(Shown())) {
      if (ConfirmationBox(std::string("O diretório especificado não existe. Criá-lo?"_ansi),
                          std::string("Confirmação"_ansi)) != mrYes)
        action = caNone;
    }
    TForm::DoClose(action);
  }

 private:
  void AddLabel(const std::string& caption, int x, int y) {
    auto* l = new TLabel(this);
    l->SetParent(this);
    l->SetLeft(x);
    l->SetTop(y);
    l->SetCaption(caption);
  }
  static constexpr int kButtonTop = 271;

  // The standard width, or more when a caption needs it.
  int ButtonWidth(const std::vector<std::string>& captions) {
    TBitmap scratch(1, 1);
    scratch.Canvas().Font().Assign(Font());
    int widest = 0;
    for (const std::string& c : captions) {
      TRect r = Rect(0, 0, 0, 0);
      scratch.Canvas().DrawText(c, r, DT_SINGLELINE | DT_CALCRECT);
      widest = std::max(widest, r.Width());
    }
    return std::max(75, widest + 2 * 12);
  }
  TButton* AddButton(const std::string& caption, int x, int y, int w, int result, int tab) {
    auto* b = new TButton(this);
    b->SetParent(this);
    b->SetBounds(x, y, w, 23);
    b->SetCaption(caption);
    b->SetModalResult(result);
    b->SetTabOrder(tab);
    return b;
  }

  TSelectDirOpts options_;
  std::string current_;
  TEdit* pathEdit_ = nullptr;
  TPathLabel* pathLabel_ = nullptr;
  TDirList* dirs_ = nullptr;
  TNameList* files_ = nullptr;
  TDriveList* drives_ = nullptr;
  TButton* ok_ = nullptr;
  TButton* cancel_ = nullptr;
};

bool MissingAndRefused(const std::string& dir, TSelectDirOpts options) {
  if (!(options & sdAllowCreate) || !(options & sdPrompt) || rtl::DirectoryExists(dir)) return false;
  return ConfirmationBox(std::string("O diretório especificado não existe. Criá-lo?"_ansi),
                         std::string("Confirmação"_ansi)) != mrYes;
}

}  // namespace

bool SelectDirectory(std::string& directory, TSelectDirOpts options, int helpContext) {
  if (!Application) return false;
  const std::string start = StartDirectory(directory);
  std::string chosen;
  BoxRequest request;
  request.kind = BoxRequest::SelectDirectory;
  request.caption = std::string("Selecione o diretório"_ansi);
  request.buttons = {"OK", "Cancelar"};
  request.results = {IDOK, IDCANCEL};
  request.defaultResult = IDOK;
  request.escapeResult = request.closeResult = IDCANCEL;
  request.directory = start;
  bool intercepted = false;
  // An answered dialog that refuses to create its directory stays open: it is asked again.
  for (int round = 0; round < 1000; ++round) {
    BoxRequest asked = request;
    std::optional<int> answer = Application->Windows().GetBackend().InterceptBox(asked);
    if (!answer) break;
    intercepted = true;
    if (*answer != IDOK) return false;
    if (MissingAndRefused(asked.directory, options)) continue;
    chosen = asked.directory;
    break;
  }
  if (intercepted && chosen.empty()) return false;
  if (!intercepted) {
    auto* form = new TSelectDirForm(Application, options, helpContext);
    try {
      form->Open(start);
      const int result = form->ShowModal();
      chosen = form->Shown();
      delete form;
      if (result != mrOk) return false;
    } catch (...) {
      delete form;
      throw;
    }
  }
  if (options & sdPerformCreate) rtl::ForceDirectories(chosen);
  directory = chosen;
  return true;
}

}  // namespace ui
