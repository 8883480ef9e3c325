// Color and flash.geom.Transform: read and change the colour transform (and, for Transform,
// the matrix) of the clip they were made for.
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

// A script number as the 16-bit whole number Flash stores: one out of range (or not a number)
// becomes -32768, as the player's conversion leaves it.
double toInt16(double x) {
    const double whole = std::trunc(x);
    if (!(whole >= -32768 && whole <= 32767))
        return std::isnan(x) ? 0 : -32768;
    return whole;
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

// ---- Transform ----

class TransformObject : public Object {
public:
    using Object::Object;
    ClipObject* clip = nullptr;
    void trace(Tracer& tracer) const override {
        Object::trace(tracer);
        tracer.mark(clip);
    }
};

Object* allocateTransform(Interpreter& vm, Object* proto) {
    return vm.heap().make<TransformObject>(proto);
}

DisplayObject* transformDisplay(const Value& self) {
    auto* transform = dynamic_cast<TransformObject*>(self.object());
    return transform && transform->clip ? transform->clip->display() : nullptr;
}

Value transformConstructor(Interpreter&, const Value& self, std::span<const Value> args) {
    if (auto* transform = dynamic_cast<TransformObject*>(self.object()))
        transform->clip = dynamic_cast<ClipObject*>(argAt(args, 0).object());
    return Value();
}

// matrix: a copy in pixels, made with flash.geom.Matrix as it is now.
Value transformMatrix(Interpreter& vm, const Value& self, std::span<const Value>) {
    DisplayObject* display = transformDisplay(self);
    if (!display)
        return Value();
    const Matrix& m = display->matrix;
    Value args[] = {m.a, m.b, m.c, m.d, m.tx / 20, m.ty / 20};
    return geom::makeInstance(vm, "Matrix", args);
}

Value setTransformMatrix(Interpreter& vm, const Value& self, std::span<const Value> args) {
    DisplayObject* display = transformDisplay(self);
    const Value& source = argAt(args, 0);
    if (!display || !geom::isInstance(vm, source, "Matrix"))
        return Value();
    Matrix m;
    m.a = geom::numberOf(vm, source, "a");
    m.b = geom::numberOf(vm, source, "b");
    m.c = geom::numberOf(vm, source, "c");
    m.d = geom::numberOf(vm, source, "d");
    m.tx = std::round(geom::numberOf(vm, source, "tx") * 20);
    m.ty = std::round(geom::numberOf(vm, source, "ty") * 20);
    const double values[] = {m.a, m.b, m.c, m.d, m.tx, m.ty};
    for (double v : values)
        if (!std::isfinite(v))
            return Value();
    display->matrix = m;
    display->transformedByScript = true;
    return Value();
}

const char* const kColorTransformFields[] = {"redMultiplier",   "greenMultiplier", "blueMultiplier",
                                             "alphaMultiplier", "redOffset",       "greenOffset",
                                             "blueOffset",      "alphaOffset"};

float ColorTransform::*const kColorTransformMembers[] = {
    &ColorTransform::mr, &ColorTransform::mg, &ColorTransform::mb, &ColorTransform::ma,
    &ColorTransform::ar, &ColorTransform::ag, &ColorTransform::ab, &ColorTransform::aa};

Value transformColorTransform(Interpreter& vm, const Value& self, std::span<const Value>) {
    DisplayObject* display = transformDisplay(self);
    if (!display)
        return Value();
    Value args[8];
    for (int i = 0; i < 8; ++i)
        args[i] = double(display->colorTransform.*kColorTransformMembers[i]);
    return geom::makeInstance(vm, "ColorTransform", args);
}

// The multipliers are kept as 8.8 fixed point and the offsets as whole numbers.
Value setTransformColorTransform(Interpreter& vm, const Value& self, std::span<const Value> args) {
    DisplayObject* display = transformDisplay(self);
    const Value& source = argAt(args, 0);
    if (!display || !geom::isInstance(vm, source, "ColorTransform"))
        return Value();
    for (int i = 0; i < 8; ++i) {
        const double value = geom::numberOf(vm, source, kColorTransformFields[i]);
        display->colorTransform.*kColorTransformMembers[i] =
            i < 4 ? float(toInt16(value * 256) / 256) : float(toInt16(value));
    }
    display->transformedByScript = true;
    return Value();
}

} // namespace

void geom::installTransform(Interpreter& vm, Object* package) {
    Object* proto = vm.makeObject();
    FunctionObject* ctor = vm.defineClass({}, transformConstructor, proto, allocateTransform);
    package->define("Transform", ctor, 0);
    proto->defineAccessor("matrix", vm.makeNative(transformMatrix),
                          vm.makeNative(setTransformMatrix), 0);
    proto->defineAccessor("colorTransform", vm.makeNative(transformColorTransform),
                          vm.makeNative(setTransformColorTransform), 0);
}

void geom::installColor(Interpreter& vm) {
    Object* proto = vm.makeObject();
    vm.defineClass("Color", colorConstructor, proto);
    vm.defineMethod(proto, "setRGB", colorSetRgb);
    vm.defineMethod(proto, "getRGB", colorGetRgb);
    vm.defineMethod(proto, "setTransform", colorSetTransform);
    vm.defineMethod(proto, "getTransform", colorGetTransform);
}

} // namespace swivio::swf::avm1
