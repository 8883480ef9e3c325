#pragma once

// libavcodec video encoders as the AVI writer uses them, shared by the compressor list (which
// probes them), the compressor (which runs them) and the benchmark. Not a public header of
// the AVI layer: it exposes FFmpeg types.

#include <cstdint>
#include <string>

#include "base/result.h"
#include "clib/ffmpeg_handles.h"

namespace swivio::libav {

// The pixel format an encoder is fed with: BGR24 when it takes it; otherwise, for lossy
// encoders, 4:2:0 (the format players expect of them), for lossless ones the format that
// loses least of 24-bit RGB. AV_PIX_FMT_NONE when the encoder states no formats.
AVPixelFormat inputFormatFor(const AVCodec* codec);

// Allocates and opens `codec` for width x height frames at rate / scale frames per second,
// every frame a key frame, with the quality the AVI writer uses for it; fails with the
// reason when it will not open. The context's codec_tag is the FourCC the output is written
// with.
Result<clib::AvCodecContext> openVideoEncoder(const AVCodec* codec, int width, int height,
                                              uint32_t scale, uint32_t rate);

// Signals the end of the stream and discards what the encoder still held.
void drainEncoder(AVCodecContext* context);

// The FourCC libavformat's AVI tag table gives the codec, 0 when it has none.
uint32_t aviFourCcOf(AVCodecID id);

} // namespace swivio::libav
