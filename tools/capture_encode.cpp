// Video file writing on libavformat and libavcodec.
#include "tools/capture_encode.h"

#include "compose/compose.h"
#include "tools/capture_picture.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

#include <vector>

// x264's output depends on its thread count, so the count is fixed rather
// than taken from the machine; four keeps two cores busy.
constexpr int X264_THREADS = 4;
// Every block of the frame changes every frame (noise and tint), which makes
// the stream large and x264's analysis slow whatever the preset; its fastest
// preset keeps 1920 x 1080 above real time on two cores.
constexpr const char *X264_PRESET = "ultrafast";
constexpr const char *X264_CRF = "23";
constexpr int64_t AAC_BIT_RATE = 192000;
// FFV1 codes slices independently, so slice threads cannot change the bytes.
constexpr int FFV1_SLICES = 4;
constexpr int FFV1_THREADS = 2;

struct capture_encoder {
  AVFormatContext *container = nullptr;
  AVCodecContext *video = nullptr;
  AVCodecContext *audio = nullptr;
  AVStream *video_stream = nullptr;
  AVStream *audio_stream = nullptr;
  AVFrame *picture = nullptr; // yuv420p for H.264; for FFV1 a view of 0RGB pixels
  AVFrame *sound = nullptr;
  AVPacket *packet = nullptr;
  capture_layout layout;
  std::vector<uint32_t> rgb_picture; // FFV1 at another size than the frame's
  capture_format format{};
  int64_t video_frames = 0;
  int64_t audio_frames = 0;           // sample frames sent to the encoder
  std::vector<int16_t> pending_sound; // interleaved, less than one codec frame
  bool file_open = false;
};

static bool failed(std::string *error, const char *what, int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  *error = std::string(what) + ": " + text;
  return false;
}

static bool failed(std::string *error, const char *what) {
  *error = what;
  return false;
}

// Moves every packet the encoder has ready into the file.
static bool write_packets(capture_encoder *encoder, AVCodecContext *codec, AVStream *stream,
                          std::string *error) {
  for (;;) {
    int result = avcodec_receive_packet(codec, encoder->packet);
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return true;
    if (result < 0) return failed(error, "encoding failed", result);
    // Each video packet is one frame; saying so gives the last frame its length.
    if (codec == encoder->video) encoder->packet->duration = 1;
    av_packet_rescale_ts(encoder->packet, codec->time_base, stream->time_base);
    encoder->packet->stream_index = stream->index;
    result = av_interleaved_write_frame(encoder->container, encoder->packet);
    if (result < 0) return failed(error, "cannot write the file", result);
  }
}

static bool send_frame(capture_encoder *encoder, AVCodecContext *codec, AVStream *stream,
                       const AVFrame *frame, std::string *error) {
  int result = avcodec_send_frame(codec, frame);
  if (result < 0) return failed(error, "encoding failed", result);
  return write_packets(encoder, codec, stream, error);
}

static AVCodecContext *open_codec(capture_encoder *encoder, const char *name, AVStream **stream,
                                  void (*configure)(AVCodecContext *, const capture_format &),
                                  std::string *error) {
  const AVCodec *codec = avcodec_find_encoder_by_name(name);
  if (codec == nullptr) {
    *error = std::string("this FFmpeg has no ") + name + " encoder";
    return nullptr;
  }
  AVCodecContext *context = avcodec_alloc_context3(codec);
  *stream = avformat_new_stream(encoder->container, nullptr);
  if (context == nullptr || *stream == nullptr) {
    avcodec_free_context(&context);
    failed(error, "out of memory");
    return nullptr;
  }
  configure(context, encoder->format);
  context->flags |= AV_CODEC_FLAG_BITEXACT;
  if (encoder->container->oformat->flags & AVFMT_GLOBALHEADER)
    context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  int result = avcodec_open2(context, codec, nullptr);
  if (result >= 0) result = avcodec_parameters_from_context((*stream)->codecpar, context);
  if (result < 0) {
    avcodec_free_context(&context);
    failed(error, (std::string("cannot start the ") + name + " encoder").c_str(), result);
    return nullptr;
  }
  (*stream)->time_base = context->time_base;
  return context;
}

static void configure_video(AVCodecContext *context, const capture_format &format) {
  context->width = format.width;
  context->height = format.height;
  context->time_base = AVRational{1, format.fps};
  context->framerate = AVRational{format.fps, 1};
  context->sample_aspect_ratio = AVRational{1, 1};
  if (format.lossless) {
    context->pix_fmt = AV_PIX_FMT_BGR0;
    context->level = 3; // slices need version 3
    context->thread_count = FFV1_THREADS;
    context->thread_type = FF_THREAD_SLICE;
    av_opt_set_int(context->priv_data, "slices", FFV1_SLICES, 0);
    av_opt_set_int(context->priv_data, "slicecrc", 1, 0);
  } else {
    context->pix_fmt = AV_PIX_FMT_YUV420P;
    context->gop_size = 2 * format.fps;
    context->thread_count = X264_THREADS;
    // What capture_place_yuv420 produces: BT.601, limited range.
    context->colorspace = AVCOL_SPC_SMPTE170M;
    context->color_primaries = AVCOL_PRI_SMPTE170M;
    context->color_trc = AVCOL_TRC_SMPTE170M;
    context->color_range = AVCOL_RANGE_MPEG;
    av_opt_set(context->priv_data, "preset", X264_PRESET, 0);
    av_opt_set(context->priv_data, "crf", X264_CRF, 0);
  }
}

static void configure_audio(AVCodecContext *context, const capture_format &format) {
  context->sample_rate = format.sample_rate;
  context->time_base = AVRational{1, format.sample_rate};
  av_channel_layout_default(&context->ch_layout, 2);
  if (format.lossless) {
    context->sample_fmt = AV_SAMPLE_FMT_S16;
  } else {
    context->sample_fmt = AV_SAMPLE_FMT_FLTP;
    context->bit_rate = AAC_BIT_RATE;
    // The fast coder: a quarter of the default's time, no audible loss at this rate.
    av_opt_set(context->priv_data, "aac_coder", "fast", 0);
  }
}

static bool open_streams(capture_encoder *encoder, const char *path, std::string *error) {
  const capture_format &format = encoder->format;
  int result = avformat_alloc_output_context2(&encoder->container, nullptr,
                                              format.lossless ? "matroska" : "mp4", path);
  if (result < 0) return failed(error, "cannot set up the container", result);
  // No random identifiers, creation time or library versions in the file.
  encoder->container->flags |= AVFMT_FLAG_BITEXACT;
  encoder->video = open_codec(encoder, format.lossless ? "ffv1" : "libx264", &encoder->video_stream,
                              configure_video, error);
  if (encoder->video == nullptr) return false;
  encoder->audio = open_codec(encoder, format.lossless ? "flac" : "aac", &encoder->audio_stream,
                              configure_audio, error);
  if (encoder->audio == nullptr) return false;

  encoder->packet = av_packet_alloc();
  encoder->sound = av_frame_alloc();
  if (encoder->packet == nullptr || encoder->sound == nullptr)
    return failed(error, "out of memory");
  encoder->picture = av_frame_alloc();
  if (encoder->picture == nullptr) return failed(error, "out of memory");
  encoder->picture->format = format.lossless ? AV_PIX_FMT_BGR0 : AV_PIX_FMT_YUV420P;
  encoder->picture->width = format.width;
  encoder->picture->height = format.height;
  encoder->layout = capture_make_layout(format.width, format.height);
  if (encoder->layout.scale < 1) return failed(error, "the picture is smaller than the show's");
  if (!format.lossless) {
    result = av_frame_get_buffer(encoder->picture, 0);
    if (result < 0) return failed(error, "out of memory", result);
  } else if (format.width != FRAME_WIDTH || format.height != FRAME_HEIGHT) {
    encoder->rgb_picture.resize(size_t(format.width) * size_t(format.height));
  }

  result = avio_open(&encoder->container->pb, path, AVIO_FLAG_WRITE);
  if (result < 0) return failed(error, "cannot write the file", result);
  encoder->file_open = true;
  AVDictionary *options = nullptr;
  if (!format.lossless) av_dict_set(&options, "movflags", "+faststart", 0);
  result = avformat_write_header(encoder->container, &options);
  av_dict_free(&options);
  if (result < 0) return failed(error, "cannot write the file's header", result);
  return true;
}

capture_encoder *capture_encode_open(const char *path, const capture_format &format,
                                     std::string *error) {
  // The libraries' notes (encoder settings, statistics) are not for the user.
  av_log_set_level(AV_LOG_ERROR);
  capture_encoder *encoder = new capture_encoder;
  encoder->format = format;
  if (!open_streams(encoder, path, error)) {
    capture_encode_close(encoder);
    return nullptr;
  }
  return encoder;
}

bool capture_encode_video(capture_encoder *encoder, const uint32_t *frame, std::string *error) {
  AVFrame *picture = encoder->picture;
  if (encoder->format.lossless) {
    // FFV1 takes the frame's own layout; libavcodec copies pixels it does not own.
    const uint32_t *pixels = frame;
    if (!encoder->rgb_picture.empty()) {
      capture_place_rgb(frame, encoder->layout, encoder->rgb_picture.data());
      pixels = encoder->rgb_picture.data();
    }
    picture->data[0] = reinterpret_cast<uint8_t *>(const_cast<uint32_t *>(pixels));
    picture->linesize[0] = encoder->format.width * 4;
  } else {
    int result = av_frame_make_writable(picture);
    if (result < 0) return failed(error, "out of memory", result);
    capture_place_yuv420(frame, &encoder->layout, picture->data, picture->linesize);
  }
  picture->pts = encoder->video_frames++;
  return send_frame(encoder, encoder->video, encoder->video_stream, picture, error);
}

// Sends `frames` sample frames from the start of the pending sound.
static bool send_sound(capture_encoder *encoder, int32_t frames, std::string *error) {
  AVFrame *frame = encoder->sound;
  av_frame_unref(frame);
  frame->format = encoder->audio->sample_fmt;
  frame->nb_samples = frames;
  frame->sample_rate = encoder->audio->sample_rate;
  int result = av_channel_layout_copy(&frame->ch_layout, &encoder->audio->ch_layout);
  if (result >= 0) result = av_frame_get_buffer(frame, 0);
  if (result < 0) return failed(error, "out of memory", result);
  const int16_t *samples = encoder->pending_sound.data();
  if (frame->format == AV_SAMPLE_FMT_S16) {
    std::copy(samples, samples + 2 * frames, reinterpret_cast<int16_t *>(frame->data[0]));
  } else {
    float *left = reinterpret_cast<float *>(frame->data[0]);
    float *right = reinterpret_cast<float *>(frame->data[1]);
    for (int32_t i = 0; i < frames; ++i) {
      left[i] = float(samples[2 * i]) / 32768.0f;
      right[i] = float(samples[2 * i + 1]) / 32768.0f;
    }
  }
  frame->pts = encoder->audio_frames;
  encoder->audio_frames += frames;
  encoder->pending_sound.erase(encoder->pending_sound.begin(),
                               encoder->pending_sound.begin() + 2 * frames);
  return send_frame(encoder, encoder->audio, encoder->audio_stream, frame, error);
}

bool capture_encode_audio(capture_encoder *encoder, const int16_t *samples, int64_t frames,
                          std::string *error) {
  encoder->pending_sound.insert(encoder->pending_sound.end(), samples, samples + 2 * frames);
  const int32_t frame_size = encoder->audio->frame_size;
  while (int64_t(encoder->pending_sound.size()) >= 2 * int64_t(frame_size))
    if (!send_sound(encoder, frame_size, error)) return false;
  return true;
}

bool capture_encode_finish(capture_encoder *encoder, std::string *error) {
  // Both encoders accept a short last frame.
  if (!encoder->pending_sound.empty() &&
      !send_sound(encoder, int32_t(encoder->pending_sound.size() / 2), error))
    return false;
  if (!send_frame(encoder, encoder->video, encoder->video_stream, nullptr, error)) return false;
  if (!send_frame(encoder, encoder->audio, encoder->audio_stream, nullptr, error)) return false;
  int result = av_write_trailer(encoder->container);
  if (result < 0) return failed(error, "cannot finish the file", result);
  result = avio_closep(&encoder->container->pb);
  encoder->file_open = false;
  if (result < 0) return failed(error, "cannot finish the file", result);
  return true;
}

void capture_encode_close(capture_encoder *encoder) {
  if (encoder == nullptr) return;
  if (encoder->file_open) avio_closep(&encoder->container->pb);
  avformat_free_context(encoder->container);
  avcodec_free_context(&encoder->video);
  avcodec_free_context(&encoder->audio);
  av_frame_free(&encoder->picture);
  av_frame_free(&encoder->sound);
  av_packet_free(&encoder->packet);
  delete encoder;
}
