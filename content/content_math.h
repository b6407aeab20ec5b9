// content_math.h - small deterministic helpers for the content generator.
//
// content_sine evaluates sin(2 pi turns) with a fixed polynomial, so results
// do not depend on the C library's sine. content_random is a 32-bit
// xorshift generator; each picture and sample seeds its own.
#pragma once

#include <cmath>
#include <cstdint>

constexpr double CONTENT_PI = 3.14159265358979323846;

// sin(2 pi turns), accurate to about 1e-13.
inline double content_sine(double turns) {
  double t = turns - std::floor(turns); // 0 <= t < 1
  // Fold into [-1/4, 1/4] turns, where the series converges fast.
  if (t > 0.75)
    t -= 1.0;
  else if (t > 0.25)
    t = 0.5 - t;
  const double x = t * 2.0 * CONTENT_PI;
  const double x2 = x * x;
  double term = x, sum = x;
  for (int k = 1; k <= 9; ++k) {
    term = -term * x2 / double((2 * k) * (2 * k + 1));
    sum += term;
  }
  return sum;
}
inline double content_cosine(double turns) {
  return content_sine(turns + 0.25);
}

struct content_random {
  uint32_t state;
  explicit content_random(uint32_t seed) : state(seed ? seed : 0x9E3779B9u) {}
  uint32_t next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  }
  // Uniform in [-1, 1).
  double signed_unit() { return double(next()) / 2147483648.0 - 1.0; }
  // Uniform in [0, 1).
  double unit() { return double(next()) / 4294967296.0; }
};

// A pixel-coordinate hash for patterns that must look random but stay fixed.
inline uint32_t content_hash(uint32_t a, uint32_t b) {
  uint32_t h = a * 0x85EBCA6Bu ^ (b + 0x9E3779B9u + (a << 6) + (a >> 2));
  h ^= h >> 16;
  h *= 0x7FEB352Du;
  h ^= h >> 15;
  h *= 0x846CA68Bu;
  h ^= h >> 16;
  return h;
}

inline uint8_t content_gray(double value) {
  if (value < 1.0) return 1;
  if (value > 255.0) return 255;
  return uint8_t(value + 0.5);
}
