// The real display showing one fixed frame until Escape or a close request
// ends the process; exit status 1 when the display cannot be opened. Run by
// xvfb_display_check.sh.
#include "display/display.h"
#include "tests/display/test_frame.h"

int main() {
  static std::vector<uint32_t> frame = test_frame();
  if (!display_open("QUARVELIN", TEST_FRAME_WIDTH, TEST_FRAME_HEIGHT)) return 1;
  for (;;) display_update(frame.data());
}
