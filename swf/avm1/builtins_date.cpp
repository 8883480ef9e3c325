// Date.
#include "swf/avm1/builtins.h"

namespace swivio::swf::avm1 {

void installDateBuiltins(Interpreter&) {}

} // namespace swivio::swf::avm1
