#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "swf/format/character.h"
#include "swf/format/filter.h"
#include "swf/format/shape.h"
#include "swf/format/types.h"
#include "swf/text/edit_field.h"

namespace swivio::swf {

class DisplayObject;
class Drawing;
struct LoadedMovie;

// A picture a script draws into, shown by an object in place of a character (attachBitmap).
class ScriptPicture {
public:
    virtual ~ScriptPicture() = default;
    // What the picture looks like now: a shape in twips filled with it, or null for nothing.
    // Called while the display list is turned into render commands.
    virtual std::shared_ptr<const Shape> shape() = 0;
};

// Depths as the tags give them. Scripts see every depth 16384 lower: the timeline's tags place
// at 0..16383 (script depths -16384..-1), and the depths from 16384 on (script depth 0 and up,
// where attachMovie, createEmptyMovieClip and getNextHighestDepth put objects) belong to
// scripts; a seek backwards leaves objects there alone.
inline constexpr int kFirstScriptDepth = 16384;

// Names one display object. Ids are never reused (not even by another player), so the handle
// of a removed object resolves to nothing, even once another object takes its depth. The
// default handle names nothing.
struct DisplayObjectHandle {
    uint64_t id = 0;
    explicit operator bool() const { return id != 0; }
    bool operator==(const DisplayObjectHandle&) const = default;
};

// The live objects of one player, by handle. Objects add and remove themselves as they are
// made and destroyed; the registry must outlive them.
class DisplayObjectRegistry {
public:
    DisplayObjectRegistry() = default;
    DisplayObjectRegistry(const DisplayObjectRegistry&) = delete;
    DisplayObjectRegistry& operator=(const DisplayObjectRegistry&) = delete;

    // The object, or null once it is gone (or for a handle this registry never gave).
    DisplayObject* find(DisplayObjectHandle handle) const;
    int liveCount() const { return int(m_objects.size()); }

private:
    friend class DisplayObject;
    DisplayObjectHandle add(DisplayObject& object);
    void remove(DisplayObjectHandle handle) { m_objects.erase(handle.id); }

    std::unordered_map<uint64_t, DisplayObject*> m_objects;
};

// One instance on the display list: the root movie clip, a placed character, or a child of
// a button's state. Clips (the root, sprites) and buttons hold children by depth; a clip
// also has a timeline and its own current frame. Scripts can walk the tree by name, parent
// and depth.
class DisplayObject {
public:
    using Children = std::map<int, std::unique_ptr<DisplayObject>>;

    // character is null for the root. timeline is set for clips. registry, when given, gives
    // the object its handle and finds it until it is destroyed.
    DisplayObject(const Character* character, const Timeline* timeline, DisplayObject* parent,
                  DisplayObjectRegistry* registry = nullptr)
        : m_character(character), m_timeline(timeline), m_parent(parent), m_registry(registry) {
        if (m_registry)
            m_handle = m_registry->add(*this);
    }
    ~DisplayObject() {
        m_children.clear();
        if (m_registry)
            m_registry->remove(m_handle);
    }
    DisplayObject(const DisplayObject&) = delete;
    DisplayObject& operator=(const DisplayObject&) = delete;

    const Character* character() const { return m_character; }
    uint16_t characterId() const { return m_character ? m_character->id : 0; }
    bool isRoot() const { return m_character == nullptr; }
    bool isClip() const { return m_timeline != nullptr; }
    DisplayObject* parent() const { return m_parent; }
    // Null for an object made without a registry.
    DisplayObjectHandle handle() const { return m_handle; }

    int depth = 0;
    Matrix matrix;
    ColorTransform colorTransform;
    uint16_t ratio = 0;
    std::string name;
    uint16_t clipDepth = 0; // masks the depths above it up to this one; 0 for none
    BlendMode blendMode = BlendMode::Normal;
    std::vector<Filter> filters;
    bool cacheAsBitmap = false;
    bool visible = true;
    // Drawn as a filled box (0xRRGGBB) behind the object's content, over its bounds.
    std::optional<uint32_t> opaqueBackground;
    // Shows only this box of the object's own space (twips), moved to its origin.
    std::optional<Rect> scrollRect;
    // The parent's frame (0-based) whose PlaceObject created this instance; it identifies
    // the placement when a seek backwards rebuilds the display list. -1 for button parts.
    int placedAtFrame = -1;

    // Set by scripts, read by the timeline. placedByScript: made by a script (attachMovie,
    // duplicateMovieClip, createEmptyMovieClip) rather than by a PlaceObject tag, or moved by
    // swapDepths: tags that move an object leave it alone, and a seek backwards removes it
    // from the timeline's depths but not from the scripts' depths. transformedByScript: a script
    // has set its position, scale, rotation or colour; from then on PlaceObject tags no longer
    // change its matrix, colour transform, ratio, blend mode, filters, bitmap caching or visibility
    // (a name or clip depth still applies).
    bool placedByScript = false;
    bool transformedByScript = false;

    // Clips: the timeline and the frame shown (0-based).
    const Timeline* timeline() const { return m_timeline; }
    int currentFrame = 0;
    bool playing = true;

    Children& children() { return m_children; }
    const Children& children() const { return m_children; }
    DisplayObject* childAtDepth(int depth) const;
    // The first child with this instance name, or null.
    DisplayObject* childByName(const std::string& name) const;

    // Swaps the character for one of the same kind (PlaceObject2's replace).
    void setCharacter(const Character* character) { m_character = character; }
    // Gives a clip other content (a movie loaded into it, or none): the caller empties it
    // first.
    void setContent(const Character* character, const Timeline* timeline) {
        m_character = character;
        m_timeline = timeline;
    }

    // Set on a clip or level that holds a loaded movie: the objects below it take their
    // characters from that movie (see loadedMovieOf).
    std::shared_ptr<const LoadedMovie> loadedMovie;

    // What the renderer last drew for a morph shape or a text, kept so that an unchanged
    // ratio or text costs nothing the next frame.
    std::shared_ptr<const Shape> morphShape;
    int morphRatio = -1;

    // What the clip's drawing methods drew, beneath its children; null until they are used.
    std::shared_ptr<Drawing> drawing;
    // setMask: the object masking this one; on that mask, the object it masks. Either may be
    // gone; a mask counts only while both name each other, and is then not drawn itself.
    DisplayObjectHandle scriptMask;
    DisplayObjectHandle maskedObject;
    // The live object of a handle in this object's registry, or null.
    DisplayObject* find(DisplayObjectHandle handle) const {
        return m_registry && handle ? m_registry->find(handle) : nullptr;
    }
    // The mask set on this object by script, while it is in force.
    DisplayObject* activeScriptMask() const {
        DisplayObject* mask = find(scriptMask);
        return mask && mask->maskedObject == m_handle ? mask : nullptr;
    }
    // Whether this object masks another by script (and so is not drawn).
    bool isActiveScriptMask() const {
        DisplayObject* masked = find(maskedObject);
        return masked && masked->scriptMask == m_handle;
    }
    // Set for an object that shows a script's picture.
    std::shared_ptr<ScriptPicture> picture;
    // A text field's state: set for edit texts placed by tags and for createTextField.
    std::shared_ptr<text::EditField> editField;

private:
    const Character* m_character = nullptr;
    const Timeline* m_timeline = nullptr;
    DisplayObject* m_parent = nullptr;
    DisplayObjectRegistry* m_registry = nullptr;
    DisplayObjectHandle m_handle;
    Children m_children;
};

} // namespace swivio::swf
