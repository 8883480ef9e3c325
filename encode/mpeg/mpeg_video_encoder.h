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

// Turns bottom-up 24-bit BGR frames of a preset's size into MPEG-1 or MPEG-2 intra pictures.
//
// Quality: every picture is an intra picture (no motion prediction, so a frame repeated by
// the encoding loop costs as much as a new one) and the rate control aims at the preset's
// average bit rate within the format's decoder buffer and peak rate; it chooses the quantiser
// per picture between 2 and 31. Flat Flash artwork usually settles at fine quantisers.
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

    // Hands over whatever the encoder still holds (nothing with intra pictures, but the codec
    // decides). False with `error` filled when a packet is refused.
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
