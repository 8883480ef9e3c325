// Error.
#include "swf/avm1/builtins.h"

namespace swivio::swf::avm1 {

namespace {

Value errorConstructor(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    if (Object* error = thisValue.object(); error && !args.empty() && !args[0].isUndefined())
        vm.setMember(error, "message", args[0]);
    return Value();
}

// The message as it is: an Error made with an object answers that object.
Value errorToString(Interpreter& vm, const Value& thisValue, std::span<const Value>) {
    return vm.getMember(thisValue, "message");
}

} // namespace

void installErrorBuiltins(Interpreter& vm) {
    Builtins& b = vm.builtins();
    b.errorProto = vm.makeObject();
    vm.defineClass("Error", errorConstructor, b.errorProto);
    b.errorProto->define("message", "Error", kDontEnum);
    b.errorProto->define("name", "Error", kDontEnum);
    vm.defineMethod(b.errorProto, "toString", errorToString);
}

} // namespace swivio::swf::avm1
