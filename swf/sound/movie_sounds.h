#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "swf/format/character.h"
#include "swf/format/movie_definition.h"
#include "swf/sound/sound_decoder.h"
#include "swf/sound/sound_library.h"
#include "swf/sound/sound_mixer.h"

namespace swivio::swf::sound {

// A timeline's stream sound, decoded, with the block each frame carries.
struct TimelineStream {
    DecodedStream decoded;
    std::vector<int> frameBlocks; // per frame: the block's index, -1 for none
};

// What the movie's sounds need while one player plays it: the library, the decoded sounds
// (each decoded once, on first use) and the mixer.
class MovieSounds {
public:
    explicit MovieSounds(std::shared_ptr<const MovieDefinition> movie);

    const SoundLibrary& library() const { return m_library; }
    SoundMixer& mixer() { return m_mixer; }

    // A dictionary sound decoded, or null when it cannot be (said once in warnings()).
    std::shared_ptr<const DecodedSound> decoded(uint16_t soundId);
    // The stream sound of a timeline, or null when it has none.
    std::shared_ptr<const TimelineStream> stream(const Timeline& timeline);

    // A frame's sound tags (StartSound, StartSound2, stream blocks) for the clip whose
    // timeline it is: clipKey names the clip, scope its volume. streamsOnly: a seek landed
    // there, which places the stream but starts no event sound.
    void frameSounds(const Timeline& timeline, int frame, std::span<const TagRecord> tags,
                     uint64_t clipKey, uint64_t scope, bool streamsOnly = false);
    // An event sound of the dictionary started by other means (a button's state change).
    uint64_t startSound(uint16_t soundId, const SoundInfo& info, uint64_t scope);

    // Whether the movie holds any sound: a DefineSound or a stream on some timeline.
    bool movieHasSound() const { return m_hasSound; }
    // What could not be decoded, each said once.
    const std::vector<std::string>& warnings() const { return m_warnings; }

private:
    void warnOnce(const std::string& text);
    void trimCache();

    std::shared_ptr<const MovieDefinition> m_movie;
    SoundLibrary m_library;
    SoundMixer m_mixer;
    std::unordered_map<uint16_t, std::shared_ptr<const DecodedSound>> m_sounds;
    std::unordered_map<const Timeline*, std::shared_ptr<const TimelineStream>> m_streams;
    std::vector<std::string> m_warnings;
    std::size_t m_cachedBytes = 0;
    bool m_hasSound = false;
};

// What a movie's sounds are, for a listing: count, formats, stream or event, length.
struct SoundSummaryEntry {
    bool stream = false;
    uint16_t characterId = 0; // event sounds
    uint8_t formatCode = 0;
    uint32_t rate = 0;
    bool stereo = false;
    bool sixteenBit = false;
    uint32_t durationMs = 0;
};
std::vector<SoundSummaryEntry> summarizeSounds(const MovieDefinition& movie);
// The name of a sound format ("MP3", "ADPCM", ...).
std::string soundFormatName(uint8_t formatCode);

} // namespace swivio::swf::sound
