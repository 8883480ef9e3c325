#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/result.h"
#include "source/movie_header.h"

namespace swivio {

namespace swf {
class Movie;
} // namespace swf

// An SWF movie read from its file once: the header facts and the engine's parse come from
// the same bytes, so what `info` reports and what plays can never disagree.
struct SwfMovieFile {
    MovieHeader header;
    std::shared_ptr<const swf::Movie> movie;
};

// Reads and parses the movie at `path`. A movie is accepted when the header reader accepts
// it and the engine can read its header fields; damaged tags after them are skipped (the
// movie's warnings list them). Fails with kInvalidMovieMessage, then the file and the cause.
Result<SwfMovieFile> loadSwfMovieFile(const std::string& path);

// What scripts the movie holds, as info shows it: "ActionScript 3 (not run)",
// "ActionScript 1/2" or "none".
std::string movieScripts(const SwfMovieFile& file);

// One sound of the movie as info lists it: a DefineSound (an event sound) or the stream of
// a timeline.
struct MovieSoundEntry {
    bool stream = false;
    int characterId = 0; // event sounds
    std::string format;  // "MP3", "ADPCM", ...
    int rate = 0;        // samples per second
    int channels = 1;
    double seconds = 0;
};
std::vector<MovieSoundEntry> movieSounds(const SwfMovieFile& file);

// What is damaged in a movie that was accepted (its reading skipped tags or stopped early),
// in words for the user: how many of the declared frames could be read when fewer could,
// then the engine's own findings. Empty for a whole movie.
std::vector<std::string> movieFileWarnings(const SwfMovieFile& file);

} // namespace swivio
