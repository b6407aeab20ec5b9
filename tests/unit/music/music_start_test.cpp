// music_start's order of calls and its failures, over the in-memory layer.
#include "music/music.h"
#include "music/sound_memory.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

int cues_heard[3];
void on_next_scene(sound_song *, int32_t) { ++cues_heard[0]; }
void on_logo(sound_song *, int32_t) { ++cues_heard[1]; }
void on_credits(sound_song *, int32_t) { ++cues_heard[2]; }
const music_cue_handlers CUES = {on_next_scene, on_logo, on_credits};

std::vector<sound_memory_call> calls() {
  int32_t count = 0;
  const sound_memory_call *log = sound_memory_calls(&count);
  return std::vector<sound_memory_call>(log, log + count);
}

std::vector<sound_memory_call_kind> kinds() {
  std::vector<sound_memory_call_kind> out;
  for (const sound_memory_call &call : calls()) out.push_back(call.kind);
  return out;
}

TEST(MusicStart, StartsInOrderAndInstallsTheHandlersOncePlaying) {
  sound_memory_reset();
  sound_song *song = nullptr;
  ASSERT_EQ(music_start(&CUES, &song), 1);
  EXPECT_EQ(song, sound_memory_song());
  const std::vector<sound_memory_call> log = calls();
  ASSERT_EQ(kinds(), (std::vector<sound_memory_call_kind>{
                         SOUND_MEMORY_VERSION, SOUND_MEMORY_INIT, SOUND_MEMORY_LOAD,
                         SOUND_MEMORY_PLAY, SOUND_MEMORY_SET_CALLBACK, SOUND_MEMORY_SET_CALLBACK,
                         SOUND_MEMORY_SET_CALLBACK}));
  EXPECT_EQ(log[1].mixing_rate, 32000);
  EXPECT_EQ(log[1].channels, 64);
  EXPECT_EQ(log[1].flags, 0u);
  EXPECT_STREQ(log[2].path, "RETRO.XM");
  EXPECT_EQ(log[3].song, song);
  EXPECT_EQ(log[4].instrument, 3);
  EXPECT_EQ(log[4].callback, &on_next_scene);
  EXPECT_EQ(log[5].instrument, 4);
  EXPECT_EQ(log[5].callback, &on_logo);
  EXPECT_EQ(log[6].instrument, 6);
  EXPECT_EQ(log[6].callback, &on_credits);
  for (int i = 3; i < 7; ++i) EXPECT_EQ(log[size_t(i)].song, song);

  // Each cue instrument reaches its own handler.
  cues_heard[0] = cues_heard[1] = cues_heard[2] = 0;
  EXPECT_EQ(sound_memory_fire(3), 1);
  EXPECT_EQ(sound_memory_fire(6), 1);
  EXPECT_EQ(sound_memory_fire(6), 1);
  EXPECT_EQ(sound_memory_fire(4), 1);
  EXPECT_EQ(sound_memory_fire(1), 0);
  EXPECT_EQ(cues_heard[0], 1);
  EXPECT_EQ(cues_heard[1], 1);
  EXPECT_EQ(cues_heard[2], 2);
}

TEST(MusicStart, VersionIsComparedWithTheOldestSupportedAsAFloat) {
  sound_memory_reset();
  sound_memory_set_version(4.49f);
  sound_song *song = nullptr;
  EXPECT_EQ(music_start(&CUES, &song), 0);
  EXPECT_EQ(kinds(), std::vector<sound_memory_call_kind>{SOUND_MEMORY_VERSION});

  for (float version : {4.5f, 4.501f, 5.0f}) {
    sound_memory_reset();
    sound_memory_set_version(version);
    EXPECT_EQ(music_start(&CUES, &song), 1) << version;
  }
  // Below by the smallest step a float can take.
  sound_memory_reset();
  sound_memory_set_version(std::nextafter(4.5f, 0.0f));
  EXPECT_EQ(music_start(&CUES, &song), 0);
}

TEST(MusicStart, RefusedInitialisationOrLoadFailsAndGoesNoFurtherLeavingNothingOpen) {
  sound_memory_reset();
  sound_memory_set_init_result(0);
  sound_song *song = nullptr;
  EXPECT_EQ(music_start(&CUES, &song), 0);
  EXPECT_EQ(kinds(), (std::vector<sound_memory_call_kind>{SOUND_MEMORY_VERSION, SOUND_MEMORY_INIT}));

  sound_memory_reset();
  sound_memory_set_load_result(0);
  EXPECT_EQ(music_start(&CUES, &song), 0);
  EXPECT_EQ(kinds(), (std::vector<sound_memory_call_kind>{SOUND_MEMORY_VERSION, SOUND_MEMORY_INIT,
                                                          SOUND_MEMORY_LOAD, SOUND_MEMORY_CLOSE}));
}

} // namespace
