// AsBroadcaster.
#include "swf/avm1/builtins.h"

namespace swivio::swf::avm1 {

void installBroadcasterBuiltins(Interpreter&) {}

} // namespace swivio::swf::avm1
