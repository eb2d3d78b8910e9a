#include "platform/ui/menus.h"

#include <algorithm>

#include "platform/classes/classbuilder.h"
#include "platform/ui/forms.h"
#include "platform/ui/winapi.h"

namespace ui {

const classes::TClassInfo& TMenuItem::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TMenuItem, classes::TComponent>("TMenuItem", [](auto& c) {
    c.String("Caption", &TMenuItem::Caption, &TMenuItem::SetCaption);
    c.Bool("Checked", &TMenuItem::Checked, &TMenuItem::SetChecked).Default(false);
    c.Bool("Enabled", &TMenuItem::Enabled, &TMenuItem::SetEnabled).Default(true);
    c.Bool("Visible", &TMenuItem::Visible, &TMenuItem::SetVisible).Default(true);
    c.Event("OnClick", &TMenuItem::OnClick, &TMenuItem::SetOnClick);
  });
  return info;
}

TMenuItem::TMenuItem(classes::TComponent* owner) : classes::TComponent(owner) {}

TMenuItem::~TMenuItem() {
  for (TMenuItem* i : items_) i->parent_ = nullptr;
  if (parent_) parent_->Remove(this);
}

void TMenuItem::Add(TMenuItem* item) {
  if (item->parent_) item->parent_->Remove(item);
  item->parent_ = this;
  items_.push_back(item);
}

void TMenuItem::Remove(TMenuItem* item) {
  std::erase(items_, item);
  if (item->parent_ == this) item->parent_ = nullptr;
}

void TMenuItem::SetParentComponent(classes::TComponent* parent) {
  if (auto* item = dynamic_cast<TMenuItem*>(parent)) item->Add(this);
  else if (auto* menu = dynamic_cast<TPopupMenu*>(parent)) menu->Items().Add(this);
}

namespace {

constexpr int kItemHeight = 18;

// The menu's window: one row per visible item, the row under the mouse highlighted.
class TMenuWindow final : public TCustomForm {
 public:
  TMenuWindow(classes::TComponent* owner, TMenuItem& root) : TCustomForm(owner), root_(root) {
    SetBorderStyle(bsNoneForm);
    for (int i = 0; i < root.Count(); ++i)
      if (root.Items(i)->Visible()) rows_.push_back(root.Items(i));
  }
  std::vector<TMenuItem*> rows_;
  TMenuItem* chosen = nullptr;
  int hot = -1;
  bool closed = false;

  int RowAt(TPoint p) const {
    if (p.x < 0 || p.x >= Width() || p.y < 2) return -1;
    const int row = (p.y - 2) / kItemHeight;
    return row < static_cast<int>(rows_.size()) ? row : -1;
  }

  void WndProc(TMessage& m) override {
    switch (m.msg) {
      case WM_MOUSEMOVE: {
        const int row = RowAt(PointFromLParam(m.lParam));
        if (row != hot) {
          hot = row;
          Invalidate();
        }
        return;
      }
      case WM_LBUTTONUP: {
        const int row = RowAt(PointFromLParam(m.lParam));
        if (row >= 0 && rows_[static_cast<std::size_t>(row)]->Enabled()) {
          chosen = rows_[static_cast<std::size_t>(row)];
          closed = true;
        }
        return;
      }
      case WM_KEYDOWN:
        if (m.wParam == VK_ESCAPE) closed = true;
        if (m.wParam == VK_DOWN || m.wParam == VK_UP) {
          const int n = static_cast<int>(rows_.size());
          if (n) hot = (hot + (m.wParam == VK_DOWN ? 1 : n - 1) + (hot < 0 && m.wParam == VK_UP ? 1 : 0)) % n;
          Invalidate();
        }
        if (m.wParam == VK_RETURN && hot >= 0 && rows_[static_cast<std::size_t>(hot)]->Enabled()) {
          chosen = rows_[static_cast<std::size_t>(hot)];
          closed = true;
        }
        return;
      case CN_KEYDOWN:
        m.result = 0;
        return;
      case WM_CLOSE:
        closed = true;
        return;
      default:
        TCustomForm::WndProc(m);
    }
  }

 protected:
  void PaintWindow(TCanvas& dc) override {
    TRect r = Rect(0, 0, Width(), Height());
    dc.Frame3D(r, cl3DLight, cl3DDkShadow, 1);
    dc.Frame3D(r, clBtnHighlight, clBtnShadow, 1);
    dc.Font().Assign(Font());
    for (std::size_t i = 0; i < rows_.size(); ++i) {
      TRect row = Rect(2, 2 + static_cast<int>(i) * kItemHeight, Width() - 2, 2 + static_cast<int>(i + 1) * kItemHeight);
      const bool isHot = static_cast<int>(i) == hot;
      if (isHot) {
        dc.Brush().SetColor(clHighlight);
        dc.FillRect(row);
      }
      dc.Brush().SetStyle(bsClear);
      dc.SetTextColor(!rows_[i]->Enabled() ? clGrayText : isHot ? clHighlightText : clMenuText);
      TRect text = Rect(row.left + 16, row.top, row.right - 8, row.bottom);
      dc.DrawText(rows_[i]->Caption(), text, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    }
  }

 private:
  TMenuItem& root_;
};

}  // namespace

const classes::TClassInfo& TPopupMenu::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TPopupMenu, classes::TComponent>("TPopupMenu", [](auto& c) {
    c.Enum("Alignment", &TPopupMenu::Alignment, &TPopupMenu::SetAlignment, {"paLeft", "paRight", "paCenter"})
        .Default(paLeft);
    c.Bool("AutoPopup", &TPopupMenu::AutoPopup, &TPopupMenu::SetAutoPopup).Default(true);
    c.Event("OnPopup", &TPopupMenu::OnPopup, &TPopupMenu::SetOnPopup);
  });
  return info;
}

TPopupMenu::TPopupMenu(classes::TComponent* owner) : classes::TComponent(owner), items_(new TMenuItem(this)) {}

void TPopupMenu::Notification(classes::TComponent* c, classes::TOperation op) {
  classes::TComponent::Notification(c, op);
  if (op == classes::opRemove && c == popupComponent_) popupComponent_ = nullptr;
}

void TPopupMenu::Popup(int x, int y) {
  if (!Application || showing_) return;
  onPopup_.Fire(this);
  auto* window = new TMenuWindow(Application, *items_);
  window_ = window;
  showing_ = true;
  TMenuItem* chosen = nullptr;
  try {
    TBitmap scratch(1, 1);
    scratch.Canvas().Font().Assign(window->Font());
    int width = 80;
    for (TMenuItem* i : window->rows_) width = std::max(width, scratch.Canvas().TextWidth(i->Caption()) + 40);
    const int height = static_cast<int>(window->rows_.size()) * kItemHeight + 4;
    int left = x;
    if (alignment_ == paRight) left = x - width;
    else if (alignment_ == paCenter) left = x - width / 2;
    window->SetBounds(left, y, width, height);
    TCustomForm* previous = Application->Windows().ActiveForm();
    window->Show();
    while (!window->closed && !Application->Terminated()) {
      // A press outside the menu closes it and is left in the queue.
      TMessage m;
      if (PeekMessage(m, 0, 0, 0, PM_NOREMOVE) &&
          (m.msg == WM_LBUTTONDOWN || m.msg == WM_LBUTTONDBLCLK || m.msg == WM_RBUTTONDOWN) &&
          m.hwnd != window->Handle())
        break;
      if (!Application->HandleMessage()) break;
    }
    chosen = window->chosen;
    window->Hide();
    if (previous && previous->Visible()) Application->Windows().ActivateForm(previous);
  } catch (...) {
    showing_ = false;
    window_ = nullptr;
    delete window;
    throw;
  }
  showing_ = false;
  window_ = nullptr;
  delete window;
  if (chosen) chosen->Click();
}

}  // namespace ui
