// Files dropped on a window: a window registers for them (DragAcceptFiles); a drop arrives as
// WM_DROPFILES with a drop object in wParam, read with DragQueryFile and released with
// DragFinish. Headless, tests deliver drops through the driver.
#pragma once
#include <string>
#include <vector>

#include "platform/ui/messages.h"

namespace ui {

struct TDropFiles {
  std::vector<std::string> names;  // Windows-form paths, code page 1252
  TPoint point;                    // in the receiving window's client area
};
using HDROP = TDropFiles*;

void DragAcceptFiles(HWND hwnd, bool accept);
bool AcceptsDroppedFiles(HWND hwnd);
// The number of names in the drop.
int DragQueryFileCount(HDROP drop);
// Name `index`, cut to bufferSize - 1 characters (the buffer holds the terminating zero).
std::string DragQueryFile(HDROP drop, int index, int bufferSize);
void DragFinish(HDROP drop);

}  // namespace ui
