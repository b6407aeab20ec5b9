// The writer's output as a real player reads it back.
#include "content/xm_write.h"

#include <gtest/gtest.h>
#include <xmp.h>

#include <cmath>

namespace {

xm_module two_pattern_song() {
  xm_module song;
  song.name = "writer test";
  song.channels = 3;
  song.speed = 4;
  song.tempo = 140;
  song.patterns.push_back(xm_make_pattern(16, 3));
  song.patterns.push_back(xm_make_pattern(8, 3));
  song.patterns[0].at(0, 0) = {49, 1, 0x40, 0, 0};
  song.patterns[0].at(4, 2) = {XM_KEY_OFF, 0, 0, 0, 0};
  song.patterns[1].at(3, 1) = {61, 2, 0, 0x0E, 0xD2};
  song.orders = {0, 1, 0};
  for (int i = 0; i < 2; ++i) {
    xm_instrument instrument;
    instrument.name = "tone " + std::to_string(i + 1);
    xm_sample sample;
    sample.sixteen_bit = i == 0;
    for (int n = 0; n < 64; ++n) sample.data.push_back(int16_t(20000 * std::sin(n * 0.098)));
    sample.loop = XM_LOOP_FORWARD;
    sample.loop_length = 64;
    sample.relative_note = int8_t(i * 12);
    sample.finetune = int8_t(i * 16);
    instrument.samples.push_back(sample);
    instrument.volume_envelope.points = {{0, 64}, {10, 32}, {40, 0}};
    instrument.volume_envelope.sustain = 1;
    song.instruments.push_back(instrument);
  }
  return song;
}

} // namespace

TEST(XmWrite, PlayerReadsBackStructureEventsAndSamples) {
  std::vector<uint8_t> bytes = xm_write(two_pattern_song());
  xmp_context context = xmp_create_context();
  ASSERT_EQ(xmp_load_module_from_memory(context, bytes.data(), long(bytes.size())), 0);
  xmp_module_info info;
  xmp_get_module_info(context, &info);
  const xmp_module &module = *info.mod;
  EXPECT_STREQ(module.name, "writer test");
  EXPECT_EQ(module.chn, 3);
  EXPECT_GE(module.pat, 2); // the player may append an empty pattern of its own
  EXPECT_EQ(module.len, 3);
  EXPECT_EQ(module.spd, 4);
  EXPECT_EQ(module.bpm, 140);
  EXPECT_EQ(module.ins, 2);
  EXPECT_EQ(module.xxp[0]->rows, 16);
  EXPECT_EQ(module.xxp[1]->rows, 8);

  const xmp_event &first = module.xxt[module.xxp[0]->index[0]]->event[0];
  // The player numbers notes an octave above the file (C-0 is its 13).
  EXPECT_EQ(first.note, 49 + 12);
  EXPECT_EQ(first.ins, 1);
  const xmp_event &off = module.xxt[module.xxp[0]->index[2]]->event[4];
  EXPECT_EQ(off.note, XMP_KEY_OFF);
  const xmp_event &delayed = module.xxt[module.xxp[1]->index[1]]->event[3];
  EXPECT_EQ(delayed.note, 61 + 12);
  EXPECT_EQ(delayed.ins, 2);
  EXPECT_EQ(delayed.fxt, 0x0E);
  EXPECT_EQ(delayed.fxp, 0xD2);

  ASSERT_EQ(module.smp, 2);
  EXPECT_EQ(module.xxs[0].len, 64);
  EXPECT_TRUE(module.xxs[0].flg & XMP_SAMPLE_16BIT);
  EXPECT_FALSE(module.xxs[1].flg & XMP_SAMPLE_16BIT);
  EXPECT_TRUE(module.xxs[0].flg & XMP_SAMPLE_LOOP);
  const int16_t *samples = reinterpret_cast<const int16_t *>(module.xxs[0].data);
  EXPECT_EQ(samples[16], int16_t(20000 * std::sin(16 * 0.098)));
  EXPECT_EQ(module.xxi[0].aei.npt, 3);
  EXPECT_EQ(module.xxi[0].aei.sus, 1);
  EXPECT_EQ(module.xxi[1].sub[0].xpo, 12);

  xmp_release_module(context);
  xmp_free_context(context);
}
