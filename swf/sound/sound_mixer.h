#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "swf/format/sound.h"
#include "swf/sound/sound_decoder.h"

namespace swivio::swf::sound {

// How much of each input channel goes to each speaker (1 = full): left out = ll * left in +
// lr * right in, right out = rr * right in + rl * left in.
struct StereoLevels {
    float ll = 1, lr = 0, rr = 1, rl = 0;
};

// One start of an event sound.
struct EventStart {
    std::shared_ptr<const DecodedSound> sound;
    uint16_t soundId = 0;
    uint64_t owner = 0; // the caller's token: a Sound object, a button
    uint64_t scope = 0; // whose volume it plays under (a clip's handle), 0 for the movie's
    SoundInfo info;
    std::size_t offset = 0; // sample frames skipped at the start of each loop (after the in point)
};

// Adds the playing sounds together at kMixRate, two channels, in floating point; the sum is
// clipped once, when it is handed out as 16-bit samples. One thread at a time.
//
// Stream sounds are kept alive frame by frame: each frame whose timeline carries a block
// calls playStream() before the frame's samples are mixed; a stream not refreshed since the
// last mix has stopped with its timeline.
class SoundMixer {
public:
    // Sounds playing at once; past this a start is refused.
    static constexpr std::size_t kMaxVoices = 64;

    // Where a scope's levels come from at each mix (all full when none is set).
    using LevelSource = std::function<StereoLevels(uint64_t scope)>;
    void setLevelSource(LevelSource source) { m_levels = std::move(source); }
    // The movie's global volume, 1 for full.
    void setMasterVolume(float volume) { m_master = volume; }

    // Starts an event sound as its SOUNDINFO says (sync stop stops the sound instead; no
    // multiple leaves a playing sound alone). Returns the voice's id, 0 when nothing starts.
    uint64_t startEvent(const EventStart& start);
    bool isPlaying(uint16_t soundId) const;
    bool isVoicePlaying(uint64_t voice) const;
    void stopVoice(uint64_t voice);
    void stopSound(uint16_t soundId);
    void stopOwner(uint64_t owner);
    // Every sound, streams included (stopAllSounds).
    void stopAll();

    // The stream of a timeline (key: the clip's handle) plays this frame from position
    // (sample frames into the decoded stream).
    void playStream(uint64_t key, uint64_t scope, std::shared_ptr<const DecodedSound> stream,
                    std::size_t position);
    bool isStreamPlaying(uint64_t key) const;

    // Mixes the next out.size() / 2 sample frames into out (overwritten), then forgets the
    // voices that ended; their ids are kept for takeFinished().
    void mix(std::span<float> out);
    // The same, clipped to 16-bit.
    void mix(std::span<int16_t> out);
    std::vector<uint64_t> takeFinished();

    std::size_t voiceCount() const { return m_voices.size(); }

private:
    struct Voice {
        uint64_t id = 0;
        uint16_t soundId = 0;
        uint64_t owner = 0;
        uint64_t scope = 0;
        std::shared_ptr<const DecodedSound> sound;
        std::size_t begin = 0, end = 0; // the part of the sound each loop plays
        std::size_t position = 0;       // the next sample frame
        uint32_t loopsLeft = 1;
        uint64_t played = 0; // sample frames played so far, the envelope's clock
        std::vector<SoundEnvelopePoint> envelope;
        bool stream = false;
        uint64_t streamKey = 0;
        bool refreshed = false;
        bool finished = false;
    };

    void mixVoice(Voice& voice, std::span<float> out, const StereoLevels& levels);
    static float envelopeLevel(const std::vector<SoundEnvelopePoint>& envelope, uint64_t at, bool right);

    std::vector<Voice> m_voices;
    std::vector<uint64_t> m_finished;
    std::vector<float> m_scratch;
    LevelSource m_levels;
    float m_master = 1;
    uint64_t m_nextId = 1;
};

} // namespace swivio::swf::sound
