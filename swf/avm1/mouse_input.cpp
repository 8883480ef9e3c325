// The mouse: the pointer's place, buttons and clips under it, and the cursor.
#include "swf/avm1/movie_runtime.h"

namespace swivio::swf::avm1 {

void ScriptRuntime::mouseInput(const InputEvent& event) {
    m_mouseX = event.x;
    m_mouseY = event.y;
}

Cursor ScriptRuntime::cursor() const {
    return Cursor::Arrow;
}

} // namespace swivio::swf::avm1
