#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/byte_reader.h"
#include "base/result.h"
#include "swf/format/filter.h"
#include "swf/format/types.h"

namespace swivio::swf {

// PlaceObject, PlaceObject2 or PlaceObject3. Fields the tag does not carry are empty.
//   character without move: place a new object at the depth;
//   move with character: replace the character at the depth, keeping the other properties
//     unless given;
//   move without character: change the object at the depth.
// PlaceObject (the first) always places: move is false and the character is set.
struct PlaceObject {
    uint16_t depth = 0;
    bool move = false;
    std::optional<uint16_t> characterId;
    std::optional<Matrix> matrix;
    std::optional<ColorTransform> colorTransform;
    std::optional<uint16_t> ratio;
    std::optional<std::string> name;
    std::optional<uint16_t> clipDepth;
    std::optional<std::vector<Filter>> filters;
    std::optional<BlendMode> blendMode;
    std::optional<bool> cacheAsBitmap;
    std::optional<bool> visible;
    std::optional<Rgba> opaqueBackground;
    std::optional<std::string> className;
    // CLIPACTIONS as stored (for the script interpreter); empty when the tag has none.
    std::span<const uint8_t> clipActions;
};

// RemoveObject (with its character id) or RemoveObject2: the object at depth goes.
struct RemoveObject {
    uint16_t depth = 0;
};

// tagCode 4, 26 or 70; the body is the tag's.
Result<PlaceObject> parsePlaceObject(uint16_t tagCode, std::span<const uint8_t> body);
// tagCode 5 or 28.
Result<RemoveObject> parseRemoveObject(uint16_t tagCode, std::span<const uint8_t> body);

} // namespace swivio::swf
