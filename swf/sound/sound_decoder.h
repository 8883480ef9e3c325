#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "base/result.h"
#include "swf/format/sound.h"

namespace swivio::swf::sound {

// Everything the mixer plays is at this rate, two channels.
inline constexpr uint32_t kMixRate = 44100;
// A sound decoded past this many sample frames (ten minutes) is cut there, so a small tag
// that claims to expand without end cannot take the machine's memory.
inline constexpr std::size_t kMaxDecodedFrames = std::size_t(kMixRate) * 600;

// How a sound's bytes are stored: the fields DefineSound and the stream heads share.
struct SoundEncoding {
    uint8_t formatCode = 0;
    uint32_t rate = 0;
    bool sixteenBit = false;
    bool stereo = false;

    SoundFormat format() const { return SoundFormat(formatCode); }
};

SoundEncoding encodingOf(const SoundDefinition& sound);
SoundEncoding encodingOf(const SoundStreamHead& head);

// Samples at kMixRate, interleaved left and right, full scale at +-1.
struct DecodedSound {
    std::vector<float> samples;
    std::size_t frames() const { return samples.size() / 2; }
};

// The sample rate the data is decoded at: the declared one, but Nellymoser 8/16 kHz and Speex
// carry their own.
uint32_t decodedRate(const SoundEncoding& encoding);

// Decodes data into samples at kMixRate. skipSamples (at the sound's own rate) are dropped
// from the start, as MP3's seek samples are; sampleLimit, when not 0, keeps at most that many
// after them. Damaged data gives what decoded before the damage and a warning; a format that
// cannot be decoded at all fails.
Result<DecodedSound> decodeSound(const SoundEncoding& encoding, std::span<const uint8_t> data,
                                 uint32_t skipSamples = 0, uint32_t sampleLimit = 0);

// A DefineSound, with its seek samples and sample count applied.
Result<DecodedSound> decodeDefinition(const SoundDefinition& sound);

// A timeline's stream sound decoded whole, and where each block starts in it.
struct DecodedStream {
    DecodedSound sound;
    std::vector<std::size_t> blockStarts; // sample frames at kMixRate, one per block
};

// Decodes a stream's SoundStreamBlock bodies, in timeline order. MP3 blocks are one stream
// whose samples each block's count places (after the first block's seek samples); Speex
// blocks play on through one decoder, each block's frames whole before the next; the other
// formats start afresh in each block.
Result<DecodedStream> decodeStream(const SoundStreamHead& head,
                                   std::span<const std::span<const uint8_t>> blocks);

} // namespace swivio::swf::sound
