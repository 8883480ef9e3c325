// flash.net.FileReference and FileReferenceList. A converter shows no file dialog: browse
// with acceptable filters says the dialog opened, and it is cancelled as soon as the scripts
// of the moment are done, so listeners hear onCancel. Nothing is ever chosen, sent or fetched.
#include "swf/avm1/builtins.h"

namespace swivio::swf::avm1 {

namespace {

// A filter's field: an own property only (a getter runs; its error counts as no field), as
// text, which must not be empty. A toString that throws reaches the script.
bool filterField(Interpreter& vm, Object* filter, std::string_view name, bool required) {
    if (!vm.hasOwnProperty(filter, name))
        return !required;
    const Value value = vm.getMemberFromHost(filter, name);
    if (value.isUndefined())
        return !required;
    return !vm.toString(value).empty() || !required;
}

// browse() with no argument opens the dialog; otherwise the argument must be a non-empty
// array of filter objects, each with a description and an extension.
bool acceptableFilters(Interpreter& vm, std::span<const Value> args) {
    if (args.empty())
        return true;
    Object* list = args[0].object();
    if (!list || list->kind() != ObjectKind::Array)
        return false;
    auto* array = static_cast<ArrayObject*>(list);
    if (array->length() == 0)
        return false;
    for (uint32_t i = 0; i < array->length(); ++i) {
        Object* filter = array->at(i).object();
        if (!filter)
            return false;
        const bool described = filterField(vm, filter, "description", true);
        const bool extended = described && filterField(vm, filter, "extension", true);
        if (!extended)
            return false;
        if (vm.hasOwnProperty(filter, "macType"))
            (void)filterField(vm, filter, "macType", false);
    }
    return true;
}

Value browse(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    Object* self = thisValue.object();
    if (!self || !acceptableFilters(vm, args))
        return false;
    vm.host().afterScripts([&vm, self] {
        Value message[] = {Value("onCancel"), Value(self)};
        Value broadcast = vm.getMemberFromHost(self, "broadcastMessage");
        vm.callFromHost(broadcast, self, message);
    });
    return true;
}

Value returnFalse(Interpreter&, const Value&, std::span<const Value>) {
    return false;
}
Value returnNothing(Interpreter&, const Value&, std::span<const Value>) {
    return Value();
}

// Each is a broadcaster whose listeners hear of the dialogs and transfers.
Value fileReferenceConstructor(Interpreter& vm, const Value& thisValue, std::span<const Value>) {
    const Property* own = vm.global()->properties().find("AsBroadcaster", true);
    if (!own)
        return Value();
    Value one[] = {thisValue};
    vm.callMethod(own->value, "initialize", one);
    return Value();
}

Object* installFileClass(Interpreter& vm, Object* package, std::string_view name) {
    Object* proto = vm.makeObject();
    FunctionObject* ctor = vm.defineClass({}, fileReferenceConstructor, proto);
    package->define(name, ctor, 0);
    vm.defineMethod(proto, "browse", browse);
    return proto;
}

} // namespace

void installFileReferenceClasses(Interpreter& vm, Object* netPackage) {
    Object* file = installFileClass(vm, netPackage, "FileReference");
    vm.defineMethod(file, "upload", returnFalse);
    vm.defineMethod(file, "download", returnFalse);
    vm.defineMethod(file, "cancel", returnNothing);
    // fileList stays undefined: nothing is ever chosen.
    installFileClass(vm, netPackage, "FileReferenceList");
}

} // namespace swivio::swf::avm1
