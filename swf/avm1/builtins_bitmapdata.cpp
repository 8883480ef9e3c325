// flash.display.BitmapData: a picture a script makes and edits pixel by pixel. Pixels are
// kept as 32-bit ARGB; a bitmap made opaque keeps every alpha at 255.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <vector>

#include "swf/avm1/builtins_bitmapdata.h"

namespace swivio::swf::avm1 {

namespace {

// The largest side movies before version 10 may ask for; later ones may ask for sides up to
// 8191 pixels as long as the whole holds fewer than 2^24 pixels.
constexpr double kMaxSide = 2880;
constexpr double kMaxSideSwf10 = 8191;
constexpr double kMaxPixelsSwf10 = 16777215;

bool sizeAllowed(int version, double width, double height) {
    if (!(width >= 1 && height >= 1))
        return false;
    if (version < 10)
        return width <= kMaxSide && height <= kMaxSide;
    return width <= kMaxSideSwf10 && height <= kMaxSideSwf10 && width * height <= kMaxPixelsSwf10;
}

// Pixels held by every live bitmap of the process, and the most scripts may make them hold
// (256 MiB of ARGB, eight bitmaps of the largest size). Garbage is only collected between
// frames, so a loop making bitmaps would otherwise grow without bound within one.
std::atomic<std::size_t> gLivePixels{0};
constexpr std::size_t kMaxLivePixels = std::size_t(1) << 26;

} // namespace

void BitmapDataObject::allocate(Interpreter& vm, int w, int h, uint32_t fill) {
    const std::size_t count = std::size_t(w) * std::size_t(h);
    if (gLivePixels.fetch_add(count) + count > kMaxLivePixels) {
        gLivePixels.fetch_sub(count);
        vm.abortScript("bitmaps of this movie would hold more than " +
                       std::to_string(kMaxLivePixels) + " pixels");
    }
    release();
    ++changes;
    image.width = w;
    image.height = h;
    image.pixels.assign(count, fill);
}

BitmapDataObject::~BitmapDataObject() {
    if (m_snapshot)
        m_snapshot->detach();
    release();
}

std::shared_ptr<BitmapSnapshot> BitmapDataObject::snapshot() {
    if (!m_snapshot)
        m_snapshot = std::make_shared<BitmapSnapshot>(this);
    return m_snapshot;
}

std::shared_ptr<const Bitmap> BitmapSnapshot::current() {
    if (!m_source || m_source->changes == m_seen)
        return m_bitmap;
    m_seen = m_source->changes;
    const image::BitmapPixels& image = m_source->image;
    if (image.width <= 0) {
        m_bitmap.reset();
        return m_bitmap;
    }
    auto bitmap = std::make_shared<Bitmap>();
    bitmap->width = image.width;
    bitmap->height = image.height;
    bitmap->opaque = !image.transparent;
    bitmap->pixels.resize(image.pixels.size());
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        const uint32_t p = image.pixels[i];
        const uint8_t bytes[4] = {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), uint8_t(p >> 24)};
        std::memcpy(&bitmap->pixels[i], bytes, sizeof bytes);
    }
    m_bitmap = std::move(bitmap);
    return m_bitmap;
}

void BitmapSnapshot::detach() {
    current();
    m_source = nullptr;
}

void BitmapDataObject::release() {
    ++changes;
    gLivePixels.fetch_sub(image.pixels.size());
    image.pixels.clear();
    image.pixels.shrink_to_fit();
    image.width = image.height = 0;
}

BitmapDataObject* bitmapOf(const Value& value) {
    Object* object = value.object();
    return object && object->kind() == ObjectKind::BitmapData
               ? static_cast<BitmapDataObject*>(object)
               : nullptr;
}

BitmapDataObject* liveBitmap(const Value& value) {
    BitmapDataObject* bitmap = bitmapOf(value);
    return bitmap && bitmap->valid() ? bitmap : nullptr;
}

BitmapDataObject* usable(const Value& thisValue, std::span<const Value> args, std::size_t needed) {
    BitmapDataObject* bitmap = liveBitmap(thisValue);
    if (!bitmap || args.size() < needed)
        return nullptr;
    ++bitmap->changes;
    return bitmap;
}

uint32_t colorArgument(Interpreter& vm, const Value& value) {
    return uint32_t(vm.toInt32(value));
}

int pixelCoordinate(Interpreter& vm, const Value& value) {
    const double number = vm.toNumber(value);
    if (!std::isfinite(number))
        return 0;
    return int(std::clamp(std::trunc(number), -1e9, 1e9));
}

std::optional<image::PixelRect> rectArgument(Interpreter& vm, const Value& value) {
    if (!value.isObject())
        return std::nullopt;
    Value parts[4];
    const char* names[4] = {"x", "y", "width", "height"};
    for (int i = 0; i < 4; ++i) {
        parts[i] = vm.getMember(value, names[i]);
        if (parts[i].isUndefined())
            return std::nullopt;
    }
    return image::PixelRect{pixelCoordinate(vm, parts[0]), pixelCoordinate(vm, parts[1]),
                            pixelCoordinate(vm, parts[2]), pixelCoordinate(vm, parts[3])};
}

std::pair<int, int> pointArgument(Interpreter& vm, const Value& value) {
    if (!value.isObject())
        return {0, 0};
    return {pixelCoordinate(vm, vm.getMember(value, "x")),
            pixelCoordinate(vm, vm.getMember(value, "y"))};
}

std::optional<std::pair<int, int>> strictPointArgument(Interpreter& vm, const Value& value) {
    if (!value.isObject())
        return std::nullopt;
    const Value x = vm.getMember(value, "x");
    const Value y = vm.getMember(value, "y");
    if (x.isUndefined() || y.isUndefined())
        return std::nullopt;
    return std::pair{pixelCoordinate(vm, x), pixelCoordinate(vm, y)};
}

bool isGeomInstance(Interpreter& vm, const Value& value, const char* className) {
    if (!value.isObject())
        return false;
    const Property* own = vm.global()->properties().find("flash", true);
    const Value flash = own ? own->value : Value();
    const Value ctor = vm.getMember(vm.getMember(flash, "geom"), className);
    return ctor.isObject() && vm.instanceOf(value.object(), ctor.object());
}

namespace {

Object* allocateBitmapData(Interpreter& vm, Object* proto) {
    return vm.heap().make<BitmapDataObject>(proto);
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

// new BitmapData(width, height, transparent = true, fillColor = 0xFFFFFFFF). A size the
// movie's version does not allow makes no object: new answers undefined.
Value bitmapConstructor(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    BitmapDataObject* bitmap = bitmapOf(thisValue);
    if (!bitmap)
        return Value();
    const double width = vm.toInteger(argAt(args, 0));
    const double height = vm.toInteger(argAt(args, 1));
    if (!sizeAllowed(vm.version(), width, height)) {
        vm.refuseConstruction();
        return Value();
    }
    bitmap->image.transparent = args.size() < 3 || vm.toBoolean(args[2]);
    const uint32_t fill = args.size() < 4 ? 0xFFFFFFFFu : colorArgument(vm, args[3]);
    bitmap->allocate(vm, int(width), int(height), bitmap->image.storedForm(fill));
    return Value();
}

Value getWidth(Interpreter&, const Value& thisValue, std::span<const Value>) {
    BitmapDataObject* bitmap = liveBitmap(thisValue);
    return bitmap ? Value(bitmap->image.width) : Value(-1);
}

Value getHeight(Interpreter&, const Value& thisValue, std::span<const Value>) {
    BitmapDataObject* bitmap = liveBitmap(thisValue);
    return bitmap ? Value(bitmap->image.height) : Value(-1);
}

Value getTransparent(Interpreter&, const Value& thisValue, std::span<const Value>) {
    BitmapDataObject* bitmap = liveBitmap(thisValue);
    return bitmap ? Value(bitmap->image.transparent) : Value(-1);
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
    Value args[] = {Value(0), Value(0), Value(bitmap->image.width), Value(bitmap->image.height)};
    return vm.construct(rectangle, args);
}

bool pixelArguments(Interpreter& vm, std::span<const Value> args, BitmapDataObject* bitmap, int& x,
                    int& y) {
    const double px = vm.toInteger(argAt(args, 0));
    const double py = vm.toInteger(argAt(args, 1));
    if (!bitmap || !(px >= 0 && py >= 0 && px < bitmap->image.width && py < bitmap->image.height))
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
    return double(image::unmultiplyArgb(bitmap->image.at(x, y)) & 0xFFFFFF);
}

Value getPixel32(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    BitmapDataObject* bitmap = usable(thisValue, args, 2);
    if (!bitmap)
        return -1;
    int x = 0, y = 0;
    if (!pixelArguments(vm, args, bitmap, x, y))
        return 0;
    return double(int32_t(image::unmultiplyArgb(bitmap->image.at(x, y))));
}

// setPixel keeps the pixel's alpha; setPixel32 sets it too (when the bitmap has one).
Value setPixel(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    BitmapDataObject* bitmap = usable(thisValue, args, 3);
    if (!bitmap)
        return -1;
    int x = 0, y = 0;
    if (!pixelArguments(vm, args, bitmap, x, y))
        return Value();
    uint32_t& pixel = bitmap->image.at(x, y);
    pixel = bitmap->image.storedForm((pixel & 0xFF000000u) |
                                     (colorArgument(vm, argAt(args, 2)) & 0xFFFFFF));
    return Value();
}

Value setPixel32(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    BitmapDataObject* bitmap = usable(thisValue, args, 3);
    if (!bitmap)
        return -1;
    int x = 0, y = 0;
    if (pixelArguments(vm, args, bitmap, x, y))
        bitmap->image.at(x, y) = bitmap->image.storedForm(colorArgument(vm, argAt(args, 2)));
    return 0;
}

Value fillRect(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    BitmapDataObject* bitmap = usable(thisValue, args, 2);
    if (!bitmap)
        return -1;
    if (!args[0].isObject())
        return Value();
    const Area area = areaOf(vm, args[0], bitmap->image.width, bitmap->image.height);
    const uint32_t color = bitmap->image.storedForm(colorArgument(vm, argAt(args, 1)));
    for (int y = area.y0; y < area.y1; ++y)
        for (int x = area.x0; x < area.x1; ++x)
            bitmap->image.at(x, y) = color;
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
    const uint32_t color = bitmap->image.storedForm(colorArgument(vm, argAt(args, 2)));
    const uint32_t target = bitmap->image.at(x, y);
    if (target == color)
        return 0;
    // Each pixel is pushed at most once, as it is recoloured when pushed.
    std::vector<std::pair<int, int>> pending{{x, y}};
    bitmap->image.at(x, y) = color;
    while (!pending.empty()) {
        auto [px, py] = pending.back();
        pending.pop_back();
        const std::pair<int, int> next[] = {{px + 1, py}, {px - 1, py}, {px, py + 1}, {px, py - 1}};
        for (const auto& [nx, ny] : next) {
            if (bitmap->image.contains(nx, ny) && bitmap->image.at(nx, ny) == target) {
                bitmap->image.at(nx, ny) = color;
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
    const auto rect = rectArgument(vm, args[1]);
    if (!source || !rect)
        return Value();
    const auto [destX, destY] = pointArgument(vm, args[2]);
    image::copyPixels(bitmap->image, source->image, *rect, destX, destY);
    return Value();
}

Value cloneBitmap(Interpreter& vm, const Value& thisValue, std::span<const Value>) {
    BitmapDataObject* bitmap = bitmapOf(thisValue);
    if (!bitmap)
        return Value();
    // The copy shares the original's prototype, whatever a script has made it.
    vm.checkCells();
    auto* copy = vm.heap().make<BitmapDataObject>(bitmap->proto());
    copy->image.transparent = bitmap->image.transparent;
    if (bitmap->valid()) {
        copy->allocate(vm, bitmap->image.width, bitmap->image.height, 0);
        copy->image.pixels = bitmap->image.pixels;
    }
    return copy;
}

Value dispose(Interpreter&, const Value& thisValue, std::span<const Value>) {
    if (BitmapDataObject* bitmap = bitmapOf(thisValue))
        bitmap->release();
    return Value();
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
    };
    for (const auto& [name, fn] : methods)
        vm.defineMethod(proto, name, fn);
    installBitmapDataOperations(vm, proto);
    installBitmapDataNoise(vm, proto);
    installBitmapDataFilters(vm, proto);
    // Drawing needs a movie: its host replaces this with the real one.
    vm.defineMethod(proto, "draw", returnNothing);
    const std::pair<const char*, int> channels[] = {
        {"RED_CHANNEL", 1}, {"GREEN_CHANNEL", 2}, {"BLUE_CHANNEL", 4}, {"ALPHA_CHANNEL", 8}};
    for (const auto& [name, bit] : channels)
        ctor->define(name, bit, kDontEnum);
    // No library symbol can be loaded as a picture outside a movie's attach.
    vm.defineMethod(ctor, "loadBitmap", returnNothing);
}

} // namespace swivio::swf::avm1
