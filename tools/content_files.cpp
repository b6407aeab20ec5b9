// Writes the ten data files of the show into one folder.
#include "tools/content.h"

#include <cstdio>

namespace {

bool save(const std::string &path, const std::vector<uint8_t> &bytes) {
  FILE *file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

} // namespace

bool content_write_all(const std::string &folder) {
  const std::string base = folder.empty() ? "." : folder;
  bool ok = save(base + "/quarvelin.raw", content_logo());
  for (int number = 2; number <= 8; ++number)
    ok = save(base + "/" + std::to_string(number) + ".raw", content_scene(number)) && ok;
  ok = save(base + "/credits.raw", content_credits()) && ok;
  return xm_save(content_song(), base + "/RETRO.XM") && ok;
}
