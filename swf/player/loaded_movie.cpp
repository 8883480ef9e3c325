#include "swf/player/loaded_movie.h"

#include <algorithm>

#include "swf/player/display_object.h"

namespace swivio::swf {

namespace {

bool startsWith(std::span<const uint8_t> data, std::initializer_list<uint8_t> prefix) {
    return data.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), data.begin());
}

bool isPicture(std::span<const uint8_t> d) {
    return startsWith(d, {0xFF, 0xD8}) ||
           startsWith(d, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}) ||
           startsWith(d, {'G', 'I', 'F', '8', '7', 'a'}) ||
           startsWith(d, {'G', 'I', 'F', '8', '9', 'a'});
}

std::shared_ptr<MovieDefinition> emptyDefinition(int version) {
    auto definition = std::make_shared<MovieDefinition>();
    definition->file.version = std::clamp(version, 1, 255);
    definition->file.frameRate = 12;
    definition->root.frames.resize(1);
    definition->root.declaredFrameCount = 1;
    return definition;
}

// A picture file is the body of a DefineBitsJPEG2 tag, which takes JPEG, PNG and GIF alike;
// the movie places it once, at the origin.
constexpr uint16_t kDefineBitsJpeg2 = 21;
constexpr uint16_t kPictureId = 1;

std::shared_ptr<MovieDefinition> pictureDefinition(std::span<const uint8_t> bytes, int version) {
    auto definition = emptyDefinition(version);
    auto owned = std::make_shared<const std::vector<uint8_t>>(bytes.begin(), bytes.end());
    Character bitmap;
    bitmap.type = CharacterType::Bitmap;
    bitmap.id = kPictureId;
    bitmap.tagCode = kDefineBitsJpeg2;
    bitmap.body = std::span<const uint8_t>(*owned);
    definition->ownedBodies.push_back(std::move(owned));
    definition->characters.emplace(kPictureId, std::move(bitmap));
    DisplayTag place;
    place.place.depth = 1;
    place.place.characterId = kPictureId;
    definition->root.frames[0].displayTags.push_back(std::move(place));
    return definition;
}

} // namespace

std::shared_ptr<const LoadedMovie> makeLoadedMovie(std::span<const uint8_t> bytes, std::string url,
                                                   int fallbackVersion) {
    auto movie = std::make_shared<LoadedMovie>();
    movie->url = std::move(url);
    std::shared_ptr<const MovieDefinition> definition;
    if (bytes.size() <= kMaxLoadedMovieBytes) {
        if (isPicture(bytes)) {
            definition = pictureDefinition(bytes, fallbackVersion);
            movie->picture = true;
        } else if (auto read = readMovieDefinition(bytes); read && !(*read)->usesActionScript3()) {
            definition = std::move(*read);
        }
    }
    if (definition)
        movie->bytes = uint32_t(bytes.size());
    else
        definition = emptyDefinition(fallbackVersion);
    movie->definition = definition;
    movie->bitmaps = std::make_unique<BitmapLibrary>(definition);
    movie->character.type = CharacterType::Sprite;
    return movie;
}

const LoadedMovie* loadedMovieOf(const DisplayObject& object) {
    for (const DisplayObject* o = &object; o; o = o->parent())
        if (o->loadedMovie)
            return o->loadedMovie.get();
    return nullptr;
}

} // namespace swivio::swf
