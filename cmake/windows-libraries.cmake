# The Windows build's libraries, under the names the Linux build gets from
# pkg-config (PkgConfig::SDL2, PkgConfig::XMP), so every module links the
# same way. Everything links statically: the program needs only the
# system's own DLLs.
find_package(SDL2 CONFIG REQUIRED)
add_library(PkgConfig::SDL2 INTERFACE IMPORTED)
target_link_libraries(PkgConfig::SDL2 INTERFACE SDL2::SDL2-static)
# The program's own main() is the entry point; SDL is told so at start.
target_compile_definitions(PkgConfig::SDL2 INTERFACE SDL_MAIN_HANDLED)

find_path(XMP_INCLUDE_DIR xmp.h REQUIRED)
find_library(XMP_LIBRARY NAMES libxmp.a xmp REQUIRED)
add_library(PkgConfig::XMP STATIC IMPORTED)
set_target_properties(PkgConfig::XMP PROPERTIES IMPORTED_LOCATION ${XMP_LIBRARY}
                                                INTERFACE_INCLUDE_DIRECTORIES ${XMP_INCLUDE_DIR}
                                                INTERFACE_COMPILE_DEFINITIONS BUILDING_STATIC)

# Release builds are stripped: the package stays small. The same sources give
# the same program wherever and whenever they are built: no link time in the
# PE header, no build path in the code.
add_link_options(-static $<$<CONFIG:Release>:-s> -Wl,--no-insert-timestamp)
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=)
