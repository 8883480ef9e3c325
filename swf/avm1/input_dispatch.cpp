// Where the user's input enters the scripts: mouse events and keyboard events have their own
// dispatchers.
#include "swf/avm1/movie_runtime.h"

namespace swivio::swf::avm1 {

void ScriptRuntime::handleInput(const InputEvent& event) {
    switch (event.kind) {
    case InputKind::MouseMove:
    case InputKind::MouseDown:
    case InputKind::MouseUp:
    case InputKind::MouseWheel:
        mouseInput(event);
        break;
    default:
        keyInput(event);
        break;
    }
}

} // namespace swivio::swf::avm1
