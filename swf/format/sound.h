#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/result.h"

namespace swivio::swf {

// How a sound's samples are stored (the 4-bit SoundFormat field).
enum class SoundFormat : uint8_t {
    PcmNative = 0, // uncompressed, in the byte order of the machine that wrote it
    Adpcm = 1,
    Mp3 = 2,
    PcmLittleEndian = 3,
    Nellymoser16k = 4,
    Nellymoser8k = 5,
    Nellymoser = 6,
    Speex = 11,
};

// DefineSound: one sound of the dictionary. data views the tag's body (for MP3 after the
// seek-samples field).
struct SoundDefinition {
    uint16_t id = 0;
    uint8_t formatCode = 0; // SoundFormat, or an unknown code kept as it was
    uint32_t rate = 0;      // samples per second: 5512, 11025, 22050 or 44100
    bool sixteenBit = false;
    bool stereo = false;
    uint32_t sampleCount = 0;
    int16_t seekSamples = 0; // MP3 only: samples to skip at the start
    std::span<const uint8_t> data;

    SoundFormat format() const { return SoundFormat(formatCode); }
    // The length the sample count gives at the sound's rate, to the nearest millisecond.
    uint32_t durationMs() const;
};

// One point of a sound's envelope: at a sample position (44 kHz), the levels 0..32768.
struct SoundEnvelopePoint {
    uint32_t position44 = 0;
    uint16_t leftLevel = 0;
    uint16_t rightLevel = 0;
};

// SOUNDINFO of StartSound and StartSound2: how one start of a sound plays.
struct SoundInfo {
    bool syncStop = false;       // stop the sound instead of starting it
    bool syncNoMultiple = false; // leave it alone when it is playing already
    std::optional<uint32_t> inPoint;  // samples (44 kHz) skipped at the start
    std::optional<uint32_t> outPoint; // sample position (44 kHz) where it ends
    uint16_t loops = 1;               // at least 1
    std::vector<SoundEnvelopePoint> envelope;
};

// DefineButtonSound (tag 17): the sound a button plays on each of four state changes.
struct ButtonSound {
    uint16_t soundId = 0; // 0: none
    SoundInfo info;
};
struct ButtonSounds {
    // In the tag's order: rolled out (OverUpToIdle), rolled over (IdleToOverUp), pressed
    // (OverUpToOverDown), released inside (OverDownToOverUp).
    std::array<ButtonSound, 4> sounds;
};

// StartSound names a dictionary sound, StartSound2 an exported class.
struct StartSound {
    uint16_t characterId = 0;
    std::string className;
    SoundInfo info;
};

// SoundStreamHead (tag 18) or SoundStreamHead2 (tag 45): how the timeline's stream blocks are
// stored, and the samples each frame's block carries.
struct SoundStreamHead {
    uint8_t formatCode = 0;
    uint32_t rate = 0;
    bool sixteenBit = false;
    bool stereo = false;
    uint16_t samplesPerBlock = 0;
    int16_t latencySeek = 0; // MP3 only: samples the decoder delays the sound by

    SoundFormat format() const { return SoundFormat(formatCode); }
};

Result<SoundStreamHead> parseSoundStreamHead(std::span<const uint8_t> body);

// The body of DefineSound (tag 14), bounded to the tag.
Result<SoundDefinition> parseDefineSound(std::span<const uint8_t> body);
// The same after the character id, as the dictionary keeps a character's body.
Result<SoundDefinition> parseSoundCharacter(uint16_t id, std::span<const uint8_t> body);
// The body of StartSound (tag 15) or StartSound2 (tag 89).
Result<StartSound> parseStartSound(uint16_t tagCode, std::span<const uint8_t> body);
// The body of DefineButtonSound after the button's id.
Result<ButtonSounds> parseButtonSounds(std::span<const uint8_t> body);
// A SOUNDINFO record alone.
Result<SoundInfo> parseSoundInfo(std::span<const uint8_t> bytes);

} // namespace swivio::swf
