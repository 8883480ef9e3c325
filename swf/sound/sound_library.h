#pragma once

#include <memory>
#include <string_view>
#include <unordered_map>

#include "swf/format/movie_definition.h"
#include "swf/format/sound.h"

namespace swivio::swf::sound {

// A sound of the movie as the player uses it: its definition and its length.
struct LibrarySound {
    SoundDefinition definition;
    uint32_t durationMs = 0;
};

// The movie's DefineSound characters, by id and by export name. Keeps the movie alive, as the
// sounds view its body. A damaged DefineSound is left out.
class SoundLibrary {
public:
    SoundLibrary() = default;
    explicit SoundLibrary(std::shared_ptr<const MovieDefinition> movie);

    const LibrarySound* byId(uint16_t id) const;
    // Export names match as the player matches linkage names: ASCII case ignored.
    const LibrarySound* byExportName(std::string_view name) const;
    std::size_t size() const { return m_sounds.size(); }

private:
    std::shared_ptr<const MovieDefinition> m_movie;
    std::unordered_map<uint16_t, LibrarySound> m_sounds;
};

// The length of a DefineSound: from its sample count, or for MP3 data whose count is missing,
// from its frames less the samples to skip.
uint32_t soundDurationMs(const SoundDefinition& sound);

} // namespace swivio::swf::sound
