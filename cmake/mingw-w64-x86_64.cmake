# Cross-compiling for Windows x64 with Debian's MinGW-w64 (-posix threads:
# std::thread and std::mutex work). Programs run here through Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_triple}-windres)
set(CMAKE_AR ${mingw_triple}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${mingw_triple}-gcc-ranlib-posix CACHE FILEPATH "")

# Libraries come from the cross-built prefix and MinGW's own root only.
get_filename_component(quarvelin_windows_prefix "${CMAKE_CURRENT_LIST_DIR}/../.cache/windows-x64/prefix" ABSOLUTE)
set(CMAKE_FIND_ROOT_PATH /usr/${mingw_triple} ${quarvelin_windows_prefix})
set(CMAKE_PREFIX_PATH ${quarvelin_windows_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR wine)
