// screen_scene SHOT.ppm SHOW_FOLDER: which of the show's scenes a 640 x 480
// binary PPM screenshot (grim's) shows, judged as the X11 checks judge a grab.
// Prints "scene <n> score <s>"; exit status 0 when one is seen (score above 0.9).
#include "show_session.h"

#include <cstdio>
#include <sstream>

int main(int argc, char **argv) {
  if (argc != 3) return std::fprintf(stderr, "usage: screen_scene SHOT.ppm SHOW_FOLDER\n"), 2;
  const std::vector<uint8_t> bytes = read_file(argv[1]);
  std::istringstream header(std::string(bytes.begin(), bytes.begin() + (bytes.size() < 64 ? bytes.size() : 64)));
  std::string magic;
  screen_image image;
  int maximum = 0;
  header >> magic >> image.width >> image.height >> maximum;
  const size_t start = size_t(header.tellg()) + 1, pixels = size_t(image.width) * size_t(image.height);
  if (magic != "P6" || maximum != 255 || bytes.size() < start + 3 * pixels) return std::fprintf(stderr, "screen_scene: no PPM\n"), 2;
  for (const uint8_t *rgb = bytes.data() + start; image.pixels.size() < pixels; rgb += 3)
    image.pixels.push_back(uint32_t(rgb[0]) << 16 | uint32_t(rgb[1]) << 8 | rgb[2]);
  const scene_match match = classify(image, load_scenes(argv[2]), 16);
  std::printf("scene %d score %.3f\n", match.scene, match.score);
  return match.score > 0.9 ? 0 : 1;
}
