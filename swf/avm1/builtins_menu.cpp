// ContextMenu, ContextMenuItem, PrintJob, Accessibility, flash.external.ExternalInterface,
// flash.text.TextRenderer, TextSnapshot and Video. A converted movie has no menu to open, printer, screen reader or
// browser page around it, so these keep their shape and answer that nothing is there.
#include "swf/avm1/builtins.h"

namespace swivio::swf::avm1 {

namespace {

Value returnNothing(Interpreter&, const Value&, std::span<const Value>) { return Value(); }
Value returnFalse(Interpreter&, const Value&, std::span<const Value>) { return false; }
Value returnZero(Interpreter&, const Value&, std::span<const Value>) { return 0; }
Value returnNull(Interpreter&, const Value&, std::span<const Value>) { return Value::null(); }

Object* defineGlobalClass(Interpreter& vm, std::string_view name, uint16_t flags,
                          NativeFunction ctorFn) {
    Object* proto = vm.makeObject();
    FunctionObject* ctor = vm.defineClass(name, ctorFn, proto);
    vm.global()->define(name, ctor, flags);
    return proto;
}

// ---- ContextMenu ----

// The player's own entries, all shown until hideBuiltInItems. Made oldest first, so for..in
// lists them from save back to print as Flash Player does.
constexpr const char* kBuiltInItems[] = {"print", "forward_back", "rewind", "loop",
                                         "play",  "quality",      "zoom",   "save"};

Value contextMenuConstructor(Interpreter& vm, const Value& thisValue,
                             std::span<const Value> args) {
    vm.setMember(thisValue, "onSelect", argAt(args, 0));
    Object* items = vm.makeObject();
    for (const char* name : kBuiltInItems)
        items->define(name, true, 0);
    vm.setMember(thisValue, "builtInItems", items);
    vm.setMember(thisValue, "customItems", vm.makeArray());
    return Value();
}

Value hideBuiltInItems(Interpreter& vm, const Value& thisValue, std::span<const Value>) {
    Value items = vm.getMember(thisValue, "builtInItems");
    for (const char* name : kBuiltInItems)
        vm.setMember(items, name, false);
    return Value();
}

// copy(): a new menu with the same handler, the same built-in switches and a copy of each
// custom item.
Value contextMenuCopy(Interpreter& vm, const Value& thisValue, std::span<const Value>) {
    Value ctor = vm.getMember(vm.global(), "ContextMenu");
    Value handler[] = {vm.getMember(thisValue, "onSelect")};
    Value copy = vm.construct(ctor, handler);
    Value from = vm.getMember(thisValue, "builtInItems");
    Value to = vm.getMember(copy, "builtInItems");
    for (const char* name : kBuiltInItems)
        vm.setMember(to, name, vm.getMember(from, name));
    Value custom = vm.getMember(thisValue, "customItems");
    Value copies = vm.getMember(copy, "customItems");
    auto* list = dynamic_cast<ArrayObject*>(custom.object());
    const uint32_t length = list ? list->length() : 0;
    for (uint32_t i = 0; i < length; ++i) {
        Value item[] = {vm.callMethod(vm.getMember(custom, std::to_string(i)), "copy", {})};
        vm.callMethod(copies, "push", item);
    }
    return copy;
}

// ContextMenuItem(caption, onSelect, separatorBefore, enabled, visible): the flags default to
// no separator, enabled and visible.
Value menuItemConstructor(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    vm.setMember(thisValue, "caption", argAt(args, 0));
    vm.setMember(thisValue, "onSelect", argAt(args, 1));
    vm.setMember(thisValue, "separatorBefore", args.size() > 2 && vm.toBoolean(args[2]));
    vm.setMember(thisValue, "enabled", args.size() <= 3 || vm.toBoolean(args[3]));
    vm.setMember(thisValue, "visible", args.size() <= 4 || vm.toBoolean(args[4]));
    return Value();
}

Value menuItemCopy(Interpreter& vm, const Value& thisValue, std::span<const Value>) {
    Value args[] = {vm.getMember(thisValue, "caption"), vm.getMember(thisValue, "onSelect"),
                    vm.getMember(thisValue, "separatorBefore"),
                    vm.getMember(thisValue, "enabled"), vm.getMember(thisValue, "visible")};
    return vm.construct(vm.getMember(vm.global(), "ContextMenuItem"), args);
}

// ---- TextSnapshot ----

// The snapshot of a clip's static text. Static text is drawn, not kept as characters a script
// can search, so a snapshot of a clip holds none; one made of anything else answers nothing.
constexpr std::string_view kSnapshotClip = "\x01snapshotClip";

Value textSnapshotConstructor(Interpreter&, const Value& thisValue,
                              std::span<const Value> args) {
    Object* self = thisValue.object();
    Object* clip = argAt(args, 0).object();
    if (self && clip && clip->kind() == ObjectKind::Clip)
        self->define(kSnapshotClip, true, kDontEnum);
    return Value();
}

bool hasClip(const Value& thisValue) {
    Object* self = thisValue.object();
    return self && self->properties().find(kSnapshotClip, true);
}

Value snapshotCount(Interpreter&, const Value& thisValue, std::span<const Value>) {
    return hasClip(thisValue) ? Value(0) : Value();
}
Value snapshotFind(Interpreter&, const Value& thisValue, std::span<const Value>) {
    return hasClip(thisValue) ? Value(-1) : Value();
}
Value snapshotText(Interpreter&, const Value& thisValue, std::span<const Value>) {
    return hasClip(thisValue) ? Value("") : Value();
}
Value snapshotSelected(Interpreter&, const Value& thisValue, std::span<const Value>) {
    return hasClip(thisValue) ? Value(false) : Value();
}
Value snapshotHit(Interpreter&, const Value& thisValue, std::span<const Value>) {
    return hasClip(thisValue) ? Value(-1) : Value();
}

// ---- ExternalInterface ----

Object* flashPackage(Interpreter& vm, std::string_view name) {
    const Property* own = vm.global()->properties().find("flash", true);
    Object* flash = own ? own->value.object() : nullptr;
    if (!flash) {
        flash = vm.makeObject();
        vm.global()->define("flash", flash, kDontEnum | kVersion6 | kVersion7 | kVersion8);
    }
    const Property* existing = flash->properties().find(name, true);
    if (existing && existing->value.object())
        return existing->value.object();
    Object* package = vm.makeObject();
    flash->define(name, package, 0);
    return package;
}

void installExternalInterface(Interpreter& vm) {
    Object* proto = vm.makeObject();
    FunctionObject* ctor = vm.defineClass({}, returnNothing, proto);
    flashPackage(vm, "external")->define("ExternalInterface", ctor, 0);
    // No page hosts the movie: nothing can be called out to or in from.
    ctor->define("available", false, kDontEnum);
    vm.defineMethod(ctor, "addCallback", returnFalse);
    vm.defineMethod(ctor, "call", returnNull);
    // The helpers the player's own ActionScript uses to marshal calls.
    for (const char* name :
         {"_argumentsToAS", "_argumentsToXML", "_arrayToAS", "_arrayToJS", "_arrayToXML",
          "_callIn", "_callOut", "_escapeXML", "_evalJS", "_initJS", "_jsQuoteString",
          "_objectID", "_objectToAS", "_objectToJS", "_objectToXML", "_toAS", "_toJS", "_toXML",
          "_unescapeXML"})
        vm.defineMethod(ctor, name, returnNothing);
}

// flash.text.TextRenderer: the anti-aliasing settings for device text. They are kept as a
// script sets them; maxLevel counts the cached levels the player keeps.
void installTextRenderer(Interpreter& vm) {
    Object* proto = vm.makeObject();
    FunctionObject* ctor = vm.defineClass({}, returnNothing, proto);
    flashPackage(vm, "text")->define("TextRenderer", ctor, 0);
    ctor->define("maxLevel", 4, kDontEnum);
    ctor->define("displayMode", "default", kDontEnum);
    vm.defineMethod(ctor, "setAdvancedAntialiasingTable", returnNothing);
}

} // namespace

void installMenuBuiltins(Interpreter& vm) {
    constexpr uint16_t kHiddenBefore6 = kDontEnum | kVersion6;
    constexpr uint16_t kHiddenBefore7 = kDontEnum | kVersion7;

    Object* menu = defineGlobalClass(vm, "ContextMenu", kHiddenBefore7, contextMenuConstructor);
    vm.defineMethod(menu, "copy", contextMenuCopy);
    vm.defineMethod(menu, "hideBuiltInItems", hideBuiltInItems);
    Object* item = defineGlobalClass(vm, "ContextMenuItem", kHiddenBefore7, menuItemConstructor);
    vm.defineMethod(item, "copy", menuItemCopy);

    // No printer: a print job never starts, so its pages are never added or sent.
    Object* print = defineGlobalClass(vm, "PrintJob", kHiddenBefore6, returnNothing);
    vm.defineMethod(print, "start", returnFalse);
    vm.defineMethod(print, "addPage", returnFalse);
    vm.defineMethod(print, "send", returnNothing);
    // The page and paper sizes are those of no printer, and a script cannot change them.
    for (const char* name : {"paperHeight", "paperWidth", "pageHeight", "pageWidth", "orientation"})
        print->defineAccessor(name, vm.makeNative(returnZero), vm.makeNative(returnNothing), 0);

    // No screen reader is listening.
    Object* accessibility = vm.makeObject();
    vm.global()->define("Accessibility", accessibility, kDontEnum);
    vm.defineMethod(accessibility, "isActive", returnFalse);
    vm.defineMethod(accessibility, "updateProperties", returnNothing);
    vm.defineMethod(accessibility, "sendEvent", returnNothing);

    Object* snapshot = defineGlobalClass(vm, "TextSnapshot", kDontEnum, textSnapshotConstructor);
    vm.defineMethod(snapshot, "getCount", snapshotCount);
    vm.defineMethod(snapshot, "findText", snapshotFind);
    vm.defineMethod(snapshot, "getText", snapshotText);
    vm.defineMethod(snapshot, "getSelectedText", snapshotText);
    vm.defineMethod(snapshot, "getSelected", snapshotSelected);
    vm.defineMethod(snapshot, "hitTestTextNearPos", snapshotHit);
    vm.defineMethod(snapshot, "setSelectColor", returnNothing);
    vm.defineMethod(snapshot, "setSelected", returnNothing);

    // There is no camera or stream to show; a video object stays empty.
    Object* video = defineGlobalClass(vm, "Video", kHiddenBefore6, returnNothing);
    vm.defineMethod(video, "attachVideo", returnNothing);
    vm.defineMethod(video, "clear", returnNothing);

    installExternalInterface(vm);
    installTextRenderer(vm);
}

} // namespace swivio::swf::avm1
