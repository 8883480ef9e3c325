// Stage, System, Key, Mouse, Selection and SharedObject: built-ins that answer for the movie
// and the machine around it.
#include "swf/avm1/builtins.h"
#include "swf/avm1/movie_runtime.h"

namespace swivio::swf::avm1 {

void installStageBuiltins(ScriptRuntime&) {}

} // namespace swivio::swf::avm1
