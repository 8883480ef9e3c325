// Sound: a script's handle on the movie's sounds and on the volume and pan of the clip it was
// made for (or of the whole movie), and stopAllSounds.
//
// A Sound made for a clip keeps the clip's path (a string target is converted once, when the
// Sound is made) and looks it up again at each call, relative to the running code's target,
// so one made for a clip that is gone answers undefined, and one that is placed again under
// the same name gets the new clip's settings. Volume and pan live with the clip: every Sound
// made for it sees them. Playing is modelled on the movie's clock (swf/sound/): a started
// sound ends, and its object hears onSoundComplete, on the first frame at or past its end.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <unordered_map>

#include "swf/avm1/builtins.h"
#include "swf/avm1/clip_object.h"
#include "swf/avm1/loading.h"
#include "swf/avm1/movie_runtime.h"
#include "swf/sound/id3_tags.h"
#include "swf/sound/movie_sounds.h"
#include "swf/sound/mp3_frames.h"
#include "swf/sound/sound_channels.h"
#include "swf/sound/sound_library.h"

namespace swivio::swf::avm1 {

namespace {

constexpr std::string_view kStateSlot = "\x01sounds";
// A file a script loads as a sound is read whole; larger ones are refused.
constexpr std::uintmax_t kMaxLoadedSoundBytes = 64u << 20;

class SoundObject;

// Loaded from a file beside the movie.
struct LoadedSound {
    std::vector<uint8_t> bytes;
    uint32_t durationMs = 0;
    sound::Id3Tags tags;
    std::shared_ptr<const sound::DecodedSound> decoded; // null when nothing decoded
};
// Files held by Sound objects together; past this a load fails, so a script loading big
// files into many objects cannot take the machine's memory.
constexpr std::size_t kMaxLoadedBytesInAll = 256u << 20;
// Clip settings kept before those of removed clips are looked for.
constexpr std::size_t kPruneClipsAt = 4096;
// Reports waiting for the next frame.
constexpr std::size_t kMaxPending = 10000;

class SoundObject : public Object {
public:
    using Object::Object;
    ObjectKind kind() const override { return ObjectKind::Sound; }

    bool hasOwner = false;
    std::string ownerPath; // the clip's path, or the string the target converted to
    uint64_t serial = 0;   // a channel's owner token: never reused, unlike addresses
    const sound::LibrarySound* attached = nullptr;
    std::shared_ptr<const LoadedSound> loaded;
    uint64_t lastChannel = 0;
    double lastPositionMs = 0;
    std::optional<double> bytesTotal;

    bool hasSound() const { return attached || loaded; }
    double durationMs() const {
        return attached ? attached->durationMs : loaded ? loaded->durationMs : 0;
    }
};

// Volume and pan as Flash keeps them: whole numbers, percentages of full level.
struct SoundTransform {
    int32_t volume = 100;
    int32_t ll = 100, lr = 0, rr = 100, rl = 0;
};

// What one movie's sounds are doing; reached from a hidden global slot.
class SoundState : public Object {
public:
    SoundState(std::shared_ptr<const MovieDefinition> movie) : library(std::move(movie)) {}

    struct ChannelInfo {
        SoundObject* sound = nullptr;
        std::string scope; // path of the owner clip, empty for the whole movie
        uint64_t voice = 0; // the mixer's, 0 when nothing is heard
    };
    enum class Event { LoadFailed, Id3 };
    struct Pending {
        SoundObject* sound = nullptr;
        Event event = Event::LoadFailed;
    };

    sound::SoundLibrary library;
    sound::SoundChannels channels;
    std::unordered_map<uint64_t, ChannelInfo> channelInfo;
    SoundTransform global;
    std::unordered_map<uint64_t, SoundTransform> clips; // by display handle
    std::size_t pruneAt = kPruneClipsAt;
    std::vector<Pending> pending;
    uint64_t nextSerial = 1;
    // Files read, by path, while some Sound holds them: one read serves every object.
    std::unordered_map<std::string, std::weak_ptr<const LoadedSound>> files;

    void trace(Tracer& tracer) const override {
        Object::trace(tracer);
        for (const auto& [id, info] : channelInfo) {
            (void)id;
            tracer.mark(info.sound);
        }
        for (const Pending& p : pending)
            tracer.mark(p.sound);
    }
};

ScriptRuntime& runtimeOf(Interpreter& vm) {
    return static_cast<ScriptRuntime&>(vm.host());
}

SoundState* stateOf(Interpreter& vm) {
    const Property* slot = vm.global()->properties().find(kStateSlot, true);
    return slot ? dynamic_cast<SoundState*>(slot->value.object()) : nullptr;
}

SoundObject* soundOf(const Value& self) {
    return dynamic_cast<SoundObject*>(self.object());
}

// Flash stores these as 32-bit integers: fractions are cut, and NaN or a number out of range
// becomes the smallest integer.
int32_t storedInt(Interpreter& vm, const Value& value) {
    const double x = vm.toNumber(value);
    if (!(x >= -2147483648.0 && x < 2147483648.0))
        return std::numeric_limits<int32_t>::min();
    return int32_t(std::trunc(x));
}

int32_t wrapInt(int64_t x) {
    return int32_t(uint32_t(uint64_t(x)));
}

// The clip the Sound speaks for now, or null when it has one that cannot be found.
DisplayObject* ownerDisplay(Interpreter& vm, const SoundObject& sound) {
    Object* clip = vm.host().resolveTarget(vm.currentTarget(), sound.ownerPath);
    auto* clipObject = dynamic_cast<ClipObject*>(clip);
    return clipObject ? clipObject->display() : nullptr;
}

// The settings a Sound reads and changes: the movie's, or its clip's (null when the clip
// cannot be found).
SoundTransform* transformOf(Interpreter& vm, const Value& self) {
    SoundObject* sound = soundOf(self);
    SoundState* state = stateOf(vm);
    if (!sound || !state)
        return nullptr;
    if (!sound->hasOwner)
        return &state->global;
    DisplayObject* display = ownerDisplay(vm, *sound);
    if (!display)
        return nullptr;
    auto it = state->clips.find(display->handle().id);
    if (it != state->clips.end())
        return &it->second;
    // One entry per clip a Sound has touched; those of clips that are gone are dropped now
    // and then, so movies that make clips without end do not grow the table without end.
    if (state->clips.size() >= state->pruneAt) {
        TimelinePlayer& player = runtimeOf(vm).player();
        std::erase_if(state->clips, [&player](const auto& entry) {
            return !player.find(DisplayObjectHandle{entry.first});
        });
        state->pruneAt = std::max<std::size_t>(kPruneClipsAt, 2 * state->clips.size());
    }
    return &state->clips[display->handle().id];
}

// Where the channel playing the sound is, in whole milliseconds, or where it stopped.
double positionOf(Interpreter& vm, SoundObject& sound, SoundState& state) {
    if (const sound::VirtualChannel* channel = state.channels.find(sound.lastChannel))
        return std::floor(channel->positionAt(runtimeOf(vm).movieTime()));
    return std::floor(sound.lastPositionMs);
}

void forgetChannel(Interpreter& vm, SoundState& state, const sound::VirtualChannel& channel) {
    auto it = state.channelInfo.find(channel.id);
    if (it == state.channelInfo.end())
        return;
    if (SoundObject* owner = it->second.sound; owner && owner->lastChannel == channel.id) {
        owner->lastPositionMs = channel.positionAt(runtimeOf(vm).movieTime());
        owner->lastChannel = 0;
    }
    state.channelInfo.erase(it);
}

// Stops the channels for which match(channel, info) holds.
template <typename Match> void stopChannels(Interpreter& vm, SoundState& state, Match match) {
    std::vector<sound::VirtualChannel> stopping;
    for (const sound::VirtualChannel& channel : state.channels.playing()) {
        auto it = state.channelInfo.find(channel.id);
        if (it != state.channelInfo.end() && match(channel, it->second))
            stopping.push_back(channel);
    }
    sound::MovieSounds* sounds = runtimeOf(vm).sounds();
    for (const sound::VirtualChannel& channel : stopping) {
        if (auto it = state.channelInfo.find(channel.id); sounds && it != state.channelInfo.end())
            sounds->mixer().stopVoice(it->second.voice);
        forgetChannel(vm, state, channel);
        state.channels.stop(channel.id);
    }
}

bool withinScope(const std::string& channelScope, const std::string& scope) {
    if (scope.empty())
        return true;
    return channelScope == scope ||
           (channelScope.size() > scope.size() && channelScope.compare(0, scope.size(), scope) == 0 &&
            channelScope[scope.size()] == '.');
}

// The path a Sound's channels are scoped to: its clip's, or the whole movie.
std::string scopeOf(Interpreter& vm, SoundObject& sound) {
    if (!sound.hasOwner)
        return {};
    auto* clip = dynamic_cast<ClipObject*>(vm.host().resolveTarget(vm.currentTarget(),
                                                                   sound.ownerPath));
    return clip ? vm.host().targetPath(clip, true) : sound.ownerPath;
}

void startChannel(Interpreter& vm, SoundState& state, SoundObject& sound, double offsetMs,
                  int loops) {
    const uint16_t soundId = sound.attached ? sound.attached->definition.id : 0;
    const uint64_t id = state.channels.start(sound.serial, soundId, runtimeOf(vm).movieTime(),
                                             sound.durationMs(), offsetMs, loops);
    if (!id)
        return;
    uint64_t voice = 0;
    if (sound::MovieSounds* sounds = runtimeOf(vm).sounds()) {
        sound::EventStart start;
        start.sound = sound.attached ? sounds->decoded(soundId) : sound.loaded->decoded;
        start.soundId = soundId;
        start.owner = sound.serial;
        if (sound.hasOwner)
            if (DisplayObject* display = ownerDisplay(vm, sound))
                start.scope = display->handle().id;
        start.info.loops = uint16_t(std::min(loops, 65535));
        start.offset = std::size_t(offsetMs * sound::kMixRate / 1000);
        voice = sounds->mixer().startEvent(start);
    }
    state.channelInfo[id] = SoundState::ChannelInfo{&sound, scopeOf(vm, sound), voice};
    sound.lastChannel = id;
    sound.lastPositionMs = offsetMs;
}

// The MP3 file at path, read whole and measured, or null when it cannot be read, holds no
// MP3 frames or would pass the bound on what is held.
std::shared_ptr<const LoadedSound> readSoundFile(SoundState& state, const std::filesystem::path& path) {
    std::size_t held = 0;
    for (auto it = state.files.begin(); it != state.files.end();) {
        if (auto alive = it->second.lock()) {
            if (it->first == path.string())
                return alive;
            held += alive->bytes.size();
            ++it;
        } else {
            it = state.files.erase(it);
        }
    }
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || size > kMaxLoadedSoundBytes || held + size > kMaxLoadedBytesInAll)
        return nullptr;
    auto loaded = std::make_shared<LoadedSound>();
    loaded->bytes.resize(std::size_t(size));
    std::ifstream in(path, std::ios::binary);
    if (!in || !in.read(reinterpret_cast<char*>(loaded->bytes.data()), std::streamsize(size)))
        return nullptr;
    const sound::Mp3Scan scan = sound::scanMp3Frames(loaded->bytes);
    if (scan.frames == 0)
        return nullptr;
    loaded->durationMs = scan.durationMs();
    loaded->tags = sound::readId3Tags(loaded->bytes);
    const sound::SoundEncoding encoding{uint8_t(SoundFormat::Mp3), scan.sampleRate, true,
                                        scan.channels == 2};
    auto decoded = sound::decodeSound(encoding, std::span(loaded->bytes).subspan(scan.firstFrame));
    if (decoded)
        loaded->decoded = std::make_shared<const sound::DecodedSound>(std::move(*decoded));
    state.files[path.string()] = loaded;
    return loaded;
}

// ---- The constructor and methods ----

Object* allocateSound(Interpreter& vm, Object* proto) {
    return vm.heap().make<SoundObject>(proto);
}

// new Sound(target): no target (or null, undefined) speaks for the whole movie; a clip is
// kept by its path; anything else is converted to a path now.
Value soundConstructor(Interpreter& vm, const Value& self, std::span<const Value> args) {
    SoundObject* sound = soundOf(self);
    if (!sound)
        return Value();
    const Value& target = argAt(args, 0);
    if (!target.isNullish()) {
        sound->hasOwner = true;
        if (auto* clip = dynamic_cast<ClipObject*>(target.object()))
            sound->ownerPath = vm.host().targetPath(clip, true);
        else
            sound->ownerPath = vm.toString(target);
    }
    if (SoundState* state = stateOf(vm))
        sound->serial = state->nextSerial++;
    sound->define("checkPolicyFile", false, 0);
    return Value();
}

Value soundGetVolume(Interpreter& vm, const Value& self, std::span<const Value>) {
    SoundTransform* t = transformOf(vm, self);
    return t ? Value(double(t->volume)) : Value();
}

Value soundSetVolume(Interpreter& vm, const Value& self, std::span<const Value> args) {
    if (SoundTransform* t = transformOf(vm, self))
        t->volume = storedInt(vm, argAt(args, 0));
    return Value();
}

// The pan is not stored: it is read back from the left and right levels.
Value soundGetPan(Interpreter& vm, const Value& self, std::span<const Value>) {
    SoundTransform* t = transformOf(vm, self);
    if (!t)
        return Value();
    if (t->ll != 100)
        return double(100 - std::abs(int64_t(t->ll)));
    return double(std::abs(int64_t(t->rr)) - 100);
}

// Panning right lowers the left level, left the right one; the cross levels are cleared.
Value soundSetPan(Interpreter& vm, const Value& self, std::span<const Value> args) {
    SoundTransform* t = transformOf(vm, self);
    if (!t)
        return Value();
    const int64_t pan = storedInt(vm, argAt(args, 0));
    t->ll = pan >= 0 ? wrapInt(100 - pan) : 100;
    t->rr = pan >= 0 ? 100 : wrapInt(100 + pan);
    t->lr = t->rl = 0;
    return Value();
}

struct TransformField {
    const char* name;
    int32_t SoundTransform::*member;
};
constexpr TransformField kTransformFields[] = {
    {"ll", &SoundTransform::ll},
    {"lr", &SoundTransform::lr},
    {"rr", &SoundTransform::rr},
    {"rl", &SoundTransform::rl},
};

Value soundGetTransform(Interpreter& vm, const Value& self, std::span<const Value>) {
    SoundTransform* t = transformOf(vm, self);
    if (!t)
        return Value();
    const SoundTransform copy = *t; // making the object may not move the table, but be safe
    Object* result = vm.makeObject();
    for (const TransformField& field : kTransformFields)
        result->define(field.name, double(copy.*field.member), 0);
    return result;
}

// setTransform(object): changes the levels the object has.
Value soundSetTransform(Interpreter& vm, const Value& self, std::span<const Value> args) {
    Object* source = argAt(args, 0).object();
    if (!source || !transformOf(vm, self))
        return Value();
    for (const TransformField& field : kTransformFields) {
        if (!vm.hasProperty(source, field.name))
            continue;
        const int32_t value = storedInt(vm, vm.getMember(Value(source), field.name));
        // A getter on the object may have removed the clip: look it up again.
        if (SoundTransform* t = transformOf(vm, self))
            t->*field.member = value;
    }
    return Value();
}

// attachSound(linkage): the exported sound; a name the movie does not export changes
// nothing.
Value soundAttachSound(Interpreter& vm, const Value& self, std::span<const Value> args) {
    SoundObject* sound = soundOf(self);
    SoundState* state = stateOf(vm);
    if (!sound || !state || args.empty())
        return Value();
    const sound::LibrarySound* found = state->library.byExportName(vm.toString(args[0]));
    if (!found)
        return Value();
    sound->attached = found;
    sound->loaded.reset();
    sound->bytesTotal.reset();
    sound->lastPositionMs = 0;
    return Value();
}

// start(secondOffset, loops): a new channel from the offset (seconds), each loop from there.
Value soundStart(Interpreter& vm, const Value& self, std::span<const Value> args) {
    SoundObject* sound = soundOf(self);
    SoundState* state = stateOf(vm);
    if (!sound || !state || !sound->hasSound())
        return Value();
    double offset = args.size() > 0 ? vm.toNumber(args[0]) * 1000 : 0;
    if (!std::isfinite(offset) || offset < 0)
        offset = 0;
    int loops = 1;
    if (args.size() > 1 && !args[1].isUndefined()) {
        const double n = vm.toNumber(args[1]);
        loops = std::isnan(n) || n < 1 ? 1 : n > 1e6 ? 1000000 : int(n);
    }
    startChannel(vm, *state, *sound, offset, loops);
    return Value();
}

// stop(): the channels under the Sound's clip (everything for a movie-wide Sound); with a
// linkage name, only those of that sound.
Value soundStop(Interpreter& vm, const Value& self, std::span<const Value> args) {
    SoundObject* sound = soundOf(self);
    SoundState* state = stateOf(vm);
    if (!sound || !state)
        return Value();
    if (sound->hasOwner && !ownerDisplay(vm, *sound))
        return Value();
    const std::string scope = scopeOf(vm, *sound);
    if (!args.empty() && !args[0].isUndefined()) {
        const sound::LibrarySound* named = state->library.byExportName(vm.toString(args[0]));
        if (!named)
            return Value();
        const uint16_t id = named->definition.id;
        stopChannels(vm, *state, [&](const sound::VirtualChannel& c, const auto& info) {
            return c.soundId == id && withinScope(info.scope, scope);
        });
        // A movie-wide Sound stops the sound wherever it plays, the timelines' starts too.
        if (sound::MovieSounds* sounds = runtimeOf(vm).sounds(); sounds && !sound->hasOwner)
            sounds->mixer().stopSound(id);
        return Value();
    }
    stopChannels(vm, *state, [&](const sound::VirtualChannel&, const auto& info) {
        return withinScope(info.scope, scope);
    });
    if (sound::MovieSounds* sounds = runtimeOf(vm).sounds(); sounds && !sound->hasOwner)
        sounds->mixer().stopAll();
    return Value();
}

Value soundGetDuration(Interpreter&, const Value& self, std::span<const Value>) {
    SoundObject* sound = soundOf(self);
    if (!sound || !sound->hasSound())
        return Value();
    return std::floor(sound->durationMs());
}

Value soundGetPosition(Interpreter& vm, const Value& self, std::span<const Value>) {
    SoundObject* sound = soundOf(self);
    SoundState* state = stateOf(vm);
    if (!sound || !state || !sound->hasSound())
        return Value();
    return positionOf(vm, *sound, *state);
}

Value soundGetBytesLoaded(Interpreter&, const Value& self, std::span<const Value>) {
    SoundObject* sound = soundOf(self);
    return sound && sound->bytesTotal ? Value(*sound->bytesTotal) : Value();
}

Value returnNothing(Interpreter&, const Value&, std::span<const Value>) {
    return Value();
}

void callHandler(Interpreter& vm, SoundObject* sound, std::string_view name,
                 std::span<const Value> args) {
    const Value handler = vm.getMemberFromHost(Value(sound), name);
    if (handler.isObject() && handler.object()->kind() == ObjectKind::Function)
        vm.callFromHost(handler, Value(sound), args);
}

Object* id3Object(Interpreter& vm, const sound::Id3Tags& tags) {
    Object* id3 = vm.makeObject();
    for (const auto& [name, value] : tags.fields)
        id3->define(name, Value(value), 0);
    return id3;
}

// loadSound(url, isStreaming): an MP3 file beside the movie. It is read at once; a streaming
// sound starts playing as it arrives. onLoad(true) follows the read; a refused or unreadable
// file gives onLoad(false) on the next frame, and tags give onID3 there.
Value soundLoadSound(Interpreter& vm, const Value& self, std::span<const Value> args) {
    SoundObject* sound = soundOf(self);
    SoundState* state = stateOf(vm);
    if (!sound || !state || args.empty())
        return Value();
    const std::string url = vm.toString(args[0]);
    const bool streaming = vm.toBoolean(argAt(args, 1));
    // A new sound replaces what the object was playing.
    stopChannels(vm, *state, [&](const sound::VirtualChannel&, const auto& info) {
        return info.sound == sound;
    });
    sound->attached = nullptr;
    sound->loaded.reset();
    sound->lastPositionMs = 0;
    sound->bytesTotal = 0;

    std::string why;
    auto path = localLoadPath(runtimeOf(vm).moviePath(), url, why);
    if (!path)
        vm.host().scriptError("loadSound: " + url + ": " + why);
    std::shared_ptr<const LoadedSound> loaded = path ? readSoundFile(*state, *path) : nullptr;
    if (!loaded) {
        if (state->pending.size() < kMaxPending)
            state->pending.push_back({sound, SoundState::Event::LoadFailed});
        return Value();
    }
    const sound::Id3Tags& tags = loaded->tags;
    sound->bytesTotal = double(loaded->bytes.size());
    sound->loaded = loaded;
    if (!tags.empty()) {
        sound->define("id3", id3Object(vm, tags), 0);
        if (state->pending.size() < kMaxPending)
            state->pending.push_back({sound, SoundState::Event::Id3});
    }
    if (streaming)
        startChannel(vm, *state, *sound, 0, 1);
    const Value success(true);
    const Value handler = vm.getMember(self, "onLoad");
    if (handler.isObject() && handler.object()->kind() == ObjectKind::Function)
        vm.call(handler, self, std::span<const Value>(&success, 1));
    return Value();
}

Value stopAllSoundsNative(Interpreter& vm, const Value&, std::span<const Value>) {
    if (SoundState* state = stateOf(vm))
        stopChannels(vm, *state, [](const auto&, const auto&) { return true; });
    // Timeline sounds stop too; a stream goes on with its timeline's next block.
    if (sound::MovieSounds* sounds = runtimeOf(vm).sounds())
        sounds->mixer().stopAll();
    return Value();
}

} // namespace

void installSoundBuiltins(ScriptRuntime& runtime) {
    Interpreter& vm = runtime.interpreter();
    // The movie outlives its runtime's objects: the library views it without owning it.
    std::shared_ptr<const MovieDefinition> movie(std::shared_ptr<void>{},
                                                 &runtime.player().movie());
    auto* state = vm.heap().make<SoundState>(std::move(movie));
    vm.global()->define(kStateSlot, state, kDontEnum | kDontDelete);

    Object* proto = vm.makeObject();
    struct Method {
        const char* name;
        NativeFunction fn;
        uint16_t flags;
    };
    const Method methods[] = {
        {"getPan", soundGetPan, 0},
        {"getTransform", soundGetTransform, 0},
        {"getVolume", soundGetVolume, 0},
        {"setPan", soundSetPan, 0},
        {"setTransform", soundSetTransform, 0},
        {"setVolume", soundSetVolume, 0},
        {"stop", soundStop, 0},
        {"attachSound", soundAttachSound, 0},
        {"start", soundStart, 0},
        {"getDuration", soundGetDuration, kVersion6},
        {"setDuration", returnNothing, kVersion6},
        {"getPosition", soundGetPosition, kVersion6},
        {"setPosition", returnNothing, kVersion6},
        {"loadSound", soundLoadSound, kVersion6},
        {"getBytesLoaded", soundGetBytesLoaded, kVersion6},
        {"getBytesTotal", soundGetBytesLoaded, kVersion6},
    };
    for (const Method& m : methods)
        vm.defineMethod(proto, m.name, m.fn, uint16_t(kDontEnum | kDontDelete | m.flags));
    proto->defineAccessor("duration", vm.makeNative(soundGetDuration), vm.makeNative(returnNothing),
                          kDontEnum | kDontDelete | kVersion6);
    proto->defineAccessor("position", vm.makeNative(soundGetPosition), vm.makeNative(returnNothing),
                          kDontEnum | kDontDelete | kVersion6);
    vm.defineClass("Sound", soundConstructor, proto, allocateSound);
    vm.defineMethod(vm.global(), "stopAllSounds", stopAllSoundsNative);
}

double soundLevelFor(ScriptRuntime& runtime, const DisplayObject* clip) {
    SoundState* state = stateOf(runtime.interpreter());
    if (!state)
        return 1;
    double level = state->global.volume / 100.0;
    for (const DisplayObject* at = clip; at; at = at->parent()) {
        auto it = state->clips.find(at->handle().id);
        if (it != state->clips.end())
            level *= it->second.volume / 100.0;
    }
    return level;
}

namespace {

// Levels as a matrix from inputs (left, right) to speakers, so nested settings multiply.
struct LevelMatrix {
    double l_l = 1, l_r = 0, r_r = 1, r_l = 0; // speaker_input

    static LevelMatrix of(const SoundTransform& t) {
        const double v = t.volume / 100.0;
        return {v * t.ll / 100.0, v * t.lr / 100.0, v * t.rr / 100.0, v * t.rl / 100.0};
    }
    LevelMatrix then(const LevelMatrix& outer) const {
        return {outer.l_l * l_l + outer.l_r * r_l, outer.l_l * l_r + outer.l_r * r_r,
                outer.r_r * r_r + outer.r_l * l_r, outer.r_r * r_l + outer.r_l * l_l};
    }
};

} // namespace

sound::StereoLevels soundLevelsFor(ScriptRuntime& runtime, const DisplayObject* clip) {
    SoundState* state = stateOf(runtime.interpreter());
    if (!state)
        return {};
    LevelMatrix m;
    for (const DisplayObject* at = clip; at; at = at->parent()) {
        auto it = state->clips.find(at->handle().id);
        if (it != state->clips.end())
            m = m.then(LevelMatrix::of(it->second));
    }
    m = m.then(LevelMatrix::of(state->global));
    return {float(m.l_l), float(m.l_r), float(m.r_r), float(m.r_l)};
}

void stopAllSounds(ScriptRuntime& runtime) {
    Interpreter& vm = runtime.interpreter();
    stopAllSoundsNative(vm, Value(), {});
}

void advanceSounds(ScriptRuntime& runtime) {
    Interpreter& vm = runtime.interpreter();
    SoundState* state = stateOf(vm);
    if (!state)
        return;
    std::vector<SoundState::Pending> pending;
    pending.swap(state->pending);
    for (const SoundState::Pending& p : pending) {
        if (p.event == SoundState::Event::LoadFailed) {
            const Value failure(false);
            callHandler(vm, p.sound, "onLoad", std::span<const Value>(&failure, 1));
        } else {
            callHandler(vm, p.sound, "onID3", {});
        }
    }
    for (const sound::VirtualChannel& channel : state->channels.takeFinished(runtime.movieTime())) {
        auto it = state->channelInfo.find(channel.id);
        if (it == state->channelInfo.end())
            continue;
        SoundObject* sound = it->second.sound;
        state->channelInfo.erase(it);
        if (!sound)
            continue;
        if (sound->lastChannel == channel.id) {
            sound->lastChannel = 0;
            sound->lastPositionMs = channel.durationMs;
        }
        callHandler(vm, sound, "onSoundComplete", {});
    }
}

} // namespace swivio::swf::avm1
