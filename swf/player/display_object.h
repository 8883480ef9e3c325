#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "swf/format/character.h"
#include "swf/format/filter.h"
#include "swf/format/shape.h"
#include "swf/format/types.h"

namespace swivio::swf {

// One instance on the display list: the root movie clip, a placed character, or a child of
// a button's state. Clips (the root, sprites) and buttons hold children by depth; a clip
// also has a timeline and its own current frame. Scripts can walk the tree by name, parent
// and depth.
class DisplayObject {
public:
    using Children = std::map<int, std::unique_ptr<DisplayObject>>;

    // character is null for the root. timeline is set for clips. liveCount, when given,
    // counts the objects alive (incremented here, decremented on destruction).
    DisplayObject(const Character* character, const Timeline* timeline, DisplayObject* parent,
                  int* liveCount = nullptr)
        : m_character(character), m_timeline(timeline), m_parent(parent), m_liveCount(liveCount) {
        if (m_liveCount)
            ++*m_liveCount;
    }
    ~DisplayObject() {
        m_children.clear();
        if (m_liveCount)
            --*m_liveCount;
    }
    DisplayObject(const DisplayObject&) = delete;
    DisplayObject& operator=(const DisplayObject&) = delete;

    const Character* character() const { return m_character; }
    uint16_t characterId() const { return m_character ? m_character->id : 0; }
    bool isRoot() const { return m_character == nullptr; }
    bool isClip() const { return m_timeline != nullptr; }
    DisplayObject* parent() const { return m_parent; }

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
    // The parent's frame (0-based) whose PlaceObject created this instance; it identifies
    // the placement when a seek backwards rebuilds the display list. -1 for button parts.
    int placedAtFrame = -1;

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

    // What the renderer last drew for a morph shape or a text, kept so that an unchanged
    // ratio or text costs nothing the next frame.
    std::shared_ptr<const Shape> morphShape;
    int morphRatio = -1;

private:
    const Character* m_character = nullptr;
    const Timeline* m_timeline = nullptr;
    DisplayObject* m_parent = nullptr;
    int* m_liveCount = nullptr;
    Children m_children;
};

} // namespace swivio::swf
