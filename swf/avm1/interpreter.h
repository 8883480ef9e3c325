#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "swf/avm1/array_object.h"
#include "swf/avm1/heap.h"
#include "swf/avm1/object.h"
#include "swf/avm1/value.h"

namespace swivio::swf::avm1 {

// What the interpreter asks of the world around it: the display list, the clock, output.
// The movie runtime implements it; tests may give a small one.
class ScriptHost {
public:
    virtual ~ScriptHost() = default;
    // A trace() line, and a script error or refused request worth reporting.
    virtual void traceLine(std::string_view line) = 0;
    virtual void scriptError(std::string_view message) = 0;
    // Milliseconds since the movie started (getTimer).
    virtual double timer() { return 0; }

    // Movie clips. clip is a clip object this host made (ObjectKind::Clip).
    // What a target path names, from base ("_root.a", "/a/b", "../c", "_level0", "a:b"): a
    // clip, or whatever value the path ends on; undefined when it names nothing.
    virtual Value resolvePath(Object* base, std::string_view path) {
        (void)base, (void)path;
        return Value();
    }
    // The object a target path names, or null.
    Object* resolveTarget(Object* base, std::string_view path) {
        Value v = resolvePath(base, path);
        return v.isObject() ? v.object() : nullptr;
    }
    // The clip's path in slash syntax ("/", "/a/b") or dot syntax ("_level0.a.b").
    virtual std::string targetPath(Object* clip, bool dotSyntax) {
        (void)clip, (void)dotSyntax;
        return {};
    }
    // Seeks to frame (0-based) or label; false when there is no such label.
    virtual bool gotoFrame(Object* clip, int frame, bool play) {
        (void)clip, (void)frame, (void)play;
        return false;
    }
    virtual bool gotoLabel(Object* clip, std::string_view label, bool play) {
        (void)clip, (void)label, (void)play;
        return false;
    }
    virtual void play(Object* clip, bool playing) { (void)clip, (void)playing; }
    virtual void nextFrame(Object* clip) { (void)clip; }
    virtual void prevFrame(Object* clip) { (void)clip; }
    // WaitForFrame: whether frame (0-based) is loaded. Local files are loaded whole.
    virtual bool frameLoaded(Object* clip, int frame) {
        (void)clip, (void)frame;
        return true;
    }
    virtual void cloneClip(Object* clip, std::string_view name, int depth) {
        (void)clip, (void)name, (void)depth;
    }
    virtual void removeClip(Object* clip) { (void)clip; }
    virtual void startDrag(Object* clip, bool lockCenter, const double* bounds) {
        (void)clip, (void)lockCenter, (void)bounds;
    }
    virtual void stopDrag() {}
    // GetURL/GetURL2 and the like: loads beside the movie, or refuses and reports.
    // method: 0 none, 1 GET, 2 POST.
    virtual void getUrl(Object* clip, std::string_view url, std::string_view target, int method,
                        bool loadTarget, bool loadVariables) {
        (void)clip, (void)url, (void)target, (void)method, (void)loadTarget, (void)loadVariables;
    }
    // Call: runs a frame's actions ("3", "label", "path:label") of clip now.
    virtual void callFrame(Object* clip, const Value& frame) { (void)clip, (void)frame; }
    virtual void toggleQuality() {}
    virtual void stopSounds() {}
    // Runs work once the scripts queued now are done (a dialog that answers at once): the
    // movie runs it before the frame ends; without a movie it runs at once.
    virtual void afterScripts(std::function<void()> work) { work(); }
};

// Bounds that keep a hostile script from hanging or exhausting the machine.
struct ScriptLimits {
    int maxCallDepth = 256;
    // Actions one runScript() may execute before it is stopped.
    uint64_t actionBudget = 20'000'000;
    std::size_t maxCells = 4'000'000;
    // Roughly what the objects, arrays and strings scripts keep may take.
    std::size_t maxBytes = std::size_t(768) << 20;
    std::size_t maxStringLength = 16u << 20;
};

// The prototypes and constructors the VM itself needs (others live in the global object).
struct Builtins {
    Object* objectProto = nullptr;
    Object* functionProto = nullptr;
    Object* arrayProto = nullptr;
    Object* stringProto = nullptr;
    Object* numberProto = nullptr;
    Object* booleanProto = nullptr;
    Object* errorProto = nullptr;
    Object* clipProto = nullptr;
    Object* buttonProto = nullptr;
    Object* textFieldProto = nullptr;
    FunctionObject* objectCtor = nullptr;
    FunctionObject* functionCtor = nullptr;
    FunctionObject* arrayCtor = nullptr;
};

// A block of action bytes and what it belongs to.
struct ActionBlock {
    std::span<const uint8_t> code;
    int version = 0;
    // Keeps the bytes alive as long as a function defined in them exists.
    std::shared_ptr<const void> owner;
    // Frame code stops when its clip leaves the display list (not so an unload handler).
    bool stopsWithClip = true;
};

// Thrown through native code by throwValue() and abortScript(); runScript() catches both, so
// they never leave the interpreter.
struct ScriptThrow {
    Value value;
};
struct ScriptAbort {
    std::string reason;
};

class Activation;

// The ActionScript 1 and 2 virtual machine: values, conversions, calls and the action loop.
// One thread; the host outlives it.
class Interpreter {
public:
    Interpreter(ScriptHost& host, int movieVersion, ScriptLimits limits = {});
    ~Interpreter();
    Interpreter(const Interpreter&) = delete;
    Interpreter& operator=(const Interpreter&) = delete;

    ScriptHost& host() { return m_host; }
    Heap& heap() { return m_heap; }
    const ScriptLimits& limits() const { return m_limits; }
    Object* global() { return m_global; }
    Builtins& builtins() { return m_builtins; }
    int movieVersion() const { return m_movieVersion; }
    // The version of the code running now (the movie's when none runs).
    int version() const { return m_version; }
    bool caseSensitive() const { return m_version >= 7; }
    bool namesEqual(std::string_view a, std::string_view b) const;

    // Runs a block of actions with this timeline as target, this and variable base. A
    // script error, an uncaught throw or a broken limit ends the block and is reported to
    // the host; the caller goes on.
    void runScript(const ActionBlock& block, Object* target);
    // Calls a function value as a script would (natives too). Errors propagate as
    // ScriptThrow/ScriptAbort: use callFromHost() outside a running script.
    Value call(const Value& function, const Value& thisValue, std::span<const Value> args);
    // The same from outside any script (events, timers): reports errors, returns undefined.
    Value callFromHost(const Value& function, const Value& thisValue,
                       std::span<const Value> args);
    // getMember() from outside any script: a getter's error is reported, not thrown.
    Value getMemberFromHost(const Value& object, std::string_view name);
    // this[name](args); undefined when there is no such function.
    Value callMethod(const Value& thisValue, std::string_view name, std::span<const Value> args);
    // new constructor(args).
    Value construct(const Value& constructor, std::span<const Value> args);
    // Runs a constructor on an object that already exists (a clip of a registered class), as
    // new would run it: super reaches the class's base. Errors propagate as call()'s do.
    void constructExisting(const Value& constructor, Object* object);
    // Called by a native constructor that refuses its arguments: the new makes undefined.
    void refuseConstruction() { m_constructionRefused = true; }
    // In a native: whether it was reached by new rather than by a call. Read it first thing.
    bool nativeConstructing() const { return m_nativeConstructing; }

    // Member access with prototype chains, getters and setters, __resolve and watchers.
    // Primitives are boxed for a get; a set on a primitive does nothing.
    Value getMember(const Value& object, std::string_view name);
    void setMember(const Value& object, std::string_view name, const Value& value);
    bool deleteMember(Object* object, std::string_view name);
    // An own or inherited property exists (getters are not called).
    bool hasProperty(Object* object, std::string_view name);
    bool hasOwnProperty(Object* object, std::string_view name);
    // Enumerable property names as for..in gives them (own first, then inherited, newest
    // first at each level).
    std::vector<SharedString> enumerate(Object* object);

    // Conversions, as code of the current version makes them.
    double toNumber(const Value& value);
    std::string toString(const Value& value);
    bool toBoolean(const Value& value);
    // Objects ask valueOf first, or toString first with the string hint (and, without a
    // hint, for a Date); a result that is still an object is returned as it is.
    enum class Hint { None, Number, String };
    Value toPrimitive(const Value& value, Hint hint = Hint::None);
    Object* toObject(const Value& value); // null for undefined and null
    double toInteger(const Value& value); // truncated toward zero; NaN gives 0
    int32_t toInt32(const Value& value);
    std::string typeOf(const Value& value);
    bool looseEquals(const Value& a, const Value& b);
    // a < b: true, false or undefined (a NaN was met).
    Value lessThan(const Value& a, const Value& b);
    bool instanceOf(Object* object, Object* constructor);

    // Making things.
    Object* makeObject(Object* proto = nullptr); // Object.prototype by default
    ArrayObject* makeArray(std::span<const Value> elements = {});
    FunctionObject* makeNative(NativeFunction native, Allocator allocator = nullptr);
    // Puts a native method on object (not enumerable).
    FunctionObject* defineMethod(Object* object, std::string_view name, NativeFunction native,
                                 uint16_t flags = kDontEnum);
    // A constructor with its prototype object wired both ways, put on _global.
    FunctionObject* defineClass(std::string_view name, NativeFunction native, Object* prototype,
                                Allocator allocator = nullptr);
    Value makeError(std::string_view message);

    // Throws a script exception (an Error object with the message for the second form).
    [[noreturn]] void throwValue(Value value);
    // Stops every running script of this runScript(): the budget ran out, the call depth or
    // memory bound was reached.
    [[noreturn]] void abortScript(std::string reason);
    // Checks a string a script is about to make against the length bound.
    void checkStringLength(std::size_t length);
    // Stops the script when it has made more objects than the bound allows.
    void checkCells();

    // The clip a running script targets (tellTarget and the like change it), null outside
    // scripts.
    Object* currentTarget() const;
    // The function being called, as natives such as arguments.callee need it.
    Object* currentCallee() const;

    // Collects garbage: roots are the global object, the builtins, and what addRoots marks.
    // Only between scripts.
    template <typename MarkRoots> void collectGarbage(MarkRoots&& markRoots) {
        m_heap.collect([&](Tracer& tracer) {
            markOwnRoots(tracer);
            markRoots(tracer);
        });
    }
    bool running() const { return m_activation != nullptr; }
    // Starts a frame: every script until the next call shares one action budget, so a
    // frame's work is bounded however many scripts it queues.
    void beginFrame();
    // Counts one level of the interpreter's own recursion (a call, a nested block, a script
    // started from a script); stops the script past the bound, so no movie can exhaust the
    // machine's stack.
    class NestingGuard {
    public:
        explicit NestingGuard(Interpreter& vm);
        ~NestingGuard() { --m_vm.m_nesting; }
        NestingGuard(const NestingGuard&) = delete;
        NestingGuard& operator=(const NestingGuard&) = delete;

    private:
        Interpreter& m_vm;
    };
    // Empties the operand stack (between frames).
    void clearStack() { m_stack.clear(); }
    // A number in [0, 1) from the movie's own generator (seeded the same each run, so a
    // conversion is repeatable).
    double random();

    // The hidden property of a prototype that lists the interfaces its class implements.
    static constexpr std::string_view kInterfacesName = "\x01interfaces";

private:
    friend class Activation;
    void markOwnRoots(Tracer& tracer);
    // bindBase: a call without this runs on the clip the function was defined on.
    Value callFunction(FunctionObject& function, const Value& thisValue,
                       std::span<const Value> args, Object* superObject, bool construct,
                       bool bindBase = true);
    Value runFunction(FunctionObject& function, const Value& thisValue,
                      std::span<const Value> args, Object* superObject, bool bindBase);
    bool getOwnOrInherited(Object* holder, Object* thisObject, std::string_view name,
                           Value& out);
    // A getter (argument null) or setter call; home is the object holding the property.
    Value callAccessor(Object* accessor, Object* thisObject, const Value* argument, Object* home);
    void installBuiltins();
    // Runs f, reporting a throw nobody caught; a broken limit is reported by the outermost
    // run only (it stops every script of it).
    template <typename F> void runGuarded(F&& f);
    // A throw that reached the top of a script: the log shows it as the player's warning
    // when no script was running under it, else it is an error report only.
    void reportUncaught(const std::string& text, bool outermost);
    Value pop();
    void push(Value value);

    ScriptHost& m_host;
    ScriptLimits m_limits;
    Heap m_heap;
    int m_movieVersion;
    int m_version;
    Object* m_global = nullptr;
    Builtins m_builtins;
    int m_depth = 0;
    int m_nesting = 0;
    // Where the machine stack stood when the outermost script started.
    Allocator inheritedAllocator(Object* proto) const;
    // setMember after the watchers have had their say.
    void storeMember(Object* object, std::string_view name, const Value& stored);
    uintptr_t m_stackBase = 0;
    // runGuarded calls in progress: an abort has somewhere to land.
    int m_guarded = 0;
    uint64_t m_budget = 0;
    bool m_frameBudget = false;
    bool m_constructionRefused = false;
    // Getters and setters running now, with the object they run on.
    std::vector<std::pair<const Object*, const Object*>> m_runningAccessors;
    bool accessorRunning(const Object* accessor, const Object* thisObject) const;
    struct RunningAccessor {
        RunningAccessor(Interpreter& vm, const Object* accessor, const Object* thisObject)
            : m_vm(vm) {
            m_vm.m_runningAccessors.emplace_back(accessor, thisObject);
        }
        ~RunningAccessor() { m_vm.m_runningAccessors.pop_back(); }
        RunningAccessor(const RunningAccessor&) = delete;
        RunningAccessor& operator=(const RunningAccessor&) = delete;
        Interpreter& m_vm;
    };
    bool m_nativeConstructing = false;
    bool m_budgetReported = false;
    Activation* m_activation = nullptr;
    // One operand stack for every action block: values a block leaves are seen by the next.
    std::vector<Value> m_stack;
    uint64_t m_randomState = 0x9E3779B97F4A7C15ull;
};

} // namespace swivio::swf::avm1
