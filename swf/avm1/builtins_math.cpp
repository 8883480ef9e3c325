// Math.
#include <cmath>

#include "swf/avm1/builtins.h"

namespace swivio::swf::avm1 {

namespace {

template <double (*F)(double)>
Value unary(Interpreter& vm, const Value&, std::span<const Value> args) {
    return F(args.empty() ? NAN : vm.toNumber(args[0]));
}

double roundHalfUp(double x) { return std::floor(x + 0.5); }

Value random(Interpreter& vm, const Value&, std::span<const Value>) { return vm.random(); }

Value minMax(Interpreter& vm, std::span<const Value> args, bool max) {
    if (args.empty())
        return max ? -INFINITY : INFINITY;
    double best = vm.toNumber(args[0]);
    for (std::size_t i = 1; i < args.size(); ++i) {
        double x = vm.toNumber(args[i]);
        if (std::isnan(x) || std::isnan(best))
            best = NAN;
        else if (max ? x > best : x < best)
            best = x;
    }
    return best;
}

Value minFunction(Interpreter& vm, const Value&, std::span<const Value> args) {
    return minMax(vm, args, false);
}

Value maxFunction(Interpreter& vm, const Value&, std::span<const Value> args) {
    return minMax(vm, args, true);
}

Value powFunction(Interpreter& vm, const Value&, std::span<const Value> args) {
    return std::pow(vm.toNumber(argAt(args, 0)), vm.toNumber(argAt(args, 1)));
}

Value atan2Function(Interpreter& vm, const Value&, std::span<const Value> args) {
    return std::atan2(vm.toNumber(argAt(args, 0)), vm.toNumber(argAt(args, 1)));
}

} // namespace

void installMathBuiltins(Interpreter& vm) {
    Object* math = vm.makeObject();
    vm.global()->define("Math", math, kDontEnum);
    vm.defineMethod(math, "abs", unary<std::fabs>);
    vm.defineMethod(math, "floor", unary<std::floor>);
    vm.defineMethod(math, "ceil", unary<std::ceil>);
    vm.defineMethod(math, "round", unary<roundHalfUp>);
    vm.defineMethod(math, "sqrt", unary<std::sqrt>);
    vm.defineMethod(math, "sin", unary<std::sin>);
    vm.defineMethod(math, "cos", unary<std::cos>);
    vm.defineMethod(math, "tan", unary<std::tan>);
    vm.defineMethod(math, "asin", unary<std::asin>);
    vm.defineMethod(math, "acos", unary<std::acos>);
    vm.defineMethod(math, "atan", unary<std::atan>);
    vm.defineMethod(math, "exp", unary<std::exp>);
    vm.defineMethod(math, "log", unary<std::log>);
    vm.defineMethod(math, "atan2", atan2Function);
    vm.defineMethod(math, "pow", powFunction);
    vm.defineMethod(math, "min", minFunction);
    vm.defineMethod(math, "max", maxFunction);
    vm.defineMethod(math, "random", random);
    const uint16_t constant = kDontEnum | kDontDelete | kReadOnly;
    math->define("PI", M_PI, constant);
    math->define("E", M_E, constant);
    math->define("LN2", M_LN2, constant);
    math->define("LN10", M_LN10, constant);
    math->define("LOG2E", M_LOG2E, constant);
    math->define("LOG10E", M_LOG10E, constant);
    math->define("SQRT1_2", M_SQRT1_2, constant);
    math->define("SQRT2", M_SQRT2, constant);
}

} // namespace swivio::swf::avm1
