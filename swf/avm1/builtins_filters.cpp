// flash.filters: BitmapFilter and the nine filters built on it. Each filter keeps its settings
// in native fields behind accessors on its prototype, and every setter brings a value into the
// range the player would draw with (colours to 24 bits, alphas to 1/255 steps, blur and
// strength to 0..255, quality to 0..15), so a script reads back what would be used.
#include <algorithm>
#include <array>
#include <cmath>
#include <utility>
#include <vector>

#include "swf/avm1/builtins.h"

namespace swivio::swf::avm1 {

namespace {

enum class Field : uint8_t {
    Distance,
    Angle,
    HighlightColor,
    HighlightAlpha,
    ShadowColor,
    ShadowAlpha,
    Color,
    Alpha,
    BlurX,
    BlurY,
    Strength,
    Quality,
    Type,
    Knockout,
    Inner,
    HideObject,
    Matrix,
    MatrixX,
    MatrixY,
    Divisor,
    Bias,
    PreserveAlpha,
    Clamp,
    MapBitmap,
    MapPoint,
    ComponentX,
    ComponentY,
    ScaleX,
    ScaleY,
    Mode,
    Colors,
    Alphas,
    Ratios,
};
constexpr std::size_t kFieldCount = std::size_t(Field::Ratios) + 1;

constexpr const char* kFieldNames[kFieldCount] = {
    "distance", "angle",      "highlightColor", "highlightAlpha", "shadowColor", "shadowAlpha",
    "color",    "alpha",      "blurX",          "blurY",          "strength",    "quality",
    "type",     "knockout",   "inner",          "hideObject",     "matrix",      "matrixX",
    "matrixY",  "divisor",    "bias",           "preserveAlpha",  "clamp",       "mapBitmap",
    "mapPoint", "componentX", "componentY",     "scaleX",         "scaleY",      "mode",
    "colors",   "alphas",     "ratios",
};

enum class FilterKind : uint8_t {
    Bevel,
    Blur,
    ColorMatrix,
    Convolution,
    DisplacementMap,
    DropShadow,
    Glow,
    GradientBevel,
    GradientGlow,
};

struct FilterClass {
    const char* name;
    // The constructor's parameters, in order.
    std::initializer_list<Field> parameters;
    // The accessors in the order the prototype has them (for..in lists them newest first).
    std::initializer_list<Field> properties;
};

using enum Field;
const FilterClass kFilterClasses[] = {
    {"BevelFilter",
     {Distance, Angle, HighlightColor, HighlightAlpha, ShadowColor, ShadowAlpha, BlurX, BlurY,
      Strength, Quality, Type, Knockout},
     {Distance, Angle, HighlightColor, HighlightAlpha, ShadowColor, ShadowAlpha, Quality, Strength,
      Knockout, BlurX, BlurY, Type}},
    {"BlurFilter", {BlurX, BlurY, Quality}, {BlurX, BlurY, Quality}},
    {"ColorMatrixFilter", {Matrix}, {Matrix}},
    {"ConvolutionFilter",
     {MatrixX, MatrixY, Matrix, Divisor, Bias, PreserveAlpha, Clamp, Color, Alpha},
     {MatrixX, MatrixY, Matrix, Divisor, Bias, PreserveAlpha, Clamp, Color, Alpha}},
    {"DisplacementMapFilter",
     {MapBitmap, MapPoint, ComponentX, ComponentY, ScaleX, ScaleY, Mode, Color, Alpha},
     {MapBitmap, MapPoint, ComponentX, ComponentY, ScaleX, ScaleY, Mode, Color, Alpha}},
    {"DropShadowFilter",
     {Distance, Angle, Color, Alpha, BlurX, BlurY, Strength, Quality, Inner, Knockout, HideObject},
     {Distance, Angle, Color, Alpha, Quality, Inner, Knockout, BlurX, BlurY, Strength, HideObject}},
    {"GlowFilter",
     {Color, Alpha, BlurX, BlurY, Strength, Quality, Inner, Knockout},
     {Color, Alpha, Quality, Inner, Knockout, BlurX, BlurY, Strength}},
    {"GradientBevelFilter",
     {Distance, Angle, Colors, Alphas, Ratios, BlurX, BlurY, Strength, Quality, Type, Knockout},
     {Distance, Angle, Colors, Alphas, Ratios, BlurX, BlurY, Quality, Strength, Knockout, Type}},
    {"GradientGlowFilter",
     {Distance, Angle, Colors, Alphas, Ratios, BlurX, BlurY, Strength, Quality, Type, Knockout},
     {Distance, Angle, Colors, Alphas, Ratios, BlurX, BlurY, Quality, Strength, Knockout, Type}},
};
constexpr std::size_t kFilterCount = std::size(kFilterClasses);

// The player's default angle is 45 degrees held in radians to nine places, which is why a new
// filter reads back a hair under 45.
const double kDefaultAngle = 0.785398163 * 180 / M_PI;
constexpr int kMaxMatrixSide = 15;
constexpr std::size_t kColorMatrixSize = 20;

constexpr std::size_t kMaxGradientEntries = 16;

class FilterObject : public Object {
public:
    FilterObject(Object* proto, FilterKind filterKind) : Object(proto), filter(filterKind) {}
    ObjectKind kind() const override { return ObjectKind::Other; }
    void trace(Tracer& tracer) const override {
        Object::trace(tracer);
        tracer.mark(mapBitmap);
    }

    FilterKind filter;
    std::array<Value, kFieldCount> fields;
    std::vector<double> matrix;
    // Gradient entries: the first gradientCount are in use; the rest keep what they held, and
    // show again when the count grows.
    std::array<double, kMaxGradientEntries> colors{};
    std::array<double, kMaxGradientEntries> alphas{};
    std::array<double, kMaxGradientEntries> ratios{};
    std::size_t gradientCount = 0;
    Object* mapBitmap = nullptr;
    double mapX = 0;
    double mapY = 0;
};

FilterObject* filterOf(const Value& value) {
    return dynamic_cast<FilterObject*>(value.object());
}

void setDefaults(FilterObject& f) {
    auto& v = f.fields;
    v[size_t(Distance)] = 4;
    v[size_t(Angle)] = kDefaultAngle;
    v[size_t(HighlightColor)] = 0xFFFFFF;
    v[size_t(HighlightAlpha)] = 1;
    v[size_t(ShadowColor)] = 0;
    v[size_t(ShadowAlpha)] = 1;
    v[size_t(Color)] = 0;
    v[size_t(Alpha)] = 1;
    v[size_t(BlurX)] = 4;
    v[size_t(BlurY)] = 4;
    v[size_t(Strength)] = 1;
    v[size_t(Quality)] = 1;
    v[size_t(Type)] = "inner";
    for (Field flag : {Knockout, Inner, HideObject})
        v[size_t(flag)] = false;
    v[size_t(MatrixX)] = 0;
    v[size_t(MatrixY)] = 0;
    v[size_t(Divisor)] = 1;
    v[size_t(Bias)] = 0;
    v[size_t(PreserveAlpha)] = true;
    v[size_t(Clamp)] = true;
    for (Field number : {ComponentX, ComponentY, ScaleX, ScaleY})
        v[size_t(number)] = 0;
    v[size_t(Mode)] = "wrap";
    switch (f.filter) {
    case FilterKind::Glow:
        v[size_t(Color)] = 0xFF0000;
        v[size_t(BlurX)] = 6;
        v[size_t(BlurY)] = 6;
        v[size_t(Strength)] = 2;
        break;
    case FilterKind::ColorMatrix:
        f.matrix.assign(kColorMatrixSize, 0.0);
        for (std::size_t i = 0; i < kColorMatrixSize; i += 6)
            f.matrix[i] = 1;
        break;
    case FilterKind::Convolution:
    case FilterKind::DisplacementMap:
        v[size_t(Alpha)] = 0;
        break;
    default:
        break;
    }
}

double clampNumber(double value, double low, double high) {
    return std::isnan(value) ? low : std::clamp(value, low, high);
}

// How many entries of a list argument are read: its length, bounded so a script's number
// cannot make a huge list.
std::size_t listLength(Interpreter& vm, const Value& list, std::size_t bound) {
    const double length = vm.toInteger(vm.getMember(list, "length"));
    return std::size_t(clampNumber(length, 0, double(bound)));
}

double element(Interpreter& vm, const Value& list, std::size_t index) {
    return vm.toNumber(vm.getMember(list, std::to_string(index)));
}

double colorOf(Interpreter& vm, const Value& value) {
    return double(uint32_t(vm.toInt32(value)) & 0xFFFFFF);
}

void growConvolution(FilterObject& f) {
    const std::size_t cells = std::size_t(f.fields[size_t(MatrixX)].number()) *
                              std::size_t(f.fields[size_t(MatrixY)].number());
    if (f.matrix.size() < cells)
        f.matrix.resize(cells, 0);
}

void setField(Interpreter& vm, FilterObject& f, Field field, const Value& value) {
    Value& slot = f.fields[size_t(field)];
    switch (field) {
    case Distance:
    case Divisor:
    case Bias:
        slot = vm.toNumber(value);
        break;
    case Angle:
        slot = std::fmod(vm.toNumber(value), 360.0);
        break;
    case HighlightColor:
    case ShadowColor:
    case Color:
        slot = colorOf(vm, value);
        break;
    // One byte of alpha, dropping the fraction.
    case HighlightAlpha:
    case ShadowAlpha:
    case Alpha:
        slot = std::floor(clampNumber(vm.toNumber(value), 0, 1) * 255) / 255;
        break;
    case BlurX:
    case BlurY:
    case Strength:
        slot = clampNumber(vm.toNumber(value), 0, 255);
        break;
    case Quality:
        slot = clampNumber(vm.toInteger(value), 0, 15);
        break;
    case Knockout:
    case Inner:
    case HideObject:
    case PreserveAlpha:
    case Clamp:
        slot = vm.toBoolean(value);
        break;
    case Type: {
        const std::string type = vm.toString(value);
        slot = type == "inner" || type == "outer" ? type : std::string("full");
        break;
    }
    case Mode: {
        const std::string mode = vm.toString(value);
        slot = mode == "clamp" || mode == "ignore" || mode == "color" ? mode : std::string("wrap");
        break;
    }
    case ComponentX:
    case ComponentY:
        slot = double(vm.toInt32(value));
        break;
    case ScaleX:
    case ScaleY:
        slot = clampNumber(vm.toNumber(value), -65535, 65535);
        break;
    case MatrixX:
    case MatrixY:
        slot = clampNumber(vm.toInteger(value), 0, kMaxMatrixSide);
        growConvolution(f);
        break;
    case Matrix: {
        if (value.isNullish())
            break;
        if (f.filter == FilterKind::ColorMatrix) {
            for (std::size_t i = 0; i < kColorMatrixSize; ++i)
                f.matrix[i] = element(vm, value, i);
            break;
        }
        const std::size_t length =
            listLength(vm, value, std::size_t(kMaxMatrixSide) * kMaxMatrixSide);
        f.matrix.assign(length, 0);
        for (std::size_t i = 0; i < length; ++i)
            f.matrix[i] = element(vm, value, i);
        growConvolution(f);
        break;
    }
    case MapBitmap:
        if (value.isObject() && value.object()->kind() == ObjectKind::BitmapData)
            f.mapBitmap = value.object();
        break;
    // A point needs both coordinates, else it is the origin; they are whole pixels.
    case MapPoint: {
        Object* point = value.object();
        const bool complete = point && vm.hasProperty(point, "x") && vm.hasProperty(point, "y");
        f.mapX = complete ? vm.toInteger(vm.getMember(value, "x")) : 0;
        f.mapY = complete ? vm.toInteger(vm.getMember(value, "y")) : 0;
        break;
    }
    case Colors: {
        if (value.isNullish())
            break;
        // The colours set how many entries there are; ratios may lower it; alphas follow it.
        f.gradientCount = listLength(vm, value, kMaxGradientEntries);
        for (std::size_t i = 0; i < f.gradientCount; ++i)
            f.colors[i] = colorOf(vm, vm.getMember(value, std::to_string(i)));
        break;
    }
    // Gradient alphas round to the nearest step; a missing one is opaque.
    case Alphas:
        if (value.isNullish())
            break;
        for (std::size_t i = 0; i < f.gradientCount; ++i) {
            const double alpha = element(vm, value, i);
            f.alphas[i] =
                std::isnan(alpha) ? 1 : std::round(std::clamp(alpha, 0.0, 1.0) * 255) / 255;
        }
        break;
    case Ratios: {
        if (value.isNullish())
            break;
        f.gradientCount = std::min(f.gradientCount, listLength(vm, value, kMaxGradientEntries));
        for (std::size_t i = 0; i < f.gradientCount; ++i)
            f.ratios[i] = clampNumber(std::trunc(element(vm, value, i)), 0, 255);
        break;
    }
    }
}

Value listValue(Interpreter& vm, std::span<const double> list) {
    std::vector<Value> values(list.begin(), list.end());
    return vm.makeArray(values);
}

// Lists and the point are handed out as fresh copies: changing one changes nothing here.
Value getField(Interpreter& vm, FilterObject& f, Field field) {
    switch (field) {
    case Matrix:
        return listValue(vm, f.matrix);
    case Colors:
        return listValue(vm, std::span(f.colors).first(f.gradientCount));
    case Alphas:
        return listValue(vm, std::span(f.alphas).first(f.gradientCount));
    case Ratios:
        return listValue(vm, std::span(f.ratios).first(f.gradientCount));
    case MapBitmap:
        return f.mapBitmap ? Value(f.mapBitmap) : Value();
    case MapPoint: {
        const Property* own = vm.global()->properties().find("flash", true);
        Value point = vm.getMember(vm.getMember(own ? own->value : Value(), "geom"), "Point");
        Value args[] = {Value(f.mapX), Value(f.mapY)};
        return vm.construct(point, args);
    }
    default:
        return f.fields[size_t(field)];
    }
}

template <std::size_t I>
Value fieldGetter(Interpreter& vm, const Value& thisValue, std::span<const Value>) {
    FilterObject* f = filterOf(thisValue);
    return f ? getField(vm, *f, Field(I)) : Value();
}

template <std::size_t I>
Value fieldSetter(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    if (FilterObject* f = filterOf(thisValue))
        setField(vm, *f, Field(I), argAt(args, 0));
    return Value();
}

template <std::size_t... I>
constexpr std::array<std::pair<NativeFunction, NativeFunction>, sizeof...(I)>
accessorTable(std::index_sequence<I...>) {
    return {{{fieldGetter<I>, fieldSetter<I>}...}};
}
constexpr auto kAccessors = accessorTable(std::make_index_sequence<kFieldCount>());

template <std::size_t K> Object* allocateFilter(Interpreter& vm, Object* proto) {
    auto* filter = vm.heap().make<FilterObject>(proto, FilterKind(K));
    setDefaults(*filter);
    return filter;
}

// Arguments left out, or undefined, keep the defaults.
template <std::size_t K>
Value filterConstructor(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    FilterObject* f = filterOf(thisValue);
    if (!f)
        return Value();
    std::size_t index = 0;
    for (Field field : kFilterClasses[K].parameters) {
        const Value& arg = argAt(args, index++);
        if (!arg.isUndefined())
            setField(vm, *f, field, arg);
    }
    return Value();
}

template <std::size_t... K>
constexpr std::array<std::pair<NativeFunction, Allocator>, sizeof...(K)>
constructorTable(std::index_sequence<K...>) {
    return {{{filterConstructor<K>, allocateFilter<K>}...}};
}
constexpr auto kConstructors = constructorTable(std::make_index_sequence<kFilterCount>());

// clone(): the same kind of filter with the same settings.
Value cloneFilter(Interpreter& vm, const Value& thisValue, std::span<const Value>) {
    FilterObject* f = filterOf(thisValue);
    if (!f)
        return Value();
    vm.checkCells();
    auto* copy = vm.heap().make<FilterObject>(f->proto(), f->filter);
    copy->fields = f->fields;
    copy->matrix = f->matrix;
    copy->colors = f->colors;
    copy->alphas = f->alphas;
    copy->ratios = f->ratios;
    copy->gradientCount = f->gradientCount;
    copy->mapBitmap = f->mapBitmap;
    copy->mapX = f->mapX;
    copy->mapY = f->mapY;
    return copy;
}

Value returnNothing(Interpreter&, const Value&, std::span<const Value>) {
    return Value();
}

Object* filtersPackage(Interpreter& vm) {
    const Property* own = vm.global()->properties().find("flash", true);
    Object* flash = own ? own->value.object() : nullptr;
    if (!flash) {
        flash = vm.makeObject();
        vm.global()->define("flash", flash, kDontEnum | kVersion6 | kVersion7 | kVersion8);
    }
    const Property* existing = flash->properties().find("filters", true);
    if (existing && existing->value.object())
        return existing->value.object();
    Object* package = vm.makeObject();
    flash->define("filters", package, 0);
    return package;
}

} // namespace

void installFilterBuiltins(Interpreter& vm) {
    Object* package = filtersPackage(vm);
    // BitmapFilter is the base: its own clone gives nothing.
    Object* baseProto = vm.makeObject();
    package->define("BitmapFilter", vm.defineClass({}, returnNothing, baseProto), 0);
    vm.defineMethod(baseProto, "clone", returnNothing, 0);
    for (std::size_t k = 0; k < kFilterCount; ++k) {
        Object* proto = vm.makeObject(baseProto);
        const auto& [ctorFn, allocator] = kConstructors[k];
        package->define(kFilterClasses[k].name, vm.defineClass({}, ctorFn, proto, allocator), 0);
        // Written in ActionScript in the player, so its members are enumerable.
        for (Field field : kFilterClasses[k].properties) {
            const auto& [getter, setter] = kAccessors[size_t(field)];
            proto->defineAccessor(kFieldNames[size_t(field)], vm.makeNative(getter),
                                  vm.makeNative(setter), 0);
        }
        vm.defineMethod(proto, "clone", cloneFilter, 0);
    }
}

} // namespace swivio::swf::avm1
