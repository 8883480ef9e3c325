#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "swf/format/control_tags.h"
#include "swf/format/filter.h"
#include "swf/format/font.h"
#include "swf/format/morph_shape.h"
#include "swf/format/shape.h"
#include "swf/format/tag_reader.h"
#include "swf/format/text.h"
#include "swf/format/types.h"

namespace swivio::swf {

// A change to the display list, in the order the frame's tags give them.
struct DisplayTag {
    enum class Kind { Place, Remove };
    Kind kind = Kind::Place;
    PlaceObject place;   // Kind::Place
    RemoveObject remove; // Kind::Remove
};

// What one frame of a timeline holds: the tags up to and including its ShowFrame.
struct TimelineFrame {
    std::vector<DisplayTag> displayTags;
    std::optional<Rgba> backgroundColor; // SetBackgroundColor (root timeline only)
    std::string label;                   // FrameLabel, empty if none
    // DoAction bodies, for the script interpreter.
    std::vector<std::span<const uint8_t>> actions;
    // StartSound, StartSound2, SoundStreamHead/Head2 and SoundStreamBlock tags, in order.
    std::vector<TagRecord> soundTags;
    // VideoFrame tags, for embedded video.
    std::vector<TagRecord> videoFrames;
};

struct Timeline {
    std::vector<TimelineFrame> frames; // at least one
    uint16_t declaredFrameCount = 0;   // the header's (or DefineSprite's) frame count

    int frameCount() const { return int(frames.size()); }
};

struct SpriteDefinition {
    Timeline timeline;
};

// One character of a button state list (BUTTONRECORD).
struct ButtonRecord {
    bool up = false, over = false, down = false, hitTest = false;
    uint16_t characterId = 0;
    uint16_t depth = 0;
    Matrix matrix;
    ColorTransform colorTransform; // DefineButton2, or DefineButtonCxform for DefineButton
    BlendMode blendMode = BlendMode::Normal;
    std::vector<Filter> filters;
};

struct ButtonDefinition {
    std::vector<ButtonRecord> records;
    bool trackAsMenu = false;
    // Action bytes as stored: DefineButton's ACTIONRECORDs or DefineButton2's
    // BUTTONCONDACTIONs.
    std::span<const uint8_t> actions;
};

struct VideoStreamDefinition {
    uint16_t frameCount = 0;
    uint16_t width = 0, height = 0; // pixels
    uint8_t deblocking = 0;
    bool smoothing = false;
    uint8_t codecId = 0;
};

enum class CharacterType {
    Shape,
    MorphShape,
    Bitmap,
    Sprite,
    Font,
    Text,
    Button,
    EditText,
    Sound,
    VideoStream,
    BinaryData,
};

// A dictionary entry. body is the tag's body after the 16-bit character id (a view into the
// movie's shared body); the parsed form matching the type is set for what is drawn.
struct Character {
    CharacterType type = CharacterType::Shape;
    uint16_t id = 0;
    uint16_t tagCode = 0;
    std::span<const uint8_t> body;

    std::shared_ptr<const Shape> shape;
    std::shared_ptr<const SpriteDefinition> sprite;
    std::shared_ptr<const ButtonDefinition> button;
    std::shared_ptr<const VideoStreamDefinition> video;
    std::shared_ptr<const MorphShape> morph;
    std::shared_ptr<const Font> font;
    std::shared_ptr<const StaticText> text;
};

} // namespace swivio::swf
