// MovieClip's methods, and Object.registerClass.
#include <cmath>

#include "swf/avm1/amf0.h"
#include "swf/avm1/builtins.h"
#include "swf/avm1/display_bounds.h"
#include "swf/avm1/geom_builtins.h"
#include "swf/avm1/movie_runtime.h"
#include "swf/avm1/number_conversion.h"
#include "swf/avm1/point_mapping.h"
#include "swf/format/character.h"

namespace swivio::swf::avm1 {

// clip_drawing.cpp: the drawing methods, setMask and hitTest.
void installClipDrawing(Interpreter& vm, Object* clipProto);
// clip_display_properties.cpp: blendMode, cacheAsBitmap, opaqueBackground, scrollRect.
void installClipDisplayProperties(Interpreter& vm, Object* clipProto);

namespace {

ScriptRuntime& runtimeOf(Interpreter& vm) { return static_cast<ScriptRuntime&>(vm.host()); }

ClipObject* clipOf(const Value& thisValue) {
    auto* clip = dynamic_cast<ClipObject*>(thisValue.object());
    return clip ? clip->live() : nullptr;
}

DisplayObject* displayOf(const Value& thisValue) {
    ClipObject* clip = clipOf(thisValue);
    return clip ? clip->display() : nullptr;
}

Value play(Interpreter& vm, const Value& self, std::span<const Value>) {
    runtimeOf(vm).play(clipOf(self), true);
    return Value();
}

Value stop(Interpreter& vm, const Value& self, std::span<const Value>) {
    runtimeOf(vm).play(clipOf(self), false);
    return Value();
}

// Frame numbers wrap as 32-bit integers, and so does the step to the 0-based frame: a frame
// before the first goes nowhere, one past the end goes to the last.
void gotoFrameNumber(Interpreter& vm, ClipObject* clip, double n, bool play) {
    const int32_t frame = int32_t(uint32_t(toInt32(n)) - 1u);
    if (frame < 0)
        return;
    runtimeOf(vm).gotoFrame(clip, std::min(frame, int32_t(1) << 30), play);
}

// A string (or an object, by its text) names a frame when it reads as a number, else a label.
Value gotoFrame(Interpreter& vm, const Value& self, std::span<const Value> args, bool play) {
    ClipObject* clip = clipOf(self);
    if (!clip || args.empty())
        return Value();
    const Value& frame = args[0];
    if (frame.isString() || frame.isObject()) {
        const Value text = frame.isString() ? frame : Value(vm.toString(frame));
        double n = vm.toNumber(text);
        if (std::isfinite(n))
            gotoFrameNumber(vm, clip, n, play);
        else
            runtimeOf(vm).gotoLabel(clip, text.string(), play);
        return Value();
    }
    gotoFrameNumber(vm, clip, vm.toNumber(frame), play);
    return Value();
}

Value gotoAndPlay(Interpreter& vm, const Value& self, std::span<const Value> args) {
    return gotoFrame(vm, self, args, true);
}

Value gotoAndStop(Interpreter& vm, const Value& self, std::span<const Value> args) {
    return gotoFrame(vm, self, args, false);
}

Value nextFrame(Interpreter& vm, const Value& self, std::span<const Value>) {
    runtimeOf(vm).nextFrame(clipOf(self));
    return Value();
}

Value prevFrame(Interpreter& vm, const Value& self, std::span<const Value>) {
    runtimeOf(vm).prevFrame(clipOf(self));
    return Value();
}

Value getDepth(Interpreter&, const Value& self, std::span<const Value>) {
    DisplayObject* d = displayOf(self);
    if (!d)
        return Value();
    return double(d->isRoot() ? -ScriptRuntime::kDepthOffset : d->depth - ScriptRuntime::kDepthOffset);
}

Value getNextHighestDepth(Interpreter&, const Value& self, std::span<const Value>) {
    DisplayObject* d = displayOf(self);
    if (!d)
        return Value();
    int highest = -1;
    for (auto& [depth, child] : d->children()) {
        (void)child;
        highest = std::max(highest, depth - ScriptRuntime::kDepthOffset);
    }
    return double(highest + 1);
}

Value getInstanceAtDepth(Interpreter& vm, const Value& self, std::span<const Value> args) {
    DisplayObject* d = displayOf(self);
    if (!d || args.empty())
        return Value();
    DisplayObject* child =
        d->childAtDepth(int(vm.toInteger(args[0])) + ScriptRuntime::kDepthOffset);
    if (!child)
        return Value();
    // Shapes, static text and bitmaps have no script object: the clip holding them answers.
    if (!child->isClip() && !child->editField && child->character() &&
        child->character()->type != CharacterType::Button)
        return Value(runtimeOf(vm).clipFor(*d));
    return Value(runtimeOf(vm).clipFor(*child));
}

Value swapDepths(Interpreter& vm, const Value& self, std::span<const Value> args) {
    DisplayObject* d = displayOf(self);
    if (!d || d->isRoot() || args.empty())
        return Value();
    int depth;
    if (auto* other = dynamic_cast<ClipObject*>(args[0].object())) {
        DisplayObject* o = other->display();
        if (!o || o->parent() != d->parent())
            return Value();
        depth = o->depth;
    } else {
        double n = vm.toNumber(args[0]);
        if (!std::isfinite(n))
            return Value();
        depth = int(n) + ScriptRuntime::kDepthOffset;
    }
    runtimeOf(vm).player().swapDepths(*d, depth);
    return Value();
}

// Copies the properties of an init object onto a new clip.
void applyInitObject(Interpreter& vm, Object* clip, const Value& init) {
    Object* source = init.object();
    if (!source || !clip)
        return;
    for (const SharedString& name : vm.enumerate(source))
        vm.setMember(Value(clip), name.str(), vm.getMember(Value(source), name.str()));
}

Value attachMovie(Interpreter& vm, const Value& self, std::span<const Value> args) {
    DisplayObject* d = displayOf(self);
    if (!d || !d->isClip() || args.size() < 3)
        return Value();
    ScriptRuntime& runtime = runtimeOf(vm);
    std::string linkage = vm.toString(args[0]);
    std::string name = vm.toString(args[1]);
    double depth = vm.toNumber(args[2]);
    if (!std::isfinite(depth))
        return Value();
    const Character* character =
        runtime.player().definitionOf(*d).exportedCharacter(linkage, vm.caseSensitive());
    // An exported button is attached too, but takes no init object and runs no class.
    const bool button = character && character->type == CharacterType::Button;
    if (!character || (character->type != CharacterType::Sprite && !button))
        return Value();
    DisplayObject* placed =
        runtime.player().placeByScript(*d, character->id, int(depth) + ScriptRuntime::kDepthOffset);
    if (!placed)
        return Value();
    placed->name = name;
    ClipObject* clip = runtime.clipFor(*placed);
    runtime.renamed(*placed);
    if (!button)
        runtime.constructClip(*placed, linkage, argAt(args, 3));
    return clip;
}

Value duplicateMovieClip(Interpreter& vm, const Value& self, std::span<const Value> args) {
    DisplayObject* d = displayOf(self);
    if (!d || d->isRoot() || args.size() < 2)
        return Value();
    ScriptRuntime& runtime = runtimeOf(vm);
    double depth = vm.toNumber(args[1]);
    if (!std::isfinite(depth))
        return Value();
    DisplayObject* copy = runtime.player().duplicateByScript(
        *d, vm.toString(args[0]), int(depth) + ScriptRuntime::kDepthOffset);
    if (!copy)
        return Value();
    ClipObject* clip = runtime.clipFor(*copy);
    if (ClipObject* source = clipOf(self))
        clip->clipEvents = source->clipEvents;
    applyInitObject(vm, clip, argAt(args, 2));
    return clip;
}

Value createEmptyMovieClip(Interpreter& vm, const Value& self, std::span<const Value> args) {
    DisplayObject* d = displayOf(self);
    if (!d || !d->isClip() || args.size() < 2)
        return Value();
    ScriptRuntime& runtime = runtimeOf(vm);
    double depth = vm.toNumber(args[1]);
    if (!std::isfinite(depth))
        return Value();
    DisplayObject* clip = runtime.player().createEmptyClip(
        *d, vm.toString(args[0]), int(depth) + ScriptRuntime::kDepthOffset);
    return clip ? Value(runtime.clipFor(*clip)) : Value();
}

Value removeMovieClip(Interpreter& vm, const Value& self, std::span<const Value>) {
    runtimeOf(vm).removeClip(clipOf(self));
    return Value();
}

Value bytesTotal(Interpreter& vm, const Value& self, std::span<const Value>) {
    DisplayObject* d = displayOf(self);
    return d ? Value(runtimeOf(vm).bytesTotalFor(*d)) : Value();
}

Value boundsIn(Interpreter& vm, const Value& self, std::span<const Value> args, bool strokes) {
    DisplayObject* d = displayOf(self);
    if (!d)
        return Value();
    // Without a target space the bounds are in the clip's own.
    Matrix toSpace;
    bool ownSpace = true;
    if (!args.empty()) {
        auto* other = dynamic_cast<ClipObject*>(args[0].object());
        DisplayObject* o = other ? other->display() : nullptr;
        if (!o)
            return Value();
        toSpace = inverted(stageMatrix(*o)) * stageMatrix(*d);
        ownSpace = o == d;
    }
    Bounds b = displayBounds(*d, toSpace, strokes);
    Object* out = vm.makeObject();
    const double none = runtimeOf(vm).invalidBoundsValue(*d, ownSpace);
    if (b.empty)
        b = Bounds{none * 20, none * 20, none * 20, none * 20, false};
    vm.setMember(Value(out), "xMin", b.xMin / 20);
    vm.setMember(Value(out), "xMax", b.xMax / 20);
    vm.setMember(Value(out), "yMin", b.yMin / 20);
    vm.setMember(Value(out), "yMax", b.yMax / 20);
    return out;
}

Value getBounds(Interpreter& vm, const Value& self, std::span<const Value> args) {
    return boundsIn(vm, self, args, true);
}

// getRect leaves strokes out.
Value getRect(Interpreter& vm, const Value& self, std::span<const Value> args) {
    return boundsIn(vm, self, args, false);
}

// The point's own x and y, both numbers, are converted to whole twips; any other point is
// left as it is, and so is every point for a clip squashed flat (it has no inverse).
Value convertPoint(Interpreter& vm, const Value& self, std::span<const Value> args, bool toGlobal) {
    DisplayObject* d = displayOf(self);
    Object* point = argAt(args, 0).object();
    if (!d || !point || !vm.hasOwnProperty(point, "x") || !vm.hasOwnProperty(point, "y"))
        return Value();
    const Value vx = vm.getMember(Value(point), "x");
    const Value vy = vm.getMember(Value(point), "y");
    if (!vx.isNumber() || !vy.isNumber())
        return Value();
    double x = vx.number() * 20;
    double y = vy.number() * 20;
    Matrix m = scriptStageMatrix(*d);
    if (!toGlobal) {
        if (m.a * m.d - m.b * m.c == 0)
            return Value();
        m = inverted(m);
    }
    mapToTwips(m, x, y);
    vm.setMember(Value(point), "x", x / 20);
    vm.setMember(Value(point), "y", y / 20);
    return Value();
}

Value localToGlobal(Interpreter& vm, const Value& self, std::span<const Value> args) {
    return convertPoint(vm, self, args, true);
}

Value globalToLocal(Interpreter& vm, const Value& self, std::span<const Value> args) {
    return convertPoint(vm, self, args, false);
}

// startDrag(lockCenter, left, top, right, bottom): the rectangle only with all four.
Value startDrag(Interpreter& vm, const Value& self, std::span<const Value> args) {
    ClipObject* clip = clipOf(self);
    if (!clip)
        return Value();
    double bounds[4] = {};
    const bool constrained = args.size() >= 5;
    for (std::size_t i = 0; constrained && i < 4; ++i)
        bounds[i] = vm.toNumber(args[i + 1]);
    runtimeOf(vm).startDrag(clip, vm.toBoolean(argAt(args, 0)), constrained ? bounds : nullptr);
    return Value();
}

Value stopDrag(Interpreter& vm, const Value&, std::span<const Value>) {
    runtimeOf(vm).stopDrag();
    return Value();
}

Value registerClass(Interpreter& vm, const Value&, std::span<const Value> args) {
    if (args.size() < 2)
        return false;
    registerAmfAlias(vm, vm.toString(args[0]), args[1]);
    return runtimeOf(vm).registerClass(vm.toString(args[0]), args[1]);
}

Value clipConstructor(Interpreter&, const Value&, std::span<const Value>) { return Value(); }

// clip.transform: a new flash.geom.Transform of the clip each time it is read; set, it takes
// the matrix and colour transform of the one given.
Value clipTransform(Interpreter& vm, const Value& self, std::span<const Value>) {
    if (!clipOf(self))
        return Value();
    const Value args[] = {self};
    return geom::makeInstance(vm, "Transform", args);
}

Value setClipTransform(Interpreter& vm, const Value& self, std::span<const Value> args) {
    if (!clipOf(self) || args.empty() || !geom::isInstance(vm, args[0], "Transform"))
        return Value();
    const Value own[] = {self};
    Value transform = geom::makeInstance(vm, "Transform", own);
    vm.setMember(transform, "matrix", vm.getMember(args[0], "matrix"));
    vm.setMember(transform, "colorTransform", vm.getMember(args[0], "colorTransform"));
    return Value();
}

} // namespace

void installClipMethods(ScriptRuntime& runtime) {
    Interpreter& vm = runtime.interpreter();
    Builtins& b = vm.builtins();
    b.clipProto = vm.makeObject();
    vm.defineClass("MovieClip", clipConstructor, b.clipProto);
    Object* p = b.clipProto;
    // Made first, so that they come last when a script lists the prototype.
    p->define("useHandCursor", true);
    p->define("enabled", true);
    vm.defineMethod(p, "play", play);
    vm.defineMethod(p, "stop", stop);
    vm.defineMethod(p, "gotoAndPlay", gotoAndPlay);
    vm.defineMethod(p, "gotoAndStop", gotoAndStop);
    vm.defineMethod(p, "nextFrame", nextFrame);
    vm.defineMethod(p, "prevFrame", prevFrame);
    vm.defineMethod(p, "getDepth", getDepth, kDontEnum | kVersion6);
    vm.defineMethod(p, "getNextHighestDepth", getNextHighestDepth, kDontEnum | kVersion7);
    vm.defineMethod(p, "getInstanceAtDepth", getInstanceAtDepth, kDontEnum | kVersion7);
    vm.defineMethod(p, "swapDepths", swapDepths);
    vm.defineMethod(p, "attachMovie", attachMovie);
    vm.defineMethod(p, "duplicateMovieClip", duplicateMovieClip);
    vm.defineMethod(p, "createEmptyMovieClip", createEmptyMovieClip, kDontEnum | kVersion6);
    vm.defineMethod(p, "removeMovieClip", removeMovieClip);
    vm.defineMethod(p, "getBytesLoaded", bytesTotal);
    vm.defineMethod(p, "getBytesTotal", bytesTotal);
    vm.defineMethod(p, "getBounds", getBounds);
    vm.defineMethod(p, "getRect", getRect, kDontEnum | kVersion8);
    vm.defineMethod(p, "localToGlobal", localToGlobal);
    vm.defineMethod(p, "globalToLocal", globalToLocal);
    vm.defineMethod(p, "startDrag", startDrag);
    vm.defineMethod(p, "stopDrag", stopDrag);
    installClipDrawing(vm, p);
    installClipDisplayProperties(vm, p);
    p->defineAccessor("transform", vm.makeNative(clipTransform), vm.makeNative(setClipTransform),
                      kDontEnum | kVersion8);
    b.buttonProto = vm.makeObject();
    vm.defineClass("Button", clipConstructor, b.buttonProto);
    b.buttonProto->define("useHandCursor", true, 0);
    b.buttonProto->define("enabled", true, 0);
    vm.defineMethod(b.buttonProto, "getDepth", getDepth, 0);
    Value objectCtor = vm.getMember(Value(vm.global()), "Object");
    if (Object* ctor = objectCtor.object())
        vm.defineMethod(ctor, "registerClass", registerClass);
}

} // namespace swivio::swf::avm1
