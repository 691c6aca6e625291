// Dialog positions in screen pixels.
#include "common/placement.h"

namespace {

// Halves a signed difference of pixel sizes, truncating toward zero, in a
// width that cannot overflow for any pair of int sizes.
long long HalfDifference(int a, int b) {
  return (static_cast<long long>(a) - b) / 2;
}

}  // namespace

ScreenPoint PlaceBelowMain(ScreenPoint client_origin, int main_width,
                           int dialog_width) {
  ScreenPoint at;
  at.x = static_cast<int>(client_origin.x + HalfDifference(main_width, dialog_width));
  at.y = static_cast<int>(client_origin.y + 180LL);
  return at;
}

ScreenPoint PlaceCentred(ScreenPoint client_origin, ScreenPoint offset,
                         int owner_width, int owner_height, int dialog_width,
                         int dialog_height) {
  ScreenPoint at;
  at.x = static_cast<int>(static_cast<long long>(client_origin.x) + offset.x +
                          HalfDifference(owner_width, dialog_width));
  at.y = static_cast<int>(static_cast<long long>(client_origin.y) + offset.y +
                          HalfDifference(owner_height, dialog_height));
  return at;
}
