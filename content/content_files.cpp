// Writes the ten data files of the show into one folder, without ever
// overwriting a file the user put there.
//
// The folder keeps a small record (CONTENT_RECORD_FILE) of what was last
// written: one line "name size checksum" per file. A file is written when it
// is missing, or when it still holds exactly what the record says was
// written; any other file is the user's own and stays as it is. Each file is
// written beside its place and then renamed over it, so an interrupted run
// never leaves half a file. Files already there are read as the show reads
// them (data_file_read): one that is not a regular file, or is too large, is
// the user's and stays.
#include "content/content.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <system_error>

namespace {

namespace fs = std::filesystem;

struct recorded_file {
  uint64_t size = 0;
  uint64_t checksum = 0;
};

bool save(const fs::path &path, const std::vector<uint8_t> &bytes) {
  fs::path part = path;
  part += ".part";
  FILE *file = std::fopen(part.string().c_str(), "wb");
  if (!file)
    return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  std::error_code error;
  if (std::fclose(file) == 0 && written)
    fs::rename(part, path, error);
  else
    error = std::make_error_code(std::errc::io_error);
  if (error)
    fs::remove(part, error);
  return !error;
}

// The whole file, or nothing with the refusal's verdict.
int32_t read_bytes(const fs::path &path, std::vector<uint8_t> *bytes) {
  uint8_t *data = nullptr;
  int64_t size = 0;
  const int32_t verdict = data_file_read(path.string().c_str(), &data, &size);
  bytes->assign(data, data + size);
  std::free(data);
  return verdict;
}

std::map<std::string, recorded_file> read_record(const fs::path &path) {
  std::map<std::string, recorded_file> record;
  std::vector<uint8_t> bytes;
  read_bytes(path, &bytes);
  std::istringstream in(std::string(bytes.begin(), bytes.end()));
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string name;
    recorded_file file;
    if (fields >> name >> file.size >> std::hex >> file.checksum)
      record[name] = file;
  }
  return record;
}

void record_line(std::ostringstream &out, const std::string &name, const recorded_file &file) {
  out << name << ' ' << file.size << ' ' << std::hex << file.checksum << std::dec << '\n';
}

uint64_t content_checksum(const std::vector<uint8_t> &bytes) {
  // 64-bit FNV-1a: enough to tell our own output from a file put in its place.
  uint64_t hash = 0xcbf29ce484222325u;
  for (uint8_t byte : bytes)
    hash = (hash ^ byte) * 0x100000001b3u;
  return hash;
}

std::vector<std::pair<std::string, std::vector<uint8_t>>> content_files() {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
  for (int32_t i = 0; i < DATA_FILE_COUNT; ++i) {
    std::vector<uint8_t> bytes;
    if (i == DATA_FILE_LOGO)
      bytes = content_logo();
    else if (i == DATA_FILE_CREDITS)
      bytes = content_credits();
    else if (i == DATA_FILE_SONG)
      bytes = xm_write(content_song());
    else // the scenes "2.raw" .. "8.raw"
      bytes = content_scene(i - DATA_FILE_FIRST_SCENE + 2);
    files.emplace_back(DATA_FILES[i].name, std::move(bytes));
  }
  return files;
}

} // namespace

bool content_write_all(const std::string &folder, std::vector<std::string> *left_alone) {
  const fs::path base = folder.empty() ? fs::path(".") : fs::path(folder);
  std::error_code error;
  fs::create_directories(base, error);
  if (!fs::is_directory(base, error))
    return false;

  const std::map<std::string, recorded_file> before = read_record(base / CONTENT_RECORD_FILE);
  std::ostringstream after;
  bool ok = true;
  for (const auto &[name, bytes] : content_files()) {
    const fs::path path = base / name;
    const recorded_file generated{bytes.size(), content_checksum(bytes)};
    std::vector<uint8_t> present;
    const int32_t verdict = read_bytes(path, &present);
    if (verdict != DATA_FILE_READ && fs::exists(fs::symlink_status(path, error))) {
      if (left_alone)
        left_alone->push_back(name);
      continue;
    }
    if (verdict == DATA_FILE_READ) {
      const auto entry = before.find(name);
      const bool ours = present == bytes || (entry != before.end() && entry->second.size == present.size() &&
                                             entry->second.checksum == content_checksum(present));
      if (!ours) {
        if (left_alone)
          left_alone->push_back(name);
        continue;
      }
      if (present == bytes) {
        record_line(after, name, generated);
        continue;
      }
    }
    if (save(path, bytes)) {
      record_line(after, name, generated);
    } else {
      ok = false; // what was recorded before still describes the file
      if (const auto entry = before.find(name); entry != before.end())
        record_line(after, name, entry->second);
    }
  }
  const std::string record = after.str();
  return save(base / CONTENT_RECORD_FILE, std::vector<uint8_t>(record.begin(), record.end())) && ok;
}
