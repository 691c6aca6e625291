// Drives real windows of another thread or another process as a user
// would, for the tests of both programs' dialogs.
//
// Every query polls until its timeout and never blocks on the window it
// drives: clicks and keys are posted, never sent, because a sent click
// whose handler opens a modal box would not return until that box closed.
// Texts are read with WM_GETTEXT, which also works for the controls of
// another process. Whatever is asked of a window waits for its answer: a
// program busy with a command on a loaded machine is asked again (for up
// to 30 seconds), so that a question it has not answered yet is never
// taken for an empty text or an unchecked box.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <stdint.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

// What a top-level window must match; empty fields match anything.
struct UiWindowQuery {
  const wchar_t* caption = nullptr;     // exact caption
  const wchar_t* caption_prefix = nullptr;  // the caption begins with it
  const wchar_t* class_name = nullptr;  // exact class name ("#32770": dialog)
  DWORD process_id = 0;                 // owning process
  int control_id = 0;                   // a child control it must have
  HWND exclude = nullptr;               // a window to pass over
};

// The first visible top-level window that matches, or NULL.
HWND UiWindowFind(const UiWindowQuery& query);

// Waits up to timeout_ms for a visible top-level window that matches.
// Returns it, or NULL on timeout.
HWND UiWindowWait(const UiWindowQuery& query, DWORD timeout_ms);

// Waits for a dialog of a process (0: any process), with an exact caption
// when caption is not NULL.
HWND UiDialogWait(DWORD process_id, const wchar_t* caption, DWORD timeout_ms);

// Waits for a dialog of a process whose caption begins with prefix (a
// caption that names the open document).
HWND UiDialogWaitPrefix(DWORD process_id, const wchar_t* prefix, DWORD timeout_ms);

// Waits for a message box of a process (0: any process): a dialog with the
// static text control 0xFFFF.
HWND UiMessageBoxWait(DWORD process_id, DWORD timeout_ms);

// Id of the static control that holds a message box's text.
enum { UI_MESSAGE_BOX_TEXT_ID = 0xFFFF };

// Text of a window (caption of a top-level window, text of a control).
std::wstring UiWindowText(HWND window);

// Text of the control with the id in a dialog; empty when there is none.
std::wstring UiControlText(HWND dialog, int id);

// The icon a dialog shows in its first icon static control, or NULL.
HICON UiDialogIcon(HWND dialog);

struct UiButton {
  int id;
  std::wstring text;
  HWND window;
};

// Text of the selected item of the first tree view in a dialog (the folder
// browser's tree, for one), also of another process; empty when there is
// no tree or no selection.
std::wstring UiTreeSelectionText(HWND dialog);

// The visible push buttons of a dialog, in child order.
std::vector<UiButton> UiPushButtons(HWND dialog);

// Posts a click of the button with the id to its dialog. Returns false when
// the dialog has no such control or the post failed.
bool UiClick(HWND dialog, int id);

// Sets the text of the edit control with the id as typing would: the edit
// notifies its dialog of the update and the change, and the dialog then
// receives the kill-focus notification of the user leaving the field.
// Returns false when there is no such control or it did not take the text.
bool UiSetEditText(HWND dialog, int id, const wchar_t* text);

// Clicks the button with the id as a user does: the button itself takes
// the click (a check box or radio button changes its state) and notifies
// its dialog. Posted, so a handler that opens a modal box cannot block.
bool UiPress(HWND dialog, int id);

// Posts a command to a window as its menu or a shortcut would.
bool UiCommand(HWND window, int id);

// Whether the check box or radio button with the id is checked, and
// whether the control is enabled.
bool UiChecked(HWND dialog, int id);
bool UiEnabled(HWND dialog, int id);

// Selects an entry of a drop-down list as a user would (the list's
// selection, then its notification to the dialog), and reads it back.
bool UiListSelect(HWND dialog, int id, int index);
int UiListSelection(HWND dialog, int id);

// Types a full path into a file dialog's file name field and presses its
// default button. Returns false when the dialog has no file name field.
bool UiFileDialogChoose(HWND dialog, const wchar_t* path);

// Selects a folder in a folder browser of another process as a user who
// walks its tree to it would: the path is handed to the browser in its own
// process. Returns false when it cannot be handed over.
bool UiFolderBrowserSelect(HWND browser, const wchar_t* path);

// Posts a key press and release (for example VK_ESCAPE) to the control of
// the window that has the keyboard focus, or to the window itself.
bool UiSendKey(HWND window, UINT virtual_key);

// Posts IDCANCEL to every visible dialog of a thread: the rescue of a test
// whose driver lost its way, so that the modal call under test returns.
void UiDialogsCancel(DWORD thread_id);

// Runs modal on the calling thread (which then owns the dialogs it opens)
// while drive answers them from a second thread. When drive returns false,
// having lost its way, or modal has not returned 10 seconds after drive,
// the dialogs of the calling thread are cancelled until modal returns, so
// that a failing test fails instead of hanging. Returns
// what modal returned; drive_ok, when given, receives what drive returned.
intptr_t UiRunModal(const std::function<intptr_t()>& modal,
                    const std::function<bool()>& drive, bool* drive_ok = nullptr);

// Creates dialog dialog_id of this program's templates, never shown, and
// hands back in shared the ids that two controls or more of it share, each
// once, in the order of the controls (the id of unnamed controls, -1,
// aside): empty when each control has an id of its own. Returns false when
// the dialog cannot be created.
bool UiTemplateSharedIds(int dialog_id, std::vector<int>* shared);

// Waits up to timeout_ms until the window is gone.
bool UiWindowGoneWait(HWND window, DWORD timeout_ms);

// Starts a program with a command line (program path first) in folder (the
// current one when empty), trying again twice when the system refuses
// (ProgramStart). Returns the process handle (to close with CloseHandle)
// and its id, or NULL.
HANDLE UiProcessStart(const std::wstring& command_line, DWORD* process_id,
                      const std::wstring& folder = std::wstring());

// Waits up to timeout_ms for a process to end. Returns false on timeout;
// otherwise its exit code goes to exit_code.
bool UiProcessWait(HANDLE process, DWORD timeout_ms, DWORD* exit_code);

// Captures the screen with GDI into a 24-bit BMP file: the whole screen,
// or the rectangle around the windows given, which are raised above all
// others for it. Returns false when a window or the screen cannot be read
// or the file cannot be written.
bool UiScreenshot(const wchar_t* bmp_path, std::initializer_list<HWND> windows = {});
