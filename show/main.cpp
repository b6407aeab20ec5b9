#include "show/show.h"

#include <cstring>

// The one argument the show takes is --gentle; any other is ignored.
int main(int argc, char **argv) {
  if (argc == 2 && std::strcmp(argv[1], "--gentle") == 0) show_set_gentle(1);
  show_enter_files_folder();
  return demo_main();
}
