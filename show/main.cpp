#include "show/show.h"

int main() {
  show_enter_files_folder();
  return demo_main();
}
