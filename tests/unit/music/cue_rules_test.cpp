// Which notes trigger cues, at which tick and sample, from offline renderings
// of small songs, one per rule. Positions are counted by hand from the songs'
// structure: at 125 BPM every tick is 640 frames at 32000 Hz.
#include "tests/support/test_songs.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

// instrument, order, row, tick, channel, frame
using cue_tuple = std::tuple<int, int, int, int, int, int64_t>;

std::vector<cue_tuple> tuples(const std::vector<sound_cue> &cues) {
  std::vector<cue_tuple> out;
  for (const sound_cue &c : cues)
    out.emplace_back(c.instrument, c.order, c.row, c.tick, c.channel, c.sample);
  return out;
}

// A cue whose tick is the song's `global_tick`-th.
cue_tuple at(int instrument, int order, int row, int tick, int channel, int64_t global_tick) {
  return {instrument, order, row, tick, channel, global_tick * TEST_TICK_FRAMES};
}

TEST(CueRules, NoteTriggersItsInstrumentOrTheChannelsCurrentOne) {
  xm_module song = test_song(2, 8);
  xm_pattern &p = song.patterns[0];
  p.at(0, 0) = {49, 3, 0, 0, 0};
  p.at(0, 1) = {49, 0, 0, 0, 0}; // no instrument named yet on this channel
  p.at(1, 0) = {50, 0, 0, 0, 0}; // the channel's current one: 3
  p.at(1, 1) = {60, 6, 0, 0, 0};
  p.at(2, 0) = {0, 4, 0, 0, 0}; // instrument alone: no trigger, but now current
  p.at(3, 0) = {49, 0, 0, 0, 0};
  p.at(4, 0) = {49, 7, 0, 0, 0}; // above the song's 6 instruments
  p.at(5, 0) = {49, 0, 0, 0, 0}; // current is still the missing 7
  p.at(6, 0) = {96, 6, 0, 0, 0}; // B-7, the highest note
  p.at(7, 0) = {1, 1, 0, 0, 0};  // C-0, the lowest
  EXPECT_EQ(tuples(render_cues(song)),
            (std::vector<cue_tuple>{at(3, 0, 0, 0, 0, 0), at(3, 0, 1, 0, 0, 4),
                                    at(6, 0, 1, 0, 1, 4), at(4, 0, 3, 0, 0, 12),
                                    at(6, 0, 6, 0, 0, 24), at(1, 0, 7, 0, 0, 28)}));
}

TEST(CueRules, KeyOffK00InstrumentAloneAndTonePortamentoTriggerNothing) {
  xm_module song = test_song(1, 10);
  xm_pattern &p = song.patterns[0];
  p.at(0, 0) = {XM_KEY_OFF, 3, 0, 0, 0};
  p.at(1, 0) = {49, 3, 0, 0x14, 0x00}; // K00
  p.at(2, 0) = {49, 3, 0, 0x14, 0x02}; // K02: the note plays, released at tick 2
  p.at(3, 0) = {0, 3, 0, 0, 0};
  p.at(4, 0) = {49, 3, 0, 0x03, 0x10}; // 3xx
  p.at(5, 0) = {49, 3, 0, 0x05, 0x01}; // 5xx
  p.at(6, 0) = {49, 3, 0xF2, 0, 0};    // volume column M2
  p.at(7, 0) = {49, 3, 0xF0, 0, 0};    // volume column M0
  p.at(8, 0) = {49, 3, 0x40, 0, 0};    // volume column set volume: an ordinary note
  p.at(9, 0) = {61, 0, 0, 0x0A, 0x01}; // other effects leave the note alone
  EXPECT_EQ(tuples(render_cues(song)),
            (std::vector<cue_tuple>{at(3, 0, 2, 0, 0, 8), at(3, 0, 8, 0, 0, 32),
                                    at(3, 0, 9, 0, 0, 36)}));
}

TEST(CueRules, NoteDelayTriggersAtItsTickAndNotAtAllFromTheSpeedOn) {
  xm_module song = test_song(2, 8);
  xm_pattern &p = song.patterns[0];
  p.at(0, 0) = {49, 3, 0, 0x0E, 0xD2};
  p.at(1, 0) = {49, 4, 0, 0x0E, 0xD3};
  p.at(2, 0) = {49, 4, 0, 0x0E, 0xD4}; // speed 4: never reached
  p.at(3, 0) = {49, 6, 0, 0x0E, 0xD4};
  p.at(3, 1) = {0, 0, 0, 0x0F, 0x06}; // speed 6 from this row on, this row included
  p.at(4, 0) = {49, 6, 0, 0x0E, 0xD5};
  p.at(5, 0) = {49, 3, 0, 0x0E, 0xD0}; // ED0: no delay
  p.at(6, 0) = {49, 4, 0, 0x0E, 0xD6}; // dropped whole: its instrument does not stick
  p.at(7, 0) = {49, 0, 0, 0, 0};
  // Rows start at ticks 0, 4, 8, 12, then 6 ticks each: 18, 24, 30, 36.
  EXPECT_EQ(tuples(render_cues(song)),
            (std::vector<cue_tuple>{at(3, 0, 0, 2, 0, 2), at(4, 0, 1, 3, 0, 7),
                                    at(6, 0, 3, 4, 0, 16), at(6, 0, 4, 5, 0, 23),
                                    at(3, 0, 5, 0, 0, 24), at(3, 0, 7, 0, 0, 36)}));
}

TEST(CueRules, DelayWithoutNoteReplaysTheChannelsLastNote) {
  xm_module song = test_song(2, 6);
  xm_pattern &p = song.patterns[0];
  p.at(0, 1) = {0, 3, 0, 0x0E, 0xD1};    // nothing played on this channel yet
  p.at(1, 0) = {49, 3, 0, 0, 0};
  p.at(2, 0) = {0, 0, 0, 0x0E, 0xD2};    // replays with the channel's instrument
  p.at(3, 0) = {0, 6, 0, 0x0E, 0xD1};    // replays with the cell's instrument
  p.at(4, 0) = {0, 0, 0, 0x0E, 0xD0};    // ED0 is no delay: nothing to replay
  p.at(5, 0) = {0, 0, 0xF2, 0x0E, 0xD1}; // tone portamento: nothing
  EXPECT_EQ(tuples(render_cues(song)),
            (std::vector<cue_tuple>{at(3, 0, 1, 0, 0, 4), at(3, 0, 2, 2, 0, 10),
                                    at(6, 0, 3, 1, 0, 13)}));
}

TEST(CueRules, PatternDelayPlaysTheRowsTriggersOnce) {
  xm_module song = test_song(2, 4);
  xm_pattern &p = song.patterns[0];
  p.at(1, 0) = {49, 3, 0, 0, 0};
  p.at(1, 1) = {49, 4, 0, 0x0E, 0xE2}; // the row lasts 3 x 4 ticks
  p.at(2, 0) = {49, 6, 0, 0x0E, 0xD3}; // with a delay beside a pattern delay
  p.at(2, 1) = {0, 0, 0, 0x0E, 0xE1};
  p.at(3, 0) = {49, 6, 0, 0x0E, 0xD1};
  EXPECT_EQ(tuples(render_cues(song)),
            (std::vector<cue_tuple>{at(3, 0, 1, 0, 0, 4), at(4, 0, 1, 0, 1, 4),
                                    at(6, 0, 2, 3, 0, 19), at(6, 0, 3, 1, 0, 25)}));
}

TEST(CueRules, RowsReplayedByLoopJumpAndBreakTriggerEachTime) {
  xm_module song = test_song(2, 4, 4, 6, 3);
  song.orders = {0, 1, 2};
  song.patterns[0].at(0, 0) = {49, 3, 0, 0x0E, 0x60}; // loop start
  song.patterns[0].at(1, 0) = {49, 4, 0, 0x0E, 0x61}; // play rows 0-1 twice
  song.patterns[0].at(2, 1) = {0, 0, 0, 0x0D, 0x03};  // break to row 3 of the next pattern
  song.patterns[1].at(3, 0) = {49, 6, 0, 0, 0};
  song.patterns[2].at(0, 0) = {49, 1, 0, 0, 0};       // never reached: jumped over
  song.patterns[1].at(3, 1) = {0, 0, 0, 0x0B, 0x00};  // back to order 0: the song's loop
  const int64_t pass_ticks = 4 * (2 + 2 + 1 + 1); // rows 0,1,0,1,2 then row 3 of pattern 1
  const int64_t pass = pass_ticks * TEST_TICK_FRAMES;
  std::vector<uint8_t> bytes = xm_write(song);
  EXPECT_EQ(pass_frames(bytes), pass);
  std::vector<cue_tuple> one_pass{at(3, 0, 0, 0, 0, 0), at(4, 0, 1, 0, 0, 4),
                                  at(3, 0, 0, 0, 0, 8), at(4, 0, 1, 0, 0, 12),
                                  at(6, 1, 3, 0, 0, 20)};
  EXPECT_EQ(tuples(render_cues(bytes)), one_pass);

  // Two and a half passes: each pass triggers the same notes, shifted by one pass.
  std::vector<cue_tuple> expected;
  for (int k = 0; k < 3; ++k)
    for (cue_tuple c : one_pass) {
      std::get<5>(c) += k * pass;
      if (std::get<5>(c) < pass * 5 / 2) expected.push_back(c);
    }
  EXPECT_EQ(tuples(render_cues(bytes, pass * 5 / 2)), expected);
}

TEST(CueRules, SongLoopsToItsRestartPosition) {
  xm_module song = test_song(1, 2, 4, 6, 2);
  song.restart = 1;
  song.patterns[0].at(0, 0) = {49, 3, 0, 0, 0};
  song.patterns[1].at(1, 0) = {49, 4, 0, 0, 0};
  std::vector<uint8_t> bytes = xm_write(song);
  ASSERT_EQ(pass_frames(bytes), 16 * TEST_TICK_FRAMES);
  // Order 0 plays once; order 1 then repeats every 8 ticks.
  EXPECT_EQ(tuples(render_cues(bytes, 40 * TEST_TICK_FRAMES)),
            (std::vector<cue_tuple>{at(3, 0, 0, 0, 0, 0), at(4, 1, 1, 0, 0, 12),
                                    at(4, 1, 1, 0, 0, 20), at(4, 1, 1, 0, 0, 28),
                                    at(4, 1, 1, 0, 0, 36)}));
}

TEST(CueRules, CueFrameIsWhereTheNoteStartsSoundingInTheOutput) {
  // 150 BPM: ticks of 533 1/3 frames, which the player rounds, so positions
  // are not multiples of a fixed tick. Each note sounds a constant level and is
  // keyed off a row later, so silence precedes every cue and sound starts at it.
  xm_module song = test_song(1, 8, 3, 1);
  song.tempo = 150;
  song.instruments[0].samples[0].data.assign(64, 16000);
  for (int row = 0; row < 8; row += 2) {
    song.patterns[0].at(row, 0) = {49, 1, 0, 0x0E, uint8_t(0xD0 + row / 2 % 3)};
    song.patterns[0].at(row + 1, 0) = {XM_KEY_OFF, 0, 0, 0, 0};
  }
  std::vector<uint8_t> bytes = xm_write(song);
  const int64_t length = pass_frames(bytes);
  ASSERT_GT(length, 0);
  std::vector<int16_t> out(size_t(2 * length));
  std::vector<sound_cue> cues(8);
  int32_t count = 0;
  ASSERT_EQ(sound_render(bytes.data(), int64_t(bytes.size()), TEST_RATE, length, out.data(),
                         cues.data(), 8, &count),
            length);
  ASSERT_EQ(count, 4);
  auto loud = [&](int64_t frame) { return out[size_t(2 * frame)] != 0 || out[size_t(2 * frame + 1)] != 0; };
  for (int i = 0; i < count; ++i) {
    const int64_t cue = cues[size_t(i)].sample;
    EXPECT_EQ(cues[size_t(i)].tick, i % 3);
    for (int64_t frame = std::max<int64_t>(0, cue - 200); frame < cue; ++frame)
      ASSERT_FALSE(loud(frame)) << "cue " << i << " frame " << frame;
    bool sounds = false;
    for (int64_t frame = cue; frame < cue + 8; ++frame) sounds = sounds || loud(frame);
    EXPECT_TRUE(sounds) << "cue " << i;
  }
}

} // namespace
