#pragma once

#include <memory>
#include <string>
#include <vector>

#include "swf/avm1/object.h"
#include "swf/format/control_tags.h"
#include "swf/player/display_object.h"

namespace swivio::swf::avm1 {

class ScriptRuntime;

// Whether name is one of a clip's own display properties (_x, _alpha, _name, ...).
bool isClipProperty(std::string_view name);

// Whether two objects are the same for == and ===: two references to clips are equal when
// they name the same path, as the references resolve by path.
bool sameObject(const Object* a, const Object* b);

// The script face of a movie clip (or of a button, shape or text placed with a name). It
// names its display object by handle; once that object is gone, the clip is found again by
// its path, as Flash Player's references are, so a clip removed and placed again under the
// same name answers an old reference.
class ClipObject : public Object {
public:
    ClipObject(Object* proto, ScriptRuntime& runtime, DisplayObject& display);
    ObjectKind kind() const override { return m_kind; }

    // The display object this refers to now: its own while it lives, else the one at its
    // path; null when there is none.
    DisplayObject* display() const;
    // The clip object that answers for this one now (itself while alive).
    ClipObject* live() const;
    bool alive() const;
    DisplayObjectHandle handle() const { return m_handle; }
    // "_level0.a.b" from the names when it was made.
    const std::string& path() const { return m_path; }
    void setPath(std::string path) { m_path = std::move(path); }

    // onClipEvent handlers of the placement, and the bytes' owner and version.
    std::vector<ClipEventHandler> clipEvents;
    int version = 0;
    std::shared_ptr<const void> owner; // the movie whose bytes the handlers view
    // Set once the clip has left the display list.
    bool removed = false;
    // Set while its unload handlers run: until they end, the clip still answers to its path.
    bool unloading = false;
    // _lockroot: the clip is _root for the movie loaded into it.
    bool lockRoot() const { return m_lockRoot; }

    bool getSpecial(Interpreter& vm, std::string_view name, Value& out) override;
    bool setSpecial(Interpreter& vm, std::string_view name, const Value& value) override;
    void specialKeys(Interpreter& vm, std::vector<SharedString>& out) override;

private:
    ScriptRuntime& m_runtime;
    DisplayObjectHandle m_handle;
    std::string m_path;
    ObjectKind m_kind;
    bool m_lockRoot = false;
};

} // namespace swivio::swf::avm1
