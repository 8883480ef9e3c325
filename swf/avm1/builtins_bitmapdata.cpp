// flash.display.BitmapData: a picture a script makes and edits pixel by pixel. Pixels are
// kept as 32-bit ARGB; a bitmap made opaque keeps every alpha at 255.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <vector>

#include "swf/avm1/builtins.h"

namespace swivio::swf::avm1 {

namespace {

// The largest side Flash Player 8 accepts.
constexpr int kMaxSide = 2880;

// Pixels held by every live bitmap of the process, and the most scripts may make them hold
// (256 MiB of ARGB, eight bitmaps of the largest size). Garbage is only collected between
// frames, so a loop making bitmaps would otherwise grow without bound within one.
std::atomic<std::size_t> gLivePixels{0};
constexpr std::size_t kMaxLivePixels = std::size_t(1) << 26;

class BitmapDataObject : public Object {
public:
    using Object::Object;
    ~BitmapDataObject() override { release(); }
    BitmapDataObject(const BitmapDataObject&) = delete;
    BitmapDataObject& operator=(const BitmapDataObject&) = delete;

    // Takes room for width x height pixels of colour fill, or stops the script when every
    // bitmap together would pass the bound.
    void allocate(Interpreter& vm, int w, int h, uint32_t fill) {
        const std::size_t count = std::size_t(w) * std::size_t(h);
        if (gLivePixels.fetch_add(count) + count > kMaxLivePixels) {
            gLivePixels.fetch_sub(count);
            vm.abortScript("bitmaps of this movie would hold more than " +
                           std::to_string(kMaxLivePixels) + " pixels");
        }
        release();
        width = w;
        height = h;
        pixels.assign(count, fill);
    }
    void release() {
        gLivePixels.fetch_sub(pixels.size());
        pixels.clear();
        pixels.shrink_to_fit();
        width = height = 0;
    }
    ObjectKind kind() const override { return ObjectKind::BitmapData; }
    std::size_t footprint() const override {
        return Object::footprint() + pixels.size() * sizeof(uint32_t);
    }
    bool valid() const { return width > 0; }
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    uint32_t& at(int x, int y) { return pixels[std::size_t(y) * std::size_t(width) + x]; }
    // The pixel as this bitmap keeps it: opaque, or with its colour as precise as the
    // player's premultiplied storage leaves it.
    uint32_t stored(uint32_t argb) const {
        if (!transparent)
            return argb | 0xFF000000u;
        const uint32_t alpha = argb >> 24;
        if (alpha == 0)
            return 0;
        uint32_t out = argb & 0xFF000000u;
        for (int shift : {16, 8, 0}) {
            const uint32_t premultiplied = (((argb >> shift) & 0xFF) * alpha + 127) / 255;
            const uint32_t channel = (premultiplied * 255 + alpha * 2 / 5) / alpha;
            out |= std::min(channel, 255u) << shift;
        }
        return out;
    }

    int width = 0;
    int height = 0;
    bool transparent = true;
    std::vector<uint32_t> pixels;
};

Object* allocateBitmapData(Interpreter& vm, Object* proto) {
    return vm.heap().make<BitmapDataObject>(proto);
}

BitmapDataObject* bitmapOf(const Value& value) {
    Object* object = value.object();
    return object && object->kind() == ObjectKind::BitmapData
               ? static_cast<BitmapDataObject*>(object)
               : nullptr;
}

// A live bitmap (made with a valid size and not disposed), or null.
BitmapDataObject* liveBitmap(const Value& value) {
    BitmapDataObject* bitmap = bitmapOf(value);
    return bitmap && bitmap->valid() ? bitmap : nullptr;
}

// A method works on a live bitmap given at least the arguments it needs; otherwise it answers
// -1 and changes nothing.
BitmapDataObject* usable(const Value& thisValue, std::span<const Value> args, std::size_t needed) {
    BitmapDataObject* bitmap = liveBitmap(thisValue);
    return bitmap && args.size() >= needed ? bitmap : nullptr;
}

uint32_t colorArgument(Interpreter& vm, const Value& value) {
    return uint32_t(vm.toInt32(value));
}

// A rectangle argument clipped to the bitmap: [x0, x1) by [y0, y1).
struct Area {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

int clampCoordinate(double value, int limit) {
    if (std::isnan(value))
        return 0;
    return int(std::clamp(std::floor(value), 0.0, double(limit)));
}

Area areaOf(Interpreter& vm, const Value& rect, int width, int height) {
    const double x = vm.toNumber(vm.getMember(rect, "x"));
    const double y = vm.toNumber(vm.getMember(rect, "y"));
    const double w = vm.toNumber(vm.getMember(rect, "width"));
    const double h = vm.toNumber(vm.getMember(rect, "height"));
    Area area;
    area.x0 = clampCoordinate(x, width);
    area.y0 = clampCoordinate(y, height);
    // A negative size covers nothing.
    area.x1 = std::max(area.x0, clampCoordinate(x + w, width));
    area.y1 = std::max(area.y0, clampCoordinate(y + h, height));
    return area;
}

// new BitmapData(width, height, transparent = true, fillColor = 0xFFFFFFFF). A size outside
// 1..2880 makes no picture: the object answers as a disposed one.
Value bitmapConstructor(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    BitmapDataObject* bitmap = bitmapOf(thisValue);
    if (!bitmap)
        return Value();
    const double width = vm.toInteger(argAt(args, 0));
    const double height = vm.toInteger(argAt(args, 1));
    if (!(width >= 1 && width <= kMaxSide && height >= 1 && height <= kMaxSide))
        return Value();
    bitmap->transparent = args.size() < 3 || vm.toBoolean(args[2]);
    const uint32_t fill = args.size() < 4 ? 0xFFFFFFFFu : colorArgument(vm, args[3]);
    bitmap->allocate(vm, int(width), int(height), bitmap->stored(fill));
    return Value();
}

Value getWidth(Interpreter&, const Value& thisValue, std::span<const Value>) {
    BitmapDataObject* bitmap = liveBitmap(thisValue);
    return bitmap ? Value(bitmap->width) : Value(-1);
}

Value getHeight(Interpreter&, const Value& thisValue, std::span<const Value>) {
    BitmapDataObject* bitmap = liveBitmap(thisValue);
    return bitmap ? Value(bitmap->height) : Value(-1);
}

Value getTransparent(Interpreter&, const Value& thisValue, std::span<const Value>) {
    BitmapDataObject* bitmap = liveBitmap(thisValue);
    return bitmap ? Value(bitmap->transparent) : Value(-1);
}

Value getRectangle(Interpreter& vm, const Value& thisValue, std::span<const Value>) {
    BitmapDataObject* bitmap = liveBitmap(thisValue);
    if (!bitmap)
        return -1;
    // Made with flash.geom.Rectangle as a script left it; -1 when that is no function.
    const Property* own = vm.global()->properties().find("flash", true);
    Value flash = own ? own->value : Value();
    Value rectangle = vm.getMember(vm.getMember(flash, "geom"), "Rectangle");
    if (!rectangle.isObject() || rectangle.object()->kind() != ObjectKind::Function)
        return -1;
    Value args[] = {Value(0), Value(0), Value(bitmap->width), Value(bitmap->height)};
    return vm.construct(rectangle, args);
}

// A pixel of no alpha has no colour left to read.
uint32_t readable(uint32_t argb) {
    return (argb >> 24) == 0 ? 0 : argb;
}

bool pixelArguments(Interpreter& vm, std::span<const Value> args, BitmapDataObject* bitmap, int& x,
                    int& y) {
    const double px = vm.toInteger(argAt(args, 0));
    const double py = vm.toInteger(argAt(args, 1));
    if (!bitmap || !(px >= 0 && py >= 0 && px < bitmap->width && py < bitmap->height))
        return false;
    x = int(px);
    y = int(py);
    return true;
}

Value getPixel(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    BitmapDataObject* bitmap = usable(thisValue, args, 2);
    if (!bitmap)
        return -1;
    int x = 0, y = 0;
    if (!pixelArguments(vm, args, bitmap, x, y))
        return 0;
    return double(readable(bitmap->at(x, y)) & 0xFFFFFF);
}

Value getPixel32(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    BitmapDataObject* bitmap = usable(thisValue, args, 2);
    if (!bitmap)
        return -1;
    int x = 0, y = 0;
    if (!pixelArguments(vm, args, bitmap, x, y))
        return 0;
    return double(int32_t(readable(bitmap->at(x, y))));
}

// setPixel keeps the pixel's alpha; setPixel32 sets it too (when the bitmap has one).
Value setPixel(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    BitmapDataObject* bitmap = usable(thisValue, args, 3);
    if (!bitmap)
        return -1;
    int x = 0, y = 0;
    if (!pixelArguments(vm, args, bitmap, x, y))
        return Value();
    uint32_t& pixel = bitmap->at(x, y);
    pixel = bitmap->stored((pixel & 0xFF000000u) | (colorArgument(vm, argAt(args, 2)) & 0xFFFFFF));
    return Value();
}

Value setPixel32(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    BitmapDataObject* bitmap = usable(thisValue, args, 3);
    if (!bitmap)
        return -1;
    int x = 0, y = 0;
    if (pixelArguments(vm, args, bitmap, x, y))
        bitmap->at(x, y) = bitmap->stored(colorArgument(vm, argAt(args, 2)));
    return 0;
}

Value fillRect(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    BitmapDataObject* bitmap = usable(thisValue, args, 2);
    if (!bitmap)
        return -1;
    if (!args[0].isObject())
        return Value();
    const Area area = areaOf(vm, args[0], bitmap->width, bitmap->height);
    const uint32_t color = bitmap->stored(colorArgument(vm, argAt(args, 1)));
    for (int y = area.y0; y < area.y1; ++y)
        for (int x = area.x0; x < area.x1; ++x)
            bitmap->at(x, y) = color;
    return Value();
}

// floodFill(x, y, color): the 4-connected region of the start pixel's exact colour. Answers
// 1 when it painted, 0 when the start is outside or already of that colour.
Value floodFill(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    BitmapDataObject* bitmap = usable(thisValue, args, 3);
    if (!bitmap)
        return -1;
    int x = 0, y = 0;
    if (!pixelArguments(vm, args, bitmap, x, y))
        return 0;
    const uint32_t color = bitmap->stored(colorArgument(vm, argAt(args, 2)));
    const uint32_t target = bitmap->at(x, y);
    if (target == color)
        return 0;
    // Each pixel is pushed at most once, as it is recoloured when pushed.
    std::vector<std::pair<int, int>> pending{{x, y}};
    bitmap->at(x, y) = color;
    while (!pending.empty()) {
        auto [px, py] = pending.back();
        pending.pop_back();
        const std::pair<int, int> next[] = {{px + 1, py}, {px - 1, py}, {px, py + 1}, {px, py - 1}};
        for (const auto& [nx, ny] : next) {
            if (bitmap->contains(nx, ny) && bitmap->at(nx, ny) == target) {
                bitmap->at(nx, ny) = color;
                pending.emplace_back(nx, ny);
            }
        }
    }
    return 1;
}

// copyPixels(source, sourceRect, destPoint): the source's pixels replace the destination's
// (the alpha bitmap and merging arguments are not taken into account). Where the rectangle
// starts above or left of the source, the destination point moves by as much.
Value copyPixels(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    BitmapDataObject* bitmap = usable(thisValue, args, 3);
    if (!bitmap)
        return -1;
    BitmapDataObject* source = liveBitmap(args[0]);
    if (!source || !args[1].isObject())
        return Value();
    const Area from = areaOf(vm, args[1], source->width, source->height);
    const double dx = std::floor(vm.toNumber(vm.getMember(argAt(args, 2), "x")));
    const double dy = std::floor(vm.toNumber(vm.getMember(argAt(args, 2), "y")));
    const double rx = std::floor(vm.toNumber(vm.getMember(args[1], "x")));
    const double ry = std::floor(vm.toNumber(vm.getMember(args[1], "y")));
    if (std::isnan(dx) || std::isnan(dy) || std::isnan(rx) || std::isnan(ry))
        return Value();
    // Read the whole area first: source and destination may be the same bitmap.
    std::vector<uint32_t> copied;
    copied.reserve(std::size_t(from.x1 - from.x0) * std::size_t(from.y1 - from.y0));
    for (int y = from.y0; y < from.y1; ++y)
        for (int x = from.x0; x < from.x1; ++x)
            copied.push_back(source->at(x, y));
    std::size_t index = 0;
    for (int y = from.y0; y < from.y1; ++y) {
        for (int x = from.x0; x < from.x1; ++x, ++index) {
            const double tx = dx + (x - rx);
            const double ty = dy + (y - ry);
            if (tx >= 0 && ty >= 0 && tx < bitmap->width && ty < bitmap->height)
                bitmap->at(int(tx), int(ty)) = bitmap->stored(copied[index]);
        }
    }
    return Value();
}

Value cloneBitmap(Interpreter& vm, const Value& thisValue, std::span<const Value>) {
    BitmapDataObject* bitmap = bitmapOf(thisValue);
    if (!bitmap)
        return Value();
    Value proto = vm.getMember(vm.getMember(thisValue, "__constructor__"), "prototype");
    vm.checkCells();
    auto* copy =
        vm.heap().make<BitmapDataObject>(proto.object() ? proto.object() : bitmap->proto());
    copy->transparent = bitmap->transparent;
    if (bitmap->valid()) {
        copy->allocate(vm, bitmap->width, bitmap->height, 0);
        copy->pixels = bitmap->pixels;
    }
    return copy;
}

Value dispose(Interpreter&, const Value& thisValue, std::span<const Value>) {
    if (BitmapDataObject* bitmap = bitmapOf(thisValue))
        bitmap->release();
    return Value();
}

// noise(seed, low = 0, high = 255, channels = 7, grayScale = false): each chosen channel a
// value in [low, high] from the player's Park-Miller generator seeded by the script, so the
// same seed gives the same picture; channels not chosen are 0, and alpha 255 when it is not
// chosen. Answers 0.
Value noise(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    BitmapDataObject* bitmap = usable(thisValue, args, 1);
    if (!bitmap)
        return -1;
    // A seed of zero or below counts as its negation plus one.
    int64_t start = vm.toInt32(argAt(args, 0));
    if (start <= 0)
        start = 1 - start;
    uint32_t seed = uint32_t(start % 2147483647);
    if (seed == 0)
        seed = 1;
    const int low = std::clamp(args.size() > 1 ? vm.toInt32(args[1]) : 0, 0, 255);
    const int high = std::clamp(args.size() > 2 ? vm.toInt32(args[2]) : 255, 0, 255);
    const int channels = args.size() > 3 ? vm.toInt32(args[3]) : 7;
    const bool gray = args.size() > 4 && vm.toBoolean(args[4]);
    const int span = std::max(high - low, 0) + 1;
    auto next = [&seed, low, span] {
        seed = uint32_t(uint64_t(seed) * 16807u % 2147483647u);
        return uint32_t(low + int(seed % uint32_t(span)));
    };
    for (uint32_t& pixel : bitmap->pixels) {
        uint32_t argb = 0;
        if (gray) {
            const uint32_t v = next();
            argb = v << 16 | v << 8 | v;
        } else {
            for (int shift : {16, 8, 0})
                if (channels & (1 << ((16 - shift) / 8)))
                    argb |= next() << shift;
        }
        argb |= (channels & 8) ? next() << 24 : 0xFF000000u;
        pixel = bitmap->stored(argb);
    }
    return 0;
}

Value returnNothing(Interpreter&, const Value&, std::span<const Value>) {
    return Value();
}

Object* displayPackage(Interpreter& vm) {
    const Property* own = vm.global()->properties().find("flash", true);
    Object* flash = own ? own->value.object() : nullptr;
    if (!flash) {
        flash = vm.makeObject();
        vm.global()->define("flash", flash, kDontEnum | kVersion6 | kVersion7 | kVersion8);
    }
    const Property* existing = flash->properties().find("display", true);
    if (existing && existing->value.object())
        return existing->value.object();
    Object* package = vm.makeObject();
    flash->define("display", package, 0);
    return package;
}

} // namespace

void installBitmapDataBuiltins(Interpreter& vm) {
    Object* proto = vm.makeObject();
    FunctionObject* ctor = vm.defineClass({}, bitmapConstructor, proto, allocateBitmapData);
    displayPackage(vm)->define("BitmapData", ctor, 0);
    const std::pair<const char*, NativeFunction> getters[] = {
        {"width", getWidth},
        {"height", getHeight},
        {"rectangle", getRectangle},
        {"transparent", getTransparent},
    };
    for (const auto& [name, fn] : getters)
        proto->defineAccessor(name, vm.makeNative(fn), nullptr, kDontEnum);
    const std::pair<const char*, NativeFunction> methods[] = {
        {"getPixel", getPixel},     {"getPixel32", getPixel32}, {"setPixel", setPixel},
        {"setPixel32", setPixel32}, {"fillRect", fillRect},     {"floodFill", floodFill},
        {"copyPixels", copyPixels}, {"clone", cloneBitmap},     {"dispose", dispose},
        {"noise", noise},
    };
    for (const auto& [name, fn] : methods)
        vm.defineMethod(proto, name, fn);
    // Present so movies find them; they leave the picture as it is.
    for (const char* name : {"applyFilter", "colorTransform", "copyChannel", "draw",
                             "generateFilterRect", "getColorBoundsRect", "hitTest", "merge",
                             "paletteMap", "perlinNoise", "pixelDissolve", "scroll", "threshold"})
        vm.defineMethod(proto, name, returnNothing);
    const std::pair<const char*, int> channels[] = {
        {"RED_CHANNEL", 1}, {"GREEN_CHANNEL", 2}, {"BLUE_CHANNEL", 4}, {"ALPHA_CHANNEL", 8}};
    for (const auto& [name, bit] : channels)
        ctor->define(name, bit, kDontEnum);
    // No library symbol can be loaded as a picture outside a movie's attach.
    vm.defineMethod(ctor, "loadBitmap", returnNothing);
}

} // namespace swivio::swf::avm1
