# SDL2 and libxmp built as static WebAssembly libraries from Debian's source
# packages (scripts/web-deps.sh), under the names the native build gets from
# pkg-config.
set(QUARVELIN_WEB_PREFIX ${CMAKE_SOURCE_DIR}/.cache/web/prefix
    CACHE PATH "Where scripts/web-deps.sh installed SDL2 and libxmp")
foreach(library libSDL2.a libxmp.a)
  if(NOT EXISTS ${QUARVELIN_WEB_PREFIX}/lib/${library})
    message(FATAL_ERROR "${QUARVELIN_WEB_PREFIX}/lib/${library} is missing: run scripts/web-deps.sh")
  endif()
endforeach()

add_library(PkgConfig::SDL2 INTERFACE IMPORTED)
target_include_directories(PkgConfig::SDL2 INTERFACE ${QUARVELIN_WEB_PREFIX}/include/SDL2)
target_link_libraries(PkgConfig::SDL2 INTERFACE ${QUARVELIN_WEB_PREFIX}/lib/libSDL2.a)
# SDL's Web Audio code calls these runtime helpers, which emscripten only
# includes on its own for its bundled SDL port.
# (The list goes through a file: "$" survives no shell and no build tool.)
file(WRITE ${CMAKE_BINARY_DIR}/sdl-runtime-functions.json "[\"$autoResumeAudioContext\", \"$dynCall\"]\n")
target_link_options(PkgConfig::SDL2 INTERFACE
  -sDEFAULT_LIBRARY_FUNCS_TO_INCLUDE=@${CMAKE_BINARY_DIR}/sdl-runtime-functions.json)

add_library(PkgConfig::XMP INTERFACE IMPORTED)
target_include_directories(PkgConfig::XMP INTERFACE ${QUARVELIN_WEB_PREFIX}/include)
target_link_libraries(PkgConfig::XMP INTERFACE ${QUARVELIN_WEB_PREFIX}/lib/libxmp.a)
# xmp.h includes emscripten.h inside its extern "C" block, which C++ code
# cannot compile; included first, its guard makes that inner include empty.
target_compile_options(PkgConfig::XMP INTERFACE "SHELL:-include emscripten.h")
