// BitmapData methods that combine or test pixels: colorTransform, merge, paletteMap,
// threshold, copyChannel, hitTest, compare, scroll, getColorBoundsRect.
//
// The player checks a method's arguments in order and answers -2, -3, ... for the first
// that is unfit, counting one step per check; fewer arguments than a method needs answer -1.
#include <cmath>
#include <initializer_list>
#include <string>
#include <tuple>

#include "swf/avm1/builtins_bitmapdata.h"

namespace swivio::swf::avm1 {

namespace {

constexpr int kStepNotBitmap = -2;

// A source bitmap argument: a BitmapData (else the first step's code) that is alive (else the
// next step's code).
BitmapDataObject* sourceArgument(const Value& value, int firstStep, int& failure) {
    BitmapDataObject* source = bitmapOf(value);
    if (!source) {
        failure = firstStep;
        return nullptr;
    }
    if (!source->valid()) {
        failure = firstStep - 1;
        return nullptr;
    }
    return source;
}

// What merge, paletteMap, threshold and copyChannel read first: source, rectangle, point.
struct CopyArguments {
    BitmapDataObject* source = nullptr;
    image::PixelRect rect;
    int destX = 0, destY = 0;
};

std::optional<CopyArguments> copyArguments(Interpreter& vm, std::span<const Value> args,
                                           int& failure) {
    CopyArguments out;
    out.source = sourceArgument(args[0], kStepNotBitmap, failure);
    if (!out.source)
        return std::nullopt;
    const auto rect = rectArgument(vm, args[1]);
    if (!rect) {
        failure = kStepNotBitmap - 2;
        return std::nullopt;
    }
    out.rect = *rect;
    std::tie(out.destX, out.destY) = pointArgument(vm, args[2]);
    return out;
}

Value colorTransform(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    BitmapDataObject* bitmap = usable(thisValue, args, 2);
    if (!bitmap)
        return -1;
    const auto rect = rectArgument(vm, args[0]);
    if (!rect)
        return -2;
    if (!isGeomInstance(vm, args[1], "ColorTransform"))
        return -3;
    auto number = [&](const char* name) { return vm.toNumber(vm.getMember(args[1], name)); };
    image::ChannelTransform transform;
    transform.redMultiplier = number("redMultiplier");
    transform.greenMultiplier = number("greenMultiplier");
    transform.blueMultiplier = number("blueMultiplier");
    transform.alphaMultiplier = number("alphaMultiplier");
    transform.redOffset = number("redOffset");
    transform.greenOffset = number("greenOffset");
    transform.blueOffset = number("blueOffset");
    transform.alphaOffset = number("alphaOffset");
    image::colorTransform(bitmap->image, *rect, transform);
    return -1;
}

// merge(source, rect, point, redMultiplier, greenMultiplier, blueMultiplier, alphaMultiplier)
Value merge(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    BitmapDataObject* bitmap = usable(thisValue, args, 6);
    if (!bitmap)
        return -1;
    int failure = -1;
    const auto copy = copyArguments(vm, args, failure);
    if (!copy)
        return failure;
    // Without an alpha multiplier the source's alpha is taken whole.
    const std::array<int, 4> multipliers = {args.size() > 6 ? vm.toInt32(args[6]) : 256,
                                            vm.toInt32(args[3]), vm.toInt32(args[4]),
                                            vm.toInt32(args[5])};
    image::merge(bitmap->image, copy->source->image, copy->rect, copy->destX, copy->destY,
                 multipliers);
    return -1;
}

// paletteMap(source, rect, point, redArray, greenArray, blueArray, alphaArray)
Value paletteMap(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    BitmapDataObject* bitmap = usable(thisValue, args, 4);
    if (!bitmap)
        return -1;
    int failure = -1;
    const auto copy = copyArguments(vm, args, failure);
    if (!copy)
        return failure;
    // Tables in argument order red, green, blue, alpha; kept in alpha, red, green, blue.
    std::array<image::PaletteTable, 4> tables;
    const std::size_t slots[4] = {1, 2, 3, 0};
    for (std::size_t i = 0; i < 4; ++i) {
        const Value& table = argAt(args, 3 + i);
        // Any object is a table (missing entries count 0); anything else keeps the channel.
        if (!table.isObject())
            continue;
        auto& entries = tables[slots[i]].emplace();
        for (std::size_t k = 0; k < entries.size(); ++k)
            entries[k] = uint32_t(vm.toInt32(vm.getMember(table, std::to_string(k))));
    }
    image::paletteMap(bitmap->image, copy->source->image, copy->rect, copy->destX, copy->destY,
                      tables);
    return -1;
}

std::optional<image::ThresholdTest> thresholdTest(std::string_view name) {
    using image::ThresholdTest;
    const std::pair<std::string_view, ThresholdTest> tests[] = {
        {"<", ThresholdTest::Less},    {"<=", ThresholdTest::LessOrEqual},
        {">", ThresholdTest::Greater}, {">=", ThresholdTest::GreaterOrEqual},
        {"==", ThresholdTest::Equal},  {"!=", ThresholdTest::NotEqual},
    };
    for (const auto& [text, test] : tests)
        if (text == name)
            return test;
    return std::nullopt;
}

// threshold(source, rect, point, operation, threshold, color = 0, mask = 0xFFFFFFFF,
// copySource = false): answers how many pixels passed; an unknown operation changes nothing.
Value threshold(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    BitmapDataObject* bitmap = usable(thisValue, args, 5);
    if (!bitmap)
        return -1;
    int failure = -1;
    const auto copy = copyArguments(vm, args, failure);
    if (!copy)
        return failure;
    const auto test = thresholdTest(vm.toString(args[3]));
    if (!test)
        return 0;
    const uint32_t against = colorArgument(vm, args[4]);
    const uint32_t color = args.size() > 5 ? colorArgument(vm, args[5]) : 0;
    const uint32_t mask = args.size() > 6 ? colorArgument(vm, args[6]) : 0xFFFFFFFFu;
    const bool copySource = args.size() > 7 && vm.toBoolean(args[7]);
    return image::threshold(bitmap->image, copy->source->image, copy->rect, copy->destX,
                            copy->destY, *test, against, color, mask, copySource);
}

// copyChannel(source, rect, point, sourceChannel, destChannel)
Value copyChannel(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    BitmapDataObject* bitmap = usable(thisValue, args, 5);
    if (!bitmap)
        return -1;
    int failure = -1;
    const auto copy = copyArguments(vm, args, failure);
    if (!copy)
        return failure;
    image::copyChannel(bitmap->image, copy->source->image, copy->rect, copy->destX, copy->destY,
                       vm.toInt32(args[3]), vm.toInt32(args[4]));
    return -1;
}

// Whether value is an object with all these members of its own: hitTest does not look up
// prototypes for its points and rectangles.
bool hasOwn(Interpreter& vm, const Value& value, std::initializer_list<const char*> names) {
    if (!value.isObject())
        return false;
    for (const char* name : names)
        if (!vm.hasOwnProperty(value.object(), name))
            return false;
    return true;
}

std::optional<std::pair<int, int>> ownPoint(Interpreter& vm, const Value& value) {
    if (!hasOwn(vm, value, {"x", "y"}))
        return std::nullopt;
    return pointArgument(vm, value);
}

int64_t alphaAt(const image::BitmapPixels& image, int x, int y) {
    return image.transparent ? image.at(x, y) >> 24 : 255;
}

// hitTest(firstPoint, firstAlphaThreshold, secondObject, secondBitmapPoint = (0, 0),
// secondAlphaThreshold = 1): whether a pixel at least as opaque as the threshold lies at a
// point, in a rectangle, or under an opaque enough pixel of another bitmap.
Value hitTest(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    BitmapDataObject* bitmap = usable(thisValue, args, 3);
    if (!bitmap)
        return -1;
    const auto first = ownPoint(vm, args[0]);
    if (!first)
        return -2;
    const int64_t firstThreshold = vm.toInt32(args[1]);
    const image::BitmapPixels& self = bitmap->image;
    auto opaqueAt = [&](int x, int y) {
        return self.contains(x, y) && alphaAt(self, x, y) >= firstThreshold;
    };
    if (BitmapDataObject* other = bitmapOf(args[2])) {
        if (!other->valid())
            return -3;
        std::pair<int, int> second{0, 0};
        if (args.size() > 3) {
            const auto point = ownPoint(vm, args[3]);
            if (!point)
                return -4;
            second = *point;
        }
        const int64_t secondThreshold = args.size() > 4 ? vm.toInt32(args[4]) : 1;
        // Walk the other bitmap's pixels that overlap this one.
        const int offsetX = second.first - first->first;
        const int offsetY = second.second - first->second;
        for (int y = 0; y < other->image.height; ++y) {
            for (int x = 0; x < other->image.width; ++x) {
                if (alphaAt(other->image, x, y) >= secondThreshold &&
                    opaqueAt(x + offsetX, y + offsetY))
                    return true;
            }
        }
        return false;
    }
    if (hasOwn(vm, args[2], {"x", "y", "width", "height"})) {
        const auto rect = rectArgument(vm, args[2]);
        if (!rect)
            return -3;
        const int64_t x0 = std::max<int64_t>(int64_t(rect->x) - first->first, 0);
        const int64_t y0 = std::max<int64_t>(int64_t(rect->y) - first->second, 0);
        const int64_t x1 =
            std::min<int64_t>(int64_t(rect->x) + rect->width - first->first, self.width);
        const int64_t y1 =
            std::min<int64_t>(int64_t(rect->y) + rect->height - first->second, self.height);
        for (int64_t y = y0; y < y1; ++y)
            for (int64_t x = x0; x < x1; ++x)
                if (opaqueAt(int(x), int(y)))
                    return true;
        return false;
    }
    const auto point = ownPoint(vm, args[2]);
    if (!point)
        return -3;
    return opaqueAt(point->first - first->first, point->second - first->second);
}

Value scroll(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    BitmapDataObject* bitmap = usable(thisValue, args, 2);
    if (!bitmap)
        return -1;
    image::scroll(bitmap->image, pixelCoordinate(vm, args[0]), pixelCoordinate(vm, args[1]));
    return Value();
}

Value makeRectangle(Interpreter& vm, const image::PixelRect& rect) {
    const Property* own = vm.global()->properties().find("flash", true);
    const Value flash = own ? own->value : Value();
    const Value ctor = vm.getMember(vm.getMember(flash, "geom"), "Rectangle");
    if (!ctor.isObject() || ctor.object()->kind() != ObjectKind::Function)
        return Value();
    Value parts[] = {Value(rect.x), Value(rect.y), Value(rect.width), Value(rect.height)};
    return vm.construct(ctor, parts);
}

// getColorBoundsRect(mask, color, findColor = true)
Value getColorBoundsRect(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    BitmapDataObject* bitmap = usable(thisValue, args, 2);
    if (!bitmap)
        return -1;
    const bool findColor = args.size() < 3 || vm.toBoolean(args[2]);
    return makeRectangle(vm, image::colorBoundsRect(bitmap->image, colorArgument(vm, args[0]),
                                                    colorArgument(vm, args[1]), findColor));
}

// compare(other): 0 when equal, -3 / -4 when the widths / heights differ, -1 / -2 when this
// or the other is no live bitmap; else a new bitmap of the differences.
Value compare(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    BitmapDataObject* bitmap = usable(thisValue, args, 1);
    if (!bitmap)
        return -1;
    BitmapDataObject* other = liveBitmap(args[0]);
    if (!other)
        return -2;
    if (other == bitmap)
        return 0;
    const image::BitmapPixels& a = bitmap->image;
    const image::BitmapPixels& b = other->image;
    if (a.width != b.width)
        return -3;
    if (a.height != b.height)
        return -4;
    bool different = false;
    image::BitmapPixels diff;
    diff.width = a.width;
    diff.height = a.height;
    diff.pixels.assign(a.pixels.size(), 0);
    for (int y = 0; y < a.height; ++y) {
        for (int x = 0; x < a.width; ++x) {
            const uint32_t p = a.straight(x, y);
            const uint32_t q = b.straight(x, y);
            if (p == q)
                continue;
            different = true;
            // Colours differ: their difference, opaque; only alphas differ: white of that
            // alpha difference.
            if ((p & 0xFFFFFF) != (q & 0xFFFFFF)) {
                uint32_t out = 0xFF000000u;
                for (int shift : {16, 8, 0})
                    out |= ((((p >> shift) & 0xFF) - ((q >> shift) & 0xFF)) & 0xFF) << shift;
                diff.setStraight(x, y, out);
            } else {
                diff.setStraight(x, y, ((((p >> 24) - (q >> 24)) & 0xFF) << 24) | 0xFFFFFF);
            }
        }
    }
    if (!different)
        return 0;
    const Value ctor = vm.getMember(thisValue, "__constructor__");
    Value sizes[] = {Value(a.width), Value(a.height), Value(true), Value(0)};
    Value result = vm.construct(ctor, sizes);
    if (BitmapDataObject* made = liveBitmap(result)) {
        made->image.pixels = std::move(diff.pixels);
        return result;
    }
    return Value();
}

} // namespace

void installBitmapDataOperations(Interpreter& vm, Object* proto) {
    const std::pair<const char*, NativeFunction> methods[] = {
        {"colorTransform", colorTransform},
        {"merge", merge},
        {"paletteMap", paletteMap},
        {"threshold", threshold},
        {"copyChannel", copyChannel},
        {"hitTest", hitTest},
        {"scroll", scroll},
        {"getColorBoundsRect", getColorBoundsRect},
        {"compare", compare},
    };
    for (const auto& [name, fn] : methods)
        vm.defineMethod(proto, name, fn);
}

} // namespace swivio::swf::avm1
