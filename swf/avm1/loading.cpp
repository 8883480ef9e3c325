// Loading data beside the movie. Requests wait in a hidden list on _global (so the collector
// keeps their objects) and are answered on a later frame, as a player answers a download.
#include "swf/avm1/loading.h"

#include <cctype>
#include <fstream>
#include <iterator>

#include "swf/avm1/amf0.h"
#include "swf/avm1/builtins.h"
#include "swf/avm1/movie_loader.h"
#include "swf/avm1/movie_runtime.h"

namespace swivio::swf::avm1 {

namespace {

// Hidden slots of _global: never listed, and out of sight of movies before version 10 even
// when a script clears the other flags.
constexpr uint16_t kHiddenSlot = kDontEnum | kDontDelete | kVersion10;
constexpr std::string_view kPendingSlot = "\x01pendingLoads";

enum class LoadKind { Data = 1, Variables = 2 };

bool isClip(const Value& v) {
    return v.isObject() && v.object()->kind() == ObjectKind::Clip;
}

ScriptRuntime& runtimeOf(Interpreter& vm) {
    return static_cast<ScriptRuntime&>(vm.host());
}

ArrayObject* pendingList(Interpreter& vm) {
    const Property* slot = vm.global()->properties().find(kPendingSlot, true);
    if (slot && slot->value.object() && slot->value.object()->kind() == ObjectKind::Array)
        return static_cast<ArrayObject*>(slot->value.object());
    ArrayObject* list = vm.makeArray();
    vm.global()->define(kPendingSlot, list, kHiddenSlot);
    return list;
}

// The request list is bounded: a script calling load in a loop cannot grow it without end.
constexpr uint32_t kMaxPending = 10000;
constexpr std::uintmax_t kBytesPerFrame = 64u << 20;

bool queue(Interpreter& vm, LoadKind kind, const Value& target, const std::string& path,
           const Value& extra = Value()) {
    ArrayObject* list = pendingList(vm);
    if (list->length() >= kMaxPending) {
        vm.host().scriptError("too many loads pending: request dropped");
        return false;
    }
    Object* request = vm.makeObject();
    request->define("kind", int(kind), 0);
    request->define("target", target, 0);
    request->define("path", Value(path), 0);
    request->define("extra", extra, 0);
    list->push(request);
    return true;
}

// The url's file, or a script error and nullopt.
std::optional<std::string> allowedPath(Interpreter& vm, std::string_view url) {
    std::string why;
    auto path = localLoadPath(runtimeOf(vm).moviePath(), url, why);
    if (!path) {
        vm.host().scriptError("load of \"" + std::string(url) + "\" refused: " + why);
        return std::nullopt;
    }
    return path->string();
}

std::optional<std::string> readFile(const std::string& path, std::size_t limit) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return std::nullopt;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec || size > limit)
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in && !in.eof())
        return std::nullopt;
    return text;
}

// A UTF-8 byte order mark is not part of the text (the byte counts still include it).
std::string withoutByteOrderMark(std::string text) {
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text.erase(0, 3);
    return text;
}

// Marks target as waiting for data, as load() leaves it until the answer comes.
void startLoading(Interpreter& vm, const Value& target) {
    vm.setMember(target, "loaded", false);
    vm.setMember(target, "_bytesLoaded", 0);
    vm.setMember(target, "_bytesTotal", Value());
}

Value load(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    if (args.empty() || !thisValue.isObject())
        return false;
    auto path = allowedPath(vm, vm.toString(args[0]));
    if (!path)
        return false;
    startLoading(vm, thisValue);
    return queue(vm, LoadKind::Data, thisValue, *path);
}

// Only the answer is read: nothing is sent anywhere.
Value sendAndLoad(Interpreter& vm, const Value&, std::span<const Value> args) {
    const Value& target = argAt(args, 1);
    if (args.empty() || !target.isObject())
        return false;
    auto path = allowedPath(vm, vm.toString(args[0]));
    if (!path)
        return false;
    startLoading(vm, target);
    return queue(vm, LoadKind::Data, target, *path);
}

Value send(Interpreter& vm, const Value&, std::span<const Value> args) {
    vm.host().scriptError("send(\"" + vm.toString(argAt(args, 0)) +
                          "\") refused: movies send nothing here");
    return false;
}

// clip.loadVariables(url, method): the variables land on the clip itself.
Value clipLoadVariables(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    if (!isClip(thisValue) || args.empty())
        return Value();
    const bool post = args.size() > 1 && equalsIgnoringAsciiCase(vm.toString(args[1]), "POST");
    loadVariablesInto(runtimeOf(vm), thisValue.object(), vm.toString(args[0]), "", post);
    return Value();
}

// ---- MovieClipLoader ----

// A loadClip/getProgress target: a clip, a path, or a level number. Undefined when the
// value cannot name one; an unknown path or level gives a string so the caller can tell.
Value targetClip(Interpreter& vm, const Value& target) {
    if (isClip(target))
        return target;
    std::string path;
    if (target.isString())
        path = target.string();
    else if (target.isNumber() && target.number() >= 0 && target.number() < 1e6)
        path = "_level" + std::to_string(int(target.number()));
    else
        return Value();
    ScriptRuntime& runtime = runtimeOf(vm);
    Object* base = vm.currentTarget() ? vm.currentTarget() : runtime.rootClip();
    if (Object* clip = runtime.resolveTarget(base, path))
        return clip;
    return Value(path);
}

// A MovieClipLoader is an object of the player's own kind, as LoadVars is.
class LoaderObject : public Object {
public:
    using Object::Object;
    ObjectKind kind() const override { return ObjectKind::Other; }
};

Object* allocateLoader(Interpreter& vm, Object* proto) {
    vm.checkCells();
    return vm.heap().make<LoaderObject>(proto);
}

// The loader is its own first listener, so handlers set on it are called.
Value loaderConstructor(Interpreter& vm, const Value& thisValue, std::span<const Value>) {
    Object* self = thisValue.object();
    if (!self)
        return Value();
    Value first[] = {thisValue};
    self->define("_listeners", vm.makeArray(first), kDontEnum);
    return Value();
}

Value loadClip(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    if (args.size() < 2)
        return Value();
    if (!args[0].isString())
        return false;
    Value target = targetClip(vm, args[1]);
    // A level not there yet would be made by the load; a path must name a clip.
    if (target.isUndefined() || (target.isString() && !args[1].isNumber()))
        return false;
    const std::string url = args[0].string();
    if (isClip(target))
        requestClipLoad(runtimeOf(vm), target.object(), url, thisValue);
    else if (args[1].isNumber())
        requestLevelLoad(runtimeOf(vm), int(args[1].number()), url, thisValue);
    else
        requestLevelLoad(runtimeOf(vm), levelNumber(target.string()), url, thisValue);
    return true;
}

Value unloadClip(Interpreter& vm, const Value&, std::span<const Value> args) {
    Value target = targetClip(vm, argAt(args, 0));
    if (!isClip(target))
        return Value();
    requestClipLoad(runtimeOf(vm), target.object(), "");
    return true;
}

Value getProgress(Interpreter& vm, const Value&, std::span<const Value> args) {
    const Value& arg = argAt(args, 0);
    if (!isClip(arg) && !arg.isString() && !arg.isNumber())
        return Value();
    Value target = targetClip(vm, arg);
    // A bare object: nothing inherited, only the two counts.
    vm.checkCells();
    Object* result = vm.heap().make<Object>(nullptr);
    Value loaded, total;
    if (isClip(target)) {
        loaded = vm.callMethod(target, "getBytesLoaded", {});
        total = vm.callMethod(target, "getBytesTotal", {});
    }
    result->define("bytesLoaded", loaded, 0);
    result->define("bytesTotal", total, 0);
    return result;
}

// ---- Delivery ----

// One answered request, run as a native so a script error in a handler is reported, not
// thrown into the runtime.
// Form encoding: letters, digits and "*-._" as they are, a space as "+", the rest as %XX.
std::string formEncode(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '*' || c == '-' || c == '.' || c == '_') {
            out += char(c);
        } else if (c == ' ') {
            out += '+';
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

void logFormPost(Interpreter& vm, const Value& target, const std::string& url) {
    std::string body;
    if (Object* object = target.object()) {
        for (const SharedString& name : vm.enumerate(object)) {
            const Value value = vm.getMember(target, name.str());
            if (value.object() && value.object()->kind() == ObjectKind::Function)
                continue;
            body += (body.empty() ? "" : "&") + formEncode(name.str()) + "=" +
                    formEncode(vm.toString(value));
            vm.checkStringLength(body.size());
        }
    }
    logUnsentRequest(vm, url, "POST", "application/x-www-form-urlencoded",
                     {reinterpret_cast<const uint8_t*>(body.data()), body.size()}, true);
}

Value deliverOne(Interpreter& vm, const Value& request, std::span<const Value>) {
    Object* r = request.object();
    auto field = [&](std::string_view name) {
        const Property* p = r->properties().find(name, true);
        return p ? p->value : Value();
    };
    const auto kind = LoadKind(int(field("kind").number()));
    const Value target = field("target");
    // A POST sends the target's variables along: shown, since nothing is sent anywhere.
    if (kind == LoadKind::Variables && field("extra").isString())
        logFormPost(vm, target, field("extra").string());
    std::optional<std::string> text = readFile(field("path").string(), vm.limits().maxStringLength);
    if (kind == LoadKind::Variables) {
        if (text)
            text = withoutByteOrderMark(std::move(*text));
        if (text)
            decodeVariables(vm, target, *text);
        return Value();
    }
    if (text) {
        vm.setMember(target, "_bytesLoaded", double(text->size()));
        vm.setMember(target, "_bytesTotal", double(text->size()));
    }
    // An empty answer counts as none.
    if (text && text->empty())
        text.reset();
    Value one[] = {text ? Value(withoutByteOrderMark(std::move(*text))) : Value()};
    vm.callMethod(target, "onData", one);
    return Value();
}

} // namespace

std::optional<std::filesystem::path> localLoadPath(std::string_view moviePath, std::string_view url,
                                                   std::string& why) {
    namespace fs = std::filesystem;
    url = url.substr(0, std::min(url.find('?'), url.find('#')));
    if (moviePath.empty()) {
        why = "the movie has no folder";
        return std::nullopt;
    }
    if (url.empty() || url.find('\0') != std::string_view::npos) {
        why = "no file named";
        return std::nullopt;
    }
    if (url.find(':') != std::string_view::npos || url.front() == '/' ||
        url.find('\\') != std::string_view::npos) {
        why = "only files beside the movie may be read";
        return std::nullopt;
    }
    std::size_t start = 0;
    while (start <= url.size()) {
        const std::size_t end = std::min(url.find('/', start), url.size());
        if (url.substr(start, end - start) == "..") {
            why = "only files beside the movie may be read";
            return std::nullopt;
        }
        start = end + 1;
    }
    std::error_code ec;
    const fs::path movie = fs::absolute(fs::path(moviePath), ec);
    const fs::path folder = fs::weakly_canonical(movie.parent_path(), ec);
    const fs::path file = fs::weakly_canonical(folder / fs::path(url), ec);
    if (ec) {
        why = ec.message();
        return std::nullopt;
    }
    // A link inside the folder must not lead out of it.
    auto f = file.begin();
    for (auto d = folder.begin(); d != folder.end(); ++d, ++f)
        if (f == file.end() || *d != *f) {
            why = "only files beside the movie may be read";
            return std::nullopt;
        }
    return file;
}

void installLoadingBuiltins(ScriptRuntime& runtime) {
    Interpreter& vm = runtime.interpreter();
    for (std::string_view className : {"XML", "LoadVars"}) {
        const Property* ctor = vm.global()->properties().find(className, true);
        Object* proto = ctor ? vm.getMember(ctor->value, "prototype").object() : nullptr;
        if (!proto)
            continue;
        vm.defineMethod(proto, "load", load);
        vm.defineMethod(proto, "sendAndLoad", sendAndLoad);
        vm.defineMethod(proto, "send", send);
    }
    if (Object* clipProto = vm.builtins().clipProto)
        vm.defineMethod(clipProto, "loadVariables", clipLoadVariables);
    installMovieLoading(runtime);
    Object* proto = vm.makeObject();
    vm.defineClass("MovieClipLoader", loaderConstructor, proto, allocateLoader);
    vm.defineMethod(proto, "loadClip", loadClip);
    vm.defineMethod(proto, "unloadClip", unloadClip);
    vm.defineMethod(proto, "getProgress", getProgress);
    // The listener methods live on the prototype, taken from AsBroadcaster.
    if (const Property* broadcaster = vm.global()->properties().find("AsBroadcaster", true))
        for (const char* name : {"addListener", "removeListener", "broadcastMessage"})
            proto->define(name, vm.getMember(broadcaster->value, name));
}

void loadVariablesInto(ScriptRuntime& runtime, Object* base, std::string_view url,
                       std::string_view target, bool post) {
    Interpreter& vm = runtime.interpreter();
    if (!base)
        base = runtime.rootClip();
    Object* clip = target.empty() ? base : runtime.resolveTarget(base, target);
    if (!clip) {
        runtime.scriptError("loadVariables(\"" + std::string(url) + "\"): no clip at \"" +
                            std::string(target) + "\"");
        return;
    }
    if (auto path = allowedPath(vm, url))
        queue(vm, LoadKind::Variables, Value(clip), *path, post ? Value(std::string(url)) : Value());
}

void deliverLoads(ScriptRuntime& runtime) {
    Interpreter& vm = runtime.interpreter();
    beginMovieLoadTick(runtime);
    const Property* slot = vm.global()->properties().find(kPendingSlot, true);
    auto* list = slot ? dynamic_cast<ArrayObject*>(slot->value.object()) : nullptr;
    if (!list || list->length() == 0)
        return;
    // What the handlers ask for now waits for the next frame.
    std::vector<Value> requests;
    for (uint32_t i = 0; i < list->length(); ++i)
        requests.push_back(list->at(i));
    list->setLength(0);
    FunctionObject* deliver = vm.makeNative(deliverOne);
    // Files are read up to a budget per frame; what is left waits, so a movie asking for
    // thousands of big files slows down instead of stalling.
    std::vector<Value> deferred;
    std::uintmax_t bytesRead = 0;
    for (const Value& request : requests) {
        const Property* path = request.object()->properties().find("path", true);
        std::error_code ec;
        const std::uintmax_t size = path ? std::filesystem::file_size(path->value.string(), ec) : 0;
        if (!ec && bytesRead > 0 && bytesRead + size > kBytesPerFrame) {
            deferred.push_back(request);
            continue;
        }
        bytesRead += ec ? 0 : size;
        vm.callFromHost(Value(deliver), request, {});
        const Property* kind = request.object()->properties().find("kind", true);
        if (!kind || LoadKind(int(kind->value.number())) != LoadKind::Variables)
            continue;
        // The variables are in: the clip hears onClipEvent(data), then onData.
        const Property* target = request.object()->properties().find("target", true);
        auto* clip = dynamic_cast<ClipObject*>(target ? target->value.object() : nullptr);
        if (!clip || !(clip = clip->live()))
            continue;
        for (const ClipEventHandler& handler : clip->clipEvents)
            if (handler.events & kClipEventData)
                vm.runScript(ActionBlock{handler.actions, clip->version, nullptr}, clip);
        Value onData = vm.getMemberFromHost(Value(clip), "onData");
        if (onData.isObject() && onData.object()->kind() == ObjectKind::Function)
            vm.callFromHost(onData, Value(clip), {});
    }
    if (deferred.empty())
        return;
    ArrayObject* pending = pendingList(vm);
    for (uint32_t i = 0; i < pending->length(); ++i)
        deferred.push_back(pending->at(i));
    pending->setLength(0);
    for (Value& request : deferred)
        pending->push(std::move(request));
}

} // namespace swivio::swf::avm1
