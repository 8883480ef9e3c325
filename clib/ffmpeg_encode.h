#pragma once

// The send/receive exchange with an opened libavcodec encoder, for every writer that encodes
// with FFmpeg. Whoever includes this header links libavcodec and libavutil.

#include <functional>
#include <string>

#include "clib/ffmpeg_handles.h"

namespace swivio::clib {

// How an exchange with an encoder ended.
struct EncodeStatus {
    enum class Failure {
        None,
        Send,     // the encoder refused the frame (or the end of the stream)
        Receive,  // the encoder failed while producing a packet
        Consumer, // the packet consumer returned false
    };
    Failure failure = Failure::None;
    std::string text; // av_strerror's text for Send and Receive failures

    explicit operator bool() const { return failure == Failure::None; }
    // True after a success. Otherwise false, and `error` becomes "<refused>: <text>" after a
    // Send failure or "<failed>: <text>" after a Receive failure; after a Consumer failure it
    // is left as the consumer set it.
    bool report(std::string& error, const std::string& refused, const std::string& failed) const {
        if (failure == Failure::Send)
            error = refused + ": " + text;
        else if (failure == Failure::Receive)
            error = failed + ": " + text;
        return failure == Failure::None;
    }
};

// Receives one packet; false stops the exchange (its reason is the consumer's to keep).
using PacketConsumer = std::function<bool(AVPacket&)>;

// Sends `frame` to `encoder` (null: the end of the stream, which an encoder already at its
// end accepts again), then hands each packet the encoder has ready to `consume`, in order.
// `packet` is scratch space, unreferenced after each packet; the consumer may take a
// reference of its own. Stops at the first failure.
[[nodiscard]] inline EncodeStatus encodeFrame(AVCodecContext* encoder, const AVFrame* frame,
                                              AVPacket* packet, const PacketConsumer& consume) {
    using Failure = EncodeStatus::Failure;
    int rc = avcodec_send_frame(encoder, frame);
    if (rc < 0 && !(frame == nullptr && rc == AVERROR_EOF))
        return {Failure::Send, ffmpegErrorText(rc)};
    for (;;) {
        rc = avcodec_receive_packet(encoder, packet);
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
            return {};
        if (rc < 0)
            return {Failure::Receive, ffmpegErrorText(rc)};
        const bool taken = consume(*packet);
        av_packet_unref(packet);
        if (!taken)
            return {Failure::Consumer, {}};
    }
}

} // namespace swivio::clib
