// quarvelin-flashes: counts the flashes of a video of the show, or of the show
// itself composed frame by frame, second by second, against the limit of three
// flashes a second (flash_analysis.h has the rules).
#include "music/music.h"
#include "show/show.h"
#include "tools/capture_song.h"
#include "tools/flash_analysis.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char USAGE[] =
    "usage: quarvelin-flashes VIDEO [--from S] [--to S]\n"
    "       quarvelin-flashes --show [--gentle] [--fps F] [--from S] [--to S]\n"
    "\n"
    "Counts the flashes of VIDEO (quarvelin-capture's --lossless output, or any\n"
    "video whose frames decode to 8-bit BGR), or with --show of the show itself,\n"
    "composed frame by frame as quarvelin-capture does (run it from the show's\n"
    "folder), second by second, against the limit of three general or red flashes\n"
    "in any one second (WCAG 2.x, the frame taken as a 15-17 inch screen watched\n"
    "from 22-26 inches).\n"
    "\n"
    "  --from S   count from S seconds on (the frames before are still followed\n"
    "             for the show; for a video they are only decoded)\n"
    "  --to S     stop at S seconds; default: the end\n"
    "  --gentle   with --show: the show as `quarvelin --gentle` shows it\n"
    "  --fps F    with --show: frames a second, 1 to 240; default 60\n"
    "  --still P  also writes the last frame counted to P, a PPM picture\n"
    "\n"
    "Prints each second's flashes (the worst one-second period ending in it),\n"
    "the worst second, the seconds over the limit and a verdict. Exit status 0\n"
    "when no second is over the limit, 1 when one is, 2 on an error.\n";

struct options {
  std::string video, still;
  bool show = false, gentle = false;
  int32_t fps = 60;
  double from = 0, to = 1e9;
};

bool parse(int argc, char **argv, options *out, std::string *error) {
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    const bool takes_value = argument == "--from" || argument == "--to" || argument == "--fps" ||
                             argument == "--still";
    if (takes_value && i + 1 == argc) {
      *error = argument + " needs a value";
      return false;
    }
    char *end = nullptr;
    if (argument == "--show") {
      out->show = true;
    } else if (argument == "--gentle") {
      out->gentle = true;
    } else if (argument == "--still") {
      out->still = argv[++i];
    } else if (takes_value) {
      const double value = std::strtod(argv[++i], &end);
      if (end == argv[i] || *end != '\0' || value < 0 ||
          (argument == "--fps" && (value < 1 || value > 240 || value != std::floor(value)))) {
        *error = argument + " wants a number of seconds from 0 (--fps: 1 to 240)";
        return false;
      }
      if (argument == "--from") out->from = value;
      if (argument == "--to") out->to = value;
      if (argument == "--fps") out->fps = int32_t(value);
    } else if (argument.size() > 1 && argument[0] == '-') {
      *error = "unknown option " + argument + " (see --help)";
      return false;
    } else if (out->video.empty()) {
      out->video = argument;
    } else {
      *error = "only one VIDEO, please (see --help)";
      return false;
    }
  }
  if (out->show == !out->video.empty()) {
    *error = "give either a VIDEO or --show (see --help)";
    return false;
  }
  if (out->gentle && !out->show) {
    *error = "--gentle goes with --show";
    return false;
  }
  return true;
}

// The frames of the span asked for go to the analyser, made once the first
// one's size is known; the count of frames analysed.
struct counting {
  const options *args = nullptr;
  flash_analyser *analyser = nullptr;
  int64_t frames = 0;
  std::vector<uint8_t> last; // the last frame counted, as RGB, when --still asks for it
  int32_t width = 0, height = 0;
};

// Takes frame `k` (at args.fps) when it lies in the span; 0 once past it.
int take(counting *count, int64_t k, const uint32_t *pixels, int32_t width, int32_t height,
         int32_t stride) {
  const double seconds = double(k) / count->args->fps;
  if (seconds >= count->args->to) return 0;
  if (seconds < count->args->from) return 1;
  if (count->analyser == nullptr) count->analyser = flash_open(width, height, count->args->fps);
  flash_add_frame(count->analyser, pixels, stride);
  ++count->frames;
  if (!count->args->still.empty()) {
    count->width = width, count->height = height;
    count->last.resize(size_t(width) * size_t(height) * 3);
    uint8_t *out = count->last.data();
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x, out += 3) {
        const uint32_t pixel = pixels[int64_t(y) * stride + x];
        out[0] = uint8_t(pixel >> 16), out[1] = uint8_t(pixel >> 8), out[2] = uint8_t(pixel);
      }
  }
  return 1;
}

bool count_show(counting *count, std::string *error) {
  song_rendering song;
  if (!render_song(0, "quarvelin-flashes", &song, error)) return false;
  if (!show_load_pictures()) {
    *error = "out of memory";
    return false;
  }
  show_set_gentle(count->args->gentle ? 1 : 0);
  const int32_t fps = count->args->fps;
  const int64_t total = (song.frames * fps + MUSIC_MIXING_RATE - 1) / MUSIC_MIXING_RATE;
  size_t next_cue = 0;
  int64_t composed = 0;
  for (int64_t k = 0; k < total; ++k) {
    capture_compose_frame(song, k, fps, &next_cue, &composed);
    if (!take(count, k, show_frame_shown(), FRAME_WIDTH, FRAME_HEIGHT, FRAME_WIDTH)) break;
  }
  return true;
}

bool count_video(counting *count, options *args, std::string *error) {
  AVFormatContext *container = nullptr;
  if (avformat_open_input(&container, args->video.c_str(), nullptr, nullptr) != 0) {
    *error = "cannot open " + args->video;
    return false;
  }
  avformat_find_stream_info(container, nullptr);
  const int stream = av_find_best_stream(container, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  AVCodecContext *decoder = nullptr;
  if (stream >= 0) {
    const AVCodecParameters *parameters = container->streams[stream]->codecpar;
    decoder = avcodec_alloc_context3(avcodec_find_decoder(parameters->codec_id));
    avcodec_parameters_to_context(decoder, parameters);
    if (avcodec_open2(decoder, decoder->codec, nullptr) != 0) avcodec_free_context(&decoder);
  }
  bool done = decoder != nullptr;
  if (!done) *error = args->video + " has no video this program can decode";
  if (done) {
    const AVRational rate = container->streams[stream]->avg_frame_rate;
    args->fps = rate.den > 0 ? int32_t(std::lround(av_q2d(rate))) : 0;
    if (args->fps < 1) {
      *error = args->video + " does not say its frame rate";
      done = false;
    }
  }
  AVPacket *packet = av_packet_alloc();
  AVFrame *frame = av_frame_alloc();
  int64_t k = 0;
  bool more = done;
  auto drain = [&]() {
    while (more && avcodec_receive_frame(decoder, frame) == 0) {
      if (frame->format != AV_PIX_FMT_BGR0 && frame->format != AV_PIX_FMT_BGRA) {
        *error = args->video + ": frames are not 8-bit BGR (record it with --lossless)";
        done = more = false;
        return;
      }
      more = take(count, k++, reinterpret_cast<const uint32_t *>(frame->data[0]), frame->width,
                  frame->height, frame->linesize[0] / 4) != 0;
    }
  };
  while (more && av_read_frame(container, packet) == 0) {
    if (packet->stream_index == stream && avcodec_send_packet(decoder, packet) == 0) drain();
    av_packet_unref(packet);
  }
  if (more) {
    avcodec_send_packet(decoder, nullptr);
    drain();
  }
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&decoder);
  avformat_close_input(&container);
  return done;
}

// Seconds as m:ss.
std::string clock(int64_t seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                static_cast<long long>(seconds % 60));
  return text;
}

} // namespace

int main(int argc, char **argv) {
  options args;
  std::string error;
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(USAGE, stdout);
      return 0;
    }
  if (!parse(argc, argv, &args, &error)) {
    std::fprintf(stderr, "quarvelin-flashes: %s\n", error.c_str());
    return 2;
  }
  counting count;
  count.args = &args;
  const auto start = std::chrono::steady_clock::now();
  const bool read = args.show ? count_show(&count, &error) : count_video(&count, &args, &error);
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (read && count.analyser == nullptr) error = "no frames in the span asked for";
  if (!read || count.analyser == nullptr) {
    std::fprintf(stderr, "quarvelin-flashes: %s\n", error.c_str());
    flash_close(count.analyser);
    return 2;
  }
  if (!args.still.empty()) {
    FILE *file = std::fopen(args.still.c_str(), "wb");
    const bool written = file != nullptr && std::fprintf(file, "P6\n%d %d\n255\n", count.width,
                                                         count.height) > 0 &&
                         std::fwrite(count.last.data(), 1, count.last.size(), file) == count.last.size();
    if (file != nullptr && std::fclose(file) != 0) file = nullptr;
    if (!written || file == nullptr) {
      std::fprintf(stderr, "quarvelin-flashes: cannot write %s\n", args.still.c_str());
      flash_close(count.analyser);
      return 2;
    }
  }
  const std::vector<flash_second> &seconds = flash_seconds(count.analyser);
  const int64_t first = int64_t(std::ceil(args.from * args.fps)) / args.fps;
  size_t worst = 0, over = 0;
  std::printf("second  general  red  (flashes in the worst one-second period ending in it)\n");
  for (size_t s = 0; s < seconds.size(); ++s) {
    const flash_second &second = seconds[s];
    const int is_over = flash_second_over(second);
    over += size_t(is_over);
    if (std::max(second.general, second.red) > std::max(seconds[worst].general, seconds[worst].red))
      worst = s;
    std::printf("%6s  %7.1f  %3.1f%s\n", clock(first + int64_t(s)).c_str(), second.general / 2.0,
                second.red / 2.0, is_over ? "  over the limit" : "");
  }
  std::printf("worst second: %s, %.1f general flashes, %.1f red flashes\n",
              clock(first + int64_t(worst)).c_str(), seconds[worst].general / 2.0,
              seconds[worst].red / 2.0);
  std::printf("seconds over the limit: %zu of %zu\n", over, seconds.size());
  std::printf("verdict: %s\n", over == 0 ? "PASS, no second has more than three flashes"
                                         : "FAIL, more than three flashes a second");
  std::fprintf(stderr, "quarvelin-flashes: %lld frames in %.1f s, %.0f frames a second\n",
               static_cast<long long>(count.frames), elapsed, double(count.frames) / elapsed);
  flash_close(count.analyser);
  return over == 0 ? 0 : 1;
}
