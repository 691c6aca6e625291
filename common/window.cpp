// Window helpers: placing small dialogs relative to the main window, the
// two small dialog procedures placed that way, centring the folder browser
// and a main window, bringing a window forward and the user's documents
// folder.
#include "common/window.h"

#include <shlobj.h>

#include "common/text.h"

HWND MainWindow;
HWND BrowseOwner;
POINT BrowseOffset;

namespace {

// Screen position of a window's client-area origin and its window
// rectangle. Returns false when the window cannot be asked.
bool WindowMeasure(HWND window, ScreenPoint* origin, RECT* rect) {
  POINT point = {0, 0};
  if (!ClientToScreen(window, &point) || !GetWindowRect(window, rect))
    return false;
  origin->x = point.x;
  origin->y = point.y;
  return true;
}

// Moves a window to a position, keeping its size, without repainting.
void WindowMoveTo(HWND window, const RECT& rect, ScreenPoint at) {
  MoveWindow(window, at.x, at.y, rect.right - rect.left, rect.bottom - rect.top,
             FALSE);
}

// The dialog procedure of a dialog placed below the main window that ends
// with any of the command ids 1 to last.
INT_PTR PlacedDialogProc(HWND dialog, UINT message, WPARAM wparam, int last) {
  switch (message) {
    case WM_INITDIALOG:
      DialogPlaceBelowMain(dialog);
      return TRUE;
    case WM_COMMAND: {
      int id = LOWORD(wparam);
      if (id < 1 || id > last) return FALSE;
      EndDialog(dialog, id);
      return TRUE;
    }
  }
  return FALSE;
}

}  // namespace

void DialogPlaceBelowMain(HWND dialog) {
  // When the main window or the dialog cannot be measured, the dialog stays
  // where the system put it rather than being moved off the screen.
  ScreenPoint origin, unused;
  RECT main_rect, rect;
  if (!WindowMeasure(MainWindow, &origin, &main_rect) ||
      !WindowMeasure(dialog, &unused, &rect))
    return;
  ScreenPoint at = PlaceBelowMain(origin, main_rect.right - main_rect.left,
                                  rect.right - rect.left);
  WindowMoveTo(dialog, rect, at);
}

INT_PTR CALLBACK SaveConfirmDialogProc(HWND dialog, UINT message, WPARAM wparam,
                                       LPARAM lparam) {
  // 1 save, 2 cancel, 3 discard.
  return PlacedDialogProc(dialog, message, wparam, 3);
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wparam,
                                 LPARAM lparam) {
  // 1 OK, 2 cancel (Escape, close box).
  return PlacedDialogProc(dialog, message, wparam, 2);
}

int CALLBACK BrowseDialogCallback(HWND window, UINT message, LPARAM lparam,
                                  LPARAM data) {
  if (message != BFFM_INITIALIZED) return 0;
  // The data is the initial folder; without one the browser keeps its own
  // selection.
  const wchar_t* folder = reinterpret_cast<const wchar_t*>(data);
  if (folder && folder[0])
    SendMessageW(window, BFFM_SETSELECTIONW, TRUE, data);
  ScreenPoint origin, unused;
  RECT owner_rect, rect;
  if (!WindowMeasure(BrowseOwner, &origin, &owner_rect) ||
      !WindowMeasure(window, &unused, &rect))
    return 0;
  ScreenPoint offset = {static_cast<int>(BrowseOffset.x),
                        static_cast<int>(BrowseOffset.y)};
  ScreenPoint at = PlaceCentred(origin, offset, owner_rect.right - owner_rect.left,
                                owner_rect.bottom - owner_rect.top,
                                rect.right - rect.left, rect.bottom - rect.top);
  WindowMoveTo(window, rect, at);
  return 0;
}

void WindowCentreOnDesktop(HWND window) {
  RECT desktop, rect;
  if (GetWindowRect(GetDesktopWindow(), &desktop) && GetWindowRect(window, &rect)) {
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    SetWindowPos(window, NULL, (desktop.right - width) / 2, (desktop.bottom - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER);
  }
  ShowWindow(window, SW_SHOW);
}

void WindowBringForward(HWND window) {
  DWORD foreground_thread = GetWindowThreadProcessId(GetForegroundWindow(), NULL);
  DWORD target_thread = GetWindowThreadProcessId(window, NULL);
  SetForegroundWindow(window);
  if (foreground_thread == target_thread) {
    BringWindowToTop(window);
  } else if (AttachThreadInput(target_thread, foreground_thread, TRUE)) {
    // Sharing the input state with the foreground thread lets the window
    // be raised even where the system guards the foreground.
    BringWindowToTop(window);
    AttachThreadInput(target_thread, foreground_thread, FALSE);
  }
  SetForegroundWindow(window);
}

void DocumentsFolderGet(wchar_t* dest) {
  TextCopy(dest, VT_PATH_CAP, L"C:\\");
  if (FAILED(CoInitialize(NULL))) return;
  IMalloc* allocator = NULL;
  if (SUCCEEDED(SHGetMalloc(&allocator))) {
    LPITEMIDLIST items = NULL;
    if (SUCCEEDED(SHGetSpecialFolderLocation(NULL, CSIDL_PERSONAL, &items))) {
      // The path is at most MAX_PATH characters with its terminator, which
      // the buffer holds; a location without a file-system path is empty.
      wchar_t path[VT_PATH_CAP] = {0};
      if (!SHGetPathFromIDListW(items, path)) path[0] = 0;
      allocator->Free(items);
      for (int i = 0; i < VT_PATH_CAP; ++i) dest[i] = path[i];
    }
    allocator->Release();
  }
  CoUninitialize();
}
