// A program of its own that shows the warning box, for the tests that
// drive the windows of another process: text IDS_TWO_LINES with the error
// caption, then exit code 7 once the box is answered.
#include "common/message.h"
#include "tests/common/message_test_res.h"

int main() {
  ModuleInstance = GetModuleHandleW(NULL);
  WarningBoxShow(NULL, IDS_TWO_LINES, CAPTION_ERROR);
  return 7;
}
