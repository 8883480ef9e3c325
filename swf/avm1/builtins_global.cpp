// The global functions: number parsing and tests.
#include <cmath>

#include "swf/avm1/builtins.h"
#include "swf/avm1/number_conversion.h"

namespace swivio::swf::avm1 {

namespace {

Value isNaNFunction(Interpreter& vm, const Value&, std::span<const Value> args) {
    return std::isnan(vm.toNumber(argAt(args, 0)));
}

Value isFiniteFunction(Interpreter& vm, const Value&, std::span<const Value> args) {
    return std::isfinite(vm.toNumber(argAt(args, 0)));
}

Value parseIntFunction(Interpreter& vm, const Value&, std::span<const Value> args) {
    if (args.empty())
        return NAN;
    const int radix = args.size() > 1 ? parseIntRadixArgument(vm.toNumber(args[1])) : 0;
    return parseIntValue(vm.toString(args[0]), radix, vm.version());
}

Value parseFloatFunction(Interpreter& vm, const Value&, std::span<const Value> args) {
    if (args.empty())
        return NAN;
    return parseFloatValue(vm.toString(args[0]));
}

} // namespace

void installGlobalFunctions(Interpreter& vm) {
    Object* global = vm.global();
    vm.defineMethod(global, "isNaN", isNaNFunction);
    vm.defineMethod(global, "isFinite", isFiniteFunction);
    vm.defineMethod(global, "parseInt", parseIntFunction);
    vm.defineMethod(global, "parseFloat", parseFloatFunction);
    global->define("NaN", NAN, kDontEnum);
    global->define("Infinity", INFINITY, kDontEnum);
}

} // namespace swivio::swf::avm1
