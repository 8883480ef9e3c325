// ContextMenu, ContextMenuItem, PrintJob, Accessibility, flash.external.ExternalInterface,
// flash.text.TextRenderer, TextSnapshot and Video. A converted movie has no menu to open,
// printer, screen reader or browser page around it, so these keep their shape and answer that
// nothing is there.
#include <algorithm>
#include <string>

#include "swf/avm1/builtins.h"

namespace swivio::swf::avm1 {

namespace {

Value returnNothing(Interpreter&, const Value&, std::span<const Value>) {
    return Value();
}
Value returnFalse(Interpreter&, const Value&, std::span<const Value>) {
    return false;
}
Value returnZero(Interpreter&, const Value&, std::span<const Value>) {
    return 0;
}
Value returnNull(Interpreter&, const Value&, std::span<const Value>) {
    return Value::null();
}

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

Value contextMenuConstructor(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
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
                    vm.getMember(thisValue, "separatorBefore"), vm.getMember(thisValue, "enabled"),
                    vm.getMember(thisValue, "visible")};
    return vm.construct(vm.getMember(vm.global(), "ContextMenuItem"), args);
}

// ---- TextSnapshot ----

// The snapshot of a clip's static text. Static text is drawn, not kept as characters a script
// can search, so a snapshot of a clip holds none. Only new TextSnapshot(clip), with nothing
// more, makes one; any other is empty of everything and its methods answer undefined.
constexpr std::string_view kSnapshotClip = "\x01snapshotClip";

Value textSnapshotConstructor(Interpreter&, const Value& thisValue, std::span<const Value> args) {
    Object* self = thisValue.object();
    Object* clip = argAt(args, 0).object();
    if (self && clip && clip->kind() == ObjectKind::Clip && args.size() == 1)
        self->define(kSnapshotClip, true, kDontEnum);
    return Value();
}

// Each method answers only when called with the number of arguments it takes.
Value snapshotAnswer(const Value& thisValue, std::span<const Value> args, std::size_t fewest,
                     std::size_t most, Value answer) {
    Object* self = thisValue.object();
    const bool valid = self && self->properties().find(kSnapshotClip, true);
    return valid && args.size() >= fewest && args.size() <= most ? answer : Value();
}

Value snapshotCount(Interpreter&, const Value& thisValue, std::span<const Value> args) {
    return snapshotAnswer(thisValue, args, 0, 0, 0);
}
Value snapshotFind(Interpreter&, const Value& thisValue, std::span<const Value> args) {
    return snapshotAnswer(thisValue, args, 3, 3, -1);
}
Value snapshotSelected(Interpreter&, const Value& thisValue, std::span<const Value> args) {
    return snapshotAnswer(thisValue, args, 2, 2, false);
}
Value snapshotSelectedText(Interpreter&, const Value& thisValue, std::span<const Value> args) {
    return snapshotAnswer(thisValue, args, 0, 1, "");
}
Value snapshotText(Interpreter&, const Value& thisValue, std::span<const Value> args) {
    return snapshotAnswer(thisValue, args, 2, 3, "");
}
Value snapshotHit(Interpreter&, const Value& thisValue, std::span<const Value> args) {
    return snapshotAnswer(thisValue, args, 2, 3, -1);
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

// The XML that calls out of the movie are written in: a value, an array's elements, an
// object's enumerable members, and a call's arguments after the function name. The empty
// string is written as null, as the player does.
constexpr int kMaxXmlDepth = 64;

const std::pair<std::string_view, std::string_view> kXmlEntities[] = {
    {"&", "&amp;"}, {"<", "&lt;"}, {">", "&gt;"}, {"\"", "&quot;"}, {"'", "&apos;"}};

std::string escapeXml(std::string_view text) {
    std::string out;
    for (char c : text) {
        std::string_view plain(&c, 1);
        auto entity = std::find_if(std::begin(kXmlEntities), std::end(kXmlEntities),
                                   [&](const auto& e) { return e.first == plain; });
        if (entity != std::end(kXmlEntities))
            out += entity->second;
        else
            out += c;
    }
    return out;
}

// Entities are matched exactly (case included), in one pass, so "&amp;lt;" becomes "&lt;".
std::string unescapeXml(std::string_view text) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        auto entity =
            std::find_if(std::begin(kXmlEntities), std::end(kXmlEntities),
                         [&](const auto& e) { return text.substr(i).starts_with(e.second); });
        if (entity != std::end(kXmlEntities)) {
            out += entity->first;
            i += entity->second.size();
        } else {
            out += text[i++];
        }
    }
    return out;
}

// The text argument of the escaping helpers: none, or an empty string, gives null.
bool textArgument(Interpreter& vm, std::span<const Value> args, std::string& text) {
    if (args.empty())
        return false;
    text = vm.toString(args[0]);
    return !text.empty();
}

Value escapeXmlNative(Interpreter& vm, const Value&, std::span<const Value> args) {
    std::string text;
    return textArgument(vm, args, text) ? Value(escapeXml(text)) : Value::null();
}

Value unescapeXmlNative(Interpreter& vm, const Value&, std::span<const Value> args) {
    std::string text;
    return textArgument(vm, args, text) ? Value(unescapeXml(text)) : Value::null();
}

class XmlWriter {
public:
    explicit XmlWriter(Interpreter& vm) : m_vm(vm) {}

    std::string value(const Value& v, int depth) {
        switch (v.type()) {
        case ValueType::Undefined:
            return "<undefined/>";
        case ValueType::Null:
            return "<null/>";
        case ValueType::Boolean:
            return v.boolean() ? "<true/>" : "<false/>";
        case ValueType::Number:
            return "<number>" + m_vm.toString(v) + "</number>";
        case ValueType::String: {
            const std::string& text = v.string();
            return "<string>" + (text.empty() ? std::string("null") : escapeXml(text)) +
                   "</string>";
        }
        case ValueType::Object:
            break;
        }
        Object* object = v.object();
        if (object->kind() == ObjectKind::Function || depth >= kMaxXmlDepth)
            return "<null/>";
        if (object->kind() == ObjectKind::Array)
            return array(v, depth);
        return members(v, depth);
    }

    std::string array(const Value& v, int depth) {
        std::string out = "<array>";
        const uint32_t count = length(v);
        for (uint32_t i = 0; i < count; ++i) {
            const std::string id = std::to_string(i);
            append(out, "<property id=\"" + id + "\">" + value(m_vm.getMember(v, id), depth + 1) +
                            "</property>");
        }
        return out + "</array>";
    }

    std::string members(const Value& v, int depth) {
        std::string out = "<object>";
        if (Object* object = v.object()) {
            for (const SharedString& name : m_vm.enumerate(object))
                append(out, "<property id=\"" + name.str() + "\">" +
                                value(m_vm.getMember(v, name.str()), depth + 1) + "</property>");
        }
        return out + "</object>";
    }

    std::string arguments(const Value& v) {
        std::string out = "<arguments>";
        const uint32_t count = length(v);
        for (uint32_t i = 1; i < count; ++i)
            append(out, value(m_vm.getMember(v, std::to_string(i)), 1));
        return out + "</arguments>";
    }

private:
    // Lists are read by their length, whatever they are (a string's counts too); the output's
    // length bound stops a script's huge number.
    uint32_t length(const Value& v) {
        const double n = m_vm.toInteger(m_vm.getMember(v, "length"));
        return n > 0 ? uint32_t(std::min(n, double(kMaxArrayLength))) : 0;
    }
    void append(std::string& out, const std::string& part) {
        m_vm.checkStringLength(out.size() + part.size());
        out += part;
    }
    Interpreter& m_vm;
};

Value toXmlNative(Interpreter& vm, const Value&, std::span<const Value> args) {
    return XmlWriter(vm).value(argAt(args, 0), 0);
}
Value arrayToXmlNative(Interpreter& vm, const Value&, std::span<const Value> args) {
    return XmlWriter(vm).array(argAt(args, 0), 0);
}
Value objectToXmlNative(Interpreter& vm, const Value&, std::span<const Value> args) {
    return XmlWriter(vm).members(argAt(args, 0), 0);
}
Value argumentsToXmlNative(Interpreter& vm, const Value&, std::span<const Value> args) {
    return XmlWriter(vm).arguments(argAt(args, 0));
}

void installExternalInterface(Interpreter& vm) {
    Object* proto = vm.makeObject();
    FunctionObject* ctor = vm.defineClass({}, returnNothing, proto);
    // Hidden from version 5 movies even when they uncover the flash package.
    flashPackage(vm, "external")->define("ExternalInterface", ctor, kVersion6);
    // No page hosts the movie: nothing can be called out to or in from.
    // Its members are there for older movies to find (hasOwnProperty) but read only from
    // version 8.
    ctor->define("available", false, kDontEnum | kVersion8);
    vm.defineMethod(ctor, "addCallback", returnFalse, kDontEnum | kVersion8);
    vm.defineMethod(ctor, "call", returnNull, kDontEnum | kVersion8);
    // The helpers the player's own ActionScript uses to marshal calls.
    const std::pair<const char*, NativeFunction> helpers[] = {
        {"_argumentsToAS", returnNothing},
        {"_argumentsToXML", argumentsToXmlNative},
        {"_arrayToAS", returnNothing},
        {"_arrayToJS", returnNothing},
        {"_arrayToXML", arrayToXmlNative},
        {"_callIn", returnNothing},
        {"_callOut", returnNothing},
        {"_escapeXML", escapeXmlNative},
        {"_evalJS", returnNothing},
        {"_initJS", returnNothing},
        {"_jsQuoteString", returnNothing},
        {"_objectID", returnNothing},
        {"_objectToAS", returnNothing},
        {"_objectToJS", returnNothing},
        {"_objectToXML", objectToXmlNative},
        {"_toAS", returnNothing},
        {"_toJS", returnNothing},
        {"_toXML", toXmlNative},
        {"_unescapeXML", unescapeXmlNative},
    };
    for (const auto& [name, fn] : helpers)
        vm.defineMethod(ctor, name, fn, kDontEnum | kVersion8);
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
    // For a version 6 movie the class's prototype inherits nothing (its objects have no
    // toString, and trace shows "[type Object]").
    if (vm.movieVersion() == 6)
        print->setProto(Value());
    // The class is there for version 6 movies, its methods only from version 7.
    vm.defineMethod(print, "start", returnFalse, kHiddenBefore7);
    vm.defineMethod(print, "addPage", returnFalse, kHiddenBefore7);
    vm.defineMethod(print, "send", returnNothing, kHiddenBefore7);
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
    vm.defineMethod(snapshot, "getSelectedText", snapshotSelectedText);
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
