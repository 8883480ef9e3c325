#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "swf/format/control_tags.h"
#include "swf/format/edit_text.h"
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

// A DoInitAction: actions that run once, before the first frame that uses the sprite.
struct InitAction {
    uint16_t spriteId = 0;
    std::span<const uint8_t> actions;
};

// What one frame of a timeline holds: the tags up to and including its ShowFrame.
struct TimelineFrame {
    std::vector<DisplayTag> displayTags;
    std::optional<Rgba> backgroundColor; // SetBackgroundColor (root timeline only)
    std::string label;                   // the first FrameLabel, empty if none
    std::vector<std::string> labels;     // every FrameLabel of the frame, in order
    // DoAction bodies, for the script interpreter, and for each how many of displayTags come
    // before it (a clip placed between two actions runs its first frame between them).
    std::vector<std::span<const uint8_t>> actions;
    std::vector<uint32_t> actionPositions;
    // DoInitAction bodies, in the order of their tags.
    std::vector<InitAction> initActions;
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

// BUTTONCONDACTION's condition bits, as the 16-bit field stores them read little-endian: the
// state transitions that run the actions, and a key code in the top seven bits.
inline constexpr uint16_t kButtonIdleToOverUp = 1u << 0;
inline constexpr uint16_t kButtonOverUpToIdle = 1u << 1;
inline constexpr uint16_t kButtonOverUpToOverDown = 1u << 2;
inline constexpr uint16_t kButtonOverDownToOverUp = 1u << 3; // a release inside
inline constexpr uint16_t kButtonOverDownToOutDown = 1u << 4;
inline constexpr uint16_t kButtonOutDownToOverDown = 1u << 5;
inline constexpr uint16_t kButtonOutDownToIdle = 1u << 6;
inline constexpr uint16_t kButtonIdleToOverDown = 1u << 7;
inline constexpr uint16_t kButtonOverDownToIdle = 1u << 8;
inline constexpr int kButtonKeyCodeShift = 9;

struct ButtonAction {
    uint16_t conditions = 0;
    std::span<const uint8_t> actions; // a view into the movie's body

    // The key that runs the actions (SWF 4 key codes or ASCII), 0 for none.
    uint8_t keyCode() const { return uint8_t(conditions >> kButtonKeyCodeShift); }
};

struct ButtonDefinition {
    std::vector<ButtonRecord> records;
    bool trackAsMenu = false;
    // Action bytes as stored: DefineButton's ACTIONRECORDs or DefineButton2's
    // BUTTONCONDACTIONs.
    std::span<const uint8_t> actions;
    // The same, read: DefineButton's single list runs on release (kButtonOverDownToOverUp).
    // A damaged record ends the list with a warning; the records before it stay.
    std::vector<ButtonAction> conditions;
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
    std::shared_ptr<const EditText> editText;
};

} // namespace swivio::swf
