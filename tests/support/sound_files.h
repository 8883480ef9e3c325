#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/swf_writer.h" // writeBytes

namespace swivio::testkit {

// One RIFF chunk to place in a WAV file besides "fmt " and "data".
struct RiffChunk {
    std::string id; // four characters
    std::vector<uint8_t> body;
};

// What a WAV file built for a test looks like.
struct WavSpec {
    uint16_t formatTag = 1;
    uint16_t channels = 2;
    uint32_t sampleRate = 44100;
    uint16_t bitsPerSample = 16;
    // Extra bytes after the 16 fields of "fmt " (a 2-byte count is written first when any).
    std::vector<uint8_t> formatExtra;
    std::vector<RiffChunk> before; // between "fmt " and "data"
    std::vector<RiffChunk> after;  // after "data"
};

// A whole WAV file: RIFF header, "fmt ", the chunks before, "data" with `data`, the chunks
// after. With no extras this is the canonical 44-byte header followed by the data.
std::vector<uint8_t> makeWav(const WavSpec& wavLayout, const std::vector<uint8_t>& data);

// 16-bit little-endian PCM of a sine per channel (channel c at 440 * (c + 1) Hz), as bytes.
std::vector<uint8_t> sinePcm16(uint32_t sampleRate, uint16_t channels, uint32_t frames);

// An MP3 stream encoded with LAME from a sine. `tag` selects the first frame: none, a LAME
// "Info" frame (constant bit rate) or a "Xing" frame (variable bit rate, `kbps` ignored).
enum class Mp3Tag { None, Info, Xing };
std::vector<uint8_t> makeMp3(uint32_t sampleRate, uint16_t channels, int kbps, double seconds,
                             Mp3Tag tag = Mp3Tag::None);

// An ID3v2.3 tag whose header declares `size` bytes of body; the body is filled with `fill`.
std::vector<uint8_t> makeId3Tag(uint32_t size, uint8_t fill = 0);

std::vector<uint8_t> readBytes(const std::string& path);

} // namespace swivio::testkit
