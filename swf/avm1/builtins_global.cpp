// The global functions: number parsing and tests, escape and unescape, getVersion, ASnative.
#include <cmath>

#include "swf/avm1/builtins.h"
#include "swf/avm1/number_conversion.h"
#include "swf/avm1/string_functions.h"

namespace swivio::swf::avm1 {

namespace {

// A Flash Player 9 on Linux: movies that branch on the platform take the desktop path.
constexpr const char* kPlayerVersion = "LNX 9,0,124,0";

// isNaN and isFinite read a missing argument as NaN even where undefined is 0 (SWF 6).
double numberArgument(Interpreter& vm, std::span<const Value> args) {
    return args.empty() ? NAN : vm.toNumber(args[0]);
}

Value isNaNFunction(Interpreter& vm, const Value&, std::span<const Value> args) {
    return std::isnan(numberArgument(vm, args));
}

Value isFiniteFunction(Interpreter& vm, const Value&, std::span<const Value> args) {
    return std::isfinite(numberArgument(vm, args));
}

Value parseIntFunction(Interpreter& vm, const Value&, std::span<const Value> args) {
    if (args.empty())
        return Value();
    const int radix = args.size() > 1 ? parseIntRadixArgument(vm.toNumber(args[1])) : 0;
    return parseIntValue(vm.toString(args[0]), radix, vm.version());
}

Value parseFloatFunction(Interpreter& vm, const Value&, std::span<const Value> args) {
    if (args.empty())
        return NAN;
    return parseFloatValue(vm.toString(args[0]));
}

Value escapeFunction(Interpreter& vm, const Value&, std::span<const Value> args) {
    if (args.empty())
        return Value();
    std::string text = escape(vm.toString(args[0]), vm.version());
    vm.checkStringLength(text.size());
    return text;
}

Value unescapeFunction(Interpreter& vm, const Value&, std::span<const Value> args) {
    if (args.empty())
        return Value();
    return unescape(vm.toString(args[0]), vm.version());
}

Value getVersionFunction(Interpreter&, const Value&, std::span<const Value>) {
    return kPlayerVersion;
}

// ASnative(table, index): the numbered native (builtins_asnative.cpp); an unknown pair gives
// a function that answers undefined.
Value asNative(Interpreter& vm, const Value&, std::span<const Value> args) {
    return Value(nativeFunction(vm, vm.toInt32(argAt(args, 0)), vm.toInt32(argAt(args, 1))));
}

// ASconstructor(table, index): the native as a constructor, with a fresh prototype.
Value asConstructor(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    Value function = asNative(vm, thisValue, args);
    Object* proto = vm.makeObject();
    function.object()->define("prototype", proto, kDontEnum | kDontDelete);
    proto->define("constructor", function, kDontEnum);
    return function;
}

} // namespace

void installGlobalFunctions(Interpreter& vm) {
    Object* global = vm.global();
    vm.defineMethod(global, "isNaN", isNaNFunction);
    vm.defineMethod(global, "isFinite", isFiniteFunction);
    vm.defineMethod(global, "parseInt", parseIntFunction);
    vm.defineMethod(global, "parseFloat", parseFloatFunction);
    vm.defineMethod(global, "escape", escapeFunction);
    vm.defineMethod(global, "unescape", unescapeFunction);
    vm.defineMethod(global, "getVersion", getVersionFunction);
    vm.defineMethod(global, "ASnative", asNative);
    vm.defineMethod(global, "ASconstructor", asConstructor);
    installNativeTables(vm);
    global->define("NaN", NAN, kDontEnum);
    global->define("Infinity", INFINITY, kDontEnum);
    // The player's own start-up script leaves a variable o behind, set to null.
    global->define("o", Value::null(), kDontEnum);
}

} // namespace swivio::swf::avm1
