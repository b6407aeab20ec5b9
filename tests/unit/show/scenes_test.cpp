#include "compose/compose.h"
#include "show/show.h"
#include "tests/support/test_files.h"
#include "tests/unit/compose/reference.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>

#include <sys/stat.h>

namespace fs = std::filesystem;

// A fresh temporary directory, made the current one for the test's length.
class InTempDirectory : public ::testing::Test {
protected:
  void SetUp() override {
    previous = fs::current_path();
    fs::current_path(directory.path);
  }
  void TearDown() override { fs::current_path(previous); }
  fs::path previous;
  temp_folder directory{"show"};
};

using LoadRawFile = InTempDirectory;

TEST_F(LoadRawFile, MissingShortOversizedAndExactFiles) {
  std::mt19937 random(10);
  std::vector<uint8_t> content = random_picture(random, PICTURE_BYTES + 5000);
  for (uint8_t &byte : content) byte = uint8_t(byte | 1); // no zero, to tell it from the fill
  std::vector<uint8_t> buffer(PICTURE_BYTES);

  std::fill(buffer.begin(), buffer.end(), 0xAA);
  load_raw_file(buffer.data(), "missing.raw", PICTURE_BYTES);
  EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0), PICTURE_BYTES);

  for (size_t size : {size_t(0), size_t(1000), size_t(PICTURE_BYTES), size_t(PICTURE_BYTES + 5000)}) {
    write_file("picture.raw", std::vector<uint8_t>(content.begin(), content.begin() + long(size)));
    std::fill(buffer.begin(), buffer.end(), 0xAA);
    load_raw_file(buffer.data(), "picture.raw", PICTURE_BYTES);
    size_t kept = std::min(size, size_t(PICTURE_BYTES));
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + long(kept), content.begin())) << size;
    EXPECT_EQ(size_t(std::count(buffer.begin() + long(kept), buffer.end(), 0)), PICTURE_BYTES - kept)
        << size;
  }
}

#ifndef _WIN32 // FIFOs and /dev are POSIX things
TEST_F(LoadRawFile, WhatIsNotARegularFileReadsAsMissingWithoutBlocking) {
  std::vector<uint8_t> buffer(PICTURE_BYTES);
  // A FIFO with no writer would block an ordinary open for ever (the test
  // would then time out); a directory and a device are not pictures either.
  ASSERT_EQ(mkfifo("fifo.raw", 0600), 0);
  fs::create_directory("folder.raw");
  for (const char *path : {"fifo.raw", "folder.raw", "/dev/urandom"}) {
    std::fill(buffer.begin(), buffer.end(), 0xAA);
    load_raw_file(buffer.data(), path, PICTURE_BYTES);
    EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0), PICTURE_BYTES) << path;
  }
}
#endif

// The nine picture files with random content, loaded as the show loads them,
// and a per-pixel model of the frame loop's composition to compare with.
class Show : public InTempDirectory {
protected:
  void SetUp() override {
    InTempDirectory::SetUp();
    std::mt19937 random(11);
    for (const char *name : {"quarvelin.raw", "2.raw", "3.raw", "4.raw", "5.raw", "6.raw", "7.raw",
                             "8.raw", "credits.raw"}) {
      files[name] = random_picture(random, PICTURE_BYTES);
      write_file(name, files[name]);
    }
    ASSERT_EQ(show_load_pictures(), 1);
    scene_index.store(0);
    picture_code.store(0);
    noise_state = NOISE_SEED;
    clear_frame(frame_buffer);
  }
  void TearDown() override {
    for (uint8_t *&picture : show_pictures) {
      std::free(picture);
      picture = nullptr;
    }
    InTempDirectory::TearDown();
  }

  // What the frame loop draws for each picture code.
  void reference_draw_code(int32_t code, uint32_t *frame) {
    static const char *const files_for_code[] = {"quarvelin.raw", "2.raw", "3.raw",
                                                 "4.raw",         "5.raw", "6.raw",
                                                 "8.raw",         "7.raw", "credits.raw"};
    if (code < 0 || code > 8) return;
    const uint8_t *picture = files[files_for_code[code]].data();
    if (code == 0) reference_draw(picture, 120, 120, 163, 361, frame, true);
    else reference_draw(picture, 0, 0, FRAME_WIDTH, FRAME_HEIGHT, frame, code != 8);
  }

  // Runs one frame of the show and of the model, the model drawing
  // `expected_code` (with the slow tint when `gentle`); the frames must match.
  void run_frame(int32_t expected_code, bool gentle = false) {
    int32_t time_ms = frame_number++ * 37;
    reference_draw_code(expected_code, model_frame.data());
    reference_fill(model_field.data(), model_noise);
    reference_add(model_field.data(), model_frame.data());
    reference_tint(model_frame.data(),
                   gentle ? float(std::sin(6.283185307179586 * time_ms / GENTLE_TINT_PERIOD_MS))
                          : float(std::sin(double(time_ms))));
    show_compose_frame(time_ms);
    ASSERT_EQ(count_differences(model_frame, frame_buffer), 0)
        << "frame " << frame_number - 1 << " should draw code " << expected_code;
  }

  std::map<std::string, std::vector<uint8_t>> files;
  Frame model_frame = Frame(FRAME_PIXELS, 0u);
  std::vector<uint32_t> model_field = std::vector<uint32_t>(NOISE_CELLS);
  int32_t model_noise = NOISE_SEED;
  int32_t frame_number = 0;
};

// Each code draws its own file the way the table says; code 6 is "8.raw" and
// code 7 is "7.raw"; other codes draw nothing.
TEST_F(Show, EachPictureCodeDrawsItsFile) {
  std::mt19937 random(12);
  for (int32_t code = -1; code <= 9; ++code) {
    Frame expected = random_frame(random);
    for (uint32_t &pixel : expected) pixel &= 0x00FFFFFFu;
    Frame actual = expected;
    reference_draw_code(code, expected.data());
    show_draw_picture(code, actual.data());
    EXPECT_EQ(count_differences(expected, actual.data()), 0) << "code " << code;
  }
}

// Without any cue: the logo first, then "2.raw" (code 1) for good.
TEST_F(Show, StartsWithTheLogoThenStaysOnTheFirstScene) {
  run_frame(0);
  for (int i = 0; i < 6; ++i) run_frame(1);
}

// A next-scene cue between frames N and N + 1 comes after frame N's
// reassignment: frame N + 1 still draws the old scene, N + 2 the new one.
TEST_F(Show, NextSceneCueShowsTwoFramesLater) {
  run_frame(0);
  run_frame(1);
  on_cue_next_scene(nullptr, 0);
  run_frame(1);
  run_frame(2);
  on_cue_next_scene(nullptr, 0);
  on_cue_next_scene(nullptr, 0);
  run_frame(2);
  run_frame(4);
  run_frame(4);
}

// Logo and credits flash for exactly one frame; what they leave stays where
// the scene picture is transparent (the model composes the same way). The
// last store wins when both arrive before one draw.
TEST_F(Show, LogoAndCreditsFlashForOneFrame) {
  run_frame(0);
  run_frame(1);
  on_cue_credits(nullptr, 0);
  run_frame(8);
  run_frame(1);
  on_cue_logo(nullptr, 0);
  run_frame(0);
  run_frame(1);
  on_cue_logo(nullptr, 0);
  on_cue_credits(nullptr, 0);
  run_frame(8);
  on_cue_credits(nullptr, 0);
  on_cue_next_scene(nullptr, 0);
  run_frame(8);
  run_frame(2);
}

// Gently, a logo or credits cue holds its picture for GENTLE_HOLD_MS of song
// time (frames here are 37 ms apart), and what is shown follows the composed
// frame at a bounded pace; without it the composed frame is what is shown.
TEST_F(Show, GentlyTheLogoAndCreditsAreHeldAndTheShownFrameFollows) {
  show_set_gentle(1);
  run_frame(0, true);
  run_frame(0, true);
  const float *light = light_of_byte_table();
  float brightest = 0;
  for (uint32_t pixel : std::vector<uint32_t>(show_frame_shown(), show_frame_shown() + FRAME_PIXELS))
    brightest = std::max(brightest, relative_luminance(light[pixel >> 16], light[(pixel >> 8) & 0xFF],
                                                       light[pixel & 0xFF]));
  EXPECT_GT(brightest, 0.0f);
  EXPECT_LT(brightest, GENTLE_LIGHT_PER_SECOND * 0.037f + 0.01f);
  while (frame_number * 37 < GENTLE_HOLD_MS) run_frame(0, true);
  run_frame(1, true);
  on_cue_credits(nullptr, 0);
  on_cue_next_scene(nullptr, 0);
  const int32_t held_until = frame_number * 37 + GENTLE_HOLD_MS;
  run_frame(8, true);
  while (frame_number * 37 < held_until) run_frame(8, true);
  run_frame(2, true);
  show_set_gentle(0);
  EXPECT_EQ(show_frame_shown(), frame_buffer);
}

// A cue before every frame: each frame draws the scene its predecessor
// chose, so the codes run 1 .. 7 and back to 1 one frame behind the index.
TEST_F(Show, ScenesCycleThroughAllCodes) {
  run_frame(0);
  for (int32_t i = 0; i <= SCENE_COUNT + 1; ++i) {
    on_cue_next_scene(nullptr, 0);
    run_frame(scene_table[i % SCENE_COUNT]);
  }
}

TEST(Scenes, SevenNextSceneCuesReturnToTheFirstScene) {
  scene_index.store(0);
  for (int i = 0; i < SCENE_COUNT; ++i) {
    on_cue_next_scene(nullptr, 0);
    EXPECT_LT(scene_index.load(), SCENE_COUNT);
  }
  EXPECT_EQ(scene_index.load(), 0);
}

// Run from another thread than the reader, the cue handler never shows an index
// outside the table, however the two interleave.
TEST(Scenes, ConcurrentReaderNeverSeesAnIndexOutsideTheTable) {
  scene_index.store(0);
  std::atomic<bool> done{false};
  std::thread cues([&] {
    for (int i = 0; i < 200000; ++i) on_cue_next_scene(nullptr, 0);
    done.store(true);
  });
  int32_t worst = 0;
  while (!done.load()) worst = std::max(worst, scene_index.load(std::memory_order_relaxed));
  cues.join();
  EXPECT_LT(worst, SCENE_COUNT);
  EXPECT_EQ(scene_index.load(), 200000 % SCENE_COUNT);
}
