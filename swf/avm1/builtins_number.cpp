// Number and Boolean.
#include <cmath>

#include "swf/avm1/builtins.h"
#include "swf/avm1/number_conversion.h"

namespace swivio::swf::avm1 {

namespace {

Value primitiveOf(const Value& thisValue) {
    if (auto* p = dynamic_cast<PrimitiveObject*>(thisValue.object()))
        return p->primitive;
    return thisValue;
}

Value numberConstructor(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    double n = args.empty() ? 0.0 : vm.toNumber(args[0]);
    if (auto* p = dynamic_cast<PrimitiveObject*>(thisValue.object());
        p && p->kind() == ObjectKind::Number) {
        p->primitive = n;
        return Value();
    }
    return n;
}

Object* allocateNumber(Interpreter& vm, Object* proto) {
    vm.checkCells();
    return vm.heap().make<PrimitiveObject>(proto, Value(0.0), ObjectKind::Number);
}

Value numberToStringMethod(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    double n = vm.toNumber(primitiveOf(thisValue));
    int radix = args.empty() || args[0].isUndefined() ? 10 : int(vm.toInteger(args[0]));
    if (radix == 10 || radix < 2 || radix > 36)
        return numberToString(n);
    return numberToStringRadix(n, radix);
}

Value valueOfMethod(Interpreter&, const Value& thisValue, std::span<const Value>) {
    return primitiveOf(thisValue);
}

Value booleanConstructor(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    bool b = !args.empty() && vm.toBoolean(args[0]);
    if (auto* p = dynamic_cast<PrimitiveObject*>(thisValue.object());
        p && p->kind() == ObjectKind::Boolean) {
        p->primitive = b;
        return Value();
    }
    // Boolean() as a function without an argument answers undefined, not false.
    if (args.empty())
        return Value();
    return b;
}

Object* allocateBoolean(Interpreter& vm, Object* proto) {
    vm.checkCells();
    return vm.heap().make<PrimitiveObject>(proto, Value(false), ObjectKind::Boolean);
}

Value booleanToString(Interpreter& vm, const Value& thisValue, std::span<const Value>) {
    return vm.toBoolean(primitiveOf(thisValue)) ? "true" : "false";
}

} // namespace

void installNumberBuiltins(Interpreter& vm) {
    Builtins& b = vm.builtins();
    b.numberProto = vm.makeObject();
    FunctionObject* number =
        vm.defineClass("Number", numberConstructor, b.numberProto, allocateNumber);
    vm.defineMethod(b.numberProto, "toString", numberToStringMethod);
    vm.defineMethod(b.numberProto, "valueOf", valueOfMethod);
    number->define("MAX_VALUE", 1.7976931348623157e308, kDontEnum | kDontDelete | kReadOnly);
    number->define("MIN_VALUE", 5e-324, kDontEnum | kDontDelete | kReadOnly);
    number->define("NaN", NAN, kDontEnum | kDontDelete | kReadOnly);
    number->define("NEGATIVE_INFINITY", -INFINITY, kDontEnum | kDontDelete | kReadOnly);
    number->define("POSITIVE_INFINITY", INFINITY, kDontEnum | kDontDelete | kReadOnly);

    b.booleanProto = vm.makeObject();
    vm.defineClass("Boolean", booleanConstructor, b.booleanProto, allocateBoolean);
    vm.defineMethod(b.booleanProto, "toString", booleanToString);
    vm.defineMethod(b.booleanProto, "valueOf", valueOfMethod);
}

} // namespace swivio::swf::avm1
