// flash.geom.Matrix and flash.geom.ColorTransform.
//
// A Matrix keeps whatever its fields were given (toString shows them as they are); its methods
// read them as numbers. A ColorTransform keeps numbers behind accessors on its prototype.
#include <cmath>

#include "swf/avm1/geom_builtins.h"

namespace swivio::swf::avm1 {

namespace {

using geom::numberOf;

const char* const kMatrixFields[] = {"a", "b", "c", "d", "tx", "ty"};

struct Affine {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
};

Affine readMatrix(Interpreter& vm, const Value& self) {
    return {numberOf(vm, self, "a"), numberOf(vm, self, "b"),  numberOf(vm, self, "c"),
            numberOf(vm, self, "d"), numberOf(vm, self, "tx"), numberOf(vm, self, "ty")};
}

void writeMatrix(Interpreter& vm, const Value& self, const Affine& m) {
    const double values[] = {m.a, m.b, m.c, m.d, m.tx, m.ty};
    for (std::size_t i = 0; i < 6; ++i)
        vm.setMember(self, kMatrixFields[i], values[i]);
}

// first, then second: the result maps a point through first and then through second.
Affine multiply(const Affine& first, const Affine& second) {
    return {first.a * second.a + first.b * second.c,
            first.a * second.b + first.b * second.d,
            first.c * second.a + first.d * second.c,
            first.c * second.b + first.d * second.d,
            first.tx * second.a + first.ty * second.c + second.tx,
            first.tx * second.b + first.ty * second.d + second.ty};
}

Value matrixConstructor(Interpreter& vm, const Value& self, std::span<const Value> args) {
    if (args.empty()) {
        writeMatrix(vm, self, {});
        return Value();
    }
    for (std::size_t i = 0; i < 6; ++i)
        vm.setMember(self, kMatrixFields[i], argAt(args, i));
    return Value();
}

Value matrixToString(Interpreter& vm, const Value& self, std::span<const Value>) {
    std::string text = "(";
    for (std::size_t i = 0; i < 6; ++i) {
        if (i)
            text += ", ";
        text += kMatrixFields[i];
        text += '=';
        text += vm.toString(vm.getMember(self, kMatrixFields[i]));
    }
    return text + ")";
}

Value matrixClone(Interpreter& vm, const Value& self, std::span<const Value>) {
    Value args[6];
    for (std::size_t i = 0; i < 6; ++i)
        args[i] = vm.getMember(self, kMatrixFields[i]);
    return geom::makeInstance(vm, "Matrix", args);
}

Value matrixIdentity(Interpreter& vm, const Value& self, std::span<const Value>) {
    writeMatrix(vm, self, {});
    return Value();
}

Value matrixConcat(Interpreter& vm, const Value& self, std::span<const Value> args) {
    writeMatrix(vm, self, multiply(readMatrix(vm, self), readMatrix(vm, argAt(args, 0))));
    return Value();
}

bool isMatrix(Interpreter& vm, const Value& self) {
    return geom::isInstance(vm, self, "Matrix");
}

Value matrixRotate(Interpreter& vm, const Value& self, std::span<const Value> args) {
    if (!isMatrix(vm, self))
        return Value();
    const double angle = vm.toNumber(argAt(args, 0));
    const double cosine = std::cos(angle), sine = std::sin(angle);
    writeMatrix(vm, self, multiply(readMatrix(vm, self), {cosine, sine, -sine, cosine, 0, 0}));
    return Value();
}

Value matrixScale(Interpreter& vm, const Value& self, std::span<const Value> args) {
    if (!isMatrix(vm, self))
        return Value();
    const double sx = vm.toNumber(argAt(args, 0)), sy = vm.toNumber(argAt(args, 1));
    writeMatrix(vm, self, multiply(readMatrix(vm, self), {sx, 0, 0, sy, 0, 0}));
    return Value();
}

Value matrixTranslate(Interpreter& vm, const Value& self, std::span<const Value> args) {
    Affine m = readMatrix(vm, self);
    m.tx += vm.toNumber(argAt(args, 0));
    m.ty += vm.toNumber(argAt(args, 1));
    writeMatrix(vm, self, m);
    return Value();
}

// A matrix that cannot be inverted becomes the identity.
Value matrixInvert(Interpreter& vm, const Value& self, std::span<const Value>) {
    const Affine m = readMatrix(vm, self);
    const double det = m.a * m.d - m.b * m.c;
    if (det == 0) {
        writeMatrix(vm, self, {});
        return Value();
    }
    Affine inverse{m.d / det, -m.b / det, -m.c / det, m.a / det, 0, 0};
    if (isMatrix(vm, self)) {
        inverse.tx = -(inverse.a * m.tx + inverse.c * m.ty);
        inverse.ty = -(inverse.b * m.tx + inverse.d * m.ty);
    } else {
        // Another object gets the scale part only; its translation reads as undefined.
        inverse.tx = inverse.ty = vm.toNumber(Value());
    }
    writeMatrix(vm, self, inverse);
    return Value();
}

Value transformPoint(Interpreter& vm, const Value& self, std::span<const Value> args,
                     bool translate) {
    const Affine m = readMatrix(vm, self);
    const double x = numberOf(vm, argAt(args, 0), "x"), y = numberOf(vm, argAt(args, 0), "y");
    Value point[] = {Value(m.a * x + m.c * y + (translate ? m.tx : 0)),
                     Value(m.b * x + m.d * y + (translate ? m.ty : 0))};
    return geom::makeInstance(vm, "Point", point);
}

Value matrixTransformPoint(Interpreter& vm, const Value& self, std::span<const Value> args) {
    return transformPoint(vm, self, args, true);
}

Value matrixDeltaTransformPoint(Interpreter& vm, const Value& self, std::span<const Value> args) {
    return transformPoint(vm, self, args, false);
}

// The scale and rotation part of createBox; a rotation of 0 leaves the scales alone, so a
// scale that is not a number spoils only its own diagonal entry.
void writeBox(Interpreter& vm, const Value& self, std::span<const Value> args, double sx,
              double sy) {
    const double angle = args.size() > 2 ? vm.toNumber(args[2]) : 0;
    Affine m{sx, 0, 0, sy, 0, 0};
    if (angle != 0) {
        const double cosine = std::cos(angle), sine = std::sin(angle);
        m = {cosine * sx, sine * sy, -sine * sx, cosine * sy, 0, 0};
    }
    const double values[] = {m.a, m.b, m.c, m.d};
    for (std::size_t i = 0; i < 4; ++i)
        vm.setMember(self, kMatrixFields[i], values[i]);
}

// createBox(scaleX, scaleY, rotation = 0, tx = 0, ty = 0): the translation is stored as given.
// Only a Matrix gets the scale and rotation.
Value matrixCreateBox(Interpreter& vm, const Value& self, std::span<const Value> args) {
    if (isMatrix(vm, self))
        writeBox(vm, self, args, vm.toNumber(argAt(args, 0)), vm.toNumber(argAt(args, 1)));
    vm.setMember(self, "tx", args.size() > 3 ? args[3] : Value(0));
    vm.setMember(self, "ty", args.size() > 4 ? args[4] : Value(0));
    return Value();
}

// A gradient's square is 1638.4 pixels (32768 twips) wide; the box is centred on it, the half
// sizes added to the translation given (a string translation is joined, as + does).
Value matrixCreateGradientBox(Interpreter& vm, const Value& self, std::span<const Value> args) {
    constexpr double kGradientSize = 1638.4;
    if (!isMatrix(vm, self))
        return Value();
    const double width = vm.toNumber(argAt(args, 0)), height = vm.toNumber(argAt(args, 1));
    writeBox(vm, self, args, width / kGradientSize, height / kGradientSize);
    vm.setMember(self, "tx",
                 args.size() > 3 ? geom::addValues(vm, args[3], width / 2) : Value(width / 2));
    vm.setMember(self, "ty",
                 args.size() > 4 ? geom::addValues(vm, args[4], height / 2) : Value(height / 2));
    return Value();
}

// ---- ColorTransform ----

// Its eight numbers live in the object itself, behind accessors on the prototype.
struct Channel {
    const char* name;
    double initial;
};

constexpr Channel kChannels[] = {
    {"redMultiplier", 1}, {"greenMultiplier", 1}, {"blueMultiplier", 1}, {"alphaMultiplier", 1},
    {"redOffset", 0},     {"greenOffset", 0},     {"blueOffset", 0},     {"alphaOffset", 0},
};

class ColorTransformObject : public Object {
public:
    explicit ColorTransformObject(Object* proto) : Object(proto) {
        for (int i = 0; i < 8; ++i)
            channels[i] = kChannels[i].initial;
    }
    ObjectKind kind() const override { return ObjectKind::Other; }
    double channels[8];
};

Object* allocateColorTransform(Interpreter& vm, Object* proto) {
    return vm.heap().make<ColorTransformObject>(proto);
}

// Undefined (NaN) for an object that is not a ColorTransform.
double channelOf(Interpreter&, const Value& self, int i) {
    auto* object = dynamic_cast<ColorTransformObject*>(self.object());
    return object ? object->channels[i] : NAN;
}

void setChannel(const Value& self, int i, double value) {
    if (auto* object = dynamic_cast<ColorTransformObject*>(self.object()))
        object->channels[i] = value;
}

template <int I> Value getChannel(Interpreter& vm, const Value& self, std::span<const Value>) {
    if (!dynamic_cast<ColorTransformObject*>(self.object()))
        return Value();
    return channelOf(vm, self, I);
}

template <int I> Value putChannel(Interpreter& vm, const Value& self, std::span<const Value> a) {
    setChannel(self, I, vm.toNumber(argAt(a, 0)));
    return Value();
}

Value colorTransformConstructor(Interpreter& vm, const Value& self, std::span<const Value> args) {
    for (int i = 0; i < 8; ++i)
        setChannel(self, i, args.empty() ? kChannels[i].initial : vm.toNumber(argAt(args, i)));
    return Value();
}

int32_t truncated(double x) {
    return std::isfinite(x) ? int32_t(int64_t(std::fmod(std::trunc(x), 4294967296.0))) : 0;
}

// rgb: the offsets as one 0xRRGGBB number; setting it clears the colour multipliers.
Value colorTransformRgb(Interpreter& vm, const Value& self, std::span<const Value>) {
    return double((truncated(channelOf(vm, self, 4)) << 16) |
                  (truncated(channelOf(vm, self, 5)) << 8) | truncated(channelOf(vm, self, 6)));
}

Value setColorTransformRgb(Interpreter& vm, const Value& self, std::span<const Value> args) {
    const int32_t rgb = vm.toInt32(argAt(args, 0));
    for (int i = 0; i < 3; ++i)
        setChannel(self, i, 0);
    setChannel(self, 4, (rgb >> 16) & 0xFF);
    setChannel(self, 5, (rgb >> 8) & 0xFF);
    setChannel(self, 6, rgb & 0xFF);
    return Value();
}

// concat(other): other applies first, then this.
Value colorTransformConcat(Interpreter& vm, const Value& self, std::span<const Value> args) {
    const Value& other = argAt(args, 0);
    if (!geom::isInstance(vm, other, "ColorTransform"))
        return Value();
    for (int i = 0; i < 4; ++i) {
        const double multiplier = channelOf(vm, self, i);
        setChannel(self, i + 4,
                   channelOf(vm, other, i + 4) * multiplier + channelOf(vm, self, i + 4));
        setChannel(self, i, multiplier * channelOf(vm, other, i));
    }
    return Value();
}

Value colorTransformToString(Interpreter& vm, const Value& self, std::span<const Value>) {
    std::string text = "(";
    for (int i = 0; i < 8; ++i) {
        if (i)
            text += ", ";
        text += kChannels[i].name;
        text += '=';
        text += vm.toString(channelOf(vm, self, i));
    }
    return text + ")";
}

void accessor(Interpreter& vm, Object* proto, std::string_view name, NativeFunction getter,
              NativeFunction setter) {
    proto->defineAccessor(name, vm.makeNative(getter), vm.makeNative(setter), 0);
}

} // namespace

namespace geom {

void installMatrix(Interpreter& vm, Object* package) {
    Object* proto = vm.makeObject();
    FunctionObject* ctor = vm.defineClass({}, matrixConstructor, proto);
    package->define("Matrix", ctor, 0);
    const std::pair<const char*, NativeFunction> methods[] = {
        {"identity", matrixIdentity},
        {"rotate", matrixRotate},
        {"concat", matrixConcat},
        {"translate", matrixTranslate},
        {"scale", matrixScale},
        {"transformPoint", matrixTransformPoint},
        {"deltaTransformPoint", matrixDeltaTransformPoint},
        {"createBox", matrixCreateBox},
        {"clone", matrixClone},
        {"createGradientBox", matrixCreateGradientBox},
        {"invert", matrixInvert},
        {"toString", matrixToString},
    };
    for (const auto& [name, fn] : methods)
        vm.defineMethod(proto, name, fn, 0);
}

void installColorTransform(Interpreter& vm, Object* package) {
    Object* proto = vm.makeObject();
    FunctionObject* ctor =
        vm.defineClass({}, colorTransformConstructor, proto, allocateColorTransform);
    package->define("ColorTransform", ctor, 0);
    accessor(vm, proto, "alphaMultiplier", getChannel<3>, putChannel<3>);
    accessor(vm, proto, "redMultiplier", getChannel<0>, putChannel<0>);
    accessor(vm, proto, "greenMultiplier", getChannel<1>, putChannel<1>);
    accessor(vm, proto, "blueMultiplier", getChannel<2>, putChannel<2>);
    accessor(vm, proto, "alphaOffset", getChannel<7>, putChannel<7>);
    accessor(vm, proto, "redOffset", getChannel<4>, putChannel<4>);
    accessor(vm, proto, "greenOffset", getChannel<5>, putChannel<5>);
    accessor(vm, proto, "blueOffset", getChannel<6>, putChannel<6>);
    accessor(vm, proto, "rgb", colorTransformRgb, setColorTransformRgb);
    vm.defineMethod(proto, "concat", colorTransformConcat, 0);
    vm.defineMethod(proto, "toString", colorTransformToString, 0);
}

} // namespace geom

} // namespace swivio::swf::avm1
