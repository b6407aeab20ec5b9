// quarvelin-icon: writes the program's icon "IDI_MAIN" (both sizes) as a
// Windows .ico file, for the Windows build's resources.
//
//   quarvelin-icon FILE.ico
#include "resources/icon.h"
#include "resources/ico_write.h"

#include <cstdio>

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: quarvelin-icon FILE.ico\n");
    return 2;
  }
  const std::vector<uint8_t> bytes =
      ico_file({{RESOURCE_ICON_LARGE, resource_icon("IDI_MAIN", RESOURCE_ICON_LARGE)},
                {RESOURCE_ICON_SMALL, resource_icon("IDI_MAIN", RESOURCE_ICON_SMALL)}});
  FILE *file = std::fopen(argv[1], "wb");
  bool written = file != nullptr && !bytes.empty() &&
                 std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (file != nullptr && std::fclose(file) != 0) written = false;
  if (!written) {
    std::fprintf(stderr, "quarvelin-icon: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
