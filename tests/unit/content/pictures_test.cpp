// The generated pictures: sizes, transparent areas, shading, and that the
// scenes can be told apart.
#include "content/content.h"

#include <gtest/gtest.h>

#include <set>

namespace {

double share_of_zero(const std::vector<uint8_t> &pixels) {
  size_t zeros = 0;
  for (uint8_t v : pixels) zeros += v == 0;
  return double(zeros) / double(pixels.size());
}

size_t distinct_levels(const std::vector<uint8_t> &pixels) {
  return std::set<uint8_t>(pixels.begin(), pixels.end()).size();
}

} // namespace

TEST(Logo, IsAColumnOfShadedLettersOnATransparentBackground) {
  const std::vector<uint8_t> logo = content_logo();
  ASSERT_EQ(logo.size(), 58843u);
  const int w = DATA_FILES[DATA_FILE_LOGO].width, h = DATA_FILES[DATA_FILE_LOGO].height;
  auto at = [&](int x, int y) { return logo[size_t(y * w + x)]; };
  // Transparent around the frame, including the last row the show never draws.
  for (int x = 0; x < w; ++x) EXPECT_EQ(at(x, 0), 0) << x;
  for (int x = 0; x < w; ++x) EXPECT_EQ(at(x, h - 1), 0) << x;
  for (int y = 0; y < h; ++y) EXPECT_EQ(at(0, y) | at(w - 1, y), 0) << y;
  EXPECT_GT(share_of_zero(logo), 0.4);
  EXPECT_LT(share_of_zero(logo), 0.95);
  EXPECT_GE(distinct_levels(logo), 64u) << "shaded, not flat";

  // Nine letters stacked: every ninth of the height, inside the frame, carries drawing.
  for (int letter = 0; letter < 9; ++letter) {
    size_t lit = 0;
    for (int y = 16 + letter * 37; y < 16 + letter * 37 + 30; ++y)
      for (int x = 25; x < 138; ++x) lit += at(x, y) != 0;
    EXPECT_GT(lit, 250u) << "letter " << letter;
  }
}

TEST(Scenes, AreFullFramesWithWideTransparentAreasAndShading) {
  for (int number = 2; number <= 8; ++number) {
    SCOPED_TRACE(number);
    const std::vector<uint8_t> scene = content_scene(number);
    ASSERT_EQ(scene.size(), 307200u);
    EXPECT_GT(share_of_zero(scene), 0.3);
    EXPECT_LT(share_of_zero(scene), 0.9);
    EXPECT_GE(distinct_levels(scene), 32u);
  }
  EXPECT_TRUE(content_scene(1).empty());
  EXPECT_TRUE(content_scene(9).empty());
}

TEST(Scenes, EachDiffersFromEveryOtherOverMostOfTheFrame) {
  std::vector<std::vector<uint8_t>> pictures;
  for (int number = 2; number <= 8; ++number) pictures.push_back(content_scene(number));
  pictures.push_back(content_credits());
  for (size_t a = 0; a < pictures.size(); ++a)
    for (size_t b = a + 1; b < pictures.size(); ++b) {
      size_t differ = 0, drawn_differently = 0;
      for (size_t i = 0; i < pictures[a].size(); ++i) {
        differ += pictures[a][i] != pictures[b][i];
        // Where one is transparent and the other is not: the layout itself differs.
        drawn_differently += (pictures[a][i] == 0) != (pictures[b][i] == 0);
      }
      EXPECT_GT(differ, pictures[a].size() / 3) << a << " vs " << b;
      EXPECT_GT(drawn_differently, pictures[a].size() / 5) << a << " vs " << b;
    }
}

TEST(Credits, IsOpaqueWithBrightLettering) {
  const std::vector<uint8_t> credits = content_credits();
  ASSERT_EQ(credits.size(), 307200u);
  EXPECT_EQ(share_of_zero(credits), 0.0);
  size_t bright = 0, dark = 0;
  for (uint8_t v : credits) bright += v >= 200, dark += v < 50;
  EXPECT_GT(bright, 2000u);
  EXPECT_GT(dark, credits.size() / 2) << "lettering on a dark page";
}
