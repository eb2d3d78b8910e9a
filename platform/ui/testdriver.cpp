#include "platform/ui/testdriver.h"

#include "platform/ui/bitmap.h"

namespace ui {

HeadlessDriver::HeadlessDriver(TSize screen) {
  auto backend = std::make_unique<HeadlessBackend>(clock_);
  backend->SetScreenSize(screen);
  backend_ = backend.get();
  backend_->boxHandler = [this](BoxRequest& r) -> std::optional<int> {
    boxes_.push_back(r);
    if ((r.kind == BoxRequest::SelectDirectory || r.kind == BoxRequest::BrowseFolder) && directoryAnswer_) {
      std::optional<std::string> chosen = directoryAnswer_(r);
      if (!chosen) return IDCANCEL;
      r.directory = *chosen;
      return IDOK;
    }
    if (answer_) return answer_(r);
    return r.defaultResult;
  };
  app_ = std::make_unique<TApplication>(std::move(backend));
}

HeadlessDriver::~HeadlessDriver() { app_.reset(); }

void HeadlessDriver::AnswerBoxes(std::function<std::optional<int>(const BoxRequest&)> answer) {
  answer_ = std::move(answer);
}

void HeadlessDriver::AnswerDirectoryDialogs(std::function<std::optional<std::string>(const BoxRequest&)> answer) {
  directoryAnswer_ = std::move(answer);
}

void HeadlessDriver::RunUntilIdle() {
  while (!app_->Terminated() && app_->ProcessMessage()) {
  }
}

void HeadlessDriver::Show(TCustomForm& form) {
  form.Show();
  RunUntilIdle();
}

void HeadlessDriver::AdvanceTime(std::uint64_t ms) {
  const std::uint64_t target = clock_.NowMs() + ms;
  RunUntilIdle();
  while (!app_->Terminated()) {
    const std::optional<std::uint64_t> due = Windows().Queue().NextTimerDue();
    if (!due || *due > target) break;
    clock_.SetNow(*due);
    RunUntilIdle();
  }
  clock_.SetNow(target);
  RunUntilIdle();
}

void HeadlessDriver::Run(std::uint64_t limitMs) {
  backend_->virtualTimeLimitMs = clock_.NowMs() + limitMs;
  app_->Run();
}

void HeadlessDriver::Mouse(TControl& c, std::uint32_t msg, int x, int y, WPARAM keys) {
  TWinControl* top = c.TopLevel();
  if (!top) return;
  const TPoint off = c.ClientOffsetInTopLevel();
  backend_->Sink()->MouseInput(top->Handle(), msg, {off.x + x, off.y + y}, keys);
}

void HeadlessDriver::MouseMove(TControl& c, int x, int y, WPARAM keys) {
  Mouse(c, WM_MOUSEMOVE, x, y, keys);
  RunUntilIdle();
}

void HeadlessDriver::MouseDown(TControl& c, int x, int y, TMouseButton b, WPARAM keys) {
  Mouse(c, WM_MOUSEMOVE, x, y, keys);
  const WPARAM held = b == mbLeft ? MK_LBUTTON : b == mbRight ? MK_RBUTTON : MK_MBUTTON;
  Mouse(c, b == mbLeft ? WM_LBUTTONDOWN : b == mbRight ? WM_RBUTTONDOWN : WM_MBUTTONDOWN, x, y, keys | held);
  RunUntilIdle();
}

void HeadlessDriver::MouseUp(TControl& c, int x, int y, TMouseButton b, WPARAM keys) {
  Mouse(c, b == mbLeft ? WM_LBUTTONUP : b == mbRight ? WM_RBUTTONUP : WM_MBUTTONUP, x, y, keys);
  RunUntilIdle();
}

void HeadlessDriver::Click(TControl& c, int x, int y) {
  MouseDown(c, x, y);
  MouseUp(c, x, y);
}

void HeadlessDriver::KeyDown(int vk, WPARAM shift) {
  backend_->Sink()->KeyInput(WM_KEYDOWN, vk, shift);
  RunUntilIdle();
}

void HeadlessDriver::KeyUp(int vk, WPARAM shift) {
  backend_->Sink()->KeyInput(WM_KEYUP, vk, shift);
  RunUntilIdle();
}

void HeadlessDriver::PressKey(int vk, WPARAM shift) {
  KeyDown(vk, shift);
  KeyUp(vk, shift);
}

void HeadlessDriver::Type(const std::string& ansi) {
  for (char ch : ansi) backend_->Sink()->CharInput(static_cast<unsigned char>(ch));
  RunUntilIdle();
}

bool HeadlessDriver::DropFiles(TControl& c, int x, int y, const std::vector<std::string>& names) {
  TWinControl* top = c.TopLevel();
  if (!top) return false;
  const TPoint off = c.ClientOffsetInTopLevel();
  const bool taken = Windows().FilesDropped(top->Handle(), {off.x + x, off.y + y}, names);
  RunUntilIdle();
  return taken;
}

std::vector<std::string> HeadlessDriver::MemoLines(const TCustomMemo& memo) { return memo.Lines().Items(); }

const Surface* HeadlessDriver::WindowSurface(TCustomForm& form) {
  RunUntilIdle();
  form.Update();
  return form.TopLevelSurface();
}

TColor HeadlessDriver::Pixel(TControl& c, int x, int y) {
  TWinControl* top = c.TopLevel();
  if (!top) return CLR_INVALID;
  RunUntilIdle();
  top->Update();
  const Surface* s = top->TopLevelSurface();
  const TPoint off = c.OffsetInTopLevel();
  if (!s || !s->Inside(off.x + x, off.y + y)) return CLR_INVALID;
  return s->At(off.x + x, off.y + y);
}

bool HeadlessDriver::SaveScreenshot(TCustomForm& form, const std::string& hostPath) {
  const Surface* s = WindowSurface(form);
  if (!s) return false;
  TBitmap b;
  b.SetSize(s->width, s->height);
  b.Pixels().pixels = s->pixels;
  return b.SaveToBmpFile(hostPath);
}

}  // namespace ui
