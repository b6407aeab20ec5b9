// screen_scene SHOT.ppm SHOW_FOLDER: which of the show's scenes a 640 x 480
// screenshot (binary PPM, as grim writes) shows, judged as the X11 checks
// judge a screen grab. Prints "scene <n> score <s>"; exit status 0 when a
// scene is seen (score above 0.9), 1 when not, 2 when the shot is unreadable.
#include "show_session.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

int main(int argc, char **argv) {
  if (argc != 3) return std::fprintf(stderr, "usage: screen_scene SHOT.ppm SHOW_FOLDER\n"), 2;
  const std::vector<uint8_t> bytes = read_file(argv[1]);
  std::istringstream header(std::string(bytes.begin(), bytes.begin() + std::min<size_t>(bytes.size(), 64)));
  std::string magic;
  int width = 0, height = 0, maximum = 0;
  header >> magic >> width >> height >> maximum;
  const size_t start = size_t(header.tellg()) + 1;
  if (magic != "P6" || maximum != 255 || bytes.size() < start + size_t(width) * height * 3)
    return std::fprintf(stderr, "screen_scene: %s is not a binary PPM\n", argv[1]), 2;
  screen_image image{width, height, std::vector<uint32_t>(size_t(width) * height)};
  for (size_t p = 0; p < image.pixels.size(); ++p) {
    const uint8_t *rgb = bytes.data() + start + 3 * p;
    image.pixels[p] = uint32_t(rgb[0]) << 16 | uint32_t(rgb[1]) << 8 | rgb[2];
  }
  const scene_match match = classify(image, load_scenes(argv[2]), 16);
  std::printf("scene %d score %.3f\n", match.scene, match.score);
  return match.score > 0.9 ? 0 : 1;
}
