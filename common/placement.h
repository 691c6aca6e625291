// Where dialogs are placed, in screen pixels. Compiles without windows.h.
#pragma once

// A point in screen pixels.
struct ScreenPoint {
  int x;
  int y;
};

// Position of a dialog placed below a main window: centred horizontally
// over the main window (widths in pixels, division truncating toward zero),
// 180 pixels below the screen origin of its client area.
ScreenPoint PlaceBelowMain(ScreenPoint client_origin, int main_width,
                           int dialog_width);

// Position of a dialog centred over an owner's client origin plus offset.
ScreenPoint PlaceCentred(ScreenPoint client_origin, ScreenPoint offset,
                         int owner_width, int owner_height, int dialog_width,
                         int dialog_height);
