// Movies and pictures loaded into clips and levels. Requests wait in a hidden list on
// _global (so the collector keeps their objects) and are answered on the next frame, as a
// player answers a download.
#include "swf/avm1/movie_loader.h"

#include <fstream>
#include <iterator>
#include <optional>

#include "swf/avm1/builtins.h"
#include "swf/avm1/loading.h"
#include "swf/avm1/movie_runtime.h"
#include "swf/player/loaded_movie.h"

namespace swivio::swf::avm1 {

namespace {

constexpr uint16_t kHiddenSlot = kDontEnum | kDontDelete | kVersion10;
constexpr std::string_view kPendingSlot = "\x01pendingMovieLoads";
// Counts ticks, so that a request is answered on the tick after the one that made it.
constexpr std::string_view kTickSlot = "\x01movieLoadTick";
constexpr uint32_t kMaxPending = 1000;
// Files read for one frame's answers together; the rest wait for the next frame.
constexpr std::size_t kBytesPerFrame = std::size_t(128) << 20;
// Different files (or urls) loaded and alive at once: each may hold up to
// kMaxLoadedMovieBytes and its decoded bitmaps.
constexpr std::size_t kMaxLoadedMovies = 64;

ArrayObject* pendingList(Interpreter& vm) {
    const Property* slot = vm.global()->properties().find(kPendingSlot, true);
    if (slot && slot->value.object() && slot->value.object()->kind() == ObjectKind::Array)
        return static_cast<ArrayObject*>(slot->value.object());
    ArrayObject* list = vm.makeArray();
    vm.global()->define(kPendingSlot, list, kHiddenSlot);
    return list;
}

double currentTick(Interpreter& vm) {
    const Property* slot = vm.global()->properties().find(kTickSlot, true);
    return slot && slot->value.isNumber() ? slot->value.number() : 0;
}

Value field(Object* request, std::string_view name) {
    const Property* p = request->properties().find(name, true);
    return p ? p->value : Value();
}

// target: a clip, or a level number.
void queue(ScriptRuntime& runtime, const Value& target, std::string_view url, const Value& loader) {
    Interpreter& vm = runtime.interpreter();
    ArrayObject* list = pendingList(vm);
    if (list->length() >= kMaxPending) {
        runtime.scriptError("too many movie loads pending: request dropped");
        return;
    }
    // An unload cancels the loads into the same target still waiting: their loaders hear
    // that the load started, and nothing after.
    if (url.empty())
        for (uint32_t i = 0; i < list->length(); ++i)
            if (Object* waiting = list->at(i).object();
                waiting && field(waiting, "target").strictlyEquals(target))
                waiting->define("cancelled", true, 0);
    std::string path;
    if (!url.empty()) {
        std::string why;
        if (auto file = localLoadPath(runtime.moviePath(), url, why))
            path = file->string();
        else
            runtime.scriptError("load of \"" + std::string(url) + "\" refused: " + why);
    }
    Object* request = vm.makeObject();
    request->define("target", target, 0);
    request->define("url", Value(std::string(url)), 0);
    request->define("path", Value(path), 0);
    request->define("loader", loader, 0);
    request->define("tick", currentTick(vm), 0);
    list->push(request);
}

std::optional<std::vector<uint8_t>> readFile(const std::string& path) {
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(path, ec))
        return std::nullopt;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec || size > kMaxLoadedMovieBytes)
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    if (bytes.size() > kMaxLoadedMovieBytes)
        return std::nullopt;
    return bytes;
}

void broadcast(Interpreter& vm, const Value& loader, std::initializer_list<Value> args) {
    if (!loader.isObject())
        return;
    Value fn = vm.getMemberFromHost(loader, "broadcastMessage");
    if (fn.isObject() && fn.object()->kind() == ObjectKind::Function)
        vm.callFromHost(fn, loader, std::span<const Value>(args.begin(), args.size()));
}

// What a clip's scripts set goes with its old content (handlers set as properties too);
// _lockroot and the onClipEvent handlers of its placement stay with the instance.
void resetClip(ScriptRuntime& runtime, ClipObject& clip) {
    std::vector<std::string> names;
    clip.properties().forEach([&](const Property& p) { names.push_back(p.name.str()); });
    for (const std::string& name : names)
        clip.properties().remove(name, true);
    if (Object* proto = runtime.interpreter().builtins().clipProto)
        clip.setProto(proto);
}

DisplayObject* targetDisplay(const Value& target) {
    auto* clip = dynamic_cast<ClipObject*>(target.object());
    return clip ? clip->display() : nullptr;
}

struct Loaded {
    Value loader;
    Value target;
};

// One request; the loader to tell of onLoadInit once the first frame has run, if any.
std::optional<Loaded> deliver(ScriptRuntime& runtime, Object* request) {
    Interpreter& vm = runtime.interpreter();
    TimelinePlayer& player = runtime.player();
    const Value target = field(request, "target");
    const Value loader = field(request, "loader");
    const std::string url = field(request, "url").isString() ? field(request, "url").string() : "";
    const int level = target.isNumber() ? int(target.number()) : -1;
    DisplayObject* display = level >= 0 ? player.level(level) : targetDisplay(target);
    if (level < 0 && !display)
        return std::nullopt; // the clip has gone
    if (field(request, "cancelled").isBoolean()) {
        if (display)
            broadcast(vm, loader, {Value("onLoadStart"), Value(runtime.clipFor(*display))});
        return std::nullopt;
    }
    if (url.empty()) {
        if (level > 0)
            player.unloadLevel(level);
        else if (display)
            player.loadInto(*display, nullptr);
        return std::nullopt;
    }
    const int fallback = display ? runtime.versionFor(*display) : runtime.version();
    const Value path = field(request, "path");
    std::string why;
    auto movie =
        runtime.loadMovieFile(url, path.isString() ? path.string() : std::string(), fallback, why);
    if (!movie) {
        runtime.scriptError("load of \"" + url + "\" failed: " + why);
        broadcast(vm, loader,
                  {Value("onLoadError"), display ? Value(runtime.clipFor(*display)) : Value(),
                   Value("URLNotFound"), Value(0)});
        return std::nullopt;
    }
    const double size = movie->bytes;
    if (display) {
        resetClip(runtime, *runtime.clipFor(*display));
        if (!display->isRoot())
            runtime.contentLoading(runtime.clipFor(*display));
        if (!player.loadInto(*display, movie))
            return std::nullopt;
    } else {
        display = player.loadLevel(level, movie);
        if (!display)
            return std::nullopt;
    }
    ClipObject* clip = runtime.clipFor(*display);
    // A query's variables land on the loaded clip before its first frame runs.
    if (const std::size_t q = url.find('?'); q != std::string::npos)
        decodeVariables(vm, Value(clip), std::string_view(url).substr(q + 1));
    broadcast(vm, loader, {Value("onLoadStart"), Value(clip)});
    broadcast(vm, loader, {Value("onLoadProgress"), Value(clip), Value(size), Value(size)});
    // The data has arrived: the instance hears onClipEvent(data).
    for (const ClipEventHandler& handler : std::vector<ClipEventHandler>(clip->clipEvents))
        if ((handler.events & kClipEventData) && clip->alive())
            vm.runScript(ActionBlock{handler.actions, clip->version, clip->owner}, clip);
    if (!loader.isObject())
        return std::nullopt;
    broadcast(vm, loader, {Value("onLoadComplete"), Value(clip), Value(0)});
    return Loaded{loader, Value(clip)};
}

Value clipLoadMovie(Interpreter& vm, const Value& self, std::span<const Value> args) {
    auto* clip = dynamic_cast<ClipObject*>(self.object());
    if (!clip || args.empty())
        return Value();
    const std::string url = vm.toString(args[0]);
    if (!url.empty())
        requestClipLoad(static_cast<ScriptRuntime&>(vm.host()), clip, url);
    return Value();
}

Value clipUnloadMovie(Interpreter& vm, const Value& self, std::span<const Value>) {
    if (auto* clip = dynamic_cast<ClipObject*>(self.object()))
        requestClipLoad(static_cast<ScriptRuntime&>(vm.host()), clip, "");
    return Value();
}

} // namespace

int levelNumber(std::string_view name) {
    // "_flashN" is another name for "_levelN".
    if (name.size() <= 6 || !(equalsIgnoringAsciiCase(name.substr(0, 6), "_level") ||
                              equalsIgnoringAsciiCase(name.substr(0, 6), "_flash")))
        return -1;
    int n = 0;
    for (char c : name.substr(6)) {
        if (c < '0' || c > '9' || n > TimelinePlayer::kMaxLevel)
            return -1;
        n = n * 10 + (c - '0');
    }
    return n <= TimelinePlayer::kMaxLevel ? n : -1;
}

void requestClipLoad(ScriptRuntime& runtime, Object* target, std::string_view url,
                     const Value& loader) {
    auto* clip = dynamic_cast<ClipObject*>(target);
    DisplayObject* display = clip ? clip->display() : nullptr;
    if (!display || !display->isClip())
        return;
    // A level's root is loaded as the level, so that unloading it removes the level.
    if (display->isRoot())
        return requestLevelLoad(runtime, display->depth, url, loader);
    queue(runtime, Value(runtime.clipFor(*display)), url, loader);
}

void requestLevelLoad(ScriptRuntime& runtime, int level, std::string_view url,
                      const Value& loader) {
    if (level < 0 || level > TimelinePlayer::kMaxLevel)
        return;
    queue(runtime, Value(double(level)), url, loader);
}

bool requestLoadFromGetUrl(ScriptRuntime& runtime, Object* base, std::string_view url,
                           std::string_view target, bool loadTarget) {
    if (const int level = levelNumber(target); level >= 0) {
        requestLevelLoad(runtime, level, url);
        return true;
    }
    if (!loadTarget)
        return false;
    Object* clip = runtime.resolveTarget(base ? base : runtime.rootClip(), target);
    if (!clip) {
        runtime.scriptError("loadMovie(\"" + std::string(url) + "\"): no clip at \"" +
                            std::string(target) + "\"");
        return true;
    }
    requestClipLoad(runtime, clip, url);
    return true;
}

void deliverMovieLoads(ScriptRuntime& runtime) {
    Interpreter& vm = runtime.interpreter();
    const Property* slot = vm.global()->properties().find(kPendingSlot, true);
    auto* list = slot ? dynamic_cast<ArrayObject*>(slot->value.object()) : nullptr;
    if (!list || list->length() == 0)
        return;
    // What the handlers ask for now waits for the next frame.
    // Requests of this tick wait for the next.
    std::vector<Value> requests, deferred;
    const double tick = currentTick(vm);
    for (uint32_t i = 0; i < list->length(); ++i) {
        Object* r = list->at(i).object();
        if (r && field(r, "tick").isNumber() && field(r, "tick").number() >= tick)
            deferred.push_back(list->at(i));
        else
            requests.push_back(list->at(i));
    }
    list->setLength(0);
    std::vector<Loaded> loaded;
    std::size_t bytesRead = 0;
    for (const Value& request : requests) {
        Object* r = request.object();
        if (!r)
            continue;
        const Value path = field(r, "path");
        std::error_code ec;
        const std::size_t size = path.isString() && !path.string().empty()
                                     ? std::size_t(std::filesystem::file_size(path.string(), ec))
                                     : 0;
        if (!ec && bytesRead > 0 && bytesRead + size > kBytesPerFrame) {
            deferred.push_back(request);
            continue;
        }
        bytesRead += ec ? 0 : size;
        if (auto done = deliver(runtime, r))
            loaded.push_back(*done);
    }
    // The loaded movies' first frames run, then their loaders hear of them, the last first.
    runtime.runQueued();
    for (auto it = loaded.rbegin(); it != loaded.rend(); ++it)
        broadcast(vm, it->loader, {Value("onLoadInit"), it->target});
    runtime.runQueued();
    ArrayObject* pending = pendingList(vm);
    for (uint32_t i = 0; i < pending->length(); ++i)
        deferred.push_back(pending->at(i));
    pending->setLength(0);
    for (Value& request : deferred)
        pending->push(std::move(request));
}

void beginMovieLoadTick(ScriptRuntime& runtime) {
    Interpreter& vm = runtime.interpreter();
    vm.global()->define(kTickSlot, currentTick(vm) + 1, kHiddenSlot);
}

void installMovieLoading(ScriptRuntime& runtime) {
    Interpreter& vm = runtime.interpreter();
    if (Object* clipProto = vm.builtins().clipProto) {
        vm.defineMethod(clipProto, "loadMovie", clipLoadMovie);
        vm.defineMethod(clipProto, "unloadMovie", clipUnloadMovie);
    }
}

// ---- The runtime's view of loaded movies ----

std::shared_ptr<const MovieDefinition>
ScriptRuntime::definitionFor(const DisplayObject& display) const {
    const LoadedMovie* loaded = loadedMovieOf(display);
    return loaded ? loaded->definition : m_movie;
}

int ScriptRuntime::versionFor(const DisplayObject& display) const {
    const LoadedMovie* loaded = loadedMovieOf(display);
    return loaded ? loaded->definition->file.version : m_version;
}

ClipObject* ScriptRuntime::rootFor(DisplayObject& display) {
    // The nearest clip with _lockroot set stands for _root; else the level's root.
    DisplayObject* top = &display;
    for (DisplayObject* o = &display; o; o = o->parent()) {
        top = o;
        auto it = m_clips.find(o->handle().id);
        if (it != m_clips.end() && it->second->lockRoot())
            return it->second;
    }
    return clipFor(*top);
}

ClipObject* ScriptRuntime::levelClip(int n) {
    DisplayObject* level = m_player ? m_player->level(n) : nullptr;
    return level ? clipFor(*level) : nullptr;
}

std::string ScriptRuntime::urlFor(const DisplayObject& display) const {
    const std::string own = "file://" + m_moviePath;
    const LoadedMovie* loaded = loadedMovieOf(display);
    if (!loaded)
        return own;
    // The url the script gave, taken relative to the first movie's folder.
    const std::size_t slash = own.rfind('/');
    if (slash == std::string::npos || slash < std::string_view("file://").size())
        return "file:///" + loaded->url;
    return own.substr(0, slash + 1) + loaded->url;
}

double ScriptRuntime::bytesTotalFor(const DisplayObject& display) const {
    if (const LoadedMovie* loaded = loadedMovieOf(display))
        return double(loaded->bytes);
    // The file's own size, compressed or not, as a download counts it.
    std::error_code ec;
    const auto size = m_moviePath.empty() ? 0 : std::filesystem::file_size(m_moviePath, ec);
    return !ec && size > 0 ? double(size) : double(m_movie->file.body->size() + 8);
}

std::shared_ptr<const LoadedMovie> ScriptRuntime::loadMovieFile(const std::string& url,
                                                                const std::string& path,
                                                                int fallbackVersion,
                                                                std::string& why) {
    // A movie loading the same file into many clips or levels holds it once.
    std::size_t alive = 0;
    for (auto it = m_loadedMovies.begin(); it != m_loadedMovies.end();) {
        if (it->second.expired()) {
            it = m_loadedMovies.erase(it);
            continue;
        }
        ++alive;
        ++it;
    }
    if (auto known = m_loadedMovies.find(url); known != m_loadedMovies.end())
        return known->second.lock();
    if (alive >= kMaxLoadedMovies) {
        why = "too many different files loaded at once";
        return nullptr;
    }
    auto bytes = readFile(path);
    if (!bytes) {
        why = path.empty() ? "refused" : "no such file beside the movie";
        return nullptr;
    }
    auto movie = makeLoadedMovie(*bytes, url, fallbackVersion);
    m_loadedMovies[url] = movie;
    return movie;
}

double ScriptRuntime::invalidBoundsValue(const DisplayObject& display, bool ownSpace) {
    // Empty bounds are the largest twips value (x.35 pixels), as they are in the clip's own
    // space. Carried into another space they round through single precision (x.4) once code
    // of version 8 or later has asked for bounds (from then on), or when a movie the clip
    // sits in (the first one, or one it was loaded into) is of version 8 or later.
    if (m_vm->version() >= 8)
        m_invalidBoundsRounded = true;
    if (ownSpace)
        return 6710886.35;
    bool rounded = m_invalidBoundsRounded || m_version >= 8;
    for (const DisplayObject* o = display.parent(); o && !rounded; o = o->parent())
        rounded = o->loadedMovie && o->loadedMovie->definition->file.version >= 8;
    return rounded ? 6710886.4 : 6710886.35;
}

} // namespace swivio::swf::avm1
