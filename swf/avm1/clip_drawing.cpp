// MovieClip's drawing methods (lineStyle, beginFill, lineTo...), setMask and hitTest.
#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "swf/avm1/builtins.h"
#include "swf/avm1/display_bounds.h"
#include "swf/avm1/movie_runtime.h"
#include "swf/avm1/number_conversion.h"
#include "swf/player/drawing.h"
#include "swf/player/hit_test.h"

namespace swivio::swf::avm1 {

namespace {

// Pen positions past this many twips are held at it, far outside any stage.
constexpr double kMaxTwips = 0x7FFFFFF;
// A gradient has at most this many stops.
constexpr int kMaxGradientStops = 15;

ScriptRuntime& runtimeOf(Interpreter& vm) {
    return static_cast<ScriptRuntime&>(vm.host());
}

DisplayObject* displayOf(const Value& self) {
    auto* clip = dynamic_cast<ClipObject*>(self.object());
    clip = clip ? clip->live() : nullptr;
    return clip ? clip->display() : nullptr;
}

// The clip's drawing, made on first use; null for something that is not a clip.
Drawing* drawingOf(const Value& self) {
    DisplayObject* d = displayOf(self);
    if (!d || !(d->isClip() || d->isRoot()))
        return nullptr;
    if (!d->drawing)
        d->drawing = std::make_shared<Drawing>();
    return d->drawing.get();
}

// Pixels to twips; what is not a number counts as 0.
int32_t twips(Interpreter& vm, const Value& v) {
    const double n = vm.toNumber(v) * 20;
    if (!std::isfinite(n))
        return 0;
    return int32_t(std::round(std::clamp(n, -kMaxTwips, kMaxTwips)));
}

double clamped(Interpreter& vm, const Value& v, double lo, double hi, double fallback) {
    if (v.isUndefined())
        return fallback;
    const double n = vm.toNumber(v);
    return std::isnan(n) ? fallback : std::clamp(n, lo, hi);
}

// 0xRRGGBB and an alpha of 0..100 (100 when missing).
Rgba colorOf(Interpreter& vm, const Value& rgb, const Value& alpha) {
    const uint32_t c = toUint32(vm.toNumber(rgb));
    const double a = clamped(vm, alpha, 0, 100, 100);
    return {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), uint8_t(std::lround(a * 2.55))};
}

bool named(Interpreter& vm, const Value& v, std::string_view name) {
    return v.isString() && vm.toString(v) == name;
}

Value lineStyle(Interpreter& vm, const Value& self, std::span<const Value> args) {
    Drawing* drawing = drawingOf(self);
    if (!drawing)
        return Value();
    if (argAt(args, 0).isUndefined()) {
        drawing->lineOff();
        return Value();
    }
    LineStyle line;
    // A width of 0 is a one-pixel hairline at any scale.
    line.width = uint16_t(std::lround(clamped(vm, args[0], 0, 255, 0) * 20));
    line.color = colorOf(vm, argAt(args, 1), argAt(args, 2));
    line.pixelHinting = vm.toBoolean(argAt(args, 3));
    const Value& scale = argAt(args, 4);
    // "vertical" keeps the width from following horizontal scaling, and the reverse.
    line.noHScale = named(vm, scale, "none") || named(vm, scale, "vertical");
    line.noVScale = named(vm, scale, "none") || named(vm, scale, "horizontal");
    const Value& caps = argAt(args, 5);
    line.startCap = line.endCap = named(vm, caps, "none")     ? CapStyle::None
                                  : named(vm, caps, "square") ? CapStyle::Square
                                                              : CapStyle::Round;
    const Value& join = argAt(args, 6);
    line.join = named(vm, join, "miter")   ? JoinStyle::Miter
                : named(vm, join, "bevel") ? JoinStyle::Bevel
                                           : JoinStyle::Round;
    line.miterLimit = float(clamped(vm, argAt(args, 7), 1, 255, 3));
    drawing->lineStyle(line);
    return Value();
}

Value beginFill(Interpreter& vm, const Value& self, std::span<const Value> args) {
    Drawing* drawing = drawingOf(self);
    if (!drawing)
        return Value();
    if (argAt(args, 0).isUndefined()) {
        drawing->beginFill(std::nullopt);
        return Value();
    }
    FillStyle fill;
    fill.color = colorOf(vm, args[0], argAt(args, 1));
    drawing->beginFill(fill);
    return Value();
}

double member(Interpreter& vm, Object* o, const char* name) {
    return vm.toNumber(vm.getMember(Value(o), name));
}

// A gradient's matrix as scripts give it: {matrixType: "box", x, y, w, h, r}, a flash.geom
// Matrix {a, b, c, d, tx, ty} over the 1638.4-pixel gradient square, or the 3x3 {a..i}
// whose unit square is the gradient's.
std::optional<Matrix> gradientMatrix(Interpreter& vm, const Value& v) {
    Object* o = v.object();
    if (!o)
        return std::nullopt;
    constexpr double kSquare = 1638.4; // the gradient square in pixels
    Matrix m;
    if (named(vm, vm.getMember(v, "matrixType"), "box")) {
        const double w = member(vm, o, "w"), h = member(vm, o, "h"), r = member(vm, o, "r");
        const double x = member(vm, o, "x"), y = member(vm, o, "y");
        m = {std::cos(r) * w / kSquare, std::sin(r) * w / kSquare, -std::sin(r) * h / kSquare,
             std::cos(r) * h / kSquare, (x + w / 2) * 20,          (y + h / 2) * 20};
    } else if (!vm.getMember(v, "tx").isUndefined()) {
        m = {member(vm, o, "a"), member(vm, o, "b"),       member(vm, o, "c"),
             member(vm, o, "d"), member(vm, o, "tx") * 20, member(vm, o, "ty") * 20};
    } else {
        m = {member(vm, o, "a") / kSquare, member(vm, o, "b") / kSquare,
             member(vm, o, "d") / kSquare, member(vm, o, "e") / kSquare,
             member(vm, o, "g") * 20,      member(vm, o, "h") * 20};
    }
    for (double* p : {&m.a, &m.b, &m.c, &m.d, &m.tx, &m.ty})
        if (!std::isfinite(*p))
            *p = 0;
    return m;
}

// A gradient fill from the arguments of beginGradientFill or lineGradientStyle; nullopt
// when they do not make one (unknown type, too few or too many arguments, arrays missing or
// of different lengths, a ratio outside 0..255).
std::optional<FillStyle> gradientFill(Interpreter& vm, std::span<const Value> args) {
    if (args.size() < 5 || args.size() > 8)
        return std::nullopt;
    const bool radial = named(vm, args[0], "radial");
    if (!radial && !named(vm, args[0], "linear"))
        return std::nullopt;
    Object* colors = args[1].object();
    Object* alphas = args[2].object();
    Object* ratios = args[3].object();
    if (!colors || !alphas || !ratios)
        return std::nullopt;
    const double count = member(vm, colors, "length");
    if (!(count >= 1) || count != member(vm, alphas, "length") ||
        count != member(vm, ratios, "length"))
        return std::nullopt;
    std::optional<Matrix> matrix = gradientMatrix(vm, args[4]);
    if (!matrix)
        return std::nullopt;
    FillStyle fill;
    fill.matrix = *matrix;
    const int stops = std::min(int(count), kMaxGradientStops);
    for (int i = 0; i < stops; ++i) {
        const std::string index = std::to_string(i);
        GradientStop stop;
        stop.color =
            colorOf(vm, vm.getMember(Value(colors), index), vm.getMember(Value(alphas), index));
        // Ratios are whole numbers (NaN is 0, -0.5 is 0).
        const double ratio = std::trunc(vm.toNumber(vm.getMember(Value(ratios), index)));
        if (ratio < 0 || ratio > 255)
            return std::nullopt;
        stop.ratio = std::isnan(ratio) ? 0 : uint8_t(ratio);
        fill.gradient.stops.push_back(stop);
    }
    const Value& spread = argAt(args, 5);
    fill.gradient.spread = named(vm, spread, "reflect")  ? SpreadMode::Reflect
                           : named(vm, spread, "repeat") ? SpreadMode::Repeat
                                                         : SpreadMode::Pad;
    fill.gradient.interpolation =
        named(vm, argAt(args, 6), "linearRGB") ? Interpolation::LinearRgb : Interpolation::Rgb;
    const double focal = clamped(vm, argAt(args, 7), -1, 1, 0);
    fill.type = !radial      ? FillType::LinearGradient
                : focal != 0 ? FillType::FocalRadialGradient
                             : FillType::RadialGradient;
    fill.gradient.focalPoint = float(focal);
    return fill;
}

// Arguments that make no gradient leave the fill as it was; an undefined type ends it.
Value beginGradientFill(Interpreter& vm, const Value& self, std::span<const Value> args) {
    Drawing* drawing = drawingOf(self);
    if (!drawing)
        return Value();
    if (argAt(args, 0).isUndefined())
        drawing->beginFill(std::nullopt);
    else if (std::optional<FillStyle> fill = gradientFill(vm, args))
        drawing->beginFill(fill);
    return Value();
}

Value lineGradientStyle(Interpreter& vm, const Value& self, std::span<const Value> args) {
    Drawing* drawing = drawingOf(self);
    const LineStyle* current = drawing ? drawing->currentLine() : nullptr;
    if (!current)
        return Value();
    if (std::optional<FillStyle> fill = gradientFill(vm, args)) {
        LineStyle line = *current;
        line.hasFill = true;
        line.fill = *fill;
        drawing->lineStyle(line);
    }
    return Value();
}

Value beginBitmapFill(Interpreter& vm, const Value& self, std::span<const Value> args) {
    Drawing* drawing = drawingOf(self);
    if (!drawing)
        return Value();
    if (!argAt(args, 0).object()) {
        drawing->beginFill(std::nullopt);
        return Value();
    }
    FillStyle fill;
    const bool repeat = argAt(args, 2).isUndefined() || vm.toBoolean(args[2]);
    const bool smooth = vm.toBoolean(argAt(args, 3));
    fill.type = repeat ? (smooth ? FillType::RepeatingBitmap : FillType::RepeatingBitmapHard)
                       : (smooth ? FillType::ClippedBitmap : FillType::ClippedBitmapHard);
    // Script bitmaps are not in the movie's dictionary: the fill shapes the drawing but
    // paints nothing.
    fill.bitmapId = 65535;
    fill.matrix = {20, 0, 0, 20, 0, 0};
    if (Object* m = argAt(args, 1).object()) {
        fill.matrix = {member(vm, m, "a") * 20, member(vm, m, "b") * 20,  member(vm, m, "c") * 20,
                       member(vm, m, "d") * 20, member(vm, m, "tx") * 20, member(vm, m, "ty") * 20};
        for (double* p : {&fill.matrix.a, &fill.matrix.b, &fill.matrix.c, &fill.matrix.d,
                          &fill.matrix.tx, &fill.matrix.ty})
            if (!std::isfinite(*p))
                *p = 0;
    }
    drawing->beginFill(fill);
    return Value();
}

Value endFill(Interpreter&, const Value& self, std::span<const Value>) {
    if (Drawing* drawing = drawingOf(self))
        drawing->endFill();
    return Value();
}

Value moveTo(Interpreter& vm, const Value& self, std::span<const Value> args) {
    Drawing* drawing = drawingOf(self);
    if (drawing && args.size() >= 2)
        drawing->moveTo(twips(vm, args[0]), twips(vm, args[1]));
    return Value();
}

Value lineTo(Interpreter& vm, const Value& self, std::span<const Value> args) {
    Drawing* drawing = drawingOf(self);
    if (drawing && args.size() >= 2)
        drawing->lineTo(twips(vm, args[0]), twips(vm, args[1]));
    return Value();
}

Value curveTo(Interpreter& vm, const Value& self, std::span<const Value> args) {
    Drawing* drawing = drawingOf(self);
    if (drawing && args.size() >= 4)
        drawing->curveTo(twips(vm, args[0]), twips(vm, args[1]), twips(vm, args[2]),
                         twips(vm, args[3]));
    return Value();
}

Value clear(Interpreter&, const Value& self, std::span<const Value>) {
    if (DisplayObject* d = displayOf(self))
        if (d->drawing)
            d->drawing->clear();
    return Value();
}

// setMask(clip or target path): the clip shows only where the mask draws; null or undefined
// removes the mask. False for a target that names no clip.
Value setMask(Interpreter& vm, const Value& self, std::span<const Value> args) {
    DisplayObject* d = displayOf(self);
    if (!d || args.empty())
        return Value();
    auto unlink = [&]() {
        if (DisplayObject* old = d->find(d->scriptMask); old && old->maskedObject == d->handle())
            old->maskedObject = {};
        d->scriptMask = {};
    };
    const Value& arg = args[0];
    if (arg.isUndefined() || arg.isNull()) {
        unlink();
        return true;
    }
    DisplayObject* mask = nullptr;
    if (auto* clip = dynamic_cast<ClipObject*>(arg.object())) {
        clip = clip->live();
        mask = clip ? clip->display() : nullptr;
    } else if (!arg.object()) {
        std::string path = vm.toString(arg);
        // "_level0:name" names the same clip as "_level0.name".
        std::replace(path.begin(), path.end(), ':', '.');
        auto* found =
            dynamic_cast<ClipObject*>(runtimeOf(vm).resolveTarget(vm.currentTarget(), path));
        mask = found ? found->display() : nullptr;
    }
    if (!mask)
        return false;
    unlink();
    // A mask serves one clip at a time: the clip it masked before is left unmasked.
    if (DisplayObject* before = mask->find(mask->maskedObject))
        if (before->scriptMask == mask->handle())
            before->scriptMask = {};
    d->scriptMask = mask->handle();
    mask->maskedObject = d->handle();
    // Masks set by script replace the timeline's: neither clip masks by clip depth any more.
    d->clipDepth = 0;
    mask->clipDepth = 0;
    return true;
}

struct MovieFonts : FontLookup {
    explicit MovieFonts(const MovieDefinition& m) : movie(m) {}
    const Font* font(uint16_t id) const override {
        const Character* c = movie.character(id);
        return c ? c->font.get() : nullptr;
    }
    const MovieDefinition& movie;
};

// The nearest object that holds both (each may be the other), or null in different trees.
const DisplayObject* commonParent(const DisplayObject& a, const DisplayObject& b) {
    for (const DisplayObject* p = &a; p; p = p->parent())
        for (const DisplayObject* q = &b; q; q = q->parent())
            if (p == q)
                return p;
    return nullptr;
}

bool overlap(const Bounds& a, const Bounds& b) {
    return !a.empty && !b.empty && a.xMin <= b.xMax && b.xMin <= a.xMax && a.yMin <= b.yMax &&
           b.yMin <= a.yMax;
}

// hitTest(x, y, shapeFlag) with a point in pixels of the root clip's space (moving the root
// moves the point with it), or hitTest(target): whether the two clips' bounds meet, both
// seen from the clip holding them.
Value hitTest(Interpreter& vm, const Value& self, std::span<const Value> args) {
    DisplayObject* d = displayOf(self);
    if (!d || args.empty())
        return false;
    if (args.size() >= 2) {
        const double rx = vm.toNumber(args[0]) * 20, ry = vm.toNumber(args[1]) * 20;
        if (!std::isfinite(rx) || !std::isfinite(ry))
            return false;
        const DisplayObject* root = d;
        while (root->parent())
            root = root->parent();
        // The stage point, in whole twips.
        const double x = std::round(root->matrix.mapX(rx, ry));
        const double y = std::round(root->matrix.mapY(rx, ry));
        if (vm.toBoolean(argAt(args, 2)))
            return objectHit(*d, x, y, MovieFonts(runtimeOf(vm).player().movie()));
        const Bounds b = displayBounds(*d, stageMatrix(*d));
        return !b.empty && x >= b.xMin && x <= b.xMax && y >= b.yMin && y <= b.yMax;
    }
    auto* other = dynamic_cast<ClipObject*>(args[0].object());
    other = other ? other->live() : nullptr;
    DisplayObject* o = other ? other->display() : nullptr;
    if (!o)
        return false;
    const DisplayObject* common = commonParent(*d, *o);
    const Matrix toCommon = common ? inverted(stageMatrix(*common)) : Matrix{};
    return overlap(displayBounds(*d, toCommon * stageMatrix(*d)),
                   displayBounds(*o, toCommon * stageMatrix(*o)));
}

} // namespace

void installClipDrawing(Interpreter& vm, Object* clipProto) {
    constexpr uint16_t kFlash6 = kDontEnum | kVersion6;
    constexpr uint16_t kFlash8 = kDontEnum | kVersion8;
    vm.defineMethod(clipProto, "lineStyle", lineStyle, kFlash6);
    vm.defineMethod(clipProto, "lineGradientStyle", lineGradientStyle, kFlash8);
    vm.defineMethod(clipProto, "beginFill", beginFill, kFlash6);
    vm.defineMethod(clipProto, "beginGradientFill", beginGradientFill, kFlash6);
    vm.defineMethod(clipProto, "beginBitmapFill", beginBitmapFill, kFlash8);
    vm.defineMethod(clipProto, "moveTo", moveTo, kFlash6);
    vm.defineMethod(clipProto, "lineTo", lineTo, kFlash6);
    vm.defineMethod(clipProto, "curveTo", curveTo, kFlash6);
    vm.defineMethod(clipProto, "endFill", endFill, kFlash6);
    vm.defineMethod(clipProto, "clear", clear, kFlash6);
    vm.defineMethod(clipProto, "setMask", setMask, kFlash6);
    vm.defineMethod(clipProto, "hitTest", hitTest);
}

} // namespace swivio::swf::avm1
