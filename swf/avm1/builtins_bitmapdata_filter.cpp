// BitmapData.applyFilter and generateFilterRect: the filters of flash.filters applied to a
// bitmap's pixels with the renderer's filter code.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>

#include "swf/avm1/builtins_bitmapdata.h"
#include "swf/raster/filter_effects.h"
#include "swf/raster/pixel_ops.h"

namespace swivio::swf::avm1 {

namespace {

constexpr double kPi = 3.14159265358979323846;

bool isFilter(Interpreter& vm, const Value& value, const char* className) {
    if (!value.isObject())
        return false;
    const Property* own = vm.global()->properties().find("flash", true);
    const Value ctor = vm.getMember(vm.getMember(own ? own->value : Value(), "filters"), className);
    return ctor.isObject() && vm.instanceOf(value.object(), ctor.object());
}

// The filter a flash.filters object stands for, read through its public properties; nothing
// for an object that is no filter this player applies to bitmaps.
std::optional<Filter> filterOf(Interpreter& vm, const Value& object) {
    auto number = [&](const char* name, double fallback) {
        const double v = vm.toNumber(vm.getMember(object, name));
        return std::isfinite(v) ? v : fallback;
    };
    auto color = [&](const char* colorName, const char* alphaName) {
        const uint32_t rgb = uint32_t(vm.toInt32(vm.getMember(object, colorName)));
        const double alpha = std::clamp(number(alphaName, 1), 0.0, 1.0);
        return Rgba{uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb),
                    uint8_t(alpha * 255 + 0.5)};
    };
    auto flag = [&](const char* name) { return vm.toBoolean(vm.getMember(object, name)); };
    Filter f;
    auto blurs = [&] {
        f.blurX = float(std::clamp(number("blurX", 4), 0.0, 255.0));
        f.blurY = float(std::clamp(number("blurY", 4), 0.0, 255.0));
        f.passes = int(std::clamp(number("quality", 1), 0.0, 15.0));
    };
    if (isFilter(vm, object, "ColorMatrixFilter")) {
        f.type = Filter::Type::ColorMatrix;
        const Value matrix = vm.getMember(object, "matrix");
        for (int i = 0; i < 20; ++i) {
            const double v = vm.toNumber(vm.getMember(matrix, std::to_string(i)));
            f.colorMatrix[i] = std::isfinite(v) ? float(v) : 0.0f;
        }
        return f;
    }
    if (isFilter(vm, object, "BlurFilter")) {
        f.type = Filter::Type::Blur;
        blurs();
        return f;
    }
    if (isFilter(vm, object, "GlowFilter")) {
        f.type = Filter::Type::Glow;
        blurs();
        f.color = color("color", "alpha");
        f.strength = float(std::clamp(number("strength", 2), 0.0, 255.0));
        f.inner = flag("inner");
        f.knockout = flag("knockout");
        f.compositeSource = !f.knockout;
        return f;
    }
    if (isFilter(vm, object, "DropShadowFilter")) {
        f.type = Filter::Type::DropShadow;
        blurs();
        f.color = color("color", "alpha");
        f.strength = float(std::clamp(number("strength", 1), 0.0, 255.0));
        f.distance = float(std::clamp(number("distance", 4), -1e4, 1e4));
        f.angle = float(number("angle", 45) * kPi / 180);
        f.inner = flag("inner");
        f.knockout = flag("knockout");
        f.compositeSource = !f.knockout && !flag("hideObject");
        return f;
    }
    return std::nullopt;
}

// How far a filter spreads a picture beyond its edges, in pixels.
void spread(const Filter& f, int& left, int& top, int& right, int& bottom) {
    left = top = right = bottom = 0;
    if (f.type == Filter::Type::ColorMatrix || f.inner)
        return;
    const int passes = std::max(f.passes, 1);
    const int rx = int(std::ceil(f.blurX * passes / 2.0));
    const int ry = int(std::ceil(f.blurY * passes / 2.0));
    left = right = rx;
    top = bottom = ry;
    if (f.type == Filter::Type::DropShadow) {
        const double dx = std::cos(f.angle) * f.distance;
        const double dy = std::sin(f.angle) * f.distance;
        right += std::max(0, int(std::ceil(dx)));
        left += std::max(0, int(std::ceil(-dx)));
        bottom += std::max(0, int(std::ceil(dy)));
        top += std::max(0, int(std::ceil(-dy)));
    }
}

// applyFilter(source, sourceRect, destPoint, filter): the source's area, filtered, replaces
// the destination's pixels from the point on. Answers 0; -1 without a usable filter.
Value applyFilter(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    BitmapDataObject* bitmap = usable(thisValue, args, 4);
    if (!bitmap)
        return -1;
    BitmapDataObject* source = bitmapOf(args[0]);
    if (!source)
        return -2;
    if (!source->valid())
        return -3;
    const auto rect = rectArgument(vm, args[1]);
    if (!rect)
        return -4;
    const auto filter = filterOf(vm, args[3]);
    if (!filter)
        return -1;
    const auto [destX, destY] = pointArgument(vm, args[2]);
    const image::CopyArea area =
        image::clipCopy(source->image, *rect, source->image, rect->x, rect->y);
    if (area.width <= 0 || area.height <= 0)
        return 0;
    // The area with room around it for what the filter spreads.
    int left = 0, top = 0, right = 0, bottom = 0;
    spread(*filter, left, top, right, bottom);
    const int width = area.width + left + right, height = area.height + top + bottom;
    if (int64_t(width) * height > int64_t(1) << 26)
        return 0;
    raster::Surface surface(width, height);
    for (int y = 0; y < area.height; ++y) {
        uint32_t* row = surface.row(y + top);
        for (int x = 0; x < area.width; ++x) {
            const uint32_t p = source->image.at(area.sx + x, area.sy + y);
            const uint32_t a = source->image.transparent ? p >> 24 : 255;
            row[x + left] = raster::packPixel((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF, a);
        }
    }
    surface.markDirty({left, top, left + area.width, top + area.height});
    raster::FilterEffects effects;
    effects.apply(surface, {*filter}, 1, 1);
    // Written back where the source area lands, spread included, clipped to this bitmap.
    image::BitmapPixels& target = bitmap->image;
    const int originX = destX + (area.sx - rect->x) - left;
    const int originY = destY + (area.sy - rect->y) - top;
    for (int y = 0; y < height; ++y) {
        const uint32_t* row = surface.row(y);
        for (int x = 0; x < width; ++x) {
            const int64_t tx = int64_t(originX) + x, ty = int64_t(originY) + y;
            if (tx < 0 || ty < 0 || tx >= target.width || ty >= target.height)
                continue;
            const uint32_t p = row[x];
            uint8_t bytes[4];
            std::memcpy(bytes, &p, sizeof bytes);
            const uint32_t argb = uint32_t(bytes[3]) << 24 | uint32_t(bytes[0]) << 16 |
                                  uint32_t(bytes[1]) << 8 | bytes[2];
            target.at(int(tx), int(ty)) = target.transparent ? argb : (argb | 0xFF000000u);
        }
    }
    return 0;
}

// generateFilterRect(sourceRect, filter): the rectangle the filter's result covers.
Value generateFilterRect(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    BitmapDataObject* bitmap = usable(thisValue, args, 2);
    if (!bitmap)
        return -1;
    const auto rect = rectArgument(vm, args[0]);
    const auto filter = filterOf(vm, args[1]);
    if (!rect || !filter)
        return -1;
    int left = 0, top = 0, right = 0, bottom = 0;
    spread(*filter, left, top, right, bottom);
    const Property* own = vm.global()->properties().find("flash", true);
    const Value ctor = vm.getMember(vm.getMember(own ? own->value : Value(), "geom"), "Rectangle");
    if (!ctor.isObject() || ctor.object()->kind() != ObjectKind::Function)
        return Value();
    Value parts[] = {Value(rect->x - left), Value(rect->y - top), Value(rect->width + left + right),
                     Value(rect->height + top + bottom)};
    return vm.construct(ctor, parts);
}

} // namespace

void installBitmapDataFilters(Interpreter& vm, Object* proto) {
    vm.defineMethod(proto, "applyFilter", applyFilter);
    vm.defineMethod(proto, "generateFilterRect", generateFilterRect);
}

} // namespace swivio::swf::avm1
