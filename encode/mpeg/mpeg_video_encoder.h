#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "clib/ffmpeg_handles.h"
#include "encode/mpeg/mpeg_preset.h"

namespace swivio {

// Receives each coded packet in the codec's time base; false stops the caller.
using PacketSink = std::function<bool(AVPacket&)>;

// The pixel aspect of a preset's frames: the whole frame shows at 4:3 (see
// kMpegDisplayAspectNum), reduced to lowest terms.
AVRational mpegSampleAspect(const MpegOutputPreset& preset);

// Sets `c` (allocated for `codecId`, mpeg1video or mpeg2video, not yet opened) to the preset's
// size, exact frame rate, pixel aspect, group structure, bit rates and decoder buffer, and
// adds the encoder's private options to `options` (the caller frees it).
void configureMpegVideo(AVCodecContext* c, const MpegOutputPreset& preset, AVCodecID codecId,
                        AVDictionary** options);

// Turns bottom-up 24-bit BGR frames of a preset's size into MPEG-1 or MPEG-2 pictures in the
// disc's group structure: an intra picture every gopSize pictures, predicted pictures between,
// up to maxBFrames bidirectional ones between two references.
//
// Quality: the rate control aims at the preset's average bit rate within the format's decoder
// buffer and peak rate; it chooses the quantiser per picture between 2 and 31. A frame
// repeated by the encoding loop costs almost nothing as a predicted picture.
//
// The encoder holds back up to maxBFrames + 1 pictures to reorder them: their packets come
// from later encode calls or from flush, which the owner calls once after the last frame.
class MpegVideoEncoder {
public:
    // Opens the encoder for `codecId` (mpeg1video or mpeg2video) with the preset's size, rate
    // and bit rate. False with `error` filled when the encoder is missing or refuses.
    [[nodiscard]] bool open(const MpegOutputPreset& preset, AVCodecID codecId, std::string& error);

    AVCodecContext* context() const { return m_codec.get(); }

    // Converts one frame (preset width x height, 24-bit, bottom row first, no row padding) to
    // YUV 4:2:0, codes it with presentation time `pts` (in frames) and hands its packets to
    // `sink`. False with `error` filled on an encoder failure or a refused packet.
    [[nodiscard]] bool encode(const uint8_t* bgrBottomUp, int64_t pts, const PacketSink& sink,
                              std::string& error);

    // Ends the stream: hands over every picture the encoder still holds back. False with
    // `error` filled when the encoder fails or a packet is refused.
    [[nodiscard]] bool flush(const PacketSink& sink, std::string& error);

private:
    // Sends `picture` (null: the end) and hands the packets to `sink`; an encoder failure
    // fills `error`, the send one starting with `refused`.
    bool exchange(const AVFrame* picture, const PacketSink& sink, std::string& error,
                  const char* refused);

    clib::AvCodecContext m_codec;
    clib::SwsContextHandle m_scaler;
    // The encoder may keep a reference to the last picture or two; with a few pictures to
    // choose from, the next one is converted into a free picture instead of a fresh copy.
    static constexpr int kPictures = 3;
    clib::AvFrame m_pictures[kPictures];
    clib::AvPacket m_packet;
    int m_width = 0;
    int m_height = 0;
};

} // namespace swivio
