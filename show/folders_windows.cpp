// Entering the files' folder on Windows.
#include "show/folders_platform.h"

#include <direct.h>

int folders_platform_enter(const char *folder) { return _chdir(folder) == 0 ? 1 : 0; }
