// The display properties clips gained in SWF 8, as accessors of MovieClip.prototype:
// blendMode, cacheAsBitmap, opaqueBackground and scrollRect.
#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

#include "swf/avm1/clip_object.h"
#include "swf/avm1/geom_builtins.h"
#include "swf/avm1/interpreter.h"

namespace swivio::swf::avm1 {

namespace {

// By blend mode number, from 1 (normal).
constexpr std::array<std::string_view, 14> kBlendNames = {
    "normal", "layer",    "multiply", "screen", "lighten", "darken",  "difference",
    "add",    "subtract", "invert",   "alpha",  "erase",   "overlay", "hardlight"};

DisplayObject* displayOf(const Value& self) {
    auto* clip = dynamic_cast<ClipObject*>(self.object());
    ClipObject* live = clip ? clip->live() : nullptr;
    return live ? live->display() : nullptr;
}

Value blendMode(Interpreter&, const Value& self, std::span<const Value>) {
    const DisplayObject* d = displayOf(self);
    if (!d)
        return Value();
    const size_t index = size_t(d->blendMode) - 1;
    return Value(kBlendNames[index < kBlendNames.size() ? index : 0]);
}

// A name or a number; anything else leaves the mode as it was.
Value setBlendMode(Interpreter& vm, const Value& self, std::span<const Value> args) {
    DisplayObject* d = displayOf(self);
    if (!d || args.empty())
        return Value();
    int mode = 0;
    if (args[0].isString()) {
        const std::string name = vm.toString(args[0]);
        for (size_t i = 0; i < kBlendNames.size(); ++i)
            if (name == kBlendNames[i])
                mode = int(i) + 1;
    } else if (!args[0].isNullish()) {
        const double n = vm.toNumber(args[0]);
        if (n >= 1 && n <= double(kBlendNames.size()))
            mode = int(n);
    }
    if (mode > 0)
        d->blendMode = BlendMode(mode);
    return Value();
}

Value cacheAsBitmap(Interpreter&, const Value& self, std::span<const Value>) {
    const DisplayObject* d = displayOf(self);
    return d ? Value(d->cacheAsBitmap) : Value();
}

Value setCacheAsBitmap(Interpreter& vm, const Value& self, std::span<const Value> args) {
    if (DisplayObject* d = displayOf(self); d && !args.empty())
        d->cacheAsBitmap = vm.toBoolean(args[0]);
    return Value();
}

Value opaqueBackground(Interpreter&, const Value& self, std::span<const Value>) {
    const DisplayObject* d = displayOf(self);
    if (!d || !d->opaqueBackground)
        return Value();
    return Value(double(*d->opaqueBackground));
}

// A colour 0xRRGGBB; undefined or null takes the background away.
Value setOpaqueBackground(Interpreter& vm, const Value& self, std::span<const Value> args) {
    DisplayObject* d = displayOf(self);
    if (!d || args.empty())
        return Value();
    if (args[0].isNullish())
        d->opaqueBackground.reset();
    else
        d->opaqueBackground = uint32_t(vm.toInt32(args[0])) & 0xFFFFFFu;
    return Value();
}

Value scrollRect(Interpreter& vm, const Value& self, std::span<const Value>) {
    const DisplayObject* d = displayOf(self);
    if (!d || !d->scrollRect)
        return Value();
    const Rect& r = *d->scrollRect;
    const Value args[] = {Value(r.xMin / 20.0), Value(r.yMin / 20.0),
                          Value((r.xMax - r.xMin) / 20.0), Value((r.yMax - r.yMin) / 20.0)};
    return geom::makeInstance(vm, "Rectangle", args);
}

// Anything with x, y, width and height (pixels); undefined or null shows everything again.
Value setScrollRect(Interpreter& vm, const Value& self, std::span<const Value> args) {
    DisplayObject* d = displayOf(self);
    if (!d || args.empty())
        return Value();
    if (!args[0].object()) {
        d->scrollRect.reset();
        return Value();
    }
    const auto twips = [&](const char* name) {
        const double v = vm.toNumber(vm.getMember(args[0], name)) * 20;
        return std::isfinite(v) ? std::clamp(v, -1e9, 1e9) : 0.0;
    };
    const double x = twips("x"), y = twips("y");
    const double w = std::max(0.0, twips("width")), h = std::max(0.0, twips("height"));
    d->scrollRect = Rect{int32_t(std::lround(x)), int32_t(std::lround(std::min(x + w, 1e9))),
                         int32_t(std::lround(y)), int32_t(std::lround(std::min(y + h, 1e9)))};
    return Value();
}

} // namespace

void installClipDisplayProperties(Interpreter& vm, Object* clipProto) {
    constexpr int kFlags = kDontEnum | kVersion8;
    clipProto->defineAccessor("blendMode", vm.makeNative(blendMode), vm.makeNative(setBlendMode),
                              kFlags);
    clipProto->defineAccessor("cacheAsBitmap", vm.makeNative(cacheAsBitmap),
                              vm.makeNative(setCacheAsBitmap), kFlags);
    clipProto->defineAccessor("opaqueBackground", vm.makeNative(opaqueBackground),
                              vm.makeNative(setOpaqueBackground), kFlags);
    clipProto->defineAccessor("scrollRect", vm.makeNative(scrollRect),
                              vm.makeNative(setScrollRect), kFlags);
}

} // namespace swivio::swf::avm1
