#pragma once
// FFmpeg's libraries, loaded with dlopen when a stream first needs them: a player that only plays MP3
// never maps them, and a machine without them still plays MP3. The headers give the types; the
// symbols come from the loaded libraries (of the major versions the headers belong to).

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
}

#include <string>

namespace audio {

// Each entry: the symbol's name; its type comes from the header's declaration.
#define MP3ZX_FFMPEG_SYMBOLS(X)                                                                              \
    X(av_malloc)                                                                                             \
    X(av_freep)                                                                                              \
    X(av_dict_get)                                                                                           \
    X(av_dict_set)                                                                                           \
    X(av_dict_free)                                                                                          \
    X(av_frame_alloc)                                                                                        \
    X(av_frame_free)                                                                                         \
    X(av_channel_layout_default)                                                                             \
    X(av_channel_layout_compare)                                                                             \
    X(av_channel_layout_copy)                                                                                \
    X(av_channel_layout_uninit)                                                                              \
    X(av_log_set_level)                                                                                      \
    X(avcodec_find_decoder)                                                                                  \
    X(avcodec_alloc_context3)                                                                                \
    X(avcodec_free_context)                                                                                  \
    X(avcodec_parameters_to_context)                                                                         \
    X(avcodec_open2)                                                                                         \
    X(avcodec_send_packet)                                                                                   \
    X(avcodec_receive_frame)                                                                                 \
    X(av_packet_alloc)                                                                                       \
    X(av_packet_free)                                                                                        \
    X(av_packet_unref)                                                                                       \
    X(av_find_input_format)                                                                                  \
    X(avformat_alloc_context)                                                                                \
    X(avformat_free_context)                                                                                 \
    X(avformat_open_input)                                                                                   \
    X(avformat_close_input)                                                                                  \
    X(avformat_find_stream_info)                                                                             \
    X(avformat_network_init)                                                                                 \
    X(av_find_best_stream)                                                                                   \
    X(av_read_frame)                                                                                         \
    X(avio_alloc_context)                                                                                    \
    X(avio_context_free)                                                                                     \
    X(swr_alloc_set_opts2)                                                                                   \
    X(swr_init)                                                                                              \
    X(swr_free)                                                                                              \
    X(swr_convert)                                                                                           \
    X(swr_get_out_samples)

struct FfmpegLibrary {
#define MP3ZX_FFMPEG_MEMBER(name) decltype(&::name) name = nullptr;
    MP3ZX_FFMPEG_SYMBOLS(MP3ZX_FFMPEG_MEMBER)
#undef MP3ZX_FFMPEG_MEMBER

    // The libraries, loaded on the first call (any thread); nullptr when one of them or a symbol is
    // missing, with error naming it.
    static const FfmpegLibrary* get(std::string* error = nullptr);
    // Whether get() has loaded them in this process (for tests of the lazy load).
    static bool loaded();
};

} // namespace audio
