// Key and Selection: the keys held and the last one pressed, the keyboard focus and the
// focused field's selection, as the user's input (key_input.cpp) leaves them.
#include <algorithm>
#include <cmath>

#include "swf/avm1/builtins.h"
#include "swf/avm1/keyboard.h"
#include "swf/avm1/movie_runtime.h"
#include "swf/text/edit_field.h"

namespace swivio::swf::avm1 {

namespace {

constexpr uint16_t kConstant = kDontEnum | kDontDelete | kReadOnly;
constexpr int kCapsLock = 20;
constexpr int kNumLock = 144;

ScriptRuntime& runtimeOf(Interpreter& vm) {
    return static_cast<ScriptRuntime&>(vm.host());
}

// AsBroadcaster.initialize(object), whatever the movie's version hides.
void makeBroadcaster(Interpreter& vm, Object* object) {
    const Property* broadcaster = vm.global()->properties().find("AsBroadcaster", true);
    Object* ctor = broadcaster ? broadcaster->value.object() : nullptr;
    const Property* initialize = ctor ? ctor->properties().find("initialize", true) : nullptr;
    if (!initialize)
        return;
    Value args[] = {Value(object)};
    vm.call(initialize->value, Value(ctor), args);
}

// A key code argument, or -1 for one outside 0..255.
int keyCodeArg(Interpreter& vm, std::span<const Value> args) {
    const double code = vm.toNumber(argAt(args, 0));
    if (!std::isfinite(code) || code < 0 || code > 255)
        return -1;
    return int(code);
}

// Codes 1, 2 and 4 name the mouse's left, right and middle buttons.
Value keyIsDown(Interpreter& vm, const Value&, std::span<const Value> args) {
    const int code = keyCodeArg(vm, args);
    ScriptRuntime& runtime = runtimeOf(vm);
    switch (code) {
    case 1: return runtime.mouseButtonDown(MouseButton::Left);
    case 2: return runtime.mouseButtonDown(MouseButton::Right);
    case 4: return runtime.mouseButtonDown(MouseButton::Middle);
    default: break;
    }
    return code >= 0 && runtime.keyboard().down[std::size_t(code)];
}

Value keyIsToggled(Interpreter& vm, const Value&, std::span<const Value> args) {
    const int code = keyCodeArg(vm, args);
    const KeyboardState& keys = runtimeOf(vm).keyboard();
    return (code == kCapsLock && keys.capsLock) || (code == kNumLock && keys.numLock);
}

Value keyGetCode(Interpreter& vm, const Value&, std::span<const Value>) {
    return runtimeOf(vm).keyboard().lastCode;
}

Value keyGetAscii(Interpreter& vm, const Value&, std::span<const Value>) {
    return runtimeOf(vm).keyboard().lastAscii;
}

Value returnFalse(Interpreter&, const Value&, std::span<const Value>) {
    return false;
}

struct KeyConstant {
    const char* name;
    int code;
};

constexpr KeyConstant kKeys[] = {
    {"BACKSPACE", 8}, {"TAB", 9},     {"ENTER", 13},     {"SHIFT", 16}, {"CONTROL", 17},
    {"CAPSLOCK", 20}, {"ESCAPE", 27}, {"SPACE", 32},     {"PGUP", 33},  {"PGDN", 34},
    {"END", 35},      {"HOME", 36},   {"LEFT", 37},      {"UP", 38},    {"RIGHT", 39},
    {"DOWN", 40},     {"INSERT", 45}, {"DELETEKEY", 46},
};

void installKey(Interpreter& vm) {
    Object* key = vm.makeObject();
    vm.global()->define("Key", key, kDontEnum);
    makeBroadcaster(vm, key);
    vm.defineMethod(key, "isDown", keyIsDown);
    vm.defineMethod(key, "isToggled", keyIsToggled);
    vm.defineMethod(key, "isAccessible", returnFalse);
    vm.defineMethod(key, "getCode", keyGetCode);
    vm.defineMethod(key, "getAscii", keyGetAscii);
    for (const KeyConstant& constant : kKeys)
        key->define(constant.name, constant.code, kConstant);
}

// ---- Selection ----

DisplayObject* focusedField(ScriptRuntime& runtime) {
    DisplayObject* focused = focusedObject(runtime);
    return focused && focused->editField ? focused : nullptr;
}

// The path of the focused object, as a string; null when nothing has the focus.
Value selectionGetFocus(Interpreter& vm, const Value&, std::span<const Value>) {
    ScriptRuntime& runtime = runtimeOf(vm);
    DisplayObject* focused = focusedObject(runtime);
    if (!focused)
        return Value::null();
    return Value(runtime.targetPath(runtime.clipFor(*focused), true));
}

// setFocus(target): a clip, button or field, or the path of one; null or undefined takes
// the focus away. True when the focus went where it was asked to.
Value selectionSetFocus(Interpreter& vm, const Value&, std::span<const Value> args) {
    ScriptRuntime& runtime = runtimeOf(vm);
    // Only a call with the target alone does anything.
    if (args.size() != 1)
        return false;
    const Value& target = args[0];
    if (target.isNullish()) {
        changeFocus(runtime, nullptr);
        return true;
    }
    Object* object = target.object();
    if (target.isString())
        object = runtime.resolveTarget(vm.currentTarget(), vm.toString(target));
    auto* clip = dynamic_cast<ClipObject*>(object);
    DisplayObject* display = clip ? clip->display() : nullptr;
    if (!display || !focusableByScript(runtime, *display))
        return false;
    changeFocus(runtime, display);
    return true;
}

enum class Index { Begin, End, Caret };

Value selectionIndex(Interpreter& vm, Index which) {
    ScriptRuntime& runtime = runtimeOf(vm);
    DisplayObject* field = focusedField(runtime);
    if (!field || !runtime.keyboard().selectionKnown)
        return -1;
    text::EditField& f = *field->editField;
    clampSelection(f);
    switch (which) {
    case Index::Begin: return double(std::min(f.selectionAnchor, f.caret));
    case Index::End: return double(std::max(f.selectionAnchor, f.caret));
    case Index::Caret: return double(f.caret);
    }
    return -1;
}

Value selectionBegin(Interpreter& vm, const Value&, std::span<const Value>) {
    return selectionIndex(vm, Index::Begin);
}

Value selectionEnd(Interpreter& vm, const Value&, std::span<const Value>) {
    return selectionIndex(vm, Index::End);
}

Value selectionCaret(Interpreter& vm, const Value&, std::span<const Value>) {
    return selectionIndex(vm, Index::Caret);
}

// setSelection(begin, end) on the focused field: the caret goes to end. A call with any
// other number of arguments changes nothing.
Value selectionSet(Interpreter& vm, const Value&, std::span<const Value> args) {
    ScriptRuntime& runtime = runtimeOf(vm);
    DisplayObject* field = focusedField(runtime);
    if (!field || args.size() != 2)
        return Value();
    text::EditField& f = *field->editField;
    const double length = double(f.content().length());
    auto clamp = [&](const Value& v) {
        const double n = vm.toNumber(v);
        return std::size_t(std::isnan(n) ? 0 : std::clamp(n, 0.0, length));
    };
    f.selectionAnchor = clamp(args[0]);
    f.caret = clamp(args[1]);
    runtime.keyboard().selectionKnown = true;
    return Value();
}

void installSelection(Interpreter& vm) {
    Object* selection = vm.makeObject();
    vm.global()->define("Selection", selection, kDontEnum);
    makeBroadcaster(vm, selection);
    vm.defineMethod(selection, "getBeginIndex", selectionBegin);
    vm.defineMethod(selection, "getEndIndex", selectionEnd);
    vm.defineMethod(selection, "getCaretIndex", selectionCaret);
    vm.defineMethod(selection, "getFocus", selectionGetFocus);
    vm.defineMethod(selection, "setFocus", selectionSetFocus);
    vm.defineMethod(selection, "setSelection", selectionSet);
}

} // namespace

void installKeyBuiltins(ScriptRuntime& runtime) {
    installKey(runtime.interpreter());
    installSelection(runtime.interpreter());
}

} // namespace swivio::swf::avm1
