// The editor among the desktop's programs: the caption that names the
// project, project files handed over by a second start or dropped on the
// window, modules dropped on the module field, and the end of the user's
// session. Called from the main window's procedure and the start-up.
#pragma once

#include <windows.h>
#include <shellapi.h>

// Prepares the main window: it takes dropped files, and a project asked
// for before it opened (on the command line) is opened now.
void desktop_init(HWND main);

// Sets the caption from the project as the form shows it: its name, and
// " *" while it differs from the saved copy (a typed text not yet
// committed counts).
void caption_refresh();

// Asks for a project file to be opened as the open command does (after the
// question about unsaved changes). It opens as soon as the main window is
// free: at once when nothing else is open over it, otherwise when the
// dialog or message box above it has closed. A later request replaces one
// still waiting.
void open_request(const wchar_t* path);

// WM_TIMER of the main window: opens the waiting project once the window is
// free.
void open_request_poll(UINT_PTR timer);

// WM_COPYDATA: takes a project file handed over by a second start. Returns
// TRUE when the data was such a path.
BOOL handover_receive(const COPYDATASTRUCT* data);

// The second start's side: hands a project file (full path) to the running
// editor's window. Returns false when the window did not take it.
bool handover_send(HWND running, const wchar_t* path);

// WM_DROPFILES: the first file dropped. On the module field (its row: label,
// field and "選択") it is checked and selected as "選択" does; anywhere else
// it is opened as a project file.
void files_dropped(HDROP drop);

// WM_QUERYENDSESSION: whether the session may end. A changed project asks
// as the close does; "保存する" saves at once and lets the session end only
// when the file was written. A running build keeps the session.
BOOL session_end_query();

// WM_ENDSESSION: when the session ends, the remembered folders are stored,
// the work folder goes and the editor closes.
void session_end(bool ending);
