// Drives real windows of another thread or another process for the tests.
#include "tests/support/ui_driver.h"

#include <shlobj.h>
#include <stdio.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "tests/support/helpers.h"

namespace {

const DWORD kPollMs = 20;
const UINT kSendTimeoutMs = 2000;
// How long a busy program is waited for before an input counts as lost.
const DWORD kBusyWaitMs = 30000;

// Texts longer than this are not expected in a dialog of either program.
const int kTextCap = 4096;

// Sends a message to a window of any process and takes its answer. A
// program busy with the work of a command (its start, a save or a build
// on a loaded machine) is asked again until it answers: an unanswered
// question is never taken for an answer (an empty text, an unchecked box).
// Returns false when the window is gone or has not answered for
// kBusyWaitMs.
bool SendPatiently(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                   DWORD_PTR* result) {
  bool said = false;
  for (DWORD start = GetTickCount();;) {
    if (SendMessageTimeoutW(window, message, wparam, lparam, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                            result))
      return true;
    if (!IsWindow(window) || GetTickCount() - start > kBusyWaitMs) return false;
    if (!said)
      fwprintf(stderr, L"ui_driver: window %p busy, message 0x%04X asked again\n",
               static_cast<void*>(window), message);
    said = true;
    Sleep(50);
  }
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256];
  int n = GetClassNameW(window, name, 256);
  return std::wstring(name, n > 0 ? n : 0);
}

bool Matches(HWND window, const UiWindowQuery& query) {
  if (window == query.exclude || !IsWindowVisible(window)) return false;
  if (query.process_id) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != query.process_id) return false;
  }
  if (query.class_name && ClassOf(window) != query.class_name) return false;
  if (query.control_id && !GetDlgItem(window, query.control_id)) return false;
  // A top-level window's caption is held by the system and reads without
  // asking the window, so a busy window cannot stall the search.
  if (query.caption || query.caption_prefix) {
    wchar_t caption[512];
    int n = GetWindowTextW(window, caption, 512);
    std::wstring text(caption, n > 0 ? n : 0);
    if (query.caption && text != query.caption) return false;
    if (query.caption_prefix && text.compare(0, wcslen(query.caption_prefix),
                                             query.caption_prefix) != 0)
      return false;
  }
  return true;
}

struct FindState {
  const UiWindowQuery* query;
  HWND found;
};

BOOL CALLBACK FindTopLevel(HWND window, LPARAM param) {
  FindState* state = reinterpret_cast<FindState*>(param);
  if (!Matches(window, *state->query)) return TRUE;
  state->found = window;
  return FALSE;
}

BOOL CALLBACK CollectButton(HWND window, LPARAM param) {
  std::vector<UiButton>* buttons = reinterpret_cast<std::vector<UiButton>*>(param);
  if (!IsWindowVisible(window) || ClassOf(window) != L"Button") return TRUE;
  LONG_PTR type = GetWindowLongPtrW(window, GWL_STYLE) & BS_TYPEMASK;
  if (type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON) return TRUE;
  buttons->push_back(UiButton{GetDlgCtrlID(window), UiWindowText(window), window});
  return TRUE;
}

struct IconSearch {
  HICON icon;
};

BOOL CALLBACK FindIcon(HWND window, LPARAM param) {
  IconSearch* search = reinterpret_cast<IconSearch*>(param);
  if (ClassOf(window) != L"Static") return TRUE;
  if ((GetWindowLongPtrW(window, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) return TRUE;
  DWORD_PTR icon = 0;
  SendPatiently(window, STM_GETICON, 0, 0, &icon);
  search->icon = reinterpret_cast<HICON>(icon);
  return FALSE;
}

BOOL CALLBACK CancelDialog(HWND window, LPARAM) {
  if (IsWindowVisible(window) && ClassOf(window) == L"#32770")
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  return TRUE;
}

BOOL CALLBACK FindTree(HWND window, LPARAM param) {
  if (ClassOf(window) != WC_TREEVIEWW) return TRUE;
  *reinterpret_cast<HWND*>(param) = window;
  return FALSE;
}

bool PostCommand(HWND dialog, int id, WORD code, HWND control) {
  return PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, code),
                      reinterpret_cast<LPARAM>(control)) != FALSE;
}

bool WriteAll(HANDLE file, const void* data, DWORD size) {
  DWORD written = 0;
  return WriteFile(file, data, size, &written, NULL) && written == size;
}

// Writes a bottom-up 24-bit BMP file of the given pixel rows.
bool WriteBmp(const wchar_t* path, int width, int height, const void* bits,
              DWORD stride) {
  BITMAPINFOHEADER info = {};
  info.biSize = sizeof(info);
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  info.biSizeImage = stride * static_cast<DWORD>(height);
  BITMAPFILEHEADER head = {};
  head.bfType = 0x4D42;  // "BM"
  head.bfOffBits = sizeof(head) + sizeof(info);
  head.bfSize = head.bfOffBits + info.biSizeImage;
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = WriteAll(file, &head, sizeof(head)) && WriteAll(file, &info, sizeof(info)) &&
            WriteAll(file, bits, info.biSizeImage);
  CloseHandle(file);
  if (!ok) DeleteFileW(path);
  return ok;
}

}  // namespace

HWND UiWindowFind(const UiWindowQuery& query) {
  FindState state = {&query, NULL};
  EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&state));
  return state.found;
}

HWND UiWindowWait(const UiWindowQuery& query, DWORD timeout_ms) {
  DWORD start = GetTickCount();
  for (;;) {
    HWND found = UiWindowFind(query);
    if (found || GetTickCount() - start >= timeout_ms) return found;
    Sleep(kPollMs);
  }
}

namespace {

// A query for the dialogs of a process (0: any process).
UiWindowQuery DialogQuery(DWORD process_id) {
  UiWindowQuery query;
  query.class_name = L"#32770";
  query.process_id = process_id;
  return query;
}

}  // namespace

HWND UiDialogWait(DWORD process_id, const wchar_t* caption, DWORD timeout_ms) {
  UiWindowQuery query = DialogQuery(process_id);
  query.caption = caption;
  return UiWindowWait(query, timeout_ms);
}

HWND UiDialogWaitPrefix(DWORD process_id, const wchar_t* prefix, DWORD timeout_ms) {
  UiWindowQuery query = DialogQuery(process_id);
  query.caption_prefix = prefix;
  return UiWindowWait(query, timeout_ms);
}

HWND UiMessageBoxWait(DWORD process_id, DWORD timeout_ms) {
  UiWindowQuery query = DialogQuery(process_id);
  query.control_id = UI_MESSAGE_BOX_TEXT_ID;
  return UiWindowWait(query, timeout_ms);
}

std::wstring UiWindowText(HWND window) {
  // WM_GETTEXT is marshalled to another process by the system; GetWindowText
  // would return only the caption of a foreign top-level window.
  std::vector<wchar_t> text(kTextCap, 0);
  DWORD_PTR n = 0;
  if (!SendPatiently(window, WM_GETTEXT, kTextCap, reinterpret_cast<LPARAM>(text.data()), &n))
    return std::wstring();
  return std::wstring(text.data(), n < static_cast<DWORD_PTR>(kTextCap) ? n : kTextCap - 1);
}

std::wstring UiControlText(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  return control ? UiWindowText(control) : std::wstring();
}

HICON UiDialogIcon(HWND dialog) {
  IconSearch search = {NULL};
  EnumChildWindows(dialog, FindIcon, reinterpret_cast<LPARAM>(&search));
  return search.icon;
}

std::wstring UiTreeSelectionText(HWND dialog) {
  HWND tree = NULL;
  EnumChildWindows(dialog, FindTree, reinterpret_cast<LPARAM>(&tree));
  if (!tree) return std::wstring();
  DWORD_PTR item = 0;
  if (!SendPatiently(tree, TVM_GETNEXTITEM, TVGN_CARET, 0, &item) || !item)
    return std::wstring();
  // The system does not carry TVM_GETITEMW's record to another process, so
  // it and the text buffer are placed in the tree's process.
  DWORD pid = 0;
  GetWindowThreadProcessId(tree, &pid);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE,
                               FALSE, pid);
  if (!process) return std::wstring();
  const int cap = MAX_PATH;
  std::wstring text;
  BYTE* remote = static_cast<BYTE*>(VirtualAllocEx(
      process, NULL, sizeof(TVITEMW) + cap * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE));
  if (remote) {
    TVITEMW request = {};
    request.mask = TVIF_TEXT;
    request.hItem = reinterpret_cast<HTREEITEM>(item);
    request.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(TVITEMW));
    request.cchTextMax = cap;
    wchar_t label[cap] = {0};
    DWORD_PTR got = 0;
    if (WriteProcessMemory(process, remote, &request, sizeof(request), NULL) &&
        WriteProcessMemory(process, request.pszText, label, sizeof(label), NULL) &&
        SendPatiently(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote), &got) &&
        got && ReadProcessMemory(process, request.pszText, label, sizeof(label), NULL)) {
      label[cap - 1] = 0;
      text = label;
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  }
  CloseHandle(process);
  return text;
}

bool UiFolderBrowserSelect(HWND browser, const wchar_t* path) {
  DWORD pid = 0;
  GetWindowThreadProcessId(browser, &pid);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid);
  if (!process) return false;
  SIZE_T bytes = (wcslen(path) + 1) * sizeof(wchar_t);
  void* remote = VirtualAllocEx(process, NULL, bytes, MEM_COMMIT, PAGE_READWRITE);
  DWORD_PTR result = 0;
  bool ok = remote && WriteProcessMemory(process, remote, path, bytes, NULL) &&
            SendPatiently(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(remote),
                          &result);
  if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  CloseHandle(process);
  return ok;
}

std::vector<UiButton> UiPushButtons(HWND dialog) {
  std::vector<UiButton> buttons;
  EnumChildWindows(dialog, CollectButton, reinterpret_cast<LPARAM>(&buttons));
  return buttons;
}

bool UiClick(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  return button && PostCommand(dialog, id, BN_CLICKED, button);
}

bool UiSetEditText(HWND dialog, int id, const wchar_t* text) {
  HWND edit = GetDlgItem(dialog, id);
  if (!edit) return false;
  // A single-line edit sends EN_UPDATE and EN_CHANGE itself when its text is
  // set; a multi-line edit does not, so those are sent on its behalf.
  // A program busy with the work of the last command (a save on a loaded
  // machine) is not hung: the text is offered until it is taken, so that
  // no input is lost between two commands.
  DWORD_PTR taken = 0;
  if (!SendPatiently(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text), &taken) || !taken)
    return false;
  if (GetWindowLongPtrW(edit, GWL_STYLE) & ES_MULTILINE) {
    if (!PostCommand(dialog, id, EN_UPDATE, edit) || !PostCommand(dialog, id, EN_CHANGE, edit))
      return false;
  }
  return PostCommand(dialog, id, EN_KILLFOCUS, edit);
}

bool UiPress(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  return button && PostMessageW(button, BM_CLICK, 0, 0) != FALSE;
}

bool UiCommand(HWND window, int id) { return PostCommand(window, id, 0, NULL); }

bool UiChecked(HWND dialog, int id) {
  DWORD_PTR state = 0;
  HWND button = GetDlgItem(dialog, id);
  return button && SendPatiently(button, BM_GETCHECK, 0, 0, &state) && state == BST_CHECKED;
}

bool UiEnabled(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  return control && IsWindowEnabled(control);
}

bool UiListSelect(HWND dialog, int id, int index) {
  HWND list = GetDlgItem(dialog, id);
  DWORD_PTR result = 0;
  return list && SendPatiently(list, CB_SETCURSEL, index, 0, &result) &&
         static_cast<int>(result) == index && PostCommand(dialog, id, CBN_SELCHANGE, list);
}

int UiListSelection(HWND dialog, int id) {
  HWND list = GetDlgItem(dialog, id);
  DWORD_PTR result = static_cast<DWORD_PTR>(-1);
  if (!list || !SendPatiently(list, CB_GETCURSEL, 0, 0, &result)) return -1;
  return static_cast<int>(result);
}

namespace {

// The file name field of a file dialog: the edit control with id 0x47C,
// inside its combo box in the explorer-style dialog.
BOOL CALLBACK FindFileNameEdit(HWND window, LPARAM param) {
  if (GetDlgCtrlID(window) != 0x47C || ClassOf(window) != L"Edit") return TRUE;
  *reinterpret_cast<HWND*>(param) = window;
  return FALSE;
}

}  // namespace

bool UiFileDialogChoose(HWND dialog, const wchar_t* path) {
  HWND edit = NULL;
  EnumChildWindows(dialog, FindFileNameEdit, reinterpret_cast<LPARAM>(&edit));
  if (!edit) edit = GetDlgItem(dialog, 0x480);  // the older dialog's field
  DWORD_PTR taken = 0;
  return edit && SendPatiently(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path), &taken) &&
         taken && PostCommand(dialog, IDOK, BN_CLICKED, GetDlgItem(dialog, IDOK));
}

bool UiSendKey(HWND window, UINT virtual_key) {
  // The dialog manager looks at keys addressed to the dialog or to one of
  // its controls; a real key goes to the control that has the focus.
  HWND target = window;
  GUITHREADINFO info = {};
  info.cbSize = sizeof(info);
  DWORD thread = GetWindowThreadProcessId(window, NULL);
  if (thread && GetGUIThreadInfo(thread, &info) && info.hwndFocus &&
      (info.hwndFocus == window || IsChild(window, info.hwndFocus)))
    target = info.hwndFocus;
  UINT scan = MapVirtualKeyW(virtual_key, 0 /* MAPVK_VK_TO_VSC */);
  LPARAM down = 1 | (static_cast<LPARAM>(scan) << 16);
  LPARAM up = down | (static_cast<LPARAM>(1) << 30) | (static_cast<LPARAM>(1) << 31);
  return PostMessageW(target, WM_KEYDOWN, virtual_key, down) &&
         PostMessageW(target, WM_KEYUP, virtual_key, up);
}

void UiDialogsCancel(DWORD thread_id) {
  EnumThreadWindows(thread_id, CancelDialog, 0);
}

intptr_t UiRunModal(const std::function<intptr_t()>& modal,
                    const std::function<bool()>& drive, bool* drive_ok) {
  DWORD ui_thread = GetCurrentThreadId();
  std::atomic<bool> returned(false);
  bool ok = false;
  std::thread driver([&] {
    ok = drive();
    // A driver that answered leaves the modal call time to return; one that
    // gave up, or whose answer was not taken, has the dialogs cancelled
    // (they may still be on their way, so for a while).
    DWORD start = GetTickCount();
    while (ok && !returned && GetTickCount() - start < 10000) Sleep(kPollMs);
    for (int i = 0; i < 300 && !returned; ++i) {
      UiDialogsCancel(ui_thread);
      Sleep(100);
    }
  });
  intptr_t result = modal();
  returned = true;
  driver.join();
  if (drive_ok) *drive_ok = ok;
  return result;
}

bool UiWindowGoneWait(HWND window, DWORD timeout_ms) {
  DWORD start = GetTickCount();
  while (IsWindow(window) && IsWindowVisible(window)) {
    if (GetTickCount() - start >= timeout_ms) return false;
    Sleep(kPollMs);
  }
  return true;
}

namespace {

INT_PTR CALLBACK InertDialog(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG;
}

}  // namespace

bool UiTemplateSharedIds(int dialog_id, std::vector<int>* shared) {
  shared->clear();
  HWND dialog = CreateDialogParamW(GetModuleHandleW(NULL), MAKEINTRESOURCEW(dialog_id), NULL,
                                   InertDialog, 0);
  if (!dialog) return false;
  std::vector<int> seen;
  for (HWND control = GetWindow(dialog, GW_CHILD); control;
       control = GetWindow(control, GW_HWNDNEXT)) {
    int id = GetDlgCtrlID(control);
    if (id == -1 || id == 0xFFFF) continue;
    if (std::find(seen.begin(), seen.end(), id) == seen.end())
      seen.push_back(id);
    else if (std::find(shared->begin(), shared->end(), id) == shared->end())
      shared->push_back(id);
  }
  DestroyWindow(dialog);
  return true;
}

HANDLE UiProcessStart(const std::wstring& command_line, DWORD* process_id,
                      const std::wstring& folder) {
  return ProgramStart(command_line, folder, NULL, process_id);
}

bool UiProcessWait(HANDLE process, DWORD timeout_ms, DWORD* exit_code) {
  if (WaitForSingleObject(process, timeout_ms) != WAIT_OBJECT_0) return false;
  DWORD code = 0;
  if (!GetExitCodeProcess(process, &code)) return false;
  if (exit_code) *exit_code = code;
  return true;
}

namespace {

// Whether a visible window of another process lies above the first of
// windows and overlaps rect.
bool ForeignWindowAbove(std::initializer_list<HWND> windows, const RECT& rect) {
  DWORD own = 0;
  GetWindowThreadProcessId(*windows.begin(), &own);
  for (HWND above = GetTopWindow(NULL); above; above = GetWindow(above, GW_HWNDNEXT)) {
    for (HWND window : windows)
      if (above == window) return false;
    DWORD process = 0;
    GetWindowThreadProcessId(above, &process);
    RECT its, common;
    if (process != own && IsWindowVisible(above) && GetWindowRect(above, &its) &&
        IntersectRect(&common, &its, &rect))
      return true;
  }
  return false;
}

}  // namespace

bool UiScreenshot(const wchar_t* bmp_path, std::initializer_list<HWND> windows) {
  int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
  int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
  int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  // Raised windows go back to their places however the capture ends.
  struct Lower {
    std::initializer_list<HWND> windows;
    ~Lower() {
      for (HWND window : windows)
        SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
  } lower{windows};
  // Only the windows asked for, raised above whatever other programs show
  // meanwhile; the last one lies on top.
  if (windows.size() != 0) {
    RECT all;
    if (!GetWindowRect(*windows.begin(), &all)) return false;
    for (HWND window : windows) {
      RECT rect;
      if (!GetWindowRect(window, &rect)) return false;
      UnionRect(&all, &all, &rect);
      SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    // Other tests show windows meanwhile; the capture waits a while for
    // those that lie above the rectangle to go.
    for (DWORD start = GetTickCount(); GetTickCount() - start < 15000; Sleep(200))
      if (!ForeignWindowAbove(windows, all)) break;
    Sleep(300);
    RECT screen_rect = {left, top, left + width, top + height};
    IntersectRect(&all, &all, &screen_rect);
    left = all.left;
    top = all.top;
    width = all.right - all.left;
    height = all.bottom - all.top;
  }
  if (width <= 0 || height <= 0) return false;
  HDC screen = GetDC(NULL);
  if (!screen) return false;
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up, as the file stores it
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = NULL;
  HBITMAP bitmap = memory ? CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, NULL, 0)
                          : NULL;
  bool ok = false;
  if (bitmap) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    ok = BitBlt(memory, 0, 0, width, height, screen, left, top, SRCCOPY | CAPTUREBLT) != FALSE;
    SelectObject(memory, old);
    GdiFlush();
    DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    ok = ok && WriteBmp(bmp_path, width, height, bits, stride);
    DeleteObject(bitmap);
  }
  if (memory) DeleteDC(memory);
  ReleaseDC(NULL, screen);
  return ok;
}
