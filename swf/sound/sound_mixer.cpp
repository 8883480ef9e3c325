#include "swf/sound/sound_mixer.h"

#include <algorithm>
#include <cmath>

namespace swivio::swf::sound {

uint64_t SoundMixer::startEvent(const EventStart& start) {
    if (start.info.syncStop) {
        stopSound(start.soundId);
        return 0;
    }
    if (start.info.syncNoMultiple && start.soundId && isPlaying(start.soundId))
        return 0;
    if (!start.sound || m_voices.size() >= kMaxVoices)
        return 0;
    Voice voice;
    voice.id = m_nextId++;
    voice.soundId = start.soundId;
    voice.owner = start.owner;
    voice.scope = start.scope;
    voice.sound = start.sound;
    const std::size_t frames = start.sound->frames();
    // Points are counted at 44 kHz, which is the rate of what they index here.
    voice.end = std::min<std::size_t>(frames, start.info.outPoint.value_or(uint32_t(frames)));
    voice.begin = std::min<std::size_t>(voice.end, start.info.inPoint.value_or(0) + start.offset);
    voice.position = voice.begin;
    voice.loopsLeft = std::max<uint32_t>(1, start.info.loops);
    voice.envelope = start.info.envelope;
    std::stable_sort(voice.envelope.begin(), voice.envelope.end(),
                     [](const auto& a, const auto& b) { return a.position44 < b.position44; });
    m_voices.push_back(std::move(voice));
    return m_voices.back().id;
}

bool SoundMixer::isPlaying(uint16_t soundId) const {
    return std::any_of(m_voices.begin(), m_voices.end(),
                       [soundId](const Voice& v) { return !v.stream && v.soundId == soundId; });
}

bool SoundMixer::isVoicePlaying(uint64_t voice) const {
    return std::any_of(m_voices.begin(), m_voices.end(), [voice](const Voice& v) { return v.id == voice; });
}

void SoundMixer::stopVoice(uint64_t voice) {
    std::erase_if(m_voices, [voice](const Voice& v) { return v.id == voice; });
}

void SoundMixer::stopSound(uint16_t soundId) {
    std::erase_if(m_voices, [soundId](const Voice& v) { return !v.stream && v.soundId == soundId; });
}

void SoundMixer::stopOwner(uint64_t owner) {
    std::erase_if(m_voices, [owner](const Voice& v) { return !v.stream && v.owner == owner; });
}

void SoundMixer::stopAll() { m_voices.clear(); }

void SoundMixer::playStream(uint64_t key, uint64_t scope, std::shared_ptr<const DecodedSound> stream,
                            std::size_t position) {
    if (!stream)
        return;
    auto it = std::find_if(m_voices.begin(), m_voices.end(),
                           [key](const Voice& v) { return v.stream && v.streamKey == key; });
    if (it == m_voices.end()) {
        if (m_voices.size() >= kMaxVoices)
            return;
        Voice voice;
        voice.id = m_nextId++;
        voice.stream = true;
        voice.streamKey = key;
        m_voices.push_back(std::move(voice));
        it = m_voices.end() - 1;
    }
    it->scope = scope;
    it->sound = std::move(stream);
    it->begin = 0;
    it->end = it->sound->frames();
    // The block of the frame decides where the stream is: after a seek it jumps there.
    it->position = std::min(position, it->end);
    it->refreshed = true;
}

bool SoundMixer::isStreamPlaying(uint64_t key) const {
    return std::any_of(m_voices.begin(), m_voices.end(),
                       [key](const Voice& v) { return v.stream && v.streamKey == key; });
}

float SoundMixer::envelopeLevel(const std::vector<SoundEnvelopePoint>& envelope, uint64_t at, bool right) {
    auto level = [right](const SoundEnvelopePoint& p) {
        return float(right ? p.rightLevel : p.leftLevel) / 32768.0f;
    };
    if (at <= envelope.front().position44)
        return level(envelope.front());
    for (std::size_t i = 1; i < envelope.size(); ++i) {
        const SoundEnvelopePoint& b = envelope[i];
        if (at <= b.position44) {
            const SoundEnvelopePoint& a = envelope[i - 1];
            const float t = float(at - a.position44) / float(b.position44 - a.position44);
            return level(a) + (level(b) - level(a)) * t;
        }
    }
    return level(envelope.back());
}

void SoundMixer::mixVoice(Voice& voice, std::span<float> out, const StereoLevels& levels) {
    const std::size_t frames = out.size() / 2;
    const float* samples = voice.sound->samples.data();
    std::size_t k = 0;
    while (k < frames) {
        if (voice.position >= voice.end) {
            if (voice.stream || voice.loopsLeft <= 1 || voice.end == voice.begin) {
                voice.finished = true;
                return;
            }
            --voice.loopsLeft;
            voice.position = voice.begin;
        }
        const std::size_t run = std::min(frames - k, voice.end - voice.position);
        const float* in = samples + 2 * voice.position;
        float* to = out.data() + 2 * k;
        if (voice.envelope.empty()) {
            for (std::size_t i = 0; i < run; ++i) {
                const float l = in[2 * i], r = in[2 * i + 1];
                to[2 * i] += levels.ll * l + levels.lr * r;
                to[2 * i + 1] += levels.rr * r + levels.rl * l;
            }
        } else {
            for (std::size_t i = 0; i < run; ++i) {
                const uint64_t at = voice.played + i;
                const float l = in[2 * i] * envelopeLevel(voice.envelope, at, false);
                const float r = in[2 * i + 1] * envelopeLevel(voice.envelope, at, true);
                to[2 * i] += levels.ll * l + levels.lr * r;
                to[2 * i + 1] += levels.rr * r + levels.rl * l;
            }
        }
        voice.position += run;
        voice.played += run;
        k += run;
    }
}

void SoundMixer::mix(std::span<float> out) {
    std::fill(out.begin(), out.end(), 0.0f);
    // A stream whose timeline did not show a frame with a block since the last mix has
    // stopped with it.
    std::erase_if(m_voices, [](const Voice& v) { return v.stream && !v.refreshed; });
    for (Voice& voice : m_voices) {
        StereoLevels levels = m_levels ? m_levels(voice.scope) : StereoLevels{};
        levels.ll *= m_master;
        levels.lr *= m_master;
        levels.rr *= m_master;
        levels.rl *= m_master;
        mixVoice(voice, out, levels);
        voice.refreshed = false;
    }
    for (const Voice& voice : m_voices)
        if (voice.finished && !voice.stream)
            m_finished.push_back(voice.id);
    std::erase_if(m_voices, [](const Voice& v) { return v.finished; });
}

void SoundMixer::mix(std::span<int16_t> out) {
    m_scratch.resize(out.size());
    mix(std::span<float>(m_scratch));
    for (std::size_t i = 0; i < out.size(); ++i) {
        const float v = std::clamp(m_scratch[i], -1.0f, 1.0f) * 32767.0f;
        out[i] = int16_t(std::lrint(v));
    }
}

std::vector<uint64_t> SoundMixer::takeFinished() {
    std::vector<uint64_t> finished;
    finished.swap(m_finished);
    return finished;
}

} // namespace swivio::swf::sound
