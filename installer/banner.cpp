// The banner of the main dialog: the picture loaded from the banner file
// that start-up wrote, and its painting; and the colours of the texts that
// the dialogs draw over a background of their own.
#include "installer/installer.h"
#include "installer/resource.h"

int load_banner(const wchar_t* path) {
  Settings.banner = NULL;
  void* picture = NULL;
  // No outer object, reserved 0, colour 0; the picture interface itself.
  if (FAILED(OleLoadPicturePath(const_cast<LPOLESTR>(path), NULL, 0, 0, IID_IPicture,
                                &picture)) ||
      !picture)
    return BANNER_NONE;
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
