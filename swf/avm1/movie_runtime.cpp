#include "swf/avm1/movie_runtime.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "swf/avm1/builtins.h"
#include "swf/avm1/loading.h"
#include "swf/avm1/movie_loader.h"
#include "swf/avm1/number_conversion.h"
#include "swf/format/character.h"

namespace swivio::swf::avm1 {

void installClipMethods(ScriptRuntime& runtime);
void installRuntimeGlobals(ScriptRuntime& runtime);
void installStageBuiltins(ScriptRuntime& runtime);
void installBitmapDataDisplay(ScriptRuntime& runtime);
void installTextFieldBuiltins(ScriptRuntime& runtime); // builtins_textfield.cpp
void updateBoundTextFields(ScriptRuntime& runtime);
void syncBoundTextField(ScriptRuntime& runtime, DisplayObject& field);

namespace {

// How many queued scripts one tick may run before the rest is dropped (a movie whose
// scripts queue more scripts without end).
constexpr std::size_t kMaxQueuedPerTick = 20000;

bool namesMatch(std::string_view a, std::string_view b, bool caseSensitive) {
    return caseSensitive ? a == b : equalsIgnoringAsciiCase(a, b);
}

} // namespace

ScriptRuntime::ScriptRuntime(std::shared_ptr<const MovieDefinition> movie, std::string moviePath,
                             uint64_t actionBudget)
    : m_movie(std::move(movie)), m_moviePath(std::move(moviePath)),
      m_version(m_movie->file.version) {
    ScriptLimits limits;
    if (actionBudget)
        limits.actionBudget = actionBudget;
    if (m_movie->scriptLimits && m_movie->scriptLimits->maxRecursionDepth)
        limits.maxCallDepth = std::min<int>(m_movie->scriptLimits->maxRecursionDepth, 256);
    m_vm = std::make_unique<Interpreter>(*this, m_version, limits);
}

ScriptRuntime::~ScriptRuntime() = default;

const BitmapLibrary& ScriptRuntime::bitmapLibrary() {
    if (!m_bitmapLibrary)
        m_bitmapLibrary = std::make_unique<BitmapLibrary>(m_movie);
    return *m_bitmapLibrary;
}

void ScriptRuntime::attach(TimelinePlayer& player) {
    m_player = &player;
    m_vm->beginFrame();
    installClipMethods(*this);
    installRuntimeGlobals(*this);
    installStageBuiltins(*this);
    installTextFieldBuiltins(*this);
    installLoadingBuiltins(*this);
    installSoundBuiltins(*this);
    installBitmapDataDisplay(*this);
    // The prototype may have been set before the clip prototype existed.
    for (auto& [id, clip] : m_clips) {
        (void)id;
        if (!clip->proto())
            if (DisplayObject* display = clip->display())
                clip->setProto(clipPrototypeFor(*display));
    }
}

// ---- Clip objects ----

Object* ScriptRuntime::clipPrototypeFor(DisplayObject& display) {
    const Builtins& b = m_vm->builtins();
    if (display.character() && display.character()->type == CharacterType::Button)
        return b.buttonProto ? b.buttonProto : b.objectProto;
    if (display.editField && b.textFieldProto)
        return b.textFieldProto;
    return b.clipProto;
}

std::string ScriptRuntime::childPath(DisplayObject& display) {
    if (display.isRoot())
        return "_level" + std::to_string(display.depth);
    std::string parentPath = display.parent() ? childPath(*display.parent()) : "_level0";
    return parentPath + "." + display.name;
}

ClipObject* ScriptRuntime::clipFor(DisplayObject& display) {
    auto it = m_clips.find(display.handle().id);
    if (it != m_clips.end())
        return it->second;
    if (m_vm->running())
        m_vm->checkCells();
    auto* clip = m_vm->heap().make<ClipObject>(clipPrototypeFor(display), *this, display);
    clip->setPath(childPath(display));
    // Its onClipEvent handlers are bytes of the movie that placed it.
    const DisplayObject& placer = display.parent() ? *display.parent() : display;
    clip->version = versionFor(placer);
    clip->owner = definitionFor(placer);
    m_clips.emplace(display.handle().id, clip);
    return clip;
}

ClipObject* ScriptRuntime::rootClip() { return m_player ? clipFor(m_player->root()) : nullptr; }

void ScriptRuntime::renamed(DisplayObject& display) {
    auto it = m_clips.find(display.handle().id);
    if (it != m_clips.end())
        it->second->setPath(childPath(display));
}

DisplayObject* ScriptRuntime::childNamed(DisplayObject& parent, std::string_view name) {
    const bool caseSensitive = m_vm->caseSensitive();
    // The lowest depth wins among objects of the same name.
    for (auto& [depth, child] : parent.children()) {
        (void)depth;
        if (namesMatch(child->name, name, caseSensitive))
            return child.get();
    }
    return nullptr;
}

DisplayObject* ScriptRuntime::displayAtPath(std::string_view path) {
    if (!m_player || path.empty())
        return nullptr;
    std::size_t start = 0;
    DisplayObject* at = nullptr;
    while (start <= path.size()) {
        std::size_t dot = path.find('.', start);
        if (dot == std::string_view::npos)
            dot = path.size();
        std::string_view segment = path.substr(start, dot - start);
        if (!at) {
            at = m_player->level(levelNumber(segment));
            if (!at)
                return nullptr;
        } else {
            at = childNamed(*at, segment);
            if (!at)
                return nullptr;
        }
        start = dot + 1;
    }
    return at;
}

namespace {

// SWF 4 reads a level name up to its digits and ignores the rest ("_level0:x" is level 0).
int swf4LevelNumber(std::string_view token) {
    std::size_t digits = 6;
    while (digits < token.size() && token[digits] >= '0' && token[digits] <= '9')
        ++digits;
    return levelNumber(token.substr(0, digits));
}

} // namespace

Value ScriptRuntime::resolvePath(Object* base, std::string_view path) {
    if (!m_player)
        return Value();
    auto* baseClip = dynamic_cast<ClipObject*>(base);
    DisplayObject* start = baseClip ? baseClip->display() : nullptr;
    if (!start)
        start = &m_player->root();
    if (path.empty())
        return Value(clipFor(*start));
    return m_vm->version() < 5 ? resolveSwf4Path(*start, path) : resolveDottedPath(*start, path);
}

// SWF 4 knew slashes only: "/a/b", "../c", "_level0/a". A level name is read up to its
// digits, and only at the start.
Value ScriptRuntime::resolveSwf4Path(DisplayObject& start, std::string_view path) {
    DisplayObject* at = &start;
    bool first = true;
    if (path[0] == '/') {
        while (at->parent())
            at = at->parent();
        path.remove_prefix(1);
        if (!path.empty() && path[0] == '/')
            return Value();
        first = false;
    }
    while (!path.empty()) {
        std::size_t end = path.find('/');
        std::string_view token = path.substr(0, end);
        path = end == std::string_view::npos ? std::string_view() : path.substr(end + 1);
        if (const int level = first ? swf4LevelNumber(token) : -1; level >= 0) {
            at = m_player->level(level);
        } else if (token == "..") {
            at = at->parent();
        } else if (!token.empty()) {
            at = childNamed(*at, token);
        }
        first = false;
        if (!at)
            return Value();
    }
    return Value(clipFor(*at));
}

// From SWF 5 on, ":" and "." separate names too ("." only until the first "/"), ".." is the
// parent in slash paths, and a name may be a variable: "a:count" ends on a number. A child
// of that name comes before a variable of it.
Value ScriptRuntime::resolveDottedPath(DisplayObject& start, std::string_view path) {
    Value at(clipFor(start));
    bool slash = false;
    // ".." is the parent at the start and after '/' or ':', never right after a '.'.
    bool afterDot = false;
    bool first = true;
    if (path[0] == '/') {
        DisplayObject* levelRoot = &start;
        while (levelRoot->parent())
            levelRoot = levelRoot->parent();
        at = Value(clipFor(*levelRoot));
        path.remove_prefix(1);
        slash = true;
        if (!path.empty() && path[0] == '/')
            return Value();
    }
    while (!path.empty()) {
        while (!path.empty() && path[0] == ':')
            path.remove_prefix(1);
        if (path.empty())
            break;
        auto* clip = dynamic_cast<ClipObject*>(at.object());
        DisplayObject* display = clip ? clip->display() : nullptr;
        if (!afterDot && path.substr(0, 2) == ".." &&
            (path.size() == 2 || path[2] == '/' || path[2] == ':')) {
            DisplayObject* parent = display ? display->parent() : nullptr;
            if (!parent)
                return Value();
            at = Value(clipFor(*parent));
            path.remove_prefix(std::min<std::size_t>(3, path.size()));
            first = false;
            continue;
        }
        std::size_t end = 0;
        while (end < path.size() && path[end] != ':' && path[end] != '/' &&
               (slash || path[end] != '.'))
            ++end;
        if (end < path.size() && path[end] == '/')
            slash = true;
        afterDot = end < path.size() && path[end] == '.';
        std::string_view name = path.substr(0, end);
        path = end < path.size() ? path.substr(end + 1) : std::string_view();
        // An empty name stays where the path is, but cannot start it (".x" names nothing).
        if (name.empty()) {
            if (first)
                return Value();
            continue;
        }
        first = false;
        if (!at.isObject())
            return Value();
        if (DisplayObject* child = display ? childNamed(*display, name) : nullptr) {
            at = Value(clipFor(*child));
        } else if (const int level = levelNumber(name); level >= 0) {
            DisplayObject* levelRoot = m_player->level(level);
            if (!levelRoot)
                return Value();
            at = Value(clipFor(*levelRoot));
        } else {
            at = m_vm->getMember(at, name);
        }
        if (at.isUndefined())
            return Value();
    }
    return at;
}

std::string ScriptRuntime::targetPath(Object* clip, bool dotSyntax) {
    auto* c = dynamic_cast<ClipObject*>(clip);
    if (!c)
        return {};
    DisplayObject* display = c->display();
    // A reference to a clip that is gone, with nothing at its path, names nothing.
    if (!display && !c->unloading)
        return {};
    std::string dotPath = display ? childPath(*display) : c->path();
    if (dotSyntax)
        return dotPath;
    if (dotPath == "_level0")
        return "/";
    // Other levels keep their name in front: "_level1/a".
    const std::size_t levelEnd = std::min(dotPath.find('.'), dotPath.size());
    std::string slash = dotPath.substr(levelEnd);
    std::replace(slash.begin(), slash.end(), '.', '/');
    if (dotPath.compare(0, levelEnd, "_level0") != 0)
        return dotPath.substr(0, levelEnd) + slash;
    return slash;
}

// ---- Timeline control from scripts ----

namespace {

DisplayObject* clipDisplay(Object* clip) {
    auto* c = dynamic_cast<ClipObject*>(clip);
    DisplayObject* d = c ? c->display() : nullptr;
    return d && d->isClip() ? d : nullptr;
}

} // namespace

bool ScriptRuntime::gotoFrame(Object* clip, int frame, bool play) {
    DisplayObject* d = clipDisplay(clip);
    if (!d || !m_player)
        return false;
    if (frame < 0)
        frame = 0;
    if (frame >= d->timeline()->frameCount())
        frame = d->timeline()->frameCount() - 1;
    if (frame != d->currentFrame)
        m_player->gotoFrame(*d, frame);
    if (play)
        m_player->play(*d);
    else
        m_player->stop(*d);
    return true;
}

int ScriptRuntime::frameOfLabel(const DisplayObject& clip, std::string_view label) const {
    if (!clip.timeline())
        return -1;
    const auto& frames = clip.timeline()->frames;
    for (int i = 0; i < int(frames.size()); ++i)
        for (const std::string& l : frames[i].labels)
            if (namesMatch(l, label, m_version >= 7 && false))
                return i;
    return -1;
}

bool ScriptRuntime::gotoLabel(Object* clip, std::string_view label, bool play) {
    DisplayObject* d = clipDisplay(clip);
    if (!d)
        return false;
    int frame = frameOfLabel(*d, label);
    if (frame < 0)
        return false;
    return gotoFrame(clip, frame, play);
}

void ScriptRuntime::play(Object* clip, bool playing) {
    if (DisplayObject* d = clipDisplay(clip)) {
        if (playing)
            m_player->play(*d);
        else
            m_player->stop(*d);
    }
}

void ScriptRuntime::nextFrame(Object* clip) {
    if (DisplayObject* d = clipDisplay(clip))
        gotoFrame(clip, std::min(d->currentFrame + 1, d->timeline()->frameCount() - 1), false);
}

void ScriptRuntime::prevFrame(Object* clip) {
    if (DisplayObject* d = clipDisplay(clip))
        gotoFrame(clip, std::max(d->currentFrame - 1, 0), false);
}

void ScriptRuntime::cloneClip(Object* clip, std::string_view name, int depth) {
    auto* c = dynamic_cast<ClipObject*>(clip);
    DisplayObject* d = c ? c->display() : nullptr;
    if (!d || d->isRoot() || !m_player)
        return;
    // The action's depth is the display list's own: compilers add the script offset to the
    // depth the author wrote.
    if (depth < 0 || depth - kDepthOffset > 2130690045)
        return;
    m_player->duplicateByScript(*d, std::string(name), depth);
}

void ScriptRuntime::removeClip(Object* clip) {
    auto* c = dynamic_cast<ClipObject*>(clip);
    DisplayObject* d = c ? c->display() : nullptr;
    if (!d || d->isRoot() || !m_player)
        return;
    // Only objects at script depths may be removed by a script.
    if (d->depth < kDepthOffset)
        return;
    m_player->removeByScript(*d);
    deliverFocusLoss();
}

void ScriptRuntime::getUrl(Object* clip, std::string_view url, std::string_view target,
                           int method, bool loadTarget, bool loadVariables) {
    if (loadVariables)
        return loadVariablesInto(*this, clip, url, target, method == 2);
    if (requestLoadFromGetUrl(*this, clip, url, target, loadTarget))
        return;
    scriptError("getURL(\"" + std::string(url) + "\", \"" + std::string(target) +
                "\") ignored: movies do not open pages or run commands here");
}

void ScriptRuntime::callFrame(Object* clip, const Value& frame) {
    auto* c = dynamic_cast<ClipObject*>(clip);
    DisplayObject* d = c ? c->display() : nullptr;
    std::string frameName = m_vm->toString(frame);
    std::size_t colon = frameName.rfind(':');
    if (colon != std::string::npos) {
        auto* other = dynamic_cast<ClipObject*>(resolveTarget(clip, frameName.substr(0, colon)));
        c = other;
        d = other ? other->display() : nullptr;
        frameName = frameName.substr(colon + 1);
    }
    if (!d || !d->isClip())
        return;
    int index = frameOfLabel(*d, frameName);
    if (index < 0) {
        double n = stringToNumber(frameName, 7);
        if (!std::isfinite(n))
            return;
        // Frame numbers wrap at 32 bits: 4294967299 is frame 3.
        const double wrapped = std::fmod(std::trunc(n), 4294967296.0);
        index = int(int64_t(wrapped < 0 ? wrapped + 4294967296.0 : wrapped) - 1);
    }
    if (index < 0 || index >= d->timeline()->frameCount())
        return;
    for (const auto& actions : d->timeline()->frames[index].actions)
        m_vm->runScript(ActionBlock{actions, versionFor(*d), definitionFor(*d)}, c);
}

// ---- Output ----

void ScriptRuntime::traceLine(std::string_view line) {
    if (!m_traceSink)
        return;
    if (line.find('\r') == std::string_view::npos)
        return m_traceSink(line);
    // The log shows a carriage return (how text fields end paragraphs) as a line end.
    std::string text;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\r' && i + 1 < line.size() && line[i + 1] == '\n')
            continue;
        text += line[i] == '\r' ? '\n' : line[i];
    }
    m_traceSink(text);
}

void ScriptRuntime::scriptError(std::string_view message) {
    if (m_errorSink)
        m_errorSink(message);
}

// ---- What the timeline reports ----

void ScriptRuntime::objectPlaced(DisplayObject& object, const PlaceObject* place) {
    if (object.isRoot())
        return;
    // Buttons and text fields are named as clips are, from the same count.
    const bool button = object.character() && object.character()->type == CharacterType::Button;
    if (object.name.empty() && (object.isClip() || button || object.editField))
        object.name = "instance" + std::to_string(m_nextInstance++);
    if (object.editField)
        syncBoundTextField(*this, object);
    const bool hasEvents = place && !place->clipEvents.empty();
    if (!object.isClip() && !hasEvents)
        return;
    ClipObject* clip = clipFor(object);
    clip->removed = false;
    clip->setPath(childPath(object));
    if (hasEvents)
        clip->clipEvents = place->clipEvents;
    m_justPlaced.insert(object.handle().id);
    // initialize and construct come before the clip's first frame; load after it.
    auto& waiting = waitingGroup(object, place).items;
    queueEvent(clip, kClipEventInitialize, nullptr, &waiting);
    queueEvent(clip, kClipEventConstruct, nullptr, &waiting);
    if (object.character()) {
        Queued q;
        q.kind = Queued::Kind::Construct;
        q.clip = clip;
        auto registered = m_classes.find(object.character());
        if (registered != m_classes.end()) {
            Value proto = m_vm->getMemberFromHost(registered->second, "prototype");
            if (proto.isObject())
                clip->setProto(proto);
            q.constructor = registered->second;
            waiting.push_back(q);
        } else if (object.character()->type == CharacterType::Sprite) {
            // The frame's init actions run first and may register the clip's class yet.
            waiting.push_back(q);
        }
    }
}

bool ScriptRuntime::registerClass(const std::string& linkage, const Value& constructor) {
    // The export is looked up in the movie of the code's clip (a loaded one has its own).
    auto* target = dynamic_cast<ClipObject*>(m_vm->currentTarget());
    DisplayObject* display = target ? target->display() : nullptr;
    const std::shared_ptr<const MovieDefinition> movie = display ? definitionFor(*display) : m_movie;
    const Character* character = movie->exportedCharacter(linkage, m_vm->caseSensitive());
    if (!character)
        return false;
    if (constructor.isObject())
        m_classes[character] = constructor;
    else
        m_classes.erase(character);
    return true;
}

void ScriptRuntime::constructClip(DisplayObject& display, const std::string&, const Value& init) {
    ClipObject* clip = clipFor(display);
    Value constructor;
    if (display.character()) {
        auto registered = m_classes.find(display.character());
        if (registered != m_classes.end()) {
            constructor = registered->second;
            Value proto = m_vm->getMember(constructor, "prototype");
            if (proto.isObject())
                clip->setProto(proto);
        }
    }
    // The constructor runs here, once: the one queued by the placement is dropped.
    auto isConstruct = [clip](const Queued& q) {
        return q.kind == Queued::Kind::Construct && q.clip == clip;
    };
    for (auto& [parent, groups] : m_waitingForParent) {
        (void)parent;
        for (Waiting& group : groups)
            std::erase_if(group.items, isConstruct);
    }
    std::erase_if(m_queue, isConstruct);
    // The init object's members arrive in the order they were made (for-in lists them the
    // other way round).
    if (Object* source = init.object()) {
        std::vector<SharedString> names = m_vm->enumerate(source);
        for (auto it = names.rbegin(); it != names.rend(); ++it)
            m_vm->setMember(Value(clip), it->str(), m_vm->getMember(Value(source), it->str()));
    }
    if (constructor.isObject())
        m_vm->constructExisting(constructor, clip);
}

ScriptRuntime::Waiting& ScriptRuntime::waitingGroup(DisplayObject& child, const PlaceObject* place) {
    const uint64_t parentId = child.parent() ? child.parent()->handle().id : 0;
    auto& groups = m_waitingForParent[parentId];
    for (Waiting& group : groups)
        if (group.child == child.handle().id)
            return group;
    Waiting group;
    group.child = child.handle().id;
    // A script's placement runs after the frame's scripts; a tag's, where it stands (a tag
    // of a frame a goto passed over, before the frame it landed on).
    group.position = place ? 0 : SIZE_MAX;
    DisplayObject* parent = child.parent();
    if (place && parent && parent->timeline()) {
        const auto& frames = parent->timeline()->frames;
        const int f = parent->currentFrame;
        if (f >= 0 && f < int(frames.size())) {
            const auto& tags = frames[f].displayTags;
            group.frame = f;
            for (std::size_t i = 0; i < tags.size(); ++i)
                if (&tags[i].place == place) {
                    group.position = i + 1;
                    break;
                }
        }
    }
    groups.push_back(std::move(group));
    return groups.back();
}

void ScriptRuntime::queueFrameScripts(DisplayObject& clip, int frame, bool bySeek,
                                      std::deque<Queued>& into) {
    if (!clip.timeline() || frame < 0 || frame >= clip.timeline()->frameCount())
        return;
    const TimelineFrame& f = clip.timeline()->frames[frame];
    ClipObject* object = clipFor(clip);
    const int version = versionFor(clip);
    const std::shared_ptr<const MovieDefinition> movie = definitionFor(clip);
    // Init actions run before anything else the frame queued, in their tags' order.
    std::deque<Queued> inits;
    for (const InitAction& init : f.initActions) {
        if (!m_initActionsRun.insert({movie.get(), init.spriteId}).second)
            continue;
        Queued q;
        q.block = ActionBlock{init.actions, version, movie};
        q.clip = object;
        inits.push_back(q);
    }
    into.insert(into.begin(), inits.begin(), inits.end());
    // Children placed by this frame run their first frame where their placement stands
    // among the frame's actions.
    auto waiting = m_waitingForParent.find(clip.handle().id);
    std::vector<Waiting> groups;
    if (waiting != m_waitingForParent.end()) {
        groups = std::move(waiting->second);
        m_waitingForParent.erase(waiting);
        std::stable_sort(groups.begin(), groups.end(),
                         [](const Waiting& a, const Waiting& b) { return a.position < b.position; });
    }
    // A placed clip's initialize and construct handlers run ahead of the frame's actions,
    // whatever the tags' order.
    auto isConstructionStep = [](const Queued& q) {
        return q.kind == Queued::Kind::Construct || (q.kind == Queued::Kind::Event &&
               (q.event & (kClipEventInitialize | kClipEventConstruct)) != 0);
    };
    for (Waiting& group : groups) {
        if (group.position == SIZE_MAX)
            continue;
        for (auto it = group.items.begin(); it != group.items.end();) {
            if (!isConstructionStep(*it)) {
                ++it;
                continue;
            }
            into.push_back(std::move(*it));
            it = group.items.erase(it);
        }
    }
    std::size_t nextGroup = 0;
    // Clips placed by frames a goto passed over run their first frames before the scripts
    // of the frame it landed on.
    for (Waiting& group : groups)
        if (group.frame != frame && group.position != SIZE_MAX)
            group.position = 0;
    (void)bySeek;
    auto flushUpTo = [&](std::size_t position) {
        for (; nextGroup < groups.size() && groups[nextGroup].position <= position; ++nextGroup)
            for (auto& q : groups[nextGroup].items)
                into.push_back(std::move(q));
    };
    for (std::size_t i = 0; i < f.actions.size(); ++i) {
        flushUpTo(i < f.actionPositions.size() ? f.actionPositions[i] : SIZE_MAX - 1);
        Queued q;
        q.block = ActionBlock{f.actions[i], version, movie};
        q.clip = object;
        into.push_back(q);
    }
    flushUpTo(SIZE_MAX);
}

void ScriptRuntime::frameEntered(DisplayObject& clip, int frame, bool bySeek) {
    const uint64_t id = clip.handle().id;
    const bool firstFrame = m_justPlaced.erase(id) > 0;
    std::deque<Queued> own;
    if (firstFrame && !clip.isRoot())
        queueEvent(clipFor(clip), kClipEventLoad, "onLoad", &own);
    queueFrameScripts(clip, frame, bySeek, own);
    if (firstFrame && !clip.isRoot()) {
        auto& waiting = waitingGroup(clip, nullptr).items;
        for (auto& q : own)
            waiting.push_back(std::move(q));
        return;
    }
    for (auto& q : own)
        m_queue.push_back(std::move(q));
}

void ScriptRuntime::objectRemoving(DisplayObject& object) {
    focusRemoving(object);
    auto it = m_clips.find(object.handle().id);
    if (it == m_clips.end())
        return;
    ClipObject* clip = it->second;
    clip->removed = true;
    queueEvent(clip, kClipEventUnload, "onUnload");
    m_clips.erase(it);
    m_justPlaced.erase(object.handle().id);
}

void ScriptRuntime::queueEvent(ClipObject* clip, uint32_t event, const char* method,
                               std::deque<Queued>* into) {
    Queued q;
    q.kind = Queued::Kind::Event;
    q.clip = clip;
    q.event = event;
    q.method = method;
    (into ? *into : m_queue).push_back(q);
}

// ---- Running ----

void ScriptRuntime::runEvent(const Queued& item) {
    ClipObject* clip = item.clip;
    struct UnloadingScope {
        ClipObject* clip;
        bool was;
        ~UnloadingScope() { clip->unloading = was; }
    } unloadingScope{clip, clip->unloading};
    if (item.event == kClipEventUnload)
        clip->unloading = true;
    for (const ClipEventHandler& handler : clip->clipEvents)
        if (handler.events & item.event) {
            ActionBlock block{handler.actions, clip->version, clip->owner};
            // onClipEvent(unload) runs on the clip that has left.
            block.stopsWithClip = item.event != kClipEventUnload;
            m_vm->runScript(block, clip);
        }
    if (item.method) {
        // onUnload runs on the clip that left; the others only while it is on the list.
        if (item.event != kClipEventUnload && !clip->alive())
            return;
        Value handler = m_vm->getMemberFromHost(Value(clip), item.method);
        if (handler.isObject() && handler.object()->kind() == ObjectKind::Function)
            m_vm->callFromHost(handler, Value(clip), {});
    }
}

namespace {

// this: the clip; the argument: its class's constructor.
Value constructAsClass(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    if (!args.empty())
        vm.constructExisting(args[0], thisValue.object());
    return Value();
}

} // namespace

void ScriptRuntime::runOne(const Queued& item) {
    if (item.kind == Queued::Kind::Event) {
        runEvent(item);
        return;
    }
    if (item.kind == Queued::Kind::Construct) {
        Value constructor = item.constructor;
        if (constructor.isUndefined()) {
            DisplayObject* display = item.clip->display();
            auto registered = display && display->character()
                                  ? m_classes.find(display->character())
                                  : m_classes.end();
            if (registered == m_classes.end())
                return;
            constructor = registered->second;
            Value proto = m_vm->getMemberFromHost(constructor, "prototype");
            if (proto.isObject())
                item.clip->setProto(proto);
        }
        // Run through a native so that a throw is reported as any host call's is.
        Value args[] = {constructor};
        m_vm->callFromHost(Value(m_vm->makeNative(constructAsClass)), Value(item.clip), args);
        return;
    }
    // A clip removed before its turn runs nothing more.
    if (item.clip && !item.clip->alive() && item.clip->removed)
        return;
    m_vm->runScript(item.block, item.clip);
}

void ScriptRuntime::flushWaiting() {
    for (auto& [parent, groups] : m_waitingForParent) {
        (void)parent;
        for (auto& group : groups)
            for (auto& q : group.items)
                m_queue.push_back(std::move(q));
    }
    m_waitingForParent.clear();
}

void ScriptRuntime::runQueued() {
    deliverFocusLoss();
    // Children placed by a script wait for no parent frame: they run now.
    flushWaiting();
    std::size_t ran = 0;
    while (!m_queue.empty()) {
        Queued item = std::move(m_queue.front());
        m_queue.pop_front();
        if (++ran > kMaxQueuedPerTick) {
            scriptError("too many scripts queued in one frame; the rest were dropped");
            m_queue.clear();
            break;
        }
        runOne(item);
        if (m_queue.empty() && !m_waitingForParent.empty())
            flushWaiting();
        // Work the scripts left for later runs once they are done; it may queue more.
        while (m_queue.empty() && !m_afterScripts.empty() && ran <= kMaxQueuedPerTick) {
            auto work = std::exchange(m_afterScripts, {});
            ran += work.size();
            for (auto& step : work)
                step();
        }
    }
    m_justPlaced.clear();
    // Fields bound to variables show what the scripts left in them.
    updateBoundTextFields(*this);
    // What the frame's scripts left on the stack does not reach the next frame.
    m_vm->clearStack();
}

void ScriptRuntime::queueEnterFrames(DisplayObject& object) {
    // Children first, the newest (highest depth) first, as Flash Player runs them; clips
    // inside a button's state play too.
    for (auto it = object.children().rbegin(); it != object.children().rend(); ++it)
        if (it->second->isClip() || !it->second->children().empty())
            queueEnterFrames(*it->second);
    if (!object.isClip())
        return;
    auto found = m_clips.find(object.handle().id);
    if (found == m_clips.end())
        return;
    queueEvent(found->second, kClipEventEnterFrame, "onEnterFrame");
}

void ScriptRuntime::tick() {
    if (!m_player)
        return;
    m_vm->beginFrame();
    deliverLoads(*this);
    updateDrag();
    queueEnterFrames(m_player->root());
    for (auto& [n, level] : m_player->levels())
        queueEnterFrames(*level);
    m_player->advance();
    runQueued();
    deliverMovieLoads(*this);
    m_timeMs += 1000.0 / std::max(1.0f, m_movie->file.frameRate > 0 ? m_movie->file.frameRate : 12.0f);
    fireTimers();
    advanceSounds(*this);
    runQueued();
    // What the frame's scripts asked to load arrives while the frame is shown, before the
    // next one starts.
    deliverLoads(*this);
    runQueued();
    mouseFrame();
    collectIfNeeded();
}

void ScriptRuntime::stopSounds() {
    stopAllSounds(*this);
}

void ScriptRuntime::gotoFrame(int frame) {
    if (!m_player)
        return;
    m_vm->beginFrame();
    m_player->gotoFrame(frame);
    runQueued();
    collectIfNeeded();
}

// ---- Timers ----

int ScriptRuntime::addTimer(Value function, Value thisValue, std::string method,
                            std::vector<Value> args, double intervalMs, bool repeat) {
    if (m_timers.size() >= 10000)
        return 0;
    Timer t;
    t.id = m_nextTimerId++;
    t.function = std::move(function);
    t.thisValue = std::move(thisValue);
    t.method = std::move(method);
    t.args = std::move(args);
    t.intervalMs = std::isfinite(intervalMs) && intervalMs > 0 ? intervalMs : 0;
    t.dueMs = m_timeMs + t.intervalMs;
    t.repeat = repeat;
    m_timers.push_back(std::move(t));
    return m_timers.back().id;
}

bool ScriptRuntime::removeTimer(int id) {
    auto it = std::find_if(m_timers.begin(), m_timers.end(),
                           [&](const Timer& t) { return t.id == id; });
    if (it == m_timers.end())
        return false;
    m_timers.erase(it);
    return true;
}

void ScriptRuntime::fireTimers() {
    // Timers due by now fire once each this frame, in the order they were made.
    std::vector<int> due;
    for (const Timer& t : m_timers)
        if (t.dueMs <= m_timeMs)
            due.push_back(t.id);
    for (int id : due) {
        auto it = std::find_if(m_timers.begin(), m_timers.end(),
                               [&](const Timer& t) { return t.id == id; });
        if (it == m_timers.end())
            continue;
        Timer t = *it;
        if (t.repeat)
            it->dueMs = std::max(it->dueMs + std::max(t.intervalMs, 1.0), m_timeMs);
        else
            m_timers.erase(it);
        Value function = t.function;
        if (!t.method.empty())
            function = m_vm->getMemberFromHost(t.thisValue, t.method);
        m_vm->callFromHost(function, t.thisValue, t.args);
        runQueued();
    }
}

void ScriptRuntime::collectIfNeeded() {
    Heap& heap = m_vm->heap();
    if (heap.cellCount() < 2 * m_cellsAfterLastCollection + 50000)
        return;
    m_vm->collectGarbage([&](Tracer& tracer) {
        for (auto& [id, clip] : m_clips) {
            (void)id;
            tracer.mark(clip);
        }
        for (const Queued& q : m_queue) {
            tracer.mark(q.clip);
            tracer.mark(q.constructor);
        }
        for (auto& [id, groups] : m_waitingForParent) {
            (void)id;
            for (const Waiting& group : groups)
                for (const Queued& q : group.items) {
                    tracer.mark(q.clip);
                    tracer.mark(q.constructor);
                }
        }
        for (auto& [id, constructor] : m_classes) {
            (void)id;
            tracer.mark(constructor);
        }
        for (const Timer& t : m_timers) {
            tracer.mark(t.function);
            tracer.mark(t.thisValue);
            for (const Value& v : t.args)
                tracer.mark(v);
        }
    });
    m_cellsAfterLastCollection = heap.cellCount();
}

} // namespace swivio::swf::avm1
