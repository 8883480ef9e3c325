// Where bitmaps meet the display list: MovieClip.attachBitmap shows a bitmap,
// BitmapData.draw paints a clip or another bitmap into one, and BitmapData.loadBitmap makes
// one from an exported bitmap character.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "swf/avm1/builtins_bitmapdata.h"
#include "swf/avm1/clip_object.h"
#include "swf/avm1/movie_runtime.h"
#include "swf/format/character.h"
#include "swf/player/render_emitter.h"
#include "swf/raster/renderer.h"

namespace swivio::swf::avm1 {

namespace {

constexpr uint16_t kNoBitmapId = 65535;

// A rectangle of the picture's size filled with it, one pixel to 20 twips.
std::shared_ptr<const Shape> pictureShape(std::shared_ptr<const Bitmap> bitmap, bool smoothing) {
    auto shape = std::make_shared<Shape>();
    const int32_t w = bitmap->width * 20, h = bitmap->height * 20;
    shape->bounds = {0, w, 0, h};
    StyleGroup group;
    FillStyle fill;
    fill.type = smoothing ? FillType::ClippedBitmap : FillType::ClippedBitmapHard;
    fill.bitmapId = kNoBitmapId;
    fill.picture = std::move(bitmap);
    fill.matrix.a = fill.matrix.d = 20;
    group.fills.push_back(std::move(fill));
    const int32_t xs[] = {0, w, w, 0, 0}, ys[] = {0, 0, h, h, 0};
    for (int i = 0; i < 4; ++i) {
        Edge e;
        e.x0 = xs[i];
        e.y0 = ys[i];
        e.x1 = xs[i + 1];
        e.y1 = ys[i + 1];
        e.fill1 = 1;
        group.edges.push_back(e);
    }
    shape->groups.push_back(std::move(group));
    return shape;
}

// What an attached bitmap shows: the bitmap's pixels of the moment.
class AttachedBitmap : public ScriptPicture {
public:
    AttachedBitmap(std::shared_ptr<BitmapSnapshot> snapshot, bool smoothing)
        : m_snapshot(std::move(snapshot)), m_smoothing(smoothing) {}

    std::shared_ptr<const Shape> shape() override {
        std::shared_ptr<const Bitmap> bitmap = m_snapshot->current();
        if (bitmap != m_shownBitmap) {
            m_shownBitmap = bitmap;
            m_shape = bitmap ? pictureShape(bitmap, m_smoothing) : nullptr;
        }
        return m_shape;
    }

private:
    std::shared_ptr<BitmapSnapshot> m_snapshot;
    bool m_smoothing;
    std::shared_ptr<const Bitmap> m_shownBitmap;
    std::shared_ptr<const Shape> m_shape;
};

ScriptRuntime& runtimeOf(Interpreter& vm) {
    return static_cast<ScriptRuntime&>(vm.host());
}

DisplayObject* displayOf(const Value& value) {
    auto* clip = dynamic_cast<ClipObject*>(value.object());
    return clip ? clip->display() : nullptr;
}

// clip.attachBitmap(bitmap, depth, pixelSnapping, smoothing)
Value attachBitmap(Interpreter& vm, const Value& self, std::span<const Value> args) {
    DisplayObject* parent = displayOf(self);
    BitmapDataObject* bitmap = liveBitmap(argAt(args, 0));
    if (!parent || !parent->isClip() || !bitmap || args.size() < 2)
        return Value();
    const double depth = vm.toNumber(args[1]);
    if (!std::isfinite(depth) || std::fabs(depth) > 2e9)
        return Value();
    const bool smoothing = args.size() > 3 && vm.toBoolean(args[3]);
    runtimeOf(vm).player().attachPicture(
        *parent, std::make_shared<AttachedBitmap>(bitmap->snapshot(), smoothing),
        int(depth) + ScriptRuntime::kDepthOffset);
    return Value();
}

Matrix matrixArgument(Interpreter& vm, const Value& value) {
    Matrix m;
    if (!value.isObject())
        return m;
    auto number = [&](const char* name, double fallback) {
        const double v = vm.toNumber(vm.getMember(value, name));
        return std::isfinite(v) ? v : fallback;
    };
    m.a = number("a", 1);
    m.b = number("b", 0);
    m.c = number("c", 0);
    m.d = number("d", 1);
    // Pixels to twips: the commands are in twips.
    m.tx = number("tx", 0) * 20;
    m.ty = number("ty", 0) * 20;
    return m;
}

ColorTransform colorTransformArgument(Interpreter& vm, const Value& value) {
    ColorTransform ct;
    if (!isGeomInstance(vm, value, "ColorTransform"))
        return ct;
    auto number = [&](const char* name, float fallback) {
        const double v = vm.toNumber(vm.getMember(value, name));
        return std::isfinite(v) ? float(v) : fallback;
    };
    ct.mr = number("redMultiplier", 1);
    ct.mg = number("greenMultiplier", 1);
    ct.mb = number("blueMultiplier", 1);
    ct.ma = number("alphaMultiplier", 1);
    ct.ar = number("redOffset", 0);
    ct.ag = number("greenOffset", 0);
    ct.ab = number("blueOffset", 0);
    ct.aa = number("alphaOffset", 0);
    return ct;
}

// Renders commands (in twips, one pixel to 20) over a solid colour into a frame the size of
// the area [x0, x1) x [y0, y1) of the target.
Frame renderOver(const RenderCommandList& commands, const BitmapLookup& bitmaps, int x0, int y0,
                 int width, int height, uint32_t background) {
    Frame frame((width + 3) / 4 * 4, height);
    RenderViewport viewport;
    viewport.stage = {0, frame.width() * 20, 0, height * 20};
    viewport.playerWidth = frame.width();
    viewport.playerHeight = height;
    viewport.originX = x0;
    viewport.originY = y0;
    viewport.clipWidth = width;
    viewport.clipHeight = height;
    Renderer renderer;
    renderer.setPictureReuse(false);
    renderer.render(commands, bitmaps, viewport, frame, background);
    return frame;
}

// draw(source, matrix, colorTransform, blendMode, clipRect, smoothing): paints a clip's
// content (without its own transform) or a bitmap over this bitmap, through the matrix
// (pixels) and colour transform, inside clipRect.
Value draw(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    BitmapDataObject* bitmap = usable(thisValue, args, 1);
    if (!bitmap)
        return -1;
    ScriptRuntime& runtime = runtimeOf(vm);
    const Matrix transform = matrixArgument(vm, argAt(args, 1));
    const ColorTransform tint = colorTransformArgument(vm, argAt(args, 2));
    const bool smoothing = args.size() > 5 && vm.toBoolean(args[5]);
    RenderCommandList commands;
    if (BitmapDataObject* source = liveBitmap(args[0])) {
        // A bitmap drawn into itself draws what it held before.
        std::shared_ptr<const Bitmap> pixels = BitmapSnapshot(source).current();
        if (!pixels)
            return Value();
        RenderCommand command;
        command.shape = pictureShape(std::move(pixels), smoothing);
        commands.push_back(std::move(command));
    } else if (DisplayObject* clip = displayOf(args[0])) {
        // The source's own place and colour are left out: the matrix stands for them.
        const Matrix ownMatrix = clip->matrix;
        const ColorTransform ownColor = clip->colorTransform;
        clip->matrix = {};
        clip->colorTransform = {};
        RenderEmitter emitter(runtime.movieDefinition(), runtime.bitmapLibrary());
        emitter.emit(*clip, commands);
        clip->matrix = ownMatrix;
        clip->colorTransform = ownColor;
    } else {
        return Value();
    }
    for (RenderCommand& command : commands) {
        command.matrix = transform * command.matrix;
        command.colorTransform = tint * command.colorTransform;
    }
    image::BitmapPixels& target = bitmap->image;
    int x0 = 0, y0 = 0, x1 = target.width, y1 = target.height;
    if (const auto clip = rectArgument(vm, argAt(args, 4))) {
        x0 = std::clamp(clip->x, 0, target.width);
        y0 = std::clamp(clip->y, 0, target.height);
        x1 = int(std::clamp<int64_t>(int64_t(clip->x) + clip->width, x0, target.width));
        y1 = int(std::clamp<int64_t>(int64_t(clip->y) + clip->height, y0, target.height));
    }
    if (x1 <= x0 || y1 <= y0 || commands.empty())
        return Value();
    const int width = x1 - x0, height = y1 - y0;
    // Painted over black and over white: the difference tells each pixel's coverage.
    const Frame overBlack =
        renderOver(commands, runtime.bitmapLibrary(), x0, y0, width, height, 0x000000);
    const Frame overWhite =
        renderOver(commands, runtime.bitmapLibrary(), x0, y0, width, height, 0xFFFFFF);
    for (int y = 0; y < height; ++y) {
        const uint8_t* black = overBlack.topRow(y);
        const uint8_t* white = overWhite.topRow(y);
        for (int x = 0; x < width; ++x) {
            // Frame bytes are blue, green, red.
            int alphaSum = 0;
            for (int c = 0; c < 3; ++c)
                alphaSum += 255 - std::clamp(white[x * 3 + c] - black[x * 3 + c], 0, 255);
            const uint32_t alpha = uint32_t((alphaSum + 1) / 3);
            if (alpha == 0)
                continue;
            uint32_t& pixel = target.at(x0 + x, y0 + y);
            const uint32_t keep = 255 - alpha;
            uint32_t out = std::min(alpha + ((pixel >> 24) * keep + 127) / 255, 255u) << 24;
            const int shifts[3] = {0, 8, 16}; // blue, green, red in the stored word
            for (int c = 0; c < 3; ++c) {
                const uint32_t src = std::min<uint32_t>(black[x * 3 + c], alpha);
                const uint32_t dst = (pixel >> shifts[c]) & 0xFF;
                out |= std::min(src + (dst * keep + 127) / 255, 255u) << shifts[c];
            }
            pixel = target.transparent ? out : (out | 0xFF000000u);
        }
    }
    return Value();
}

// BitmapData.loadBitmap(linkage): a new bitmap holding an exported bitmap character, or
// undefined when there is none.
Value loadBitmap(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    if (args.empty())
        return Value();
    ScriptRuntime& runtime = runtimeOf(vm);
    const Character* character =
        runtime.player().movie().exportedCharacter(vm.toString(args[0]), vm.caseSensitive());
    if (!character || character->type != CharacterType::Bitmap)
        return Value();
    const Bitmap* pixels = runtime.bitmapLibrary().bitmap(character->id);
    if (!pixels || pixels->width <= 0 ||
        pixels->pixels.size() != std::size_t(pixels->width) * std::size_t(pixels->height))
        return Value();
    // Made through the class the method was called on, so a subclass gets its prototype;
    // called on anything else, through flash.display.BitmapData.
    Value ctor = thisValue;
    if (!ctor.isObject() || ctor.object()->kind() != ObjectKind::Function) {
        const Property* flash = vm.global()->properties().find("flash", true);
        ctor = vm.getMember(vm.getMember(flash ? flash->value : Value(), "display"), "BitmapData");
    }
    Value sizes[] = {Value(pixels->width), Value(pixels->height), Value(!pixels->opaque), Value(0)};
    const Value made = vm.construct(ctor, sizes);
    BitmapDataObject* bitmap = liveBitmap(made);
    if (!bitmap)
        return made;
    for (std::size_t i = 0; i < pixels->pixels.size(); ++i) {
        uint8_t bytes[4];
        std::memcpy(bytes, &pixels->pixels[i], sizeof bytes);
        const uint32_t argb = uint32_t(bytes[3]) << 24 | uint32_t(bytes[0]) << 16 |
                              uint32_t(bytes[1]) << 8 | bytes[2];
        bitmap->image.pixels[i] = bitmap->image.transparent ? argb : (argb | 0xFF000000u);
    }
    return made;
}

} // namespace

void installBitmapDataDisplay(ScriptRuntime& runtime) {
    Interpreter& vm = runtime.interpreter();
    vm.defineMethod(vm.builtins().clipProto, "attachBitmap", attachBitmap, kDontEnum | kVersion8);
    const Property* flash = vm.global()->properties().find("flash", true);
    const Value ctor =
        vm.getMember(vm.getMember(flash ? flash->value : Value(), "display"), "BitmapData");
    Object* ctorObject = ctor.object();
    if (!ctorObject)
        return;
    vm.defineMethod(ctorObject, "loadBitmap", loadBitmap);
    if (Object* proto = vm.getMember(ctor, "prototype").object())
        vm.defineMethod(proto, "draw", draw);
}

} // namespace swivio::swf::avm1
