// Constructors run on objects the player made: clips of registered classes.
#include "swf/avm1/interpreter.h"

namespace swivio::swf::avm1 {

void Interpreter::constructExisting(const Value& constructor, Object* object) {
    auto* function = dynamic_cast<FunctionObject*>(constructor.object());
    if (!object || !function)
        return;
    Value protoValue = getMember(constructor, "prototype");
    Object* proto = protoValue.object() ? protoValue.object() : m_builtins.objectProto;
    callFunction(*function, object, {}, proto, true);
}

} // namespace swivio::swf::avm1
