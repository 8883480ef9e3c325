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

// Clip events as a bit set, in the order the 32-bit CLIPEVENTFLAGS field stores them read
// little-endian (SWF 5's 16-bit field holds the first sixteen).
inline constexpr uint32_t kClipEventLoad = 1u << 0;
inline constexpr uint32_t kClipEventEnterFrame = 1u << 1;
inline constexpr uint32_t kClipEventUnload = 1u << 2;
inline constexpr uint32_t kClipEventMouseMove = 1u << 3;
inline constexpr uint32_t kClipEventMouseDown = 1u << 4;
inline constexpr uint32_t kClipEventMouseUp = 1u << 5;
inline constexpr uint32_t kClipEventKeyDown = 1u << 6;
inline constexpr uint32_t kClipEventKeyUp = 1u << 7;
inline constexpr uint32_t kClipEventData = 1u << 8;
inline constexpr uint32_t kClipEventInitialize = 1u << 9;
inline constexpr uint32_t kClipEventPress = 1u << 10;
inline constexpr uint32_t kClipEventRelease = 1u << 11;
inline constexpr uint32_t kClipEventReleaseOutside = 1u << 12;
inline constexpr uint32_t kClipEventRollOver = 1u << 13;
inline constexpr uint32_t kClipEventRollOut = 1u << 14;
inline constexpr uint32_t kClipEventDragOver = 1u << 15;
inline constexpr uint32_t kClipEventDragOut = 1u << 16;
inline constexpr uint32_t kClipEventKeyPress = 1u << 17;
inline constexpr uint32_t kClipEventConstruct = 1u << 18;
// Every event above; the field's other bits are reserved and dropped.
inline constexpr uint32_t kClipEventAll = (1u << 19) - 1;

// One CLIPACTIONRECORD: the events it answers, the key for a key press, and its actions
// (a view into the movie's body).
struct ClipEventHandler {
    uint32_t events = 0;
    uint8_t keyCode = 0; // set only with kClipEventKeyPress
    std::span<const uint8_t> actions;
};

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
    // The same, read into records. A damaged record ends the list with a warning; the
    // records before it stay.
    std::vector<ClipEventHandler> clipEvents;
};

// RemoveObject (with its character id) or RemoveObject2: the object at depth goes.
struct RemoveObject {
    uint16_t depth = 0;
};

// tagCode 4, 26 or 70; the body is the tag's. swfVersion decides the width of clip event
// flags (16 bits up to SWF 5, 32 from 6). A damaged CLIPACTIONS keeps the placement and
// comes back as a warning.
Result<PlaceObject> parsePlaceObject(uint16_t tagCode, std::span<const uint8_t> body,
                                     int swfVersion);
// CLIPACTIONS (from its reserved field on) into records, with a warning for a damaged one.
Result<std::vector<ClipEventHandler>> parseClipActions(std::span<const uint8_t> data,
                                                       int swfVersion);
// tagCode 5 or 28.
Result<RemoveObject> parseRemoveObject(uint16_t tagCode, std::span<const uint8_t> body);

} // namespace swivio::swf
