// The classes for devices and connections: Camera, Microphone, NetConnection, NetStream,
// XMLSocket, LocalConnection, FileReference and FileReferenceList. This player runs offline
// with no camera, microphone, network or file dialog, so each answers as Flash Player does on
// such a machine: nothing to get, every network connection refused, every dialog declined.
// LocalConnection needs none of these and names its connections as the player does.
#include "swf/avm1/builtins.h"

namespace swivio::swf::avm1 {

namespace {

constexpr uint16_t kHiddenBefore6 = kDontEnum | kVersion6;

Value returnNothing(Interpreter&, const Value&, std::span<const Value>) {
    return Value();
}
Value returnFalse(Interpreter&, const Value&, std::span<const Value>) {
    return false;
}
Value returnNull(Interpreter&, const Value&, std::span<const Value>) {
    return Value::null();
}
Value returnEmptyArray(Interpreter& vm, const Value&, std::span<const Value>) {
    return vm.makeArray();
}

// A class on _global with prototype methods that do nothing a script can see.
Object* defineQuietClass(Interpreter& vm, std::string_view name, uint16_t flags,
                         NativeFunction ctorFn, std::initializer_list<const char*> methods) {
    Object* proto = vm.makeObject();
    FunctionObject* ctor = vm.defineClass(name, ctorFn, proto);
    vm.global()->define(name, ctor, flags);
    for (const char* methodName : methods)
        vm.defineMethod(proto, methodName, returnNothing);
    return proto;
}

Object* constructorOf(Object* proto) {
    const Property* ctor = proto->properties().find("constructor", true);
    return ctor ? ctor->value.object() : nullptr;
}

// Camera.get() and Microphone.get(): there is no device; names lists none.
void installDevice(Interpreter& vm, std::string_view name,
                   std::initializer_list<const char*> methods) {
    Object* proto = defineQuietClass(vm, name, kDontEnum, returnNothing, methods);
    Object* ctor = constructorOf(proto);
    vm.defineMethod(ctor, "get", returnNull);
    FunctionObject* names = vm.makeNative(returnEmptyArray);
    ctor->defineAccessor("names", names, nullptr, kDontEnum);
}

// ---- NetStream ----

Value streamZero(Interpreter&, const Value&, std::span<const Value>) {
    return 0;
}
Value streamBufferTime(Interpreter&, const Value&, std::span<const Value>) {
    return 0.1;
}

Value classOf(Interpreter& vm, std::string_view name) {
    const Property* own = vm.global()->properties().find(name, true);
    return own ? own->value : Value();
}

// The first stream made on an open connection gives NetStream.prototype its read-only state
// (again, if a script deleted it): nothing plays, so all is zero but the default buffer.
Value streamConstructor(Interpreter& vm, const Value&, std::span<const Value> args) {
    Object* connection = argAt(args, 0).object();
    Object* connectionClass = classOf(vm, "NetConnection").object();
    Object* proto = vm.getMember(classOf(vm, "NetStream"), "prototype").object();
    if (!connection || !connectionClass || !proto || !vm.instanceOf(connection, connectionClass) ||
        !vm.toBoolean(vm.getMember(connection, "isConnected")))
        return Value();
    for (const char* name : {"currentFps", "bufferLength", "bufferTime", "liveDelay", "time",
                             "bytesLoaded", "bytesTotal"}) {
        if (proto->properties().find(name, true))
            continue;
        const bool buffer = std::string_view(name) == "bufferTime";
        proto->defineAccessor(name, vm.makeNative(buffer ? streamBufferTime : streamZero), nullptr,
                              kDontEnum);
    }
    return Value();
}

// There is no file to stream: the stream says so through its onStatus handler.
Value streamPlay(Interpreter& vm, const Value& thisValue, std::span<const Value>) {
    if (!thisValue.isObject())
        return Value();
    Object* info = vm.makeObject();
    info->define("level", "error", 0);
    info->define("code", "NetStream.Play.StreamNotFound", 0);
    Value one[] = {Value(info)};
    vm.callMethod(thisValue, "onStatus", one);
    return Value();
}

// ---- XMLSocket ----

// onData(source) turns the text into an XML document for onXML, as the player's own does.
Value socketOnData(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    Value xmlClass = vm.getMember(vm.global(), "XML");
    Value one[] = {argAt(args, 0)};
    Value document = vm.construct(xmlClass, one);
    Value doc[] = {document};
    vm.callMethod(thisValue, "onXML", doc);
    return Value();
}

// ---- LocalConnection ----

// LocalConnection talks between movies of this one player, so it needs no network: names
// are taken from a table of this interpreter, kept hidden on _global.
constexpr std::string_view kConnectionTable = "\x01localConnections";
constexpr std::string_view kConnectionName = "\x01connectionName";

Object* connectionTable(Interpreter& vm) {
    const Property* own = vm.global()->properties().find(kConnectionTable, true);
    if (own && own->value.object())
        return own->value.object();
    Object* table = vm.makeObject();
    vm.global()->define(kConnectionTable, table, kDontEnum | kDontDelete);
    return table;
}

// A name is a non-empty string without a colon (a colon names another domain's movie).
bool validName(const Value& name) {
    return name.isString() && !name.string().empty() &&
           name.string().find(':') == std::string::npos;
}

std::string tableKey(const std::string& name) {
    std::string key = name;
    for (char& c : key)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return key;
}

// connect(name): false for a bad name, a connection already open, or a name in use.
Value localConnect(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    Object* self = thisValue.object();
    const Value& name = argAt(args, 0);
    if (!self || !validName(name) || self->properties().find(kConnectionName, true))
        return false;
    Object* table = connectionTable(vm);
    const std::string key = tableKey(name.string());
    if (table->properties().find(key, true))
        return false;
    table->define(key, self, kDontEnum);
    self->define(kConnectionName, key, kDontEnum);
    return true;
}

Value localClose(Interpreter& vm, const Value& thisValue, std::span<const Value>) {
    Object* self = thisValue.object();
    const Property* own = self ? self->properties().find(kConnectionName, true) : nullptr;
    if (!own)
        return Value();
    const std::string key = own->value.string();
    connectionTable(vm)->properties().remove(key, true);
    self->properties().remove(kConnectionName, true);
    return Value();
}

// send(name, method, ...): accepted when both are usable strings and the method is not one
// of LocalConnection's own, in any case.
Value localSend(Interpreter&, const Value&, std::span<const Value> args) {
    const Value& name = argAt(args, 0);
    const Value& method = argAt(args, 1);
    if (!name.isString() || name.string().empty() || !method.isString() || method.string().empty())
        return false;
    for (const char* reserved :
         {"send", "connect", "close", "allowDomain", "allowInsecureDomain", "domain",
          "onStatus"})
        if (tableKey(method.string()) == tableKey(reserved))
            return false;
    return true;
}

Value localDomain(Interpreter&, const Value&, std::span<const Value>) {
    return "localhost";
}

Object* netPackage(Interpreter& vm) {
    const Property* own = vm.global()->properties().find("flash", true);
    Object* flash = own ? own->value.object() : nullptr;
    if (!flash) {
        flash = vm.makeObject();
        vm.global()->define("flash", flash, kDontEnum | kVersion6 | kVersion7 | kVersion8);
    }
    const Property* existing = flash->properties().find("net", true);
    if (existing && existing->value.object())
        return existing->value.object();
    Object* package = vm.makeObject();
    flash->define("net", package, 0);
    return package;
}

} // namespace

void installDeviceBuiltins(Interpreter& vm) {
    installDevice(vm, "Camera",
                  {"setMode", "setQuality", "setKeyFrameInterval", "setMotionLevel", "setLoopback",
                   "setCursor"});
    installDevice(vm, "Microphone",
                  {"setSilenceLevel", "setRate", "setGain", "setUseEchoSuppression"});

    Object* connection =
        defineQuietClass(vm, "NetConnection", kHiddenBefore6, returnNothing, {"addHeader"});
    installNetConnectionMethods(vm, connection);

    Object* stream = defineQuietClass(vm, "NetStream", kHiddenBefore6, streamConstructor,
                                      {"close", "pause", "seek", "attachAudio", "attachVideo",
                                       "publish", "receiveAudio", "receiveVideo", "send"});
    vm.defineMethod(stream, "play", streamPlay);
    // A stream with nothing to play keeps no buffer: setBufferTime leaves bufferTime unset.
    vm.defineMethod(stream, "setBufferTime", returnNothing);

    Object* socket = defineQuietClass(vm, "XMLSocket", kDontEnum, returnNothing, {"close"});
    vm.defineMethod(socket, "connect", returnFalse);
    vm.defineMethod(socket, "send", returnNothing);
    vm.defineMethod(socket, "onData", socketOnData);

    Object* local = defineQuietClass(vm, "LocalConnection", kHiddenBefore6, returnNothing, {});
    vm.defineMethod(local, "connect", localConnect);
    vm.defineMethod(local, "send", localSend);
    vm.defineMethod(local, "close", localClose);
    vm.defineMethod(local, "domain", localDomain);

    Object* net = netPackage(vm);
    installFileReferenceClasses(vm, net);
}

} // namespace swivio::swf::avm1
