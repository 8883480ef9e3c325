#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "base/result.h"
#include "swf/format/movie_definition.h"
#include "swf/player/bitmap_library.h"

namespace swivio::swf {

class DisplayObject;

// A movie loaded into a clip or a level while the first one plays: its own dictionary,
// bitmaps and script version. The clip (or level) it was loaded into holds it, and every
// object below that clip takes its characters from it.
struct LoadedMovie {
    std::shared_ptr<const MovieDefinition> definition;
    std::unique_ptr<BitmapLibrary> bitmaps;
    // The character the clip it fills shows: a sprite standing for the root timeline.
    Character character;
    std::string url;      // as the script named it, query included
    uint32_t bytes = 0;   // the file's size (0 for content that is neither movie nor picture)
    bool picture = false; // a JPEG, PNG or GIF shown as a one-frame movie
};

// Upper bound on a file loaded into a clip or level.
constexpr std::size_t kMaxLoadedMovieBytes = std::size_t(64) << 20;

// Makes the loaded content of a file: a SWF movie as it is, a JPEG, PNG or GIF picture as
// a one-frame movie showing it at its origin, anything else (or a damaged header) as an
// empty movie of version `fallbackVersion`.
std::shared_ptr<const LoadedMovie> makeLoadedMovie(std::span<const uint8_t> bytes, std::string url,
                                                   int fallbackVersion);

// The loaded movie that the object's characters come from: its own or its nearest
// ancestor's; null for the first movie's objects.
const LoadedMovie* loadedMovieOf(const DisplayObject& object);

} // namespace swivio::swf
