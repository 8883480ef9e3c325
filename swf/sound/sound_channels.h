#pragma once

#include <cstdint>
#include <vector>

namespace swivio::swf::sound {

// One start of a sound on the movie's clock, with no audio behind it: where it is at a given
// time and when it ends. Times are milliseconds of movie time.
struct VirtualChannel {
    uint64_t id = 0;
    uint64_t owner = 0;   // who started it (a sound object, a clip): the caller's token
    uint16_t soundId = 0; // the dictionary sound, 0 for a loaded one
    double startMs = 0;   // movie time of the start
    double durationMs = 0;
    double offsetMs = 0; // where each loop starts in the sound
    int loops = 1;

    // Milliseconds one loop plays.
    double loopMs() const;
    // Movie time at which the last loop ends.
    double endMs() const;
    bool finishedAt(double nowMs) const { return nowMs >= endMs(); }
    // Position in the sound at nowMs: the offset at the start, the sound's end once finished.
    double positionAt(double nowMs) const;
};

// The channels playing now. Bounded: past kMaxChannels a start is refused, as the player
// drops sounds it has no channel for.
class SoundChannels {
public:
    static constexpr std::size_t kMaxChannels = 256;

    // Starts a channel: offsetMs is clamped into the sound, loops to at least 1. Returns its
    // id, or 0 when refused.
    uint64_t start(uint64_t owner, uint16_t soundId, double nowMs, double durationMs,
                   double offsetMs, int loops);
    // Stops channels (one, those of owner, of a sound, or all); returns how many.
    bool stop(uint64_t id);
    std::size_t stopOwner(uint64_t owner);
    std::size_t stopSound(uint16_t soundId);
    void stopAll() { m_channels.clear(); }
    // Removes and returns the channels that have ended by nowMs, earliest end first.
    std::vector<VirtualChannel> takeFinished(double nowMs);

    const std::vector<VirtualChannel>& playing() const { return m_channels; }
    const VirtualChannel* find(uint64_t id) const;

private:
    std::vector<VirtualChannel> m_channels;
    uint64_t m_nextId = 1;
};

} // namespace swivio::swf::sound
