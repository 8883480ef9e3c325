#pragma once

#include <string>
#include <vector>

#include "swf/format/movie_definition.h"

namespace swivio::swf {

// One sound of a movie for a listing: a DefineSound (an event sound) or a timeline's stream.
struct MovieSoundListing {
    bool stream = false;
    int characterId = 0; // event sounds
    std::string format;  // "MP3", "ADPCM", ...
    int rate = 0;        // samples per second the sound is decoded at
    int channels = 1;
    double seconds = 0;  // a stream: as long as the frames that carry it
};

std::vector<MovieSoundListing> listMovieSounds(const MovieDefinition& movie);

} // namespace swivio::swf
