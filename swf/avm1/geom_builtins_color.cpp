// Color: reads and changes the colour transform of the clip it was made for.
//
// The clip is looked up again at each call from the `target` member (a clip or a path), so a
// Color made for a clip that is later placed again follows the new one. Flash Player keeps a
// clip's multipliers as 8.8 fixed point and its offsets as whole numbers; what getTransform
// answers shows that rounding.
#include <cmath>

#include "swf/avm1/clip_object.h"
#include "swf/avm1/geom_builtins.h"

namespace swivio::swf::avm1 {

namespace {

// A clip answers for itself; anything else is read as a path, through its toString.
DisplayObject* targetDisplay(Interpreter& vm, const Value& self) {
    Value target = vm.getMember(self, "target");
    Object* clip = dynamic_cast<ClipObject*>(target.object());
    if (!clip && !target.isNullish())
        clip = vm.host().resolveTarget(vm.currentTarget(), vm.toString(target));
    auto* clipObject = dynamic_cast<ClipObject*>(clip);
    return clipObject ? clipObject->display() : nullptr;
}

// A script number as the 16-bit whole number Flash stores (out-of-range values wrap).
double toInt16(double x) {
    if (!std::isfinite(x))
        return 0;
    return double(int16_t(uint16_t(int64_t(std::fmod(std::trunc(x), 65536.0)))));
}

// A percentage as an 8.8 fixed-point multiplier.
float multiplierOf(double percent) {
    return float(toInt16(percent * 2.56) / 256.0);
}

Value colorConstructor(Interpreter& vm, const Value& self, std::span<const Value> args) {
    vm.setMember(self, "target", argAt(args, 0));
    return Value();
}

Value colorGetRgb(Interpreter& vm, const Value& self, std::span<const Value>) {
    DisplayObject* display = targetDisplay(vm, self);
    if (!display)
        return Value();
    const ColorTransform& ct = display->colorTransform;
    const int32_t r = int32_t(toInt16(ct.ar)), g = int32_t(toInt16(ct.ag)),
                  b = int32_t(toInt16(ct.ab));
    return double((r << 16) | (g << 8) | b);
}

// setRGB(0xRRGGBB): the colour becomes flat; alpha is left as it was.
Value colorSetRgb(Interpreter& vm, const Value& self, std::span<const Value> args) {
    DisplayObject* display = targetDisplay(vm, self);
    if (!display || args.empty())
        return Value();
    const int32_t rgb = vm.toInt32(args[0]);
    ColorTransform& ct = display->colorTransform;
    ct.mr = ct.mg = ct.mb = 0;
    ct.ar = float((rgb >> 16) & 0xFF);
    ct.ag = float((rgb >> 8) & 0xFF);
    ct.ab = float(rgb & 0xFF);
    display->transformedByScript = true;
    return Value();
}

struct TransformField {
    const char* name;
    float ColorTransform::*member;
    bool multiplier;
};

constexpr TransformField kFields[] = {
    {"ra", &ColorTransform::mr, true}, {"rb", &ColorTransform::ar, false},
    {"ga", &ColorTransform::mg, true}, {"gb", &ColorTransform::ag, false},
    {"ba", &ColorTransform::mb, true}, {"bb", &ColorTransform::ab, false},
    {"aa", &ColorTransform::ma, true}, {"ab", &ColorTransform::aa, false},
};

Value colorGetTransform(Interpreter& vm, const Value& self, std::span<const Value>) {
    DisplayObject* display = targetDisplay(vm, self);
    if (!display)
        return Value();
    Object* result = vm.makeObject();
    for (const TransformField& field : kFields) {
        const double value = display->colorTransform.*field.member;
        result->define(field.name, field.multiplier ? toInt16(value * 256) / 2.56 : toInt16(value),
                       0);
    }
    return result;
}

// setTransform(object): changes only the fields the object has.
Value colorSetTransform(Interpreter& vm, const Value& self, std::span<const Value> args) {
    DisplayObject* display = targetDisplay(vm, self);
    Object* source = argAt(args, 0).object();
    if (!display || !source)
        return Value();
    for (const TransformField& field : kFields) {
        if (!vm.hasProperty(source, field.name))
            continue;
        const double value = vm.toNumber(vm.getMember(source, field.name));
        display->colorTransform.*field.member =
            field.multiplier ? multiplierOf(value) : float(toInt16(value));
    }
    display->transformedByScript = true;
    return Value();
}

} // namespace

void geom::installColor(Interpreter& vm) {
    Object* proto = vm.makeObject();
    vm.defineClass("Color", colorConstructor, proto);
    vm.defineMethod(proto, "setRGB", colorSetRgb);
    vm.defineMethod(proto, "getRGB", colorGetRgb);
    vm.defineMethod(proto, "setTransform", colorSetTransform);
    vm.defineMethod(proto, "getTransform", colorGetTransform);
}

} // namespace swivio::swf::avm1
