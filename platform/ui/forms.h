// Forms, the screen object and the application object.
//
// A program starts like this:
//
//   int main() {
//     ui::TApplication app;                       // picks the backend for the host
//     app.Initialize();
//     app.SetTitle("Atualização de Estrutura do ML2 e ML6"_ansi);
//     app.CreateForm<TFPrincipal>(kFPrincipalDescription, &FPrincipal);
//     app.Run();                                  // until the main form closes
//   }
//
// CreateForm builds the form object, reads its stored description (the only way forms are
// made: components created by class name, properties set, events bound by method name, the
// loaded hooks run) and then fires OnCreate. The first form created is the main form.
#pragma once
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/classes/filer.h"
#include "platform/ui/backend.h"
#include "platform/ui/bitmap.h"
#include "platform/ui/controls.h"
#include "platform/ui/windowsystem.h"

namespace ui {

enum TFormBorderStyle { bsNoneForm, bsSingleForm, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TBorderIcon : unsigned { biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8 };
using TBorderIcons = unsigned;
enum TPosition { poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter, poMainFormCenter, poOwnerFormCenter };
enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };

using TCloseEvent = classes::TMethod<void(classes::TObject*, TCloseAction&)>;
using TCloseQueryEvent = classes::TMethod<void(classes::TObject*, bool&)>;

struct FrameMetrics {
  int side = 0;    // left, right and bottom
  int top = 0;     // caption and border
};
FrameMetrics FrameMetricsOf(TFormBorderStyle style);

class TCustomForm : public TWinControl {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TCustomForm(classes::TComponent* owner);
  ~TCustomForm() override;

  // Reads the stored description into this form (the class must match the description's).
  void ReadDescription(std::string_view description);
  // Fires OnCreate (an exception there goes to the application's error box).
  void DoCreate();

  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle v);
  TBorderIcons BorderIcons() const { return borderIcons_; }
  void SetBorderIcons(TBorderIcons v);
  TPosition Position() const { return position_; }
  void SetPosition(TPosition v) { position_ = v; }
  int PixelsPerInch() const { return 96; }
  void SetPixelsPerInch(int) {}
  int TextHeight() const { return textHeight_; }
  void SetTextHeight(int v) { textHeight_ = v; }
  TWindowState WindowState() const { return windowState_; }
  void SetWindowState(TWindowState v) { windowState_ = v; }
  TFormStyle FormStyle() const { return formStyle_; }
  void SetFormStyle(TFormStyle v) { formStyle_ = v; }
  bool KeyPreview() const { return keyPreview_; }
  void SetKeyPreview(bool v) { keyPreview_ = v; }
  bool Scaled() const { return scaled_; }
  void SetScaled(bool v) { scaled_ = v; }
  bool OldCreateOrder() const { return oldCreateOrder_; }
  void SetOldCreateOrder(bool v) { oldCreateOrder_ = v; }

  TRect ClientRect() const override;
  TPoint ClientOrigin() const override;
  void SetClientSize(int w, int h) override;
  FrameMetrics Frame() const { return FrameMetricsOf(borderStyle_); }

  TWinControl* ActiveControl() const { return activeControl_; }
  void SetActiveControl(TWinControl* c);
  // Moves the focus to the next (or previous) tab stop after `current`.
  void SelectNext(TWinControl* current, bool forward);
  // The focus arrives at a control of this form (the window system calls this).
  void FocusArrived(TWinControl* control);

  int ModalResult() const { return modalResult_; }
  void SetModalResult(int v) { modalResult_ = v; }
  int ShowModal();
  bool IsModal() const { return modal_; }
  void Close();
  bool CloseQuery();
  // Ends pending modes: a control of this form holding the mouse capture is told
  // (CM_CANCELMODE) and loses it.
  void CancelModes();
  void Release();
  bool Active() const { return active_; }

  const classes::TNotifyEvent& OnCreate() const { return onCreate_; }
  void SetOnCreate(classes::TNotifyEvent e) { onCreate_ = std::move(e); }
  const classes::TNotifyEvent& OnActivate() const { return onActivate_; }
  void SetOnActivate(classes::TNotifyEvent e) { onActivate_ = std::move(e); }
  const classes::TNotifyEvent& OnDeactivate() const { return onDeactivate_; }
  void SetOnDeactivate(classes::TNotifyEvent e) { onDeactivate_ = std::move(e); }
  const classes::TNotifyEvent& OnShow() const { return onShow_; }
  void SetOnShow(classes::TNotifyEvent e) { onShow_ = std::move(e); }
  const classes::TNotifyEvent& OnHide() const { return onHide_; }
  void SetOnHide(classes::TNotifyEvent e) { onHide_ = std::move(e); }
  const classes::TNotifyEvent& OnDestroy() const { return onDestroy_; }
  void SetOnDestroy(classes::TNotifyEvent e) { onDestroy_ = std::move(e); }
  const TCloseEvent& OnClose() const { return onClose_; }
  void SetOnClose(TCloseEvent e) { onClose_ = std::move(e); }
  const TCloseQueryEvent& OnCloseQuery() const { return onCloseQuery_; }
  void SetOnCloseQuery(TCloseQueryEvent e) { onCloseQuery_ = std::move(e); }

  void WndProc(TMessage& m) override;
  void SetVisible(bool v) override;
  bool HasParent() const override { return false; }
  void Loaded() override;

 protected:
  void CreateWnd() override;
  void DestroyWnd() override;
  TopLevelInfo TopLevelWindowInfo() override;
  virtual void Activate();
  virtual void Deactivate();
  virtual void DoClose(TCloseAction& action);
  // Enter and Escape from a focused control: Enter clicks the focused button, else the
  // default button; Escape the cancel button. True when a button took it.
  virtual bool DialogKey(int key, TShiftState shift);
  void ApplyPosition();
  void PaintWindow(TCanvas& dc) override;

 private:
  TFormBorderStyle borderStyle_ = bsSizeable;
  TBorderIcons borderIcons_ = biSystemMenu | biMinimize | biMaximize;
  TPosition position_ = poDesigned;
  TWindowState windowState_ = wsNormal;
  TFormStyle formStyle_ = fsNormal;
  int textHeight_ = 13;
  bool keyPreview_ = false;
  bool scaled_ = true;
  bool oldCreateOrder_ = false;
  TWinControl* activeControl_ = nullptr;
  int modalResult_ = 0;
  bool modal_ = false;
  bool active_ = false;
  bool activatedOnce_ = false;
  bool positioned_ = false;
  classes::TNotifyEvent onCreate_, onActivate_, onDeactivate_, onShow_, onHide_, onDestroy_;
  TCloseEvent onClose_;
  TCloseQueryEvent onCloseQuery_;
};

class TForm : public TCustomForm {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TForm(classes::TComponent* owner) : TCustomForm(owner) {}
};

// Screen cursors registered by number.
class TScreen : public classes::TComponent {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TScreen(classes::TComponent* owner);
  ~TScreen() override;
  int Width() const;
  int Height() const;
  int PixelsPerInch() const { return 96; }
  TCustomForm* ActiveForm() const;
  TWinControl* ActiveControl() const;
  int FormCount() const;
  TCustomForm* Forms(int index) const;
  // Cursors by number; the screen owns them and releases them at the end.
  void SetCursor(int id, std::shared_ptr<TBitmap> image, TPoint hotSpot);
  bool HasCursor(int id) const;
  TPoint CursorHotSpot(int id) const;

 private:
  struct CursorEntry {
    std::shared_ptr<TBitmap> image;
    TPoint hotSpot;
  };
  std::map<int, CursorEntry> cursors_;
};

// Message-box flags.
enum : unsigned {
  MB_OK = 0x0,
  MB_OKCANCEL = 0x1,
  MB_YESNOCANCEL = 0x3,
  MB_YESNO = 0x4,
  MB_ICONERROR = 0x10,
  MB_ICONQUESTION = 0x20,
  MB_ICONWARNING = 0x30,
  MB_ICONINFORMATION = 0x40,
  MB_DEFBUTTON2 = 0x100,
};

class TApplication : public classes::TComponent {
  CLASSES_DECLARE_CLASSINFO()
 public:
  // The backend for the host (on screen with a display, else headless on the console).
  TApplication();
  // A given backend (tests pass the headless one).
  explicit TApplication(std::unique_ptr<Backend> backend);
  ~TApplication() override;

  void Initialize() {}
  // The user-interface thread: the one that created the application.
  std::uint32_t ThreadId() const { return threadId_; }
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& v) { title_ = v; }
  void SetTitle(std::string_view v) { title_ = std::string(v); }
  TCustomForm* MainForm() const { return mainForm_; }
  bool ShowMainForm() const { return showMainForm_; }
  void SetShowMainForm(bool v) { showMainForm_ = v; }

  // Creates a form of class F owned by the application from its stored description and fires
  // its OnCreate; the first one becomes the main form. `reference` (if given) receives it
  // before the description is read, as the program's global form variable. A form that cannot
  // be made is shown in the error box like any other error and gives null: no form is left.
  template <class F>
  F* CreateForm(std::string_view description, F** reference = nullptr) {
    F* form = nullptr;
    try {
      form = new F(this);
      if (reference) *reference = form;
      form->ReadDescription(description);
    } catch (...) {
      if (reference) *reference = nullptr;
      delete form;
      HandleCurrentException();
      return nullptr;
    }
    if (!mainForm_) mainForm_ = form;
    form->DoCreate();
    return form;
  }

  // The message loop: shows the main form and runs until the main form closes or Terminate.
  void Run();
  // Processes one message, or waits for the next; false when the wait found that nothing can
  // ever arrive (a headless run with nothing pending), which ends the program.
  bool HandleMessage();
  // Processes every message waiting now.
  void ProcessMessages();
  // One message if there is one; true when a message was processed.
  bool ProcessMessage();
  void Terminate();
  bool Terminated() const { return terminated_; }
  int ExitCode() const { return exitCode_; }

  // The error box for an exception no handler caught: its text (with "." appended when it is
  // not empty and its last byte is above "."), the title as caption, one OK button.
  void HandleException(const std::exception& e);
  void HandleCurrentException();
  void ShowException(const std::string& message);
  static std::string ErrorBoxText(const std::string& message);
  // How many error boxes the program has shown (a run without a display reports failure by it).
  int ErrorBoxCount() const { return errorBoxCount_; }

  // Modal boxes, centred on the screen, captioned with the title when no caption is given.
  // Returns the answer (IDOK, IDYES, IDNO, IDCANCEL).
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags);
  int ShowBox(const BoxRequest& request);

  WindowSystem& Windows() { return *windows_; }
  TScreen& Screen() { return *screen_; }
  void FormClosed(TCustomForm* form);
  void FormDestroyed(TCustomForm* form);
  void HelpContext(int) {}

 private:
  std::uint32_t threadId_ = 0;
  std::unique_ptr<WindowSystem> windows_;
  TScreen* screen_ = nullptr;
  std::string title_;
  TCustomForm* mainForm_ = nullptr;
  bool showMainForm_ = true;
  bool terminated_ = false;
  int exitCode_ = 0;
  int errorBoxCount_ = 0;
};

// The application and screen objects of the running program (null when none exists).
extern TApplication* Application;
extern TScreen* Screen;

// Registers the class library's component classes with the class registry, so that stored
// descriptions find them by name (the application object does this when it is created).
void RegisterComponentClasses();

// Tells every control of every form that the system colours changed (CM_SYSCOLORCHANGE).
void NotifySystemColorsChanged();

// Shows a message box with one OK button and the application title as caption.
void ShowMessage(const std::string& text);
// The Yes/No confirmation box: caption, question icon, "&Sim" (Yes, default) and "&Não" (No,
// also Escape); its close button answers Cancel. Returns mrYes, mrNo or mrCancel.
int ConfirmationBox(const std::string& text, const std::string& caption);

}  // namespace ui
