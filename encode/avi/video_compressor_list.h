#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace swivio {

// One entry of the codec list: the short name shown and the FourCC kept as item data.
struct VideoCompressorInfo {
    std::string name;
    uint32_t fourCC = 0;
    std::string encoderName; // libavcodec encoder behind it; empty for "Uncompressed"
};

// The video compressors an AVI can be written with: "Uncompressed" (FourCC 0) first, then
// every libavcodec video encoder present at run time that has an AVI FourCC and opens for
// 24-bit RGB frames of 320 x 160 (after conversion to a pixel format it takes), except
// "iv50", sorted by name. When several encoders share a FourCC, the first that opens in
// libavcodec's own order (its native encoder before external libraries) stands for it.
//
// The first call probes every encoder, which can take a moment; the list is kept for the
// life of the process. Thread safe.
const std::vector<VideoCompressorInfo>& videoCompressors();

// The list entry of a FourCC; nullptr when no compressor has it.
const VideoCompressorInfo* findVideoCompressor(uint32_t fourCC);
// The short name of a FourCC's compressor, empty when none has it.
std::string videoCompressorName(uint32_t fourCC);

// The codec panel's Configure and About buttons. The writer passes no settings to a
// compressor (each uses a fixed quality of its own), so no compressor offers a
// configuration. Every libavcodec compressor has an about text: its full name, FourCC and
// library version; "Uncompressed" has neither.
bool videoCompressorHasConfiguration(uint32_t fourCC);
bool videoCompressorHasAbout(uint32_t fourCC);
std::string videoCompressorAbout(uint32_t fourCC);

// "MJPG", "FMP4"...: the four characters of a FourCC, unprintable bytes as '?'.
std::string fourCcText(uint32_t fourCC);

} // namespace swivio
