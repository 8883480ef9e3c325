#pragma once

// Owners for the FFmpeg objects the encoders and the FLV source use. Whoever includes this
// header links the FFmpeg libraries it names (libavformat, libavcodec, libavutil, libswscale,
// libswresample).

#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include "clib/c_handle.h"

namespace swivio::clib {

namespace detail {
inline void freeCodecContext(AVCodecContext* c) {
    avcodec_free_context(&c);
}
inline void freeFrame(AVFrame* f) {
    av_frame_free(&f);
}
inline void freePacket(AVPacket* p) {
    av_packet_free(&p);
}
inline void freeSwr(SwrContext* s) {
    swr_free(&s);
}
// An output context owns its AVIOContext only when the caller opened one; close it here so a
// context released on any path leaves no open file behind.
inline void freeOutputContext(AVFormatContext* ctx) {
    if (ctx->oformat && !(ctx->oformat->flags & AVFMT_NOFILE))
        avio_closep(&ctx->pb);
    avformat_free_context(ctx);
}
inline void closeInputContext(AVFormatContext* ctx) {
    avformat_close_input(&ctx);
}
} // namespace detail

using AvCodecContext = CHandle<AVCodecContext, detail::freeCodecContext>;
using AvFrame = CHandle<AVFrame, detail::freeFrame>;
using AvPacket = CHandle<AVPacket, detail::freePacket>;
using SwsContextHandle = CHandle<SwsContext, sws_freeContext>;
using SwrContextHandle = CHandle<SwrContext, detail::freeSwr>;
using AvAudioFifo = CHandle<AVAudioFifo, av_audio_fifo_free>;
// A context made by avformat_alloc_output_context2 (and its file, once opened).
using AvOutputContext = CHandle<AVFormatContext, detail::freeOutputContext>;
// A context made by avformat_open_input.
using AvInputContext = CHandle<AVFormatContext, detail::closeInputContext>;

// FFmpeg's text for one of its negative error codes.
inline std::string ffmpegErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    if (av_strerror(code, text, sizeof text) < 0)
        return "FFmpeg error " + std::to_string(code);
    return text;
}

} // namespace swivio::clib
