// flash.geom (Point and Rectangle here; Matrix and ColorTransform in geom_builtins_matrix.cpp;
// Transform beside Color in geom_builtins_color.cpp).
//
// Flash Player 8 ships these classes as ActionScript, so they keep its looseness: fields hold
// whatever a script stored, sums join strings the way Add2 does, and a comparison with NaN
// answers undefined. Their methods and accessors are enumerable, like any script's.
#include <cmath>

#include "swf/avm1/geom_builtins.h"

namespace swivio::swf::avm1 {

namespace geom {

Value addValues(Interpreter& vm, const Value& a, const Value& b) {
    Value left = vm.toPrimitive(a);
    Value right = vm.toPrimitive(b);
    if (left.isString() || right.isString()) {
        std::string text = vm.toString(left);
        std::string tail = vm.toString(right);
        vm.checkStringLength(text.size() + tail.size());
        return text + tail;
    }
    return vm.toNumber(left) + vm.toNumber(right);
}

double numberOf(Interpreter& vm, const Value& object, std::string_view name) {
    return vm.toNumber(vm.getMember(object, name));
}

// The package is read past its version flags: a movie too old to name it still gets the
// objects its Color, Transform and clips hand out.
Value geomClass(Interpreter& vm, std::string_view name) {
    const Property* own = vm.global()->properties().find("flash", true);
    Value flash = own && !own->isAccessor() ? own->value : vm.getMember(vm.global(), "flash");
    return vm.getMember(vm.getMember(flash, "geom"), name);
}

Value makeInstance(Interpreter& vm, std::string_view className, std::span<const Value> args) {
    return vm.construct(geomClass(vm, className), args);
}

bool isInstance(Interpreter& vm, const Value& value, std::string_view className) {
    Object* ctor = geomClass(vm, className).object();
    return value.isObject() && ctor && vm.instanceOf(value.object(), ctor);
}

} // namespace geom

namespace {

using geom::addValues;
using geom::numberOf;

Value get(Interpreter& vm, const Value& object, std::string_view name) {
    return vm.getMember(object, name);
}

void set(Interpreter& vm, const Value& object, std::string_view name, Value value) {
    vm.setMember(object, name, value);
}

Value makePoint(Interpreter& vm, Value x, Value y) {
    Value args[] = {std::move(x), std::move(y)};
    return geom::makeInstance(vm, "Point", args);
}

// a < b as Less2 gives it (undefined when either side is NaN), and a >= b as compiled code
// computes it, the negation of Less2: true for NaN.
Value lessValue(Interpreter& vm, const Value& a, const Value& b) {
    return vm.lessThan(a, b);
}

Value notLessValue(Interpreter& vm, const Value& a, const Value& b) {
    return !vm.toBoolean(vm.lessThan(a, b));
}

// ---- Point ----

Value pointConstructor(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    Value x = args.empty() ? Value(0) : args[0];
    Value y = args.empty() ? Value(0) : argAt(args, 1);
    set(vm, thisValue, "x", x);
    set(vm, thisValue, "y", y);
    return Value();
}

Value pointLength(Interpreter& vm, const Value& thisValue, std::span<const Value>) {
    return std::hypot(numberOf(vm, thisValue, "x"), numberOf(vm, thisValue, "y"));
}

Value pointAdd(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    const Value& other = argAt(args, 0);
    return makePoint(vm, addValues(vm, get(vm, thisValue, "x"), get(vm, other, "x")),
                     addValues(vm, get(vm, thisValue, "y"), get(vm, other, "y")));
}

Value pointSubtract(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    const Value& other = argAt(args, 0);
    return makePoint(vm, numberOf(vm, thisValue, "x") - numberOf(vm, other, "x"),
                     numberOf(vm, thisValue, "y") - numberOf(vm, other, "y"));
}

Value pointClone(Interpreter& vm, const Value& thisValue, std::span<const Value>) {
    return makePoint(vm, get(vm, thisValue, "x"), get(vm, thisValue, "y"));
}

// Only another Point may equal a point (a primitive never does).
Value pointEquals(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    const Value& other = argAt(args, 0);
    if (!geom::isInstance(vm, other, "Point"))
        return false;
    return vm.looseEquals(get(vm, thisValue, "x"), get(vm, other, "x")) &&
           vm.looseEquals(get(vm, thisValue, "y"), get(vm, other, "y"));
}

// normalize(length): a point of no (or no numeric) length stays as it is.
Value pointNormalize(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    const double x = numberOf(vm, thisValue, "x");
    const double y = numberOf(vm, thisValue, "y");
    const double length = std::hypot(x, y);
    if (!(length > 0))
        return Value();
    const double factor = vm.toNumber(argAt(args, 0)) / length;
    set(vm, thisValue, "x", x * factor);
    set(vm, thisValue, "y", y * factor);
    return Value();
}

Value pointOffset(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    set(vm, thisValue, "x", addValues(vm, get(vm, thisValue, "x"), argAt(args, 0)));
    set(vm, thisValue, "y", addValues(vm, get(vm, thisValue, "y"), argAt(args, 1)));
    return Value();
}

Value pointToString(Interpreter& vm, const Value& thisValue, std::span<const Value>) {
    return "(x=" + vm.toString(get(vm, thisValue, "x")) +
           ", y=" + vm.toString(get(vm, thisValue, "y")) + ")";
}

// Point.distance(a, b): a must be a Point; b only needs x and y.
Value pointDistance(Interpreter& vm, const Value&, std::span<const Value> args) {
    const Value& a = argAt(args, 0);
    if (!geom::isInstance(vm, a, "Point"))
        return Value();
    return std::hypot(numberOf(vm, a, "x") - numberOf(vm, argAt(args, 1), "x"),
                      numberOf(vm, a, "y") - numberOf(vm, argAt(args, 1), "y"));
}

// Point.interpolate(a, b, f) = b + (a - b) * f, the sum joining strings when b's field is one.
Value pointInterpolate(Interpreter& vm, const Value&, std::span<const Value> args) {
    const Value& a = argAt(args, 0);
    const Value& b = argAt(args, 1);
    const double f = vm.toNumber(argAt(args, 2));
    auto mix = [&](std::string_view name) {
        Value bValue = get(vm, b, name);
        return addValues(vm, bValue, (vm.toNumber(get(vm, a, name)) - vm.toNumber(bValue)) * f);
    };
    Value x = mix("x");
    return makePoint(vm, x, mix("y"));
}

Value pointPolar(Interpreter& vm, const Value&, std::span<const Value> args) {
    const double length = vm.toNumber(argAt(args, 0));
    const double angle = vm.toNumber(argAt(args, 1));
    return makePoint(vm, length * std::cos(angle), length * std::sin(angle));
}

// ---- Rectangle ----

const char* const kRectFields[] = {"x", "y", "width", "height"};

Value rectangleConstructor(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    for (std::size_t i = 0; i < 4; ++i)
        set(vm, thisValue, kRectFields[i], args.empty() ? Value(0) : argAt(args, i));
    return Value();
}

Value makeRectangle(Interpreter& vm, Value x, Value y, Value width, Value height) {
    Value args[] = {std::move(x), std::move(y), std::move(width), std::move(height)};
    return geom::makeInstance(vm, "Rectangle", args);
}

Value rectLeft(Interpreter& vm, const Value& self, std::span<const Value>) {
    return get(vm, self, "x");
}

Value rectTop(Interpreter& vm, const Value& self, std::span<const Value>) {
    return get(vm, self, "y");
}

Value rectRight(Interpreter& vm, const Value& self, std::span<const Value>) {
    return addValues(vm, get(vm, self, "x"), get(vm, self, "width"));
}

Value rectBottom(Interpreter& vm, const Value& self, std::span<const Value>) {
    return addValues(vm, get(vm, self, "y"), get(vm, self, "height"));
}

// Moving the left (top) edge keeps the right (bottom) edge where it was.
void moveNearEdge(Interpreter& vm, const Value& self, const char* pos, const char* extent,
                  const Value& to) {
    Value delta = vm.toNumber(get(vm, self, pos)) - vm.toNumber(to);
    set(vm, self, extent, addValues(vm, get(vm, self, extent), delta));
    set(vm, self, pos, to);
}

Value setRectLeft(Interpreter& vm, const Value& self, std::span<const Value> args) {
    moveNearEdge(vm, self, "x", "width", argAt(args, 0));
    return Value();
}

Value setRectTop(Interpreter& vm, const Value& self, std::span<const Value> args) {
    moveNearEdge(vm, self, "y", "height", argAt(args, 0));
    return Value();
}

Value setRectRight(Interpreter& vm, const Value& self, std::span<const Value> args) {
    set(vm, self, "width", vm.toNumber(argAt(args, 0)) - numberOf(vm, self, "x"));
    return Value();
}

Value setRectBottom(Interpreter& vm, const Value& self, std::span<const Value> args) {
    set(vm, self, "height", vm.toNumber(argAt(args, 0)) - numberOf(vm, self, "y"));
    return Value();
}

Value rectTopLeft(Interpreter& vm, const Value& self, std::span<const Value>) {
    return makePoint(vm, get(vm, self, "x"), get(vm, self, "y"));
}

Value setRectTopLeft(Interpreter& vm, const Value& self, std::span<const Value> args) {
    const Value& point = argAt(args, 0);
    moveNearEdge(vm, self, "x", "width", get(vm, point, "x"));
    moveNearEdge(vm, self, "y", "height", get(vm, point, "y"));
    return Value();
}

Value rectBottomRight(Interpreter& vm, const Value& self, std::span<const Value>) {
    return makePoint(vm, rectRight(vm, self, {}), rectBottom(vm, self, {}));
}

Value setRectBottomRight(Interpreter& vm, const Value& self, std::span<const Value> args) {
    const Value& point = argAt(args, 0);
    set(vm, self, "width", numberOf(vm, point, "x") - numberOf(vm, self, "x"));
    set(vm, self, "height", numberOf(vm, point, "y") - numberOf(vm, self, "y"));
    return Value();
}

Value rectSize(Interpreter& vm, const Value& self, std::span<const Value>) {
    return makePoint(vm, get(vm, self, "width"), get(vm, self, "height"));
}

Value setRectSize(Interpreter& vm, const Value& self, std::span<const Value> args) {
    set(vm, self, "width", get(vm, argAt(args, 0), "x"));
    set(vm, self, "height", get(vm, argAt(args, 0), "y"));
    return Value();
}

Value rectClone(Interpreter& vm, const Value& self, std::span<const Value>) {
    return makeRectangle(vm, get(vm, self, "x"), get(vm, self, "y"), get(vm, self, "width"),
                         get(vm, self, "height"));
}

// Empty unless both sides are positive numbers.
bool rectEmpty(Interpreter& vm, const Value& self) {
    return !(numberOf(vm, self, "width") > 0 && numberOf(vm, self, "height") > 0);
}

Value rectIsEmpty(Interpreter& vm, const Value& self, std::span<const Value>) {
    return rectEmpty(vm, self);
}

Value rectSetEmpty(Interpreter& vm, const Value& self, std::span<const Value>) {
    for (const char* field : kRectFields)
        set(vm, self, field, 0);
    return Value();
}

// x >= left && x < right && y >= top && y < bottom, answering the first test that fails
// (false, or undefined for NaN) as && does.
Value containsValues(Interpreter& vm, const Value& self, const Value& x, const Value& y) {
    auto step = [&](int i) -> Value {
        switch (i) {
        case 0:
            return notLessValue(vm, x, get(vm, self, "x"));
        case 1:
            return lessValue(vm, x, rectRight(vm, self, {}));
        case 2:
            return notLessValue(vm, y, get(vm, self, "y"));
        default:
            return lessValue(vm, y, rectBottom(vm, self, {}));
        }
    };
    for (int i = 0; i < 4; ++i) {
        Value test = step(i);
        if (!vm.toBoolean(test))
            return test;
    }
    return true;
}

Value rectContains(Interpreter& vm, const Value& self, std::span<const Value> args) {
    return containsValues(vm, self, argAt(args, 0), argAt(args, 1));
}

Value rectContainsPoint(Interpreter& vm, const Value& self, std::span<const Value> args) {
    const Value& point = argAt(args, 0);
    return containsValues(vm, self, get(vm, point, "x"), get(vm, point, "y"));
}

struct Box {
    double left, top, right, bottom;
};

Box boxOf(Interpreter& vm, const Value& rect) {
    const double x = numberOf(vm, rect, "x"), y = numberOf(vm, rect, "y");
    return {x, y, x + numberOf(vm, rect, "width"), y + numberOf(vm, rect, "height")};
}

Value rectContainsRectangle(Interpreter& vm, const Value& self, std::span<const Value> args) {
    const Box outer = boxOf(vm, self), inner = boxOf(vm, argAt(args, 0));
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

Value rectEquals(Interpreter& vm, const Value& self, std::span<const Value> args) {
    const Value& other = argAt(args, 0);
    if (!geom::isInstance(vm, other, "Rectangle"))
        return false;
    for (const char* field : kRectFields)
        if (!vm.looseEquals(get(vm, self, field), get(vm, other, field)))
            return false;
    return true;
}

void inflateBy(Interpreter& vm, const Value& self, double dx, double dy) {
    set(vm, self, "x", numberOf(vm, self, "x") - dx);
    set(vm, self, "width", numberOf(vm, self, "width") + 2 * dx);
    set(vm, self, "y", numberOf(vm, self, "y") - dy);
    set(vm, self, "height", numberOf(vm, self, "height") + 2 * dy);
}

Value rectInflate(Interpreter& vm, const Value& self, std::span<const Value> args) {
    inflateBy(vm, self, vm.toNumber(argAt(args, 0)), vm.toNumber(argAt(args, 1)));
    return Value();
}

Value rectInflatePoint(Interpreter& vm, const Value& self, std::span<const Value> args) {
    inflateBy(vm, self, numberOf(vm, argAt(args, 0), "x"), numberOf(vm, argAt(args, 0), "y"));
    return Value();
}

void offsetBy(Interpreter& vm, const Value& self, const Value& dx, const Value& dy) {
    set(vm, self, "x", addValues(vm, get(vm, self, "x"), dx));
    set(vm, self, "y", addValues(vm, get(vm, self, "y"), dy));
}

Value rectOffset(Interpreter& vm, const Value& self, std::span<const Value> args) {
    offsetBy(vm, self, argAt(args, 0), argAt(args, 1));
    return Value();
}

Value rectOffsetPoint(Interpreter& vm, const Value& self, std::span<const Value> args) {
    const Value& point = argAt(args, 0);
    offsetBy(vm, self, get(vm, point, "x"), get(vm, point, "y"));
    return Value();
}

Value boxRectangle(Interpreter& vm, const Box& box) {
    return makeRectangle(vm, box.left, box.top, box.right - box.left, box.bottom - box.top);
}

Value rectIntersection(Interpreter& vm, const Value& self, std::span<const Value> args) {
    const Box a = boxOf(vm, self), b = boxOf(vm, argAt(args, 0));
    const Box overlap{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                      std::min(a.bottom, b.bottom)};
    if (!(overlap.right > overlap.left && overlap.bottom > overlap.top))
        return makeRectangle(vm, 0, 0, 0, 0);
    return boxRectangle(vm, overlap);
}

Value rectIntersects(Interpreter& vm, const Value& self, std::span<const Value> args) {
    const Box a = boxOf(vm, self), b = boxOf(vm, argAt(args, 0));
    return std::max(a.left, b.left) < std::min(a.right, b.right) &&
           std::max(a.top, b.top) < std::min(a.bottom, b.bottom);
}

// The union with an empty rectangle is the other one.
Value rectUnion(Interpreter& vm, const Value& self, std::span<const Value> args) {
    const Value& other = argAt(args, 0);
    if (rectEmpty(vm, self))
        return rectClone(vm, other, {});
    if (rectEmpty(vm, other))
        return rectClone(vm, self, {});
    const Box a = boxOf(vm, self), b = boxOf(vm, other);
    return boxRectangle(vm, {std::min(a.left, b.left), std::min(a.top, b.top),
                             std::max(a.right, b.right), std::max(a.bottom, b.bottom)});
}

Value rectToString(Interpreter& vm, const Value& self, std::span<const Value>) {
    return "(x=" + vm.toString(get(vm, self, "x")) + ", y=" + vm.toString(get(vm, self, "y")) +
           ", w=" + vm.toString(get(vm, self, "width")) +
           ", h=" + vm.toString(get(vm, self, "height")) + ")";
}

void defineAccessor(Interpreter& vm, Object* object, std::string_view name, NativeFunction getter,
                    NativeFunction setter) {
    object->defineAccessor(name, vm.makeNative(getter), setter ? vm.makeNative(setter) : nullptr,
                           0);
}

} // namespace

namespace geom {

void installPoint(Interpreter& vm, Object* package) {
    Object* proto = vm.makeObject();
    FunctionObject* ctor = vm.defineClass({}, pointConstructor, proto);
    package->define("Point", ctor, 0);
    defineAccessor(vm, proto, "length", pointLength, nullptr);
    vm.defineMethod(proto, "add", pointAdd, 0);
    vm.defineMethod(proto, "clone", pointClone, 0);
    vm.defineMethod(proto, "equals", pointEquals, 0);
    vm.defineMethod(proto, "normalize", pointNormalize, 0);
    vm.defineMethod(proto, "offset", pointOffset, 0);
    vm.defineMethod(proto, "subtract", pointSubtract, 0);
    vm.defineMethod(proto, "toString", pointToString, 0);
    vm.defineMethod(ctor, "distance", pointDistance, 0);
    vm.defineMethod(ctor, "interpolate", pointInterpolate, 0);
    vm.defineMethod(ctor, "polar", pointPolar, 0);
}

void installRectangle(Interpreter& vm, Object* package) {
    Object* proto = vm.makeObject();
    FunctionObject* ctor = vm.defineClass({}, rectangleConstructor, proto);
    package->define("Rectangle", ctor, 0);
    defineAccessor(vm, proto, "left", rectLeft, setRectLeft);
    defineAccessor(vm, proto, "top", rectTop, setRectTop);
    defineAccessor(vm, proto, "right", rectRight, setRectRight);
    defineAccessor(vm, proto, "bottom", rectBottom, setRectBottom);
    defineAccessor(vm, proto, "topLeft", rectTopLeft, setRectTopLeft);
    defineAccessor(vm, proto, "bottomRight", rectBottomRight, setRectBottomRight);
    defineAccessor(vm, proto, "size", rectSize, setRectSize);
    const std::pair<const char*, NativeFunction> methods[] = {
        {"clone", rectClone},
        {"contains", rectContains},
        {"containsPoint", rectContainsPoint},
        {"containsRectangle", rectContainsRectangle},
        {"equals", rectEquals},
        {"inflate", rectInflate},
        {"inflatePoint", rectInflatePoint},
        {"intersection", rectIntersection},
        {"intersects", rectIntersects},
        {"isEmpty", rectIsEmpty},
        {"offset", rectOffset},
        {"offsetPoint", rectOffsetPoint},
        {"setEmpty", rectSetEmpty},
        {"toString", rectToString},
        {"union", rectUnion},
    };
    for (const auto& [name, fn] : methods)
        vm.defineMethod(proto, name, fn, 0);
}

} // namespace geom

// The flash package is a tree of plain objects; Flash Player hides it from movies before
// version 8 with the version flags, which a script may clear with ASSetPropFlags.
void installGeomBuiltins(Interpreter& vm) {
    Object* flash = vm.makeObject();
    vm.global()->define("flash", flash, kDontEnum | kVersion6 | kVersion7 | kVersion8);
    Object* package = vm.makeObject();
    flash->define("geom", package, 0);
    geom::installPoint(vm, package);
    geom::installRectangle(vm, package);
    geom::installMatrix(vm, package);
    geom::installColorTransform(vm, package);
    geom::installTransform(vm, package);
    geom::installColor(vm);
}

} // namespace swivio::swf::avm1
