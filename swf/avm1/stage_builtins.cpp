// Stage, System, Mouse and SharedObject: built-ins that answer for the movie and the machine
// around it.
//
// A conversion has no disk: shared objects live in memory for the run only. The machine they
// describe is a desktop player 9 on Linux with a 1536x864 screen.
#include <algorithm>
#include <string>

#include "swf/avm1/builtins.h"
#include "swf/avm1/movie_runtime.h"

namespace swivio::swf::avm1 {

namespace {

constexpr uint16_t kConstant = kDontEnum | kDontDelete | kReadOnly;
constexpr const char* kPlayerVersion = "LNX 9,0,124,0";
constexpr int kScreenWidth = 1536;
constexpr int kScreenHeight = 864;

ScriptRuntime& runtimeOf(Interpreter& vm) {
    return static_cast<ScriptRuntime&>(vm.host());
}

// The state behind Stage's and Mouse's accessors.
class WorldObject : public Object {
public:
    using Object::Object;
    std::string scaleMode = "showAll";
    std::string align;
    std::string displayState = "normal";
    bool showMenu = true;
    bool pointerVisible = true;
};

WorldObject* worldOf(const Value& v) {
    return dynamic_cast<WorldObject*>(v.object());
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

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
               return lower(x) == lower(y);
           });
}

// ---- Stage ----

Value stageWidth(Interpreter& vm, const Value&, std::span<const Value>) {
    const Rect& stage = runtimeOf(vm).player().movie().file.stage;
    return (double(stage.xMax) - stage.xMin) / 20;
}

Value stageHeight(Interpreter& vm, const Value&, std::span<const Value>) {
    const Rect& stage = runtimeOf(vm).player().movie().file.stage;
    return (double(stage.yMax) - stage.yMin) / 20;
}

Value stageScaleMode(Interpreter&, const Value& self, std::span<const Value>) {
    WorldObject* world = worldOf(self);
    return world ? Value(world->scaleMode) : Value();
}

// Only the four modes are taken, in any case; anything else leaves the mode as it was.
Value setStageScaleMode(Interpreter& vm, const Value& self, std::span<const Value> args) {
    WorldObject* world = worldOf(self);
    if (!world)
        return Value();
    const std::string mode = vm.toString(argAt(args, 0));
    for (const char* known : {"showAll", "noBorder", "exactFit", "noScale"})
        if (equalsIgnoringCase(mode, known))
            world->scaleMode = known;
    return Value();
}

// align keeps the edges named, in the order L, T, R, B Flash prints them.
Value stageAlign(Interpreter&, const Value& self, std::span<const Value>) {
    WorldObject* world = worldOf(self);
    return world ? Value(world->align) : Value();
}

Value setStageAlign(Interpreter& vm, const Value& self, std::span<const Value> args) {
    WorldObject* world = worldOf(self);
    if (!world)
        return Value();
    std::string given = vm.toString(argAt(args, 0));
    for (char& c : given)
        if (c >= 'a' && c <= 'z')
            c = char(c - 32);
    world->align.clear();
    for (char edge : {'L', 'T', 'R', 'B'})
        if (given.find(edge) != std::string::npos)
            world->align += edge;
    return Value();
}

Value stageShowMenu(Interpreter&, const Value& self, std::span<const Value>) {
    WorldObject* world = worldOf(self);
    return world ? Value(world->showMenu) : Value();
}

Value setStageShowMenu(Interpreter& vm, const Value& self, std::span<const Value> args) {
    if (WorldObject* world = worldOf(self))
        world->showMenu = vm.toBoolean(argAt(args, 0));
    return Value();
}

Value stageDisplayState(Interpreter&, const Value& self, std::span<const Value>) {
    WorldObject* world = worldOf(self);
    return world ? Value(world->displayState) : Value();
}

// "normal" or "fullScreen" in any case; a change is told to the listeners (onFullScreen).
Value setStageDisplayState(Interpreter& vm, const Value& self, std::span<const Value> args) {
    WorldObject* world = worldOf(self);
    if (!world)
        return Value();
    const std::string state = vm.toString(argAt(args, 0));
    std::string next;
    if (equalsIgnoringCase(state, "normal"))
        next = "normal";
    else if (equalsIgnoringCase(state, "fullScreen"))
        next = "fullScreen";
    if (next.empty() || next == world->displayState)
        return Value();
    world->displayState = next;
    Value message[] = {Value("onFullScreen"), Value(next == "fullScreen")};
    vm.callMethod(self, "broadcastMessage", message);
    return Value();
}

void installStage(Interpreter& vm) {
    auto* stage = vm.heap().make<WorldObject>(vm.builtins().objectProto);
    vm.global()->define("Stage", stage, kDontEnum);
    makeBroadcaster(vm, stage);
    auto accessor = [&](std::string_view name, NativeFunction getter, NativeFunction setter) {
        stage->defineAccessor(name, vm.makeNative(getter), setter ? vm.makeNative(setter) : nullptr,
                              kDontEnum | kDontDelete);
    };
    accessor("width", stageWidth, nullptr);
    accessor("height", stageHeight, nullptr);
    accessor("scaleMode", stageScaleMode, setStageScaleMode);
    accessor("align", stageAlign, setStageAlign);
    accessor("showMenu", stageShowMenu, setStageShowMenu);
    accessor("displayState", stageDisplayState, setStageDisplayState);
}

// ---- System ----

Value returnTrue(Interpreter&, const Value&, std::span<const Value>) {
    return true;
}
Value returnFalse(Interpreter&, const Value&, std::span<const Value>) {
    return false;
}
Value returnNothing(Interpreter&, const Value&, std::span<const Value>) {
    return Value();
}
Value returnZero(Interpreter&, const Value&, std::span<const Value>) {
    return 0;
}
Value returnNull(Interpreter&, const Value&, std::span<const Value>) {
    return Value::null();
}
Value returnUnknownMode(Interpreter&, const Value&, std::span<const Value>) {
    return "UNKNOWN";
}

Value playerVersion(Interpreter&, const Value&, std::span<const Value>) {
    return kPlayerVersion;
}

// allowDomain(domains...): nothing is loaded from elsewhere, so any domain is fine; only a
// call without one is refused.
Value allowDomain(Interpreter&, const Value&, std::span<const Value> args) {
    return !args.empty();
}

void installSystem(ScriptRuntime& runtime) {
    Interpreter& vm = runtime.interpreter();
    Object* system = vm.makeObject();
    vm.global()->define("System", system, kDontEnum);

    Object* capabilities = vm.makeObject();
    system->define("capabilities", capabilities, kDontEnum);
    const std::pair<const char*, Value> values[] = {
        {"version", kPlayerVersion},
        {"os", "Linux"},
        {"manufacturer", "Adobe Linux"},
        {"playerType", "StandAlone"},
        {"language", "en"},
        {"screenResolutionX", kScreenWidth},
        {"screenResolutionY", kScreenHeight},
        {"screenDPI", 72},
        {"screenColor", "color"},
        {"pixelAspectRatio", 1},
        {"serverString",
         "A=t&SA=t&SV=t&EV=t&MP3=t&AE=t&VE=t&ACC=f&PR=t&SP=f&SB=f&DEB=f&V=LNX%209%2C0%2C124%2C0"
         "&M=Adobe%20Linux&R=1536x864&DP=72&COL=color&AR=1.0&OS=Linux&L=en&PT=StandAlone"
         "&AVD=f&LFD=f&WD=f&TLS=t"},
        {"localFileReadDisable", false},
        {"isDebugger", false},
        {"hasVideoEncoder", true},
        {"hasStreamingVideo", true},
        {"hasStreamingAudio", true},
        {"hasScreenPlayback", false},
        {"hasScreenBroadcast", false},
        {"hasPrinting", true},
        {"hasMP3", true},
        {"hasEmbeddedVideo", true},
        {"hasAudioEncoder", true},
        {"hasAudio", true},
        {"hasAccessibility", false},
        {"hasIME", false},
        {"hasTLS", true},
        {"avHardwareDisable", false},
        {"windowlessDisable", false},
    };
    for (const auto& [name, value] : values)
        capabilities->define(name, value, kDontEnum);

    Object* security = vm.makeObject();
    system->define("security", security, kDontEnum);
    // A local movie's sandbox: the network when its FileAttributes ask for it, else files.
    const auto& definition = runtime.movieDefinition();
    const bool network = definition && (definition->fileAttributes & 0x01);
    security->define("sandboxType", network ? "localWithNetwork" : "localWithFile", kDontEnum);
    vm.defineMethod(security, "allowDomain", allowDomain);
    vm.defineMethod(security, "allowInsecureDomain", allowDomain);
    vm.defineMethod(security, "loadPolicyFile", returnNothing);

    vm.defineMethod(system, "setClipboard", returnFalse);
    vm.defineMethod(system, "showSettings", returnNothing);
    system->define("exactSettings", vm.version() >= 7, kDontEnum);
    system->define("useCodepage", false, kDontEnum);

    Object* productProto = vm.makeObject();
    FunctionObject* product = vm.defineClass({}, returnNothing, productProto);
    system->define("Product", product, kDontEnum);
    vm.defineMethod(productProto, "launch", returnFalse);
    vm.defineMethod(productProto, "download", returnFalse);

    // No input method editor runs during a conversion.
    Object* ime = vm.makeObject();
    system->define("IME", ime, kDontEnum);
    makeBroadcaster(vm, ime);
    vm.defineMethod(ime, "getEnabled", returnFalse);
    vm.defineMethod(ime, "setEnabled", returnFalse);
    vm.defineMethod(ime, "getConversionMode", returnUnknownMode);
    vm.defineMethod(ime, "setConversionMode", returnFalse);
    vm.defineMethod(ime, "setCompositionString", returnFalse);
    vm.defineMethod(ime, "doConversion", returnFalse);
    for (const char* mode :
         {"ALPHANUMERIC_FULL", "ALPHANUMERIC_HALF", "CHINESE", "JAPANESE_HIRAGANA",
          "JAPANESE_KATAKANA_FULL", "JAPANESE_KATAKANA_HALF", "KOREAN", "UNKNOWN"})
        ime->define(mode, mode, kConstant);

    vm.defineMethod(vm.global(), "getVersion", playerVersion);
    // $version lives on the root timeline, not on _global.
    if (ClipObject* root = runtime.rootClip())
        root->define("$version", kPlayerVersion, kDontEnum);
}

// ---- Mouse ----

// hide() and show() answer 1 when the pointer was visible before the call, else 0.
Value showPointer(Interpreter& vm, const Value& self, bool visible) {
    WorldObject* world = worldOf(self);
    if (!world)
        return Value();
    const bool was = world->pointerVisible;
    world->pointerVisible = visible;
    runtimeOf(vm).setPointerHidden(!visible);
    return was ? 1 : 0;
}

Value mouseShow(Interpreter& vm, const Value& self, std::span<const Value>) {
    return showPointer(vm, self, true);
}

Value mouseHide(Interpreter& vm, const Value& self, std::span<const Value>) {
    return showPointer(vm, self, false);
}

void installMouse(Interpreter& vm) {
    auto* mouse = vm.heap().make<WorldObject>(vm.builtins().objectProto);
    vm.global()->define("Mouse", mouse, kDontEnum);
    makeBroadcaster(vm, mouse);
    vm.defineMethod(mouse, "show", mouseShow);
    vm.defineMethod(mouse, "hide", mouseHide);
}

// ---- SharedObject ----

// Where getLocal keeps the objects it made, by name and path: a hidden member of the class.
constexpr const char* kStoreName = "\x01store";

bool validObjectName(std::string_view name) {
    return !name.empty() && name.find_first_of(" ~%&\\;:\"',<>?#") == std::string_view::npos;
}

// SharedObject.getLocal(name, localPath): the same object for the same name and path during
// the run; null for a name Flash refuses.
Value sharedObjectGetLocal(Interpreter& vm, const Value&, std::span<const Value> args) {
    const std::string name = vm.toString(argAt(args, 0));
    if (!validObjectName(name))
        return Value::null();
    const std::string path = args.size() > 1 && !args[1].isNullish() ? vm.toString(args[1]) : "";
    Value ctor = vm.getMember(vm.global(), "SharedObject");
    Object* store = vm.getMember(ctor, kStoreName).object();
    if (!store)
        return Value::null();
    const std::string key = path + "\n" + name;
    if (const Property* p = store->properties().find(key, true))
        return p->value;
    Value object = vm.construct(ctor, {});
    if (Object* so = object.object()) {
        so->define("data", vm.makeObject(), kDontEnum | kDontDelete);
        store->define(key, object, kDontEnum);
    }
    return object;
}

// clear(): the data goes; the object stays the one getLocal answers.
Value sharedObjectClear(Interpreter& vm, const Value& self, std::span<const Value>) {
    Object* data = vm.getMember(self, "data").object();
    if (!data)
        return Value();
    std::vector<std::string> names;
    data->properties().forEach([&](const Property& p) { names.push_back(p.name.str()); });
    for (const std::string& name : names)
        vm.deleteMember(data, name);
    return Value();
}

Value sharedObjectGetSize(Interpreter& vm, const Value& self, std::span<const Value>) {
    Object* data = vm.getMember(self, "data").object();
    return data ? double(data->properties().size()) : 0.0;
}

void installSharedObject(Interpreter& vm) {
    Object* proto = vm.makeObject();
    FunctionObject* ctor = vm.defineClass("SharedObject", returnNothing, proto);
    ctor->define(kStoreName, vm.makeObject(), kDontEnum | kDontDelete | kReadOnly);
    vm.defineMethod(ctor, "getLocal", sharedObjectGetLocal);
    vm.defineMethod(ctor, "getRemote", returnNull);
    vm.defineMethod(ctor, "deleteAll", returnFalse);
    vm.defineMethod(ctor, "getDiskUsage", returnZero);
    vm.defineMethod(proto, "flush", returnTrue);
    vm.defineMethod(proto, "clear", sharedObjectClear);
    vm.defineMethod(proto, "getSize", sharedObjectGetSize);
    vm.defineMethod(proto, "close", returnNothing);
    vm.defineMethod(proto, "connect", returnFalse);
    vm.defineMethod(proto, "send", returnNothing);
    vm.defineMethod(proto, "setFps", returnFalse);
}

} // namespace

void installStageBuiltins(ScriptRuntime& runtime) {
    Interpreter& vm = runtime.interpreter();
    installStage(vm);
    installSystem(runtime);
    installKeyBuiltins(runtime);
    installMouse(vm);
    installSharedObject(vm);
}

} // namespace swivio::swf::avm1
