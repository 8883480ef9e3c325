#pragma once

// flash.display.BitmapData, shared by the files that make up the class: the object that
// holds the pixels and the argument readers every method uses.

#include <memory>
#include <optional>
#include <span>

#include "swf/avm1/builtins.h"
#include "swf/format/bitmap.h"
#include "swf/image/bitmap_ops.h"

namespace swivio::swf::avm1 {

class BitmapDataObject;

// The pixels of a bitmap as the renderer takes them, remade when the bitmap has changed.
// Outlives the bitmap: once it is collected, the last pixels stay on show.
class BitmapSnapshot {
public:
    explicit BitmapSnapshot(BitmapDataObject* source) : m_source(source) {}
    // Null while the bitmap is disposed.
    std::shared_ptr<const Bitmap> current();
    // The bitmap is going away: keep what it shows now.
    void detach();

private:
    BitmapDataObject* m_source;
    uint64_t m_seen = ~uint64_t(0);
    std::shared_ptr<const Bitmap> m_bitmap;
};

class BitmapDataObject : public Object {
public:
    using Object::Object;
    ~BitmapDataObject() override;
    BitmapDataObject(const BitmapDataObject&) = delete;
    BitmapDataObject& operator=(const BitmapDataObject&) = delete;

    // Takes room for width x height pixels of the stored colour fill, or stops the script
    // when every bitmap together would pass the bound.
    void allocate(Interpreter& vm, int w, int h, uint32_t fill);
    void release();
    ObjectKind kind() const override { return ObjectKind::BitmapData; }
    std::size_t footprint() const override {
        return Object::footprint() + image.pixels.size() * sizeof(uint32_t);
    }
    bool valid() const { return image.width > 0; }
    // The renderer's view of the pixels, made the first time the bitmap is shown.
    std::shared_ptr<BitmapSnapshot> snapshot();

    image::BitmapPixels image;
    // Counts the calls that may have changed the pixels, so a snapshot knows when to remake.
    uint64_t changes = 0;

private:
    std::shared_ptr<BitmapSnapshot> m_snapshot;
};

BitmapDataObject* bitmapOf(const Value& value);
// A live bitmap (made with a valid size and not disposed), or null.
BitmapDataObject* liveBitmap(const Value& value);
// A method works on a live bitmap given at least the arguments it needs; otherwise it answers
// -1 and changes nothing.
BitmapDataObject* usable(const Value& thisValue, std::span<const Value> args, std::size_t needed);

uint32_t colorArgument(Interpreter& vm, const Value& value);
// A rectangle argument: an object with x, y, width and height, in whole pixels; nothing when
// one is missing.
std::optional<image::PixelRect> rectArgument(Interpreter& vm, const Value& value);
// A point argument in whole pixels; missing coordinates count as 0.
std::pair<int, int> pointArgument(Interpreter& vm, const Value& value);
// A point argument that must have both coordinates.
std::optional<std::pair<int, int>> strictPointArgument(Interpreter& vm, const Value& value);
// A pixel coordinate as the player reads it: NaN and infinities become 0.
int pixelCoordinate(Interpreter& vm, const Value& value);
// Whether value is an instance of flash.geom.<className>.
bool isGeomInstance(Interpreter& vm, const Value& value, const char* className);

// Installed by installBitmapDataBuiltins on the class' prototype.
void installBitmapDataOperations(Interpreter& vm, Object* proto);
void installBitmapDataNoise(Interpreter& vm, Object* proto);
void installBitmapDataFilters(Interpreter& vm, Object* proto);

} // namespace swivio::swf::avm1
