// folders_platform.h - what entering the files' folder (folders_sdl.cpp) takes
// from the operating system, one file per system chosen by the build:
//   folders_posix.cpp    Linux and the browser's in-memory file system: chdir
//   folders_windows.cpp  Windows: _chdir
#pragma once

// Makes `folder` the current folder: 1 on success, 0 when it cannot be entered.
int folders_platform_enter(const char *folder);
