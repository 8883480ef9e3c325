#include "swf/sound/sound_channels.h"

#include <algorithm>
#include <cmath>

namespace swivio::swf::sound {

double VirtualChannel::loopMs() const {
    return std::max(0.0, durationMs - offsetMs);
}

double VirtualChannel::endMs() const {
    return startMs + loopMs() * std::max(1, loops);
}

double VirtualChannel::positionAt(double nowMs) const {
    if (finishedAt(nowMs))
        return durationMs;
    const double elapsed = std::max(0.0, nowMs - startMs);
    const double loop = loopMs();
    return offsetMs + (loop > 0 ? std::fmod(elapsed, loop) : 0);
}

uint64_t SoundChannels::start(uint64_t owner, uint16_t soundId, double nowMs, double durationMs,
                              double offsetMs, int loops) {
    if (m_channels.size() >= kMaxChannels)
        return 0;
    VirtualChannel channel;
    channel.id = m_nextId++;
    channel.owner = owner;
    channel.soundId = soundId;
    channel.startMs = nowMs;
    channel.durationMs = std::isfinite(durationMs) ? std::max(0.0, durationMs) : 0;
    channel.offsetMs =
        std::isfinite(offsetMs) ? std::clamp(offsetMs, 0.0, channel.durationMs) : 0;
    channel.loops = std::max(1, loops);
    m_channels.push_back(channel);
    return channel.id;
}

bool SoundChannels::stop(uint64_t id) {
    return std::erase_if(m_channels, [id](const VirtualChannel& c) { return c.id == id; }) > 0;
}

std::size_t SoundChannels::stopOwner(uint64_t owner) {
    return std::erase_if(m_channels, [owner](const VirtualChannel& c) { return c.owner == owner; });
}

std::size_t SoundChannels::stopSound(uint16_t soundId) {
    return std::erase_if(m_channels,
                         [soundId](const VirtualChannel& c) { return c.soundId == soundId; });
}

std::vector<VirtualChannel> SoundChannels::takeFinished(double nowMs) {
    std::vector<VirtualChannel> finished;
    for (const VirtualChannel& channel : m_channels)
        if (channel.finishedAt(nowMs))
            finished.push_back(channel);
    if (finished.empty())
        return finished;
    std::erase_if(m_channels, [nowMs](const VirtualChannel& c) { return c.finishedAt(nowMs); });
    std::stable_sort(finished.begin(), finished.end(),
                     [](const VirtualChannel& a, const VirtualChannel& b) {
                         return a.endMs() < b.endMs();
                     });
    return finished;
}

const VirtualChannel* SoundChannels::find(uint64_t id) const {
    for (const VirtualChannel& channel : m_channels)
        if (channel.id == id)
            return &channel;
    return nullptr;
}

} // namespace swivio::swf::sound
