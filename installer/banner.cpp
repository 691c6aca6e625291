// The banner of the main dialog: the picture loaded from the package's
// bytes in memory, and its painting; and the colours of the texts that
// the dialogs draw over a background of their own.
#include "installer/installer.h"
#include "installer/resource.h"

int load_banner(const void* bytes, DWORD size, DWORD* error) {
  Settings.banner = NULL;
  if (!bytes || !size) return BANNER_NONE;
  // A stream over a copy of the bytes, which it frees when released.
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
  void* copy = memory ? GlobalLock(memory) : NULL;
  if (!copy) {
    *error = GetLastError();
    if (memory) GlobalFree(memory);
    return BANNER_NO_MEMORY;
  }
  CopyMemory(copy, bytes, size);
  GlobalUnlock(memory);
  IStream* stream = NULL;
  HRESULT made = CreateStreamOnHGlobal(memory, TRUE, &stream);
  if (FAILED(made) || !stream) {
    *error = static_cast<DWORD>(made);
    GlobalFree(memory);
    return BANNER_NO_MEMORY;
  }
  void* picture = NULL;
  // The whole stream, kept open by the picture no longer than the load;
  // the picture interface itself.
  HRESULT loaded = OleLoadPicture(stream, static_cast<LONG>(size), FALSE, IID_IPicture, &picture);
  stream->Release();
  if (FAILED(loaded) || !picture) return BANNER_NONE;
  Settings.banner = static_cast<IPicture*>(picture);
  return BANNER_LOADED;
}

void paint_banner(HDC dc, int width, int height) {
  if (!Settings.banner) return;
  OLE_XSIZE_HIMETRIC picture_width = 0;
  OLE_YSIZE_HIMETRIC picture_height = 0;
  if (FAILED(Settings.banner->get_Width(&picture_width)) ||
      FAILED(Settings.banner->get_Height(&picture_height)))
    return;
  // The picture's units run upward: the source starts at its top edge
  // (y = height) with a negative extent, so the image lands upright.
  Settings.banner->Render(dc, 2, 0, width, height, 0, picture_height, picture_width,
                          -picture_height, NULL);
}

// Both dialogs number the texts over their background 901 and 902.
static_assert(IDC_MAIN_TITLE == IDC_POPUP_LINE1 && IDC_MAIN_LEAD == IDC_POPUP_LINE2,
              "the transparent texts share their ids");

INT_PTR transparent_text_colour(WPARAM dc, LPARAM control) {
  int id = GetDlgCtrlID(reinterpret_cast<HWND>(control));
  if (id != IDC_MAIN_TITLE && id != IDC_MAIN_LEAD) return FALSE;
  HDC context = reinterpret_cast<HDC>(dc);
  SetBkMode(context, TRANSPARENT);
  SetTextColor(context, RGB(0, 0, 0));
  return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
}
