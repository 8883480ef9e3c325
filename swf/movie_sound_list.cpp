#include "swf/movie_sound_list.h"

#include "swf/sound/movie_sounds.h"

namespace swivio::swf {

std::vector<MovieSoundListing> listMovieSounds(const MovieDefinition& movie) {
    std::vector<MovieSoundListing> list;
    for (const sound::SoundSummaryEntry& e : sound::summarizeSounds(movie)) {
        MovieSoundListing entry;
        entry.stream = e.stream;
        entry.characterId = e.characterId;
        entry.format = sound::soundFormatName(e.formatCode);
        entry.rate = int(e.rate);
        entry.channels = e.stereo ? 2 : 1;
        entry.seconds = e.durationMs / 1000.0;
        list.push_back(entry);
    }
    return list;
}

} // namespace swivio::swf
