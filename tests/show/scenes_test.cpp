#include "compose/compose.h"
#include "show/show.h"

#include <gtest/gtest.h>

TEST(Scenes, SevenNextSceneCuesReturnToTheFirstScene) {
  scene_index.store(0);
  for (int i = 0; i < SCENE_COUNT; ++i) {
    on_cue_next_scene(nullptr, 0);
    EXPECT_LT(scene_index.load(), SCENE_COUNT);
  }
  EXPECT_EQ(scene_index.load(), 0);
}
