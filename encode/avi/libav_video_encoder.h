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

// The user's quality, 1 (smallest files) to 100 (best pictures); 0 keeps the setting the
// AVI writer has always used for the encoder.
inline constexpr int kVideoQualityDefault = 0;
inline constexpr int kVideoQualityMin = 1;
inline constexpr int kVideoQualityMax = 100;

// How an encoder takes a quality: a fixed quantiser (MJPEG, the MPEG-1/2/4, H.263 and WMV
// families...), a constant rate factor (x264, x265, VP8, VP9, AV1), Theora's own 0-10
// scale, a bit rate (VC-2), a compression level of a lossless coder (PNG, ZLIB, ZMBV: the
// pictures are the same at every level, the higher the smaller and slower), or not at all.
enum class QualityScale { None, Quantiser, RateFactor, Theora, BitRate, CompressionLevel };
QualityScale qualityScaleOf(const AVCodec* codec);

// Allocates and opens `codec` for width x height frames at rate / scale frames per second,
// every frame a key frame, at `quality` (see kVideoQualityDefault; ignored by an encoder
// whose scale is QualityScale::None); fails with the reason when it will not open. The
// context's codec_tag is the FourCC the output is written with.
Result<clib::AvCodecContext> openVideoEncoder(const AVCodec* codec, int width, int height,
                                              uint32_t scale, uint32_t rate,
                                              int quality = kVideoQualityDefault);

// Encodes one width x height test picture (four coloured quarters) with `codec`, decodes it
// with libavcodec's decoder of the same codec id and checks that each quarter came back
// near its colour. Fails with the reason (the encoder will not open, the decoder refuses
// the packet, the colours are wrong). The library's log is not touched: callers quiet it.
Status roundTripTestPicture(const AVCodec* codec, int width, int height);

// Signals the end of the stream and discards what the encoder still held.
void drainEncoder(AVCodecContext* context);

// The FourCC libavformat's AVI tag table gives the codec, 0 when it has none.
uint32_t aviFourCcOf(AVCodecID id);

} // namespace swivio::libav
