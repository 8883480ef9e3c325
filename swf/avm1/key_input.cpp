// The keyboard: keys, typed text and the focus.
#include "swf/avm1/movie_runtime.h"

namespace swivio::swf::avm1 {

void ScriptRuntime::keyInput(const InputEvent&) {}

void ScriptRuntime::focusByMouse(DisplayObject*) {}

} // namespace swivio::swf::avm1
