// What the tests take from POSIX that MinGW's C runtime names differently or
// hides in strict C++ mode: setenv, unsetenv and M_PI. Included ahead of
// every test source of the Windows build.
#pragma once

#define _USE_MATH_DEFINES
#include <cmath>
#include <cstdlib>

inline int setenv(const char *name, const char *value, int overwrite) {
  if (!overwrite && std::getenv(name) != nullptr) return 0;
  return _putenv_s(name, value);
}
inline int unsetenv(const char *name) { return _putenv_s(name, ""); }
