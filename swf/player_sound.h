#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "swf/player/timeline_player.h"
#include "swf/sound/movie_sounds.h"

namespace swivio::swf {

// The sound of one player: hears each frame's sound tags and mixes each frame's samples.
//
// Every frame the movie shows has its own span of samples: frame k of the player (counted
// from its start) owns sample frames floor(k * 44100 / rate) to floor((k + 1) * 44100 / rate),
// so over any length the sound and the pictures agree to the sample. A frame is mixed once:
// by whoever takes its sound, or, when nobody does, just before the next tick, and dropped.
class PlayerSound final : public SoundHook {
public:
    PlayerSound(std::shared_ptr<const MovieDefinition> movie, float frameRate);

    void frameSounds(const DisplayObject& clip, int frame, std::span<const TagRecord> tags) override;
    void seekedTo(const DisplayObject& clip, int frame, std::span<const TagRecord> tags) override;

    sound::MovieSounds& sounds() { return m_sounds; }
    const sound::MovieSounds& sounds() const { return m_sounds; }
    // Sample frames (44100 a second) of the frame k at the given rate.
    static std::size_t samplesOfFrame(uint64_t k, double rate);

    // The sound of the frame shown now, 16-bit stereo, at the movie's own rate; empty when it
    // was taken already.
    std::vector<int16_t> takeFrameSound();
    // The same at another frame rate (a recording's): this frame's share of that clock.
    std::vector<int16_t> takeFrameSound(double rate);
    // Before a tick: a frame whose sound nobody took is mixed and dropped, so sounds move on.
    void beforeTick();

private:
    sound::MovieSounds m_sounds;
    double m_frameRate;
    uint64_t m_frame = 0; // frames mixed so far
    bool m_mixed = false; // the frame shown now is mixed
    std::vector<float> m_drop;
};

} // namespace swivio::swf
