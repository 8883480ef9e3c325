// String.
#include "swf/avm1/builtins.h"
#include "swf/avm1/string_functions.h"

namespace swivio::swf::avm1 {

namespace {

std::string thisString(Interpreter& vm, const Value& thisValue) {
    if (auto* p = dynamic_cast<PrimitiveObject*>(thisValue.object()))
        return vm.toString(p->primitive);
    return vm.toString(thisValue);
}

Value stringConstructor(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    Value text = args.empty() ? Value("") : Value(vm.toString(args[0]));
    if (auto* p = dynamic_cast<PrimitiveObject*>(thisValue.object())) {
        p->primitive = text;
        p->define("length", double(utf16Length(text.string())), kDontEnum);
        return Value();
    }
    return text;
}

Object* allocateString(Interpreter& vm, Object* proto) {
    vm.checkCells();
    return vm.heap().make<PrimitiveObject>(proto, Value(""), ObjectKind::String);
}

Value toStringMethod(Interpreter& vm, const Value& thisValue, std::span<const Value>) {
    return thisString(vm, thisValue);
}

} // namespace

void installStringBuiltins(Interpreter& vm) {
    Builtins& b = vm.builtins();
    b.stringProto = vm.makeObject();
    vm.defineClass("String", stringConstructor, b.stringProto, allocateString);
    vm.defineMethod(b.stringProto, "toString", toStringMethod);
    vm.defineMethod(b.stringProto, "valueOf", toStringMethod);
}

// A string's length is read through its primitive.
} // namespace swivio::swf::avm1
