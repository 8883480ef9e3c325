// Math.
#include <array>
#include <cmath>

#include "swf/avm1/builtins.h"

namespace swivio::swf::avm1 {

namespace {

// The ASnative(200, n) numbering of the Math functions.
enum MathIndex : int {
    kAbs,
    kMin,
    kMax,
    kSin,
    kCos,
    kAtan2,
    kTan,
    kExp,
    kLog,
    kSqrt,
    kRound,
    kRandom,
    kFloor,
    kCeil,
    kAtan,
    kAsin,
    kAcos,
    kPow,
    kMathCount,
    kInvalid = -1,
};

constexpr std::array<const char*, kMathCount> kMathNames = {
    "abs",  "min",   "max",    "sin",   "cos",  "atan2", "tan",  "exp",  "log",
    "sqrt", "round", "random", "floor", "ceil", "atan",  "asin", "acos", "pow"};

// Every Math function converts its first two arguments, in order, whatever it uses (so a
// valueOf of each runs, and a throw from the first stops the second). A missing one is NaN
// in every version, not undefined's number.
template <int Index>
Value mathFunction(Interpreter& vm, const Value&, std::span<const Value> args) {
    const double a = args.size() > 0 ? vm.toNumber(args[0]) : NAN;
    const double b = args.size() > 1 ? vm.toNumber(args[1]) : NAN;
    switch (Index) {
    case kAbs:
        return std::fabs(a);
    case kMin:
        if (args.empty())
            return INFINITY;
        return std::isnan(a) || std::isnan(b) ? NAN : std::fmin(a, b);
    case kMax:
        if (args.empty())
            return -INFINITY;
        return std::isnan(a) || std::isnan(b) ? NAN : std::fmax(a, b);
    case kSin:
        return std::sin(a);
    case kCos:
        return std::cos(a);
    case kAtan2:
        return std::atan2(a, b);
    case kTan:
        return std::tan(a);
    case kExp:
        return std::exp(a);
    case kLog:
        return std::log(a);
    case kSqrt:
        return std::sqrt(a);
    // Halves go up, negative ones too: round(-12.5) is -12.
    case kRound:
        return std::floor(a + 0.5);
    case kRandom:
        return vm.random();
    case kFloor:
        return std::floor(a);
    case kCeil:
        return std::ceil(a);
    case kAtan:
        return std::atan(a);
    case kAsin:
        return std::asin(a);
    case kAcos:
        return std::acos(a);
    // The C library's pow: pow(1, NaN) and pow(x, 0) are 1.
    case kPow:
        return std::pow(a, b);
    default:
        return NAN;
    }
}

template <std::size_t... I>
constexpr std::array<NativeFunction, sizeof...(I)> makeTable(std::index_sequence<I...>) {
    return {mathFunction<int(I)>...};
}

constexpr auto kMathFunctions = makeTable(std::make_index_sequence<kMathCount>());

} // namespace

NativeFunction mathNative(int index) {
    if (index < 0 || index >= kMathCount)
        return mathFunction<kInvalid>;
    return kMathFunctions[std::size_t(index)];
}

void installMathBuiltins(Interpreter& vm) {
    Object* math = vm.makeObject();
    vm.global()->define("Math", math, kDontEnum);
    for (int i = 0; i < kMathCount; ++i)
        vm.defineMethod(math, kMathNames[std::size_t(i)], kMathFunctions[std::size_t(i)]);
    const uint16_t constant = kDontEnum | kDontDelete | kReadOnly;
    math->define("E", M_E, constant);
    math->define("LN10", M_LN10, constant);
    math->define("LN2", M_LN2, constant);
    math->define("LOG10E", M_LOG10E, constant);
    math->define("LOG2E", M_LOG2E, constant);
    math->define("PI", M_PI, constant);
    math->define("SQRT1_2", M_SQRT1_2, constant);
    math->define("SQRT2", M_SQRT2, constant);
}

} // namespace swivio::swf::avm1
