#include "platform/rtl/threads.h"
#include "platform/classes/classbuilder.h"
#include "platform/rtl/ansi.h"
#include "platform/rtl/paths.h"
#include "platform/classes/registry.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/edit.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/menus.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/forms.h"

namespace ui {

using namespace rtl::literals;

TApplication* Application = nullptr;
TScreen* Screen = nullptr;

const classes::TClassInfo& TApplication::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TApplication, classes::TComponent>("TApplication", [](auto&) {});
  return info;
}

TApplication::TApplication() : TApplication(CreateBackendForHost()) {}

TApplication::TApplication(std::unique_ptr<Backend> backend) : classes::TComponent(nullptr) {
  RegisterComponentClasses();
  threadId_ = rtl::GetCurrentThreadId();
  // Until the program names itself, the title is the program's file name without extension.
  title_ = rtl::ChangeFileExt(rtl::ExtractFileName(rtl::ExeFileName()), "");
  windows_ = std::make_unique<WindowSystem>(std::move(backend));
  Application = this;
  screen_ = new TScreen(this);
  ui::Screen = screen_;
}

TApplication::~TApplication() {
  Destroying();
  DestroyComponents();
  if (ui::Screen == screen_) ui::Screen = nullptr;
  if (Application == this) Application = nullptr;
}

void TApplication::Run() {
  if (!mainForm_) return;  // nothing to run without a main form
  if (showMainForm_ && !terminated_) {
    try {
      mainForm_->Show();
    } catch (...) {
      HandleCurrentException();
    }
  }
  while (!terminated_) HandleMessage();
}

bool TApplication::ProcessMessage() {
  TMessage m;
  if (!windows_->Queue().Peek(m, 0, 0, 0, PM_REMOVE)) return false;
  if (m.msg == WM_QUIT) {
    terminated_ = true;
    exitCode_ = static_cast<int>(m.wParam);
    return true;
  }
  try {
    windows_->Dispatch(m);
  } catch (...) {
    HandleCurrentException();
  }
  return true;
}

bool TApplication::HandleMessage() {
  if (ProcessMessage()) return true;
  if (!windows_->GetBackend().WaitForEvents(windows_->Queue().NextTimerDue())) {
    // Nothing is pending and nothing can arrive: a run without a display ends here.
    terminated_ = true;
    return false;
  }
  return true;
}

void TApplication::ProcessMessages() {
  while (ProcessMessage()) {
  }
}

void TApplication::Terminate() { windows_->Queue().PostQuit(0); }

void TApplication::FormClosed(TCustomForm* form) {
  if (form == mainForm_) Terminate();
}

void TApplication::FormDestroyed(TCustomForm* form) {
  if (form == mainForm_) mainForm_ = nullptr;
}

std::string TApplication::ErrorBoxText(const std::string& message) {
  std::string text = message;
  if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.')) text += '.';
  return text;
}

void TApplication::HandleException(const std::exception& e) {
  if (const auto* ours = dynamic_cast<const rtl::Exception*>(&e)) ShowException(ours->Message());
  else ShowException(e.what());
}

void TApplication::HandleCurrentException() {
  try {
    throw;
  } catch (const std::exception& e) {
    HandleException(e);
  } catch (...) {
    ShowException("Unknown error");
  }
}

void TApplication::ShowException(const std::string& message) {
  BoxRequest r;
  r.kind = BoxRequest::Error;
  r.icon = BoxRequest::ErrorIcon;
  r.caption = title_;
  r.text = ErrorBoxText(message);
  r.buttons = {"OK"};
  r.results = {IDOK};
  ShowBox(r);
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  BoxRequest r;
  r.caption = caption.empty() ? title_ : caption;
  r.text = text;
  switch (flags & 0xF) {
    case MB_OKCANCEL:
      r.buttons = {"OK", "Cancelar"};
      r.results = {IDOK, IDCANCEL};
      r.escapeResult = r.closeResult = IDCANCEL;
      break;
    case MB_YESNO:
      r.kind = BoxRequest::Confirmation;
      r.buttons = {"&Sim", std::string("&Não"_ansi)};
      r.results = {IDYES, IDNO};
      r.defaultResult = IDYES;
      r.escapeResult = IDNO;
      r.closeResult = IDCANCEL;
      break;
    case MB_YESNOCANCEL:
      r.kind = BoxRequest::Confirmation;
      r.buttons = {"&Sim", std::string("&Não"_ansi), "Cancelar"};
      r.results = {IDYES, IDNO, IDCANCEL};
      r.defaultResult = IDYES;
      r.escapeResult = r.closeResult = IDCANCEL;
      break;
    default:
      r.buttons = {"OK"};
      r.results = {IDOK};
  }
  switch (flags & 0xF0) {
    case MB_ICONERROR:
      r.kind = BoxRequest::Error;
      r.icon = BoxRequest::ErrorIcon;
      break;
    case MB_ICONQUESTION: r.icon = BoxRequest::QuestionIcon; break;
    case MB_ICONWARNING: r.icon = BoxRequest::WarningIcon; break;
    case MB_ICONINFORMATION: r.icon = BoxRequest::InformationIcon; break;
    default: break;
  }
  if ((flags & MB_DEFBUTTON2) && r.results.size() > 1) r.defaultResult = r.results[1];
  return ShowBox(r);
}

int TApplication::ShowBox(const BoxRequest& request) {
  BoxRequest copy = request;
  if (std::optional<int> answer = windows_->GetBackend().InterceptBox(copy)) return *answer;
  return RunBoxForm(request);
}

void RegisterComponentClasses() {
  classes::RegisterClass<TForm>();
  classes::RegisterClass<TMemo>();
  classes::RegisterClass<TLabel>();
  classes::RegisterClass<TButton>();
  classes::RegisterClass<TBitBtn>();
  classes::RegisterClass<TTimer>();
  classes::RegisterClass<TEdit>();
  classes::RegisterClass<TMaskEdit>();
  classes::RegisterClass<TPopupMenu>();
  classes::RegisterClass<TMenuItem>();
}

void NotifySystemColorsChanged() {
  if (!Screen) return;
  for (int i = 0; i < Screen->FormCount(); ++i) {
    TCustomForm* f = Screen->Forms(i);
    f->Perform(CM_SYSCOLORCHANGE);
    f->Invalidate();
  }
}

void ShowMessage(const std::string& text) {
  if (!Application) return;
  Application->MessageBox(text, Application->Title(), MB_OK);
}

int ConfirmationBox(const std::string& text, const std::string& caption) {
  if (!Application) return mrCancel;
  return Application->MessageBox(text, caption, MB_YESNO | MB_ICONQUESTION);
}

// The screen object.

const classes::TClassInfo& TScreen::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TScreen, classes::TComponent>("TScreen", [](auto&) {});
  return info;
}

TScreen::TScreen(classes::TComponent* owner) : classes::TComponent(owner) {}
TScreen::~TScreen() { cursors_.clear(); }

int TScreen::Width() const { return Application ? Application->Windows().GetBackend().ScreenSize().cx : 1024; }
int TScreen::Height() const { return Application ? Application->Windows().GetBackend().ScreenSize().cy : 768; }

TCustomForm* TScreen::ActiveForm() const { return Application ? Application->Windows().ActiveForm() : nullptr; }
TWinControl* TScreen::ActiveControl() const { return Application ? Application->Windows().FocusedControl() : nullptr; }

int TScreen::FormCount() const {
  int n = 0;
  if (Application)
    for (int i = 0; i < Application->ComponentCount(); ++i)
      if (dynamic_cast<TCustomForm*>(Application->Components(i))) ++n;
  return n;
}

TCustomForm* TScreen::Forms(int index) const {
  int n = 0;
  if (Application)
    for (int i = 0; i < Application->ComponentCount(); ++i)
      if (auto* f = dynamic_cast<TCustomForm*>(Application->Components(i))) {
        if (n == index) return f;
        ++n;
      }
  return nullptr;
}

void TScreen::SetCursor(int id, std::shared_ptr<TBitmap> image, TPoint hotSpot) {
  cursors_[id] = CursorEntry{std::move(image), hotSpot};
}

bool TScreen::HasCursor(int id) const { return cursors_.count(id) != 0; }

TPoint TScreen::CursorHotSpot(int id) const {
  auto it = cursors_.find(id);
  return it == cursors_.end() ? TPoint{} : it->second.hotSpot;
}

}  // namespace ui
