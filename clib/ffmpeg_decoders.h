#pragma once

// The decoder chosen for a codec, where libavcodec has more than one and they differ in what
// they decode. Whoever includes this header links libavcodec.

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace swivio::clib {

// The decoder for `id`, or null when there is none. Speex prefers libspeex's: a Speex packet
// may hold several 20 ms frames one after another with no header saying how many, and
// libspeex reads frames until the packet's bits run out or a terminator comes, where
// libavcodec's own decoder takes the count from a stream header (one, when there is none, as
// in SWF and FLV) and drops the rest.
inline const AVCodec* findDecoder(AVCodecID id) {
    if (id == AV_CODEC_ID_SPEEX)
        if (const AVCodec* libspeex = avcodec_find_decoder_by_name("libspeex"))
            return libspeex;
    return avcodec_find_decoder(id);
}

} // namespace swivio::clib
