#include "swf/player_sound.h"

#include <cmath>

namespace swivio::swf {

PlayerSound::PlayerSound(std::shared_ptr<const MovieDefinition> movie, float frameRate)
    : m_sounds(std::move(movie)), m_frameRate(frameRate > 0 ? frameRate : 12.0) {}

void PlayerSound::frameSounds(const DisplayObject& clip, int frame, std::span<const TagRecord> tags) {
    if (const Timeline* timeline = clip.timeline())
        m_sounds.frameSounds(*timeline, frame, tags, clip.handle().id, clip.handle().id);
}

void PlayerSound::seekedTo(const DisplayObject& clip, int frame, std::span<const TagRecord> tags) {
    if (const Timeline* timeline = clip.timeline())
        m_sounds.frameSounds(*timeline, frame, tags, clip.handle().id, clip.handle().id,
                             /*streamsOnly=*/true);
}

std::size_t PlayerSound::samplesOfFrame(uint64_t k, double rate) {
    if (!(rate > 0))
        return 0;
    // Rates in 1/256ths (every movie's) are counted exactly in integers.
    const double r256 = rate * 256;
    if (r256 == std::floor(r256) && r256 < 1e9) {
        const uint64_t r = uint64_t(r256);
        return std::size_t((k + 1) * sound::kMixRate * 256 / r - k * sound::kMixRate * 256 / r);
    }
    return std::size_t(std::floor(double(k + 1) * sound::kMixRate / rate) -
                       std::floor(double(k) * sound::kMixRate / rate));
}

std::vector<int16_t> PlayerSound::takeFrameSound() { return takeFrameSound(m_frameRate); }

std::vector<int16_t> PlayerSound::takeFrameSound(double rate) {
    if (m_mixed)
        return {};
    std::vector<int16_t> out(2 * samplesOfFrame(m_frame, rate));
    m_sounds.mixer().mix(std::span<int16_t>(out));
    m_sounds.mixer().takeFinished();
    ++m_frame;
    m_mixed = true;
    return out;
}

void PlayerSound::beforeTick() {
    if (!m_mixed) {
        m_drop.resize(2 * samplesOfFrame(m_frame, m_frameRate));
        m_sounds.mixer().mix(std::span<float>(m_drop));
        m_sounds.mixer().takeFinished();
        ++m_frame;
    }
    m_mixed = false;
}

} // namespace swivio::swf
