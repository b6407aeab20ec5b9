// Asks the top-level window named argv[1] to close the way a window manager
// does: a WM_PROTOCOLS client message carrying WM_DELETE_WINDOW.
// Exit status 0 when the request was sent, 1 when no such window exists.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstring>

static Window find_named(Display *display, Window window, const char *name) {
  char *window_name = nullptr;
  if (XFetchName(display, window, &window_name) && window_name != nullptr) {
    bool match = std::strcmp(window_name, name) == 0;
    XFree(window_name);
    if (match) return window;
  }
  Window root, parent, *children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, window, &root, &parent, &children, &count)) return 0;
  Window found = 0;
  for (unsigned int i = 0; i < count && found == 0; ++i)
    found = find_named(display, children[i], name);
  if (children != nullptr) XFree(children);
  return found;
}

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: send_close_request WINDOW-NAME\n");
    return 2;
  }
  Display *display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "send_close_request: no display\n");
    return 2;
  }
  Window window = find_named(display, DefaultRootWindow(display), argv[1]);
  if (window == 0) {
    std::fprintf(stderr, "send_close_request: no window named %s\n", argv[1]);
    return 1;
  }
  XEvent event;
  std::memset(&event, 0, sizeof event);
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XSync(display, False);
  XCloseDisplay(display);
  return 0;
}
