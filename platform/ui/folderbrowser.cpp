#include "platform/ui/folderbrowser.h"

#include <algorithm>

#include "platform/rtl/files.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/strutils.h"
#include "platform/ui/folderlisting.h"
#include "platform/ui/forms.h"
#include "platform/ui/selectdir.h"
#include "platform/ui/stdctrls.h"

namespace ui {

namespace {

// The drive ("X:\") and the folders below it down to `path`.
std::vector<std::string> Chain(const std::string& path) {
  std::vector<std::string> chain;
  if (path.size() < 2 || path[1] != ':') return chain;
  std::string walked = rtl::UpperCase(path.substr(0, 2)) + "\\";
  chain.push_back(walked);
  std::string rest = path.size() > 3 ? path.substr(3) : std::string();
  while (!rest.empty()) {
    const std::size_t sep = rest.find('\\');
    const std::string part = rest.substr(0, sep);
    if (!part.empty()) {
      walked = rtl::IncludeTrailingPathDelimiter(walked) + part;
      chain.push_back(walked);
    }
    rest = sep == std::string::npos ? std::string() : rest.substr(sep + 1);
  }
  return chain;
}

// The tree as an indented list: every drive; under the selected one the chain to the selected
// folder, then that folder's subfolders. Choosing a row opens it.
class TFolderTree final : public TListBox {
 public:
  explicit TFolderTree(classes::TComponent* owner) : TListBox(owner) {}
  std::vector<std::string> paths;
  bool computers = false;

  void Fill(const std::string& selected) {
    Items().BeginUpdate();
    Items().Clear();
    paths.clear();
    int current = -1;
    if (!computers) {
      const std::vector<std::string> chain = Chain(selected);
      for (const std::string& drive : MappedDrives()) {
        const std::string root = drive + "\\";
        Add(root, 0);
        if (chain.empty() || !rtl::SameText(chain[0], root)) continue;
        current = static_cast<int>(paths.size()) - 1;
        for (std::size_t i = 1; i < chain.size(); ++i) {
          Add(chain[i], static_cast<int>(i));
          current = static_cast<int>(paths.size()) - 1;
        }
        for (const std::string& sub : ListSubDirectories(chain.back()))
          Add(rtl::IncludeTrailingPathDelimiter(chain.back()) + sub, static_cast<int>(chain.size()));
      }
    }
    Items().EndUpdate();
    SetItemIndex(current);
  }

 private:
  void Add(const std::string& path, int depth) {
    const std::string shown = depth == 0 ? path : rtl::ExtractFileName(path);
    Items().Add(std::string(static_cast<std::size_t>(depth) * 2, ' ') + shown);
    paths.push_back(path);
  }
};

class TFolderBrowserForm final : public TForm, public FolderBrowser {
 public:
  TFolderBrowserForm(classes::TComponent* owner, const FolderBrowserSetup& setup) : TForm(owner), setup_(setup) {
    SetBorderStyle(bsDialog);
    SetBorderIcons(biSystemMenu);
    SetCaption(setup.caption);
    if (setup.centerOnScreen) SetPosition(poScreenCenter);
    SetClientSize(320, 300);
    int top = 8;
    if (!setup.text.empty()) {
      auto* l = new TLabel(this);
      l->SetParent(this);
      l->SetAutoSize(false);
      l->SetWordWrap(true);
      l->SetShowAccelChar(false);
      l->SetBounds(8, 8, 304, 26);
      l->SetCaption(setup.text);
      top = 38;
    }
    tree_ = new TFolderTree(this);
    tree_->computers = setup.computers;
    tree_->SetParent(this);
    tree_->SetBounds(8, top, 304, 258 - top);
    tree_->SetTabOrder(0);
    tree_->SetOnChange(classes::TNotifyEvent::FromFunction([this](classes::TObject*) {
      const int i = tree_->ItemIndex();
      if (i >= 0) Choose(tree_->paths[static_cast<std::size_t>(i)]);
    }));
    ok_ = AddButton("OK", 176, mrOk, 1);
    ok_->SetDefault(true);
    cancel_ = AddButton("Cancelar", 246, mrCancel, 2);
    cancel_->SetCancel(true);
    tree_->Fill("");
  }

  void SetSelection(const std::string& path) override {
    if (!rtl::DirectoryExists(path)) return;
    Choose(rtl::ExpandFileName(path));
  }
  void EnableOk(bool enable) override { ok_->SetEnabled(enable); }
  void AddHelpButton(const std::string& caption, std::function<void()> click) override {
    TButton* b = AddButton(caption, 12, 0, 3);
    b->SetOnClick(classes::TNotifyEvent::FromFunction([click](classes::TObject*) {
      if (click) click();
    }));
  }
  const std::string& Selection() const { return selection_; }

  void WndProc(TMessage& m) override {
    if (m.msg == WM_CLOSE) {
      SetModalResult(mrCancel);
      return;
    }
    TForm::WndProc(m);
  }

 private:
  void Choose(const std::string& path) {
    if (choosing_) return;
    choosing_ = true;
    selection_ = path.size() == 3 ? path : rtl::ExcludeTrailingPathDelimiter(path);
    tree_->Fill(selection_);
    choosing_ = false;
    if (setup_.selectionChanged) setup_.selectionChanged(*this, selection_);
  }
  TButton* AddButton(const std::string& caption, int x, int result, int tab) {
    auto* b = new TButton(this);
    b->SetParent(this);
    b->SetBounds(x, 268, 66, 23);
    b->SetCaption(caption);
    b->SetModalResult(result);
    b->SetTabOrder(tab);
    return b;
  }

  FolderBrowserSetup setup_;
  TFolderTree* tree_ = nullptr;
  TButton* ok_ = nullptr;
  TButton* cancel_ = nullptr;
  std::string selection_;
  bool choosing_ = false;
};

// The browser as a test or a console run sees it: the requests of the owner are recorded so
// that the answer starts at the preselected folder and an OK the owner disabled is refused.
class TRecordedBrowser final : public FolderBrowser {
 public:
  std::string selection;
  bool okEnabled = true;
  void SetSelection(const std::string& path) override {
    if (rtl::DirectoryExists(path)) selection = rtl::ExpandFileName(path);
  }
  void EnableOk(bool enable) override { okEnabled = enable; }
  void AddHelpButton(const std::string&, std::function<void()>) override {}
};

}  // namespace

std::optional<std::string> BrowseForFolder(const FolderBrowserSetup& setup) {
  if (!Application) return std::nullopt;
  TRecordedBrowser recorded;
  if (setup.initialized) setup.initialized(recorded);
  BoxRequest request;
  request.kind = BoxRequest::BrowseFolder;
  request.caption = setup.caption;
  request.text = setup.text;
  request.buttons = {"OK", "Cancelar"};
  request.results = {IDOK, IDCANCEL};
  request.defaultResult = IDOK;
  request.escapeResult = request.closeResult = IDCANCEL;
  request.directory = recorded.selection;
  if (std::optional<int> answer = Application->Windows().GetBackend().InterceptBox(request)) {
    if (*answer != IDOK || request.directory.empty()) return std::nullopt;
    if (setup.selectionChanged) setup.selectionChanged(recorded, request.directory);
    if (!recorded.okEnabled) return std::nullopt;
    return request.directory;
  }
  auto* form = new TFolderBrowserForm(Application, setup);
  try {
    if (setup.initialized) setup.initialized(*form);
    const int result = form->ShowModal();
    std::string chosen = form->Selection();
    delete form;
    if (result != mrOk || chosen.empty()) return std::nullopt;
    return chosen;
  } catch (...) {
    delete form;
    throw;
  }
}

}  // namespace ui
