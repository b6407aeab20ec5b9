// Asks the window named argv[1] to close the way a window manager does (a
// WM_DELETE_WINDOW request), for the shell checks; the end-to-end tests send
// the same request in-process (show_session.h).
// Exit status 0 when the request was sent, 1 when no such window exists.
#include "show_session.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: send_close_request WINDOW-NAME\n");
    return 2;
  }
  const char *display_name = std::getenv("DISPLAY");
  x_connection x;
  if (display_name == nullptr || !x.open(display_name, 0.1)) {
    std::fprintf(stderr, "send_close_request: no display\n");
    return 2;
  }
  const x_window window = x.find_window(argv[1]);
  if (window == 0) {
    std::fprintf(stderr, "send_close_request: no window named %s\n", argv[1]);
    return 1;
  }
  x.request_close(window);
  return 0;
}
