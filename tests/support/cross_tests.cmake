# Tests of the Windows build, run here through Wine (the toolchain's
# CMAKE_CROSSCOMPILING_EMULATOR).

# GoogleTest from Debian's own sources, built with the cross compiler.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# (It names its targets GTest::gtest and GTest::gtest_main itself.)
include(GoogleTest)

# Listing each program's cases would start Wine once more per program at
# build time; each program runs as one test instead, all its cases inside.
function(gtest_discover_tests target)
  cmake_parse_arguments(D "" "TEST_PREFIX;DISCOVERY_TIMEOUT" "PROPERTIES" ${ARGN})
  add_test(NAME ${D_TEST_PREFIX}${target} COMMAND ${target})
  if(D_PROPERTIES)
    set_tests_properties(${D_TEST_PREFIX}${target} PROPERTIES ${D_PROPERTIES})
  endif()
endfunction()

# setenv, unsetenv and M_PI, as the tests use them on Linux.
add_compile_options(-include ${CMAKE_CURRENT_LIST_DIR}/posix_compat.h)
