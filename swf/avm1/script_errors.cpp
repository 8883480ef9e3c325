// What the log shows of a script's failures.
#include "swf/avm1/interpreter.h"

namespace swivio::swf::avm1 {

void Interpreter::reportUncaught(const std::string& text, bool outermost) {
    // A native that calls back into scripts (a getter, a coercion) swallows the throw
    // without a warning; one leaving a frame's or an event's script is printed.
    if (outermost)
        m_host.traceLine("Warning: Uncaught exception, " + text);
    m_host.scriptError("uncaught exception: " + text);
}

} // namespace swivio::swf::avm1
