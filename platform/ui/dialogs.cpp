#include "platform/ui/dialogs.h"

#include <algorithm>

#include "platform/classes/classbuilder.h"
#include "platform/ui/stdctrls.h"

namespace ui {
namespace {

// The box is the class library's own form, built in code rather than read from a description.
class TBoxForm final : public TForm {
 public:
  TBoxForm(classes::TComponent* owner, const BoxRequest& request) : TForm(owner), request_(request) {}
  const BoxRequest& Request() const { return request_; }

  void WndProc(TMessage& m) override {
    if (m.msg == WM_CLOSE) {
      SetModalResult(request_.closeResult == 0 ? mrCancel : request_.closeResult);
      return;
    }
    if (m.msg == CM_DIALOGKEY && m.wParam == VK_ESCAPE) {
      SetModalResult(request_.escapeResult == 0 ? mrCancel : request_.escapeResult);
      m.result = 1;
      return;
    }
    TForm::WndProc(m);
  }

 private:
  BoxRequest request_;
};

// The box's icon: a 32 x 32 disc with its sign.
class TBoxIcon final : public TGraphicControl {
 public:
  TBoxIcon(classes::TComponent* owner, BoxRequest::Icon icon) : TGraphicControl(owner), icon_(icon) {
    SetBounds(0, 0, 32, 32);
  }

 protected:
  void Paint() override {
    TCanvas& c = Canvas();
    TColor disc = clNavy, sign = clWhite;
    const char* text = "i";
    if (icon_ == BoxRequest::ErrorIcon) {
      disc = clRed;
      text = "X";
    } else if (icon_ == BoxRequest::QuestionIcon) {
      text = "?";
    } else if (icon_ == BoxRequest::WarningIcon) {
      disc = clYellow;
      sign = clBlack;
      text = "!";
    }
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) {
        const int dx = 2 * x - 31, dy = 2 * y - 31;
        if (dx * dx + dy * dy <= 31 * 31) c.SetPixel(x, y, disc);
      }
    c.Font().SetName("MS Sans Serif");
    c.Font().SetHeight(-20);
    c.Font().SetStyle(fsBold);
    c.Font().SetColor(sign);
    c.Brush().SetStyle(bsClear);
    TRect r = Rect(0, 0, 32, 32);
    c.DrawText(text, r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }

 private:
  BoxRequest::Icon icon_;
};

// Title-bar room beside the caption text: the window icon, the close box and their margins.
constexpr int kCaptionButtonsRoom = 72;

// The width the window manager needs to show the caption whole in its title bar: the caption
// in a bold 10-point face (the usual title font) beside the window icon and the close box.
int CaptionRoom(const std::string& caption) {
  TBitmap scratch(1, 1);
  TFont& font = scratch.Canvas().Font();
  font.SetName("MS Sans Serif");
  font.SetHeight(-13);
  font.SetStyle(fsBold);
  TRect r = Rect(0, 0, 0, 0);
  scratch.Canvas().DrawText(caption, r, DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT);
  return r.Width() + kCaptionButtonsRoom;
}

}  // namespace

int RunBoxForm(const BoxRequest& request) {
  auto* form = new TBoxForm(Application, request);
  try {
    form->SetBorderStyle(bsDialog);
    form->SetBorderIcons(biSystemMenu);
    form->SetCaption(request.caption);
    form->SetPosition(poScreenCenter);
    form->Font().SetName("MS Sans Serif");
    form->Font().SetHeight(-11);

    auto* label = new TLabel(form);
    label->SetParent(form);
    label->SetWordWrap(true);
    label->SetAutoSize(false);
    TBitmap scratch(1, 1);
    scratch.Canvas().Font().Assign(form->Font());
    TRect textRect = Rect(0, 0, kBoxTextWidth, 0);
    scratch.Canvas().DrawText(request.text.empty() ? " " : request.text, textRect,
                              DT_WORDBREAK | DT_CALCRECT | DT_NOPREFIX);
    label->SetShowAccelChar(false);
    label->SetCaption(request.text);

    const int buttonW = 75, buttonH = 23, gap = 6;
    const int count = static_cast<int>(request.buttons.size());
    const int buttonsW = count * buttonW + std::max(0, count - 1) * gap;
    int textLeft = 18;
    int textTop = 18;
    if (request.icon != BoxRequest::NoIcon) {
      auto* icon = new TBoxIcon(form, request.icon);
      icon->SetParent(form);
      icon->SetBounds(12, 12, 32, 32);
      textLeft = 12 + 32 + 14;
      textTop = std::max(18, 12 + (32 - textRect.Height()) / 2);
    }
    const int clientW = std::max({textLeft + textRect.Width() + 18, buttonsW + 2 * 18, CaptionRoom(request.caption)});
    label->SetBounds(textLeft, textTop, textRect.Width() + 1, std::max(textRect.Height(), 13));
    const int buttonTop = std::max(textTop + label->Height(), request.icon != BoxRequest::NoIcon ? 44 : 0) + 16;
    form->SetClientSize(clientW, buttonTop + buttonH + 12);

    int x = (clientW - buttonsW) / 2;
    TButton* defaultButton = nullptr;
    for (int i = 0; i < count; ++i) {
      auto* b = new TButton(form);
      b->SetParent(form);
      b->SetCaption(request.buttons[static_cast<std::size_t>(i)]);
      b->SetBounds(x, buttonTop, buttonW, buttonH);
      b->SetTabOrder(i);
      const int result = i < static_cast<int>(request.results.size()) ? request.results[static_cast<std::size_t>(i)] : IDOK;
      b->SetModalResult(result);
      if (result == request.defaultResult) {
        b->SetDefault(true);
        defaultButton = b;
      }
      x += buttonW + gap;
    }
    if (defaultButton) form->SetActiveControl(defaultButton);
    const int answer = form->ShowModal();
    delete form;
    return answer;
  } catch (...) {
    delete form;
    throw;
  }
}

}  // namespace ui
