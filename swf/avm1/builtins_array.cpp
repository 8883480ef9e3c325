// Array.
#include <cmath>

#include "swf/avm1/builtins.h"

namespace swivio::swf::avm1 {

namespace {

Object* allocateArray(Interpreter& vm, Object* proto) {
    ArrayObject* array = vm.makeArray();
    array->setProto(proto);
    return array;
}

Value arrayConstructor(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    auto* array = dynamic_cast<ArrayObject*>(thisValue.object());
    if (!array)
        array = vm.makeArray();
    if (args.size() == 1 && args[0].isNumber()) {
        if (!array->setLength(vm.toInteger(args[0])))
            vm.abortScript("an array grew past its bound");
    } else {
        for (const Value& v : args)
            array->push(v);
    }
    return array;
}

double lengthOf(Interpreter& vm, Object* object) {
    if (auto* array = dynamic_cast<ArrayObject*>(object))
        return array->length();
    return std::min(vm.toInteger(vm.getMember(object, "length")), double(kMaxArrayLength));
}

Value join(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    Object* object = thisValue.object();
    if (!object)
        return Value();
    std::string separator = args.empty() || args[0].isUndefined() ? "," : vm.toString(args[0]);
    const double length = lengthOf(vm, object);
    std::string out;
    for (int i = 0; i < int(length); ++i) {
        if (i)
            out += separator;
        Value element = vm.getMember(object, std::to_string(i));
        out += element.isUndefined() ? std::string(vm.version() >= 7 ? "undefined" : "")
                                     : vm.toString(element);
        vm.checkStringLength(out.size());
    }
    return out;
}

Value toStringMethod(Interpreter& vm, const Value& thisValue, std::span<const Value>) {
    return join(vm, thisValue, {});
}

Value push(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    Object* object = thisValue.object();
    if (!object)
        return Value();
    double length = lengthOf(vm, object);
    for (const Value& v : args)
        vm.setMember(object, std::to_string(int(length++)), v);
    if (!dynamic_cast<ArrayObject*>(object))
        vm.setMember(object, "length", length);
    return length;
}

Value pop(Interpreter& vm, const Value& thisValue, std::span<const Value>) {
    Object* object = thisValue.object();
    if (!object)
        return Value();
    double length = lengthOf(vm, object);
    if (length <= 0)
        return Value();
    std::string last = std::to_string(int(length) - 1);
    Value v = vm.getMember(object, last);
    vm.deleteMember(object, last);
    vm.setMember(object, "length", length - 1);
    return v;
}

} // namespace

void installArrayBuiltins(Interpreter& vm) {
    Builtins& b = vm.builtins();
    b.arrayProto = vm.makeObject();
    b.arrayCtor = vm.defineClass("Array", arrayConstructor, b.arrayProto, allocateArray);
    vm.defineMethod(b.arrayProto, "join", join);
    vm.defineMethod(b.arrayProto, "toString", toStringMethod);
    vm.defineMethod(b.arrayProto, "push", push);
    vm.defineMethod(b.arrayProto, "pop", pop);
}

} // namespace swivio::swf::avm1
