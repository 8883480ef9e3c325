// Globals that need the movie around the interpreter: timers.
#include "swf/avm1/builtins.h"
#include "swf/avm1/movie_runtime.h"

namespace swivio::swf::avm1 {

namespace {

ScriptRuntime& runtimeOf(Interpreter& vm) { return static_cast<ScriptRuntime&>(vm.host()); }

bool isFunctionValue(const Value& v) {
    return v.isObject() && v.object()->kind() == ObjectKind::Function;
}

// setInterval(function, ms, args...) or setInterval(object, "method", ms, args...).
Value addTimer(Interpreter& vm, std::span<const Value> args, bool repeat) {
    if (args.size() < 2)
        return Value();
    // An interval left undefined makes no timer (null counts as 0).
    const Value& interval = isFunctionValue(args[0]) ? args[1] : argAt(args, 2);
    if (interval.isUndefined())
        return Value();
    if (isFunctionValue(args[0])) {
        std::vector<Value> rest(args.begin() + 2, args.end());
        int id = runtimeOf(vm).addTimer(args[0], Value(), {}, std::move(rest),
                                        vm.toNumber(args[1]), repeat);
        return id ? Value(double(id)) : Value();
    }
    if (args[0].isObject() && args.size() >= 3) {
        std::vector<Value> rest(args.begin() + 3, args.end());
        int id = runtimeOf(vm).addTimer(Value(), args[0], vm.toString(args[1]), std::move(rest),
                                        vm.toNumber(args[2]), repeat);
        return id ? Value(double(id)) : Value();
    }
    return Value();
}

Value setInterval(Interpreter& vm, const Value&, std::span<const Value> args) {
    return addTimer(vm, args, true);
}

Value setTimeout(Interpreter& vm, const Value&, std::span<const Value> args) {
    return addTimer(vm, args, false);
}

Value clearTimer(Interpreter& vm, const Value&, std::span<const Value> args) {
    if (args.empty())
        return Value();
    runtimeOf(vm).removeTimer(int(vm.toInteger(args[0])));
    return Value();
}

} // namespace

void installRuntimeGlobals(ScriptRuntime& runtime) {
    Interpreter& vm = runtime.interpreter();
    Object* global = vm.global();
    vm.defineMethod(global, "setInterval", setInterval);
    vm.defineMethod(global, "clearInterval", clearTimer);
    vm.defineMethod(global, "setTimeout", setTimeout, kDontEnum | kVersion8);
    vm.defineMethod(global, "clearTimeout", clearTimer, kDontEnum | kVersion8);
}

} // namespace swivio::swf::avm1
