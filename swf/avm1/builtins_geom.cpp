// flash.geom, Color and flash.filters.
#include "swf/avm1/builtins.h"

namespace swivio::swf::avm1 {

void installGeomBuiltins(Interpreter&) {}

} // namespace swivio::swf::avm1
