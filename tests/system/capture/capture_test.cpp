// quarvelin-capture, run as a user runs it; its files decoded back with
// libavcodec and compared with what the show's own routines compose and the
// sound layer renders.
#include "compose/compose.h"
#include "music/music.h"
#include "show/show.h"
#include "tests/support/test_files.h"
#include "tests/support/test_songs.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string read_text(const fs::path &path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// `path` in single quotes, for the shell.
std::string quoted(const fs::path &path) {
  std::string out = "'";
  out += path.string();
  out += '\'';
  return out;
}

// The show as a fresh start in `folder` plays it, 60 composed frames a second
// seen at `fps` frames a second, with the cues and sound of the song rendered
// for `sound_frames`.
struct reference_show {
  int32_t fps = 0;
  int64_t next_frame = 0; // of the file
  int64_t composed = 0;   // show frames composed
  std::vector<sound_cue> cues;
  size_t next_cue = 0;
  std::vector<int16_t> samples;
};

reference_show start_reference(const fs::path &folder, int32_t fps, int64_t sound_frames) {
  reference_show show;
  show.fps = fps;
  fs::path here = fs::current_path();
  fs::current_path(folder);
  EXPECT_EQ(show_load_pictures(), 1);
  std::string song = read_text(MUSIC_SONG_FILE);
  fs::current_path(here);
  int32_t count = 0;
  show.cues.resize(10000);
  show.samples.resize(size_t(2 * sound_frames));
  sound_render(song.data(), int64_t(song.size()), MUSIC_MIXING_RATE, sound_frames,
               show.samples.data(), show.cues.data(), 10000, &count);
  show.cues.resize(size_t(std::min(count, 10000)));
  noise_state = NOISE_SEED;
  scene_index = 0;
  picture_code = PICTURE_CODE_LOGO;
  clear_frame(frame_buffer);
  return show;
}

// The file's next frame (the show frame on screen at its time), scaled by
// `scale` and centred on black in `width` x `height`.
std::vector<uint32_t> next_reference_frame(reference_show *show, int width, int height, int scale) {
  const double at_seconds = double(show->next_frame++) / show->fps;
  for (; double(show->composed) / 60 <= at_seconds + 1e-9; ++show->composed) {
    const int64_t time_ms = show->composed * 1000 / 60;
    for (; show->next_cue < show->cues.size() &&
           show->cues[show->next_cue].sample * 1000 <= time_ms * MUSIC_MIXING_RATE;
         ++show->next_cue) {
      int32_t instrument = show->cues[show->next_cue].instrument;
      if (instrument == CUE_INSTRUMENT_NEXT_SCENE) on_cue_next_scene(nullptr, 0);
      if (instrument == CUE_INSTRUMENT_LOGO) on_cue_logo(nullptr, 0);
      if (instrument == CUE_INSTRUMENT_CREDITS) on_cue_credits(nullptr, 0);
    }
    show_compose_frame(int32_t(time_ms));
  }
  std::vector<uint32_t> out(size_t(width) * size_t(height), 0);
  const int left = (width - FRAME_WIDTH * scale) / 2, top = (height - FRAME_HEIGHT * scale) / 2;
  for (int y = 0; y < FRAME_HEIGHT * scale; ++y)
    for (int x = 0; x < FRAME_WIDTH * scale; ++x)
      out[size_t(top + y) * size_t(width) + size_t(left + x)] =
          show_frame_shown()[y / scale * FRAME_WIDTH + x / scale] & 0xFFFFFF;
  return out;
}

// Decodes every frame of `path`: pictures go to `on_picture`, 16-bit sound to
// `samples`. The container's duration in seconds.
double decode(const fs::path &path, const std::function<void(const AVFrame *)> &on_picture,
              std::vector<int16_t> *samples) {
  AVFormatContext *container = nullptr;
  EXPECT_EQ(avformat_open_input(&container, path.c_str(), nullptr, nullptr), 0) << path;
  if (container == nullptr) return 0;
  avformat_find_stream_info(container, nullptr);
  const double seconds = double(container->duration) / AV_TIME_BASE;
  std::vector<AVCodecContext *> decoders;
  for (unsigned i = 0; i < container->nb_streams; ++i) {
    const AVCodecParameters *parameters = container->streams[i]->codecpar;
    decoders.push_back(avcodec_alloc_context3(avcodec_find_decoder(parameters->codec_id)));
    avcodec_parameters_to_context(decoders.back(), parameters);
    avcodec_open2(decoders.back(), decoders.back()->codec, nullptr);
  }
  AVPacket *packet = av_packet_alloc();
  AVFrame *frame = av_frame_alloc();
  auto drain = [&](AVCodecContext *decoder) {
    while (avcodec_receive_frame(decoder, frame) == 0) {
      if (decoder->codec_type == AVMEDIA_TYPE_VIDEO)
        on_picture(frame);
      else if (frame->format == AV_SAMPLE_FMT_S16 && samples != nullptr)
        samples->insert(samples->end(), reinterpret_cast<const int16_t *>(frame->data[0]),
                        reinterpret_cast<const int16_t *>(frame->data[0]) + 2 * frame->nb_samples);
    }
  };
  while (av_read_frame(container, packet) == 0) {
    avcodec_send_packet(decoders[size_t(packet->stream_index)], packet);
    drain(decoders[size_t(packet->stream_index)]);
    av_packet_unref(packet);
  }
  for (AVCodecContext *decoder : decoders) {
    avcodec_send_packet(decoder, nullptr);
    drain(decoder);
    avcodec_free_context(&decoder);
  }
  av_frame_free(&frame);
  av_packet_free(&packet);
  avformat_close_input(&container);
  return seconds;
}

// Checks the lossless capture `path` (FFV1 bgr0, FLAC s16) against the
// reference: every frame, every sample, and the length within one frame.
void expect_show(const fs::path &path, reference_show *show, int64_t frames, int scale) {
  std::vector<uint32_t> pixels;
  std::vector<int16_t> samples;
  int64_t first_difference = -1;
  const double seconds = decode(
      path,
      [&](const AVFrame *frame) {
        EXPECT_EQ(frame->format, AV_PIX_FMT_BGR0);
        pixels.resize(size_t(frame->width) * size_t(frame->height));
        for (int y = 0; y < frame->height; ++y)
          std::memcpy(&pixels[size_t(y) * size_t(frame->width)],
                      frame->data[0] + y * frame->linesize[0], size_t(frame->width) * 4);
        if (pixels != next_reference_frame(show, frame->width, frame->height, scale) &&
            first_difference < 0)
          first_difference = show->next_frame - 1;
      },
      &samples);
  EXPECT_EQ(first_difference, -1) << "first frame that differs";
  EXPECT_EQ(show->next_frame, frames);
  EXPECT_TRUE(samples == show->samples);
  EXPECT_NEAR(seconds, double(frames) / show->fps, 1.0 / show->fps);
}

class CaptureTest : public ::testing::Test {
protected:
  // Runs the tool in `where` (through `runner`), its stderr to this test's
  // folder; its exit status.
  int capture(const fs::path &where, const std::string &arguments, const char *runner = "") {
    std::string command = "cd " + quoted(where) + " && " + runner + quoted(tool) +
                          " " + arguments + " 2>" + quoted(folder / "stderr.txt");
    return WEXITSTATUS(std::system(command.c_str()));
  }

  temp_folder scratch{"capture-test"};
  fs::path folder = scratch.path;
  fs::path tool = QUARVELIN_CAPTURE_TOOL;
};

const fs::path show_folder = QUARVELIN_SHOW_DIR;

// Captures with the same arguments are the same bytes.
void expect_same_bytes(const fs::path &first, const fs::path &second) {
  std::string bytes = read_text(first);
  EXPECT_GT(bytes.size(), 10000u);
  EXPECT_TRUE(bytes == read_text(second)) << first << " and " << second << " differ";
}

TEST_F(CaptureTest, LosslessCaptureIsTheShowFrameByFrameAndTheSongSampleBySample) {
  for (const char *name : {"a.mkv", "b.mkv"})
    ASSERT_EQ(capture(show_folder, quoted(folder / name) + " --seconds 3 --lossless"), 0);
  reference_show show = start_reference(show_folder, 60, 3 * MUSIC_MIXING_RATE);
  expect_show(folder / "a.mkv", &show, 180, 1);
  expect_same_bytes(folder / "a.mkv", folder / "b.mkv");
}

// Above 60 frames a second each composed frame is written for every file
// frame it covers: twice at 120, two or three times at 144, alternating.
TEST_F(CaptureTest, AboveSixtyFramesASecondEachShowFrameIsWrittenForTheFramesItCovers) {
  for (const int32_t fps : {120, 144}) {
    const std::string name = "fast" + std::to_string(fps) + ".mkv";
    ASSERT_EQ(capture(show_folder, quoted(folder / name) + " --seconds 0.5 --lossless --fps " +
                                       std::to_string(fps)),
              0);
    reference_show show = start_reference(show_folder, fps, MUSIC_MIXING_RATE / 2);
    expect_show(folder / name, &show, fps / 2, 1);
    EXPECT_EQ(show.composed, 30); // half a second of show frames
    std::vector<uint32_t> previous;
    std::vector<int32_t> runs;
    decode(
        folder / name,
        [&](const AVFrame *frame) {
          std::vector<uint32_t> pixels(size_t(frame->width) * size_t(frame->height));
          for (int y = 0; y < frame->height; ++y)
            std::memcpy(&pixels[size_t(y) * size_t(frame->width)],
                        frame->data[0] + y * frame->linesize[0], size_t(frame->width) * 4);
          if (pixels == previous)
            ++runs.back();
          else
            runs.push_back(1);
          previous = std::move(pixels);
        },
        nullptr);
    runs.pop_back(); // the last, cut short by the end
    for (int32_t run : runs) EXPECT_TRUE(run == fps / 60 || run == fps / 60 + 1) << fps << ": " << run;
  }
}

// A song whose cue notes fall in its first two seconds, one exactly on a
// frame's time; the default length is one pass of it.
TEST_F(CaptureTest, CuesApplyBeforeTheFirstFrameThatHearsThem) {
  for (int32_t i = 0; i < PICTURE_COUNT; ++i)
    fs::create_symlink(show_folder / DATA_FILES[i].name, folder / DATA_FILES[i].name);
  xm_module song = test_song(1, 28, 4); // rows of 80 ms: a pass of 2.24 s
  const int cue_rows[][2] = {{2, 3}, {5, 4}, {9, 3}, {14, 6}, {15, 3}, {21, 3}, {22, 4}};
  for (const auto &[row, instrument] : cue_rows)
    song.patterns[0].at(row, 0) = {49, uint8_t(instrument)};
  ASSERT_TRUE(xm_save(song, (folder / MUSIC_SONG_FILE).string()));

  ASSERT_EQ(capture(folder, "cues.mkv --lossless --fps 50"), 0);
  reference_show show = start_reference(folder, 50, 28 * 4 * TEST_TICK_FRAMES);
  expect_show(folder / "cues.mkv", &show, 112, 1);
  EXPECT_EQ(scene_index.load(), 4);

  // 1300 x 1002 holds the frame twice over, with bars of 10 and 21 pixels.
  ASSERT_EQ(capture(folder, "big.mkv --lossless --size 1300x1002 --seconds 0.5 --fps 10"), 0);
  show = start_reference(folder, 10, MUSIC_MIXING_RATE / 2);
  expect_show(folder / "big.mkv", &show, 5, 2);

  // Gently: what the follower shows, the logo and credits held, the same cues.
  ASSERT_EQ(capture(folder, "gentle.mkv --lossless --fps 50 --gentle"), 0);
  show_set_gentle(1);
  show = start_reference(folder, 50, 28 * 4 * TEST_TICK_FRAMES);
  expect_show(folder / "gentle.mkv", &show, 112, 1);
  show_set_gentle(0);
}

// The default file's picture is the placed frame in BT.601 limited range,
// within what x264 and the halved chroma lose.
TEST_F(CaptureTest, H264PictureIsTheFrameInBt601) {
  for (const char *name : {"a.mp4", "b.mp4"})
    ASSERT_EQ(capture(show_folder, quoted(folder / name) + " --size 1302x1002 --seconds 1 --fps 6"),
              0);
  expect_same_bytes(folder / "a.mp4", folder / "b.mp4");
  reference_show show = start_reference(show_folder, 6, MUSIC_MIXING_RATE);
  double error[3] = {}, count = 0;
  decode(
      folder / "a.mp4",
      [&](const AVFrame *frame) {
        ASSERT_EQ(frame->format, AV_PIX_FMT_YUV420P);
        std::vector<uint32_t> expected =
            next_reference_frame(&show, frame->width, frame->height, 2);
        for (int y = 0; y < frame->height; ++y)
          for (int x = 0; x < frame->width; ++x, ++count) {
            const uint32_t pixel = expected[size_t(y * frame->width + x)];
            const double r = (pixel >> 16) / 255.0, g = (pixel >> 8 & 0xFF) / 255.0,
                         b = (pixel & 0xFF) / 255.0;
            const double yuv[3] = {16 + 65.481 * r + 128.553 * g + 24.966 * b,
                                   128 - 37.797 * r - 74.203 * g + 112 * b,
                                   128 + 112 * r - 93.786 * g - 18.214 * b};
            for (int plane = 0, shift = 0; plane < 3; shift = 1, ++plane)
              error[plane] += std::abs(
                  frame->data[plane][(y >> shift) * frame->linesize[plane] + (x >> shift)] -
                  yuv[plane]);
          }
      },
      nullptr);
  // Measured 1.6, 5.4 and 3.1; swapped or misscaled chroma gives about 40.
  EXPECT_LT(error[0] / count, 3.0);
  EXPECT_LT(std::max(error[1], error[2]) / count, 12.0);
}

// Every failure: exit status 1, a one-line message, and nothing left behind.
TEST_F(CaptureTest, FailuresLeaveNoFile) {
  const fs::path out = folder / "out";
  fs::create_directory(out);
  const std::string output = quoted(out / "x.mp4");
  for (const char *options : {"--seconds 0", "--fps 1000", "--size 320x240", "--size 641x480",
                              "--frobnicate", "another.mp4", "--fps"}) {
    EXPECT_EQ(capture(show_folder, output + " " + options), 1) << options;
    std::string message = read_text(folder / "stderr.txt");
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
  }
  EXPECT_EQ(capture(show_folder, ""), 1) << "no output";
  std::ofstream(folder / MUSIC_SONG_FILE) << "not a song";
  EXPECT_EQ(capture(folder, output), 1) << "a song the show cannot play";
  // Refused before anything is read: a song above the size limit (sparse,
  // so the test writes nothing), and a FIFO, which is never opened to wait.
  fs::resize_file(folder / MUSIC_SONG_FILE, uint64_t(DATA_FILE_MAX_BYTES) + 1);
  EXPECT_EQ(capture(folder, output), 1);
  EXPECT_NE(read_text(folder / "stderr.txt").find("RETRO.XM: too large"), std::string::npos);
  // Beside its own copy of the tool, so no other folder's song is chosen.
  const fs::path lone = folder / "lone";
  fs::create_directory(lone);
  fs::copy_file(QUARVELIN_CAPTURE_TOOL, lone / "quarvelin-capture");
  ASSERT_EQ(mkfifo((lone / MUSIC_SONG_FILE).c_str(), 0600), 0);
  tool = lone / "quarvelin-capture";
  EXPECT_EQ(capture(lone, output, "timeout -s KILL 60 "), 1) << "hung on the FIFO";
  EXPECT_NE(read_text(folder / "stderr.txt").find("RETRO.XM: not a readable regular file"),
            std::string::npos);
  tool = QUARVELIN_CAPTURE_TOOL;
  EXPECT_EQ(capture(show_folder, quoted(folder / "missing" / "x.mp4")), 1);

  // Stopped by SIGINT part-way through a long capture.
  EXPECT_EQ(capture(show_folder, output + " --seconds 600", "timeout --preserve-status -s INT 3 "),
            1);
  EXPECT_TRUE(fs::is_empty(out));
}

} // namespace
