#include "swf/sound/sound_library.h"

#include "swf/sound/mp3_frames.h"

namespace swivio::swf::sound {

namespace {

bool sameAsciiFolded(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = char(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

} // namespace

uint32_t soundDurationMs(const SoundDefinition& sound) {
    if (sound.sampleCount > 0 || sound.format() != SoundFormat::Mp3)
        return sound.durationMs();
    return scanMp3Frames(sound.data).durationMs(sound.seekSamples);
}

SoundLibrary::SoundLibrary(std::shared_ptr<const MovieDefinition> movie)
    : m_movie(std::move(movie)) {
    if (!m_movie)
        return;
    for (const auto& [id, character] : m_movie->characters) {
        if (character.type != CharacterType::Sound)
            continue;
        auto parsed = parseSoundCharacter(id, character.body);
        if (!parsed)
            continue;
        LibrarySound sound{*parsed, 0};
        sound.durationMs = soundDurationMs(sound.definition);
        m_sounds.emplace(id, sound);
    }
}

const LibrarySound* SoundLibrary::byId(uint16_t id) const {
    auto it = m_sounds.find(id);
    return it == m_sounds.end() ? nullptr : &it->second;
}

const LibrarySound* SoundLibrary::byExportName(std::string_view name) const {
    if (!m_movie)
        return nullptr;
    auto exact = m_movie->exports.find(std::string(name));
    if (exact != m_movie->exports.end())
        return byId(exact->second);
    for (const auto& [exported, id] : m_movie->exports)
        if (sameAsciiFolded(exported, name))
            return byId(id);
    return nullptr;
}

} // namespace swivio::swf::sound
