#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/result.h"

namespace swivio {

// One entry of the codec list: the short name shown and the FourCC kept as item data.
struct VideoCompressorInfo {
    std::string name;
    uint32_t fourCC = 0;
    std::string encoderName; // libavcodec encoder behind it; empty for "Uncompressed"
    // The frame width and height must be multiples of these (1: any size).
    int widthMultiple = 1;
    int heightMultiple = 1;
    // Whether the compressor follows the quality setting (ConversionSettings::aviQuality).
    bool hasQuality = false;
};

// The video compressors an AVI can be written with: "Uncompressed" (FourCC 0) first, then
// every libavcodec video encoder present at run time that has an AVI FourCC and whose
// pictures libavcodec's own decoder reads back (a test picture of 24-bit RGB, converted to a
// pixel format the encoder takes, encoded, decoded and compared), except "iv50", sorted by
// name. When several encoders share a FourCC, the first that passes in libavcodec's own
// order (its native encoder before external libraries) stands for it. The size rule of each
// is found the same way, with widths and heights that are multiples of 1, 2, 4... 64 only;
// an encoder with a rule beyond that is left out.
//
// The first call probes every encoder, which can take a moment, unless the cache file of an
// earlier run (video_compressor_cache.h) holds the list for this libavcodec; the list is
// kept for the life of the process. Thread safe.
const std::vector<VideoCompressorInfo>& videoCompressors();

// The list entry of a FourCC; nullptr when no compressor has it.
const VideoCompressorInfo* findVideoCompressor(uint32_t fourCC);
// The short name of a FourCC's compressor, empty when none has it.
std::string videoCompressorName(uint32_t fourCC);

// The compressor the user names: "0" or "uncompressed" for uncompressed frames, a FourCC as
// videoCompressorKey prints it, or a listed short name, all without regard to case; nullptr
// when none is called so.
const VideoCompressorInfo* findVideoCompressorByName(const std::string& name);
// The FourCC by which the list shows a compressor and findVideoCompressorByName knows it:
// "0" for uncompressed, else fourCcText without trailing spaces ("tga " shows as "tga").
std::string videoCompressorKey(const VideoCompressorInfo& info);

// Fails, naming the compressor and its rule, when the compressor of `fourCC` cannot take
// frames of width x height ("needs a frame width that is a multiple of 16"), or when no
// listed compressor has the FourCC.
Status checkVideoCompressorSize(uint32_t fourCC, int width, int height);

// The codec panel's Configure and About buttons. The writer passes no settings to a
// compressor but the quality, so a compressor offers a configuration when it follows the
// quality setting. Every libavcodec compressor has an about text: its full name, FourCC and
// library version; "Uncompressed" has neither.
bool videoCompressorHasConfiguration(uint32_t fourCC);
bool videoCompressorHasAbout(uint32_t fourCC);
std::string videoCompressorAbout(uint32_t fourCC);

// "MJPG", "FMP4"...: the four characters of a FourCC, unprintable bytes as '?'.
std::string fourCcText(uint32_t fourCC);

} // namespace swivio
