#include "swf/avm1/activation.h"

#include <cmath>
#include <cstring>
#include <utility>

#include "swf/avm1/clip_object.h"
#include "swf/avm1/number_conversion.h"
#include "swf/avm1/string_functions.h"

namespace swivio::swf::avm1 {

namespace {

// Action codes of SWF 3 to 8.
enum Op : uint8_t {
    kEnd = 0x00,
    kNextFrame = 0x04,
    kPrevFrame = 0x05,
    kPlay = 0x06,
    kStop = 0x07,
    kToggleQuality = 0x08,
    kStopSounds = 0x09,
    kAdd = 0x0A,
    kSubtract = 0x0B,
    kMultiply = 0x0C,
    kDivide = 0x0D,
    kEquals = 0x0E,
    kLess = 0x0F,
    kAnd = 0x10,
    kOr = 0x11,
    kNot = 0x12,
    kStringEquals = 0x13,
    kStringLength = 0x14,
    kStringExtract = 0x15,
    kPop = 0x17,
    kToInteger = 0x18,
    kGetVariable = 0x1C,
    kSetVariable = 0x1D,
    kSetTarget2 = 0x20,
    kStringAdd = 0x21,
    kGetProperty = 0x22,
    kSetProperty = 0x23,
    kCloneSprite = 0x24,
    kRemoveSprite = 0x25,
    kTrace = 0x26,
    kStartDrag = 0x27,
    kEndDrag = 0x28,
    kStringLess = 0x29,
    kThrow = 0x2A,
    kCastOp = 0x2B,
    kImplementsOp = 0x2C,
    kRandomNumber = 0x30,
    kMBStringLength = 0x31,
    kCharToAscii = 0x32,
    kAsciiToChar = 0x33,
    kGetTime = 0x34,
    kMBStringExtract = 0x35,
    kMBCharToAscii = 0x36,
    kMBAsciiToChar = 0x37,
    kDelete = 0x3A,
    kDelete2 = 0x3B,
    kDefineLocal = 0x3C,
    kCallFunction = 0x3D,
    kReturn = 0x3E,
    kModulo = 0x3F,
    kNewObject = 0x40,
    kDefineLocal2 = 0x41,
    kInitArray = 0x42,
    kInitObject = 0x43,
    kTypeOf = 0x44,
    kTargetPath = 0x45,
    kEnumerate = 0x46,
    kAdd2 = 0x47,
    kLess2 = 0x48,
    kEquals2 = 0x49,
    kToNumber = 0x4A,
    kToString = 0x4B,
    kPushDuplicate = 0x4C,
    kStackSwap = 0x4D,
    kGetMember = 0x4E,
    kSetMember = 0x4F,
    kIncrement = 0x50,
    kDecrement = 0x51,
    kCallMethod = 0x52,
    kNewMethod = 0x53,
    kInstanceOf = 0x54,
    kEnumerate2 = 0x55,
    kBitAnd = 0x60,
    kBitOr = 0x61,
    kBitXor = 0x62,
    kBitLShift = 0x63,
    kBitRShift = 0x64,
    kBitURShift = 0x65,
    kStrictEquals = 0x66,
    kGreater = 0x67,
    kStringGreater = 0x68,
    kExtends = 0x69,
    kGotoFrame = 0x81,
    kGetURL = 0x83,
    kStoreRegister = 0x87,
    kConstantPool = 0x88,
    kWaitForFrame = 0x8A,
    kSetTarget = 0x8B,
    kGoToLabel = 0x8C,
    kWaitForFrame2 = 0x8D,
    kDefineFunction2 = 0x8E,
    kTry = 0x8F,
    kWith = 0x94,
    kPush = 0x96,
    kJump = 0x99,
    kGetURL2 = 0x9A,
    kDefineFunction = 0x9B,
    kIf = 0x9D,
    kCall = 0x9E,
    kGotoFrame2 = 0x9F,
};

// GetProperty/SetProperty's property numbers.
constexpr const char* kPropertyNames[] = {
    "_x",          "_y",        "_xscale",     "_yscale",  "_currentframe", "_totalframes",
    "_alpha",      "_visible",  "_width",      "_height",  "_rotation",     "_target",
    "_framesloaded", "_name",   "_droptarget", "_url",     "_highquality",  "_focusrect",
    "_soundbuftime", "_quality", "_xmouse",    "_ymouse",
};

// DefineFunction2's flags.
enum : uint16_t {
    kPreloadThis = 0x01,
    kSuppressThis = 0x02,
    kPreloadArguments = 0x04,
    kSuppressArguments = 0x08,
    kPreloadSuper = 0x10,
    kSuppressSuper = 0x20,
    kPreloadRoot = 0x40,
    kPreloadParent = 0x80,
    kPreloadGlobal = 0x100,
};

constexpr std::size_t kMaxStack = 1u << 20;

uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }

// A NUL-terminated string at `at` inside payload; advances past it. False when unterminated.
bool readString(std::span<const uint8_t> payload, std::size_t& at, std::string_view& out) {
    if (at > payload.size())
        return false;
    const void* nul = std::memchr(payload.data() + at, 0, payload.size() - at);
    if (!nul)
        return false;
    const auto* end = static_cast<const uint8_t*>(nul);
    out = std::string_view(reinterpret_cast<const char*>(payload.data() + at),
                           std::size_t(end - (payload.data() + at)));
    at = std::size_t(end - payload.data()) + 1;
    return true;
}

bool isFunctionValue(const Value& v) {
    return v.isObject() && v.object()->kind() == ObjectKind::Function;
}

// Where the variable part of a path starts ("a.b:c" -> the ':'; "a.b.c" -> the last '.');
// npos for a plain name.
constexpr int kMaxWithDepth = 13;

// No movie has a frame past this index, so WaitForFrame never finds one loaded there.
constexpr int kMaxFrameIndex = 16000;

// WaitForFrame2's frame as a 0-based index: a whole number wraps to 32 bits first; anything
// else (a fraction, a label, NaN) names a frame that counts as loaded.
int waitedFrame(const Value& v) {
    if (!v.isNumber() || !std::isfinite(v.number()) || std::trunc(v.number()) != v.number())
        return 0;
    const double wrapped = std::fmod(v.number(), 4294967296.0);
    const auto bits = uint32_t(int64_t(wrapped < 0 ? wrapped + 4294967296.0 : wrapped));
    return int(int32_t(bits - 1u));
}

// SWF 4's substring: index counts from 1; a count below 0 takes the rest.
std::string swf4Substring(const std::string& s, double index, double count) {
    const int length = utf16Length(s);
    int begin = index < 1 ? 0 : index > length ? length : int(index) - 1;
    int end = count < 0 || begin + count > length ? length : begin + int(count);
    return substring(s, begin, double(end));
}

} // namespace

Activation::Activation(Interpreter& interpreter, std::span<const uint8_t> actions,
                       int codeVersion, std::shared_ptr<const void> codeOwner)
    : vm(interpreter), previous(interpreter.m_activation), code(actions), version(codeVersion),
      owner(std::move(codeOwner)) {
    savedVersion = vm.m_version;
    vm.m_version = version;
    vm.m_activation = this;
    // Frame code and SWF 5 functions get four registers of their own.
    ownRegisters.resize(4);
    registers = ownRegisters;
}

Activation::~Activation() {
    vm.m_activation = previous;
    vm.m_version = savedVersion;
}

std::vector<Value> Activation::popArguments() {
    double count = vm.toNumber(pop());
    // More arguments than the stack holds are not made up: the missing ones read as
    // undefined anyway, and padding would let one action do unbounded work.
    std::size_t n = count > 0 ? std::size_t(std::min(count, double(vm.m_stack.size()))) : 0;
    std::vector<Value> args;
    args.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        args.push_back(pop());
    return args;
}

// ---- Properties by number ----

Value Activation::getProperty(Object* clip, int index) {
    if (!clip || index < 0 || index >= int(std::size(kPropertyNames)))
        return Value();
    return vm.getMember(clip, kPropertyNames[index]);
}

void Activation::setProperty(Object* clip, int index, const Value& value) {
    if (!clip || index < 0 || index >= int(std::size(kPropertyNames)))
        return;
    vm.setMember(clip, kPropertyNames[index], value);
}

void Activation::gotoFrameValue(const Value& frame, bool play, int bias) {
    if (!target)
        return;
    if (frame.isNumber() || frame.isBoolean() || frame.isNullish()) {
        double n = vm.toNumber(frame);
        if (std::isfinite(n))
            vm.host().gotoFrame(target,
                                int(std::min(std::max(std::trunc(n), -1e9), 1e9)) - 1 + bias, play);
        return;
    }
    std::string text = vm.toString(frame);
    Object* clip = target;
    std::string_view frameName = text;
    std::size_t colon = text.rfind(':');
    if (colon == std::string::npos && !text.empty() && text[0] == '/')
        colon = std::string::npos;
    if (colon != std::string::npos) {
        clip = vm.host().resolveTarget(target, std::string_view(text).substr(0, colon));
        frameName = std::string_view(text).substr(colon + 1);
        if (!clip)
            return;
    }
    double n = stringToNumber(frameName, 7);
    if (std::isfinite(n) && !frameName.empty())
        vm.host().gotoFrame(clip, int(std::min(std::max(std::trunc(n), -1e9), 1e9)) - 1 + bias,
                            play);
    else
        vm.host().gotoLabel(clip, frameName, play);
}

// ---- Functions ----

Value Activation::makeFunction(std::span<const uint8_t> payload, bool function2,
                               std::size_t bodyStart, std::size_t& bodyEnd, SharedString& name) {
    auto fn = std::make_shared<FunctionCode>();
    std::size_t at = 0;
    std::string_view text;
    if (!readString(payload, at, text))
        return Value();
    fn->name = SharedString(std::string(text));
    if (at + 2 > payload.size())
        return Value();
    uint16_t count = le16(payload.data() + at);
    at += 2;
    if (function2) {
        if (at + 3 > payload.size())
            return Value();
        fn->registerCount = payload[at];
        fn->flags = le16(payload.data() + at + 1);
        at += 3;
    }
    for (uint16_t i = 0; i < count; ++i) {
        FunctionCode::Parameter parameter;
        if (function2) {
            if (at >= payload.size())
                return Value();
            parameter.reg = payload[at++];
        }
        if (!readString(payload, at, text))
            return Value();
        parameter.name = SharedString(std::string(text));
        fn->parameters.push_back(std::move(parameter));
    }
    if (at + 2 > payload.size())
        return Value();
    std::size_t size = le16(payload.data() + at);
    bodyEnd = std::min(code.size(), bodyStart + size);
    fn->body = code.subspan(bodyStart, bodyEnd - bodyStart);
    fn->owner = owner;
    // Functions are SWF 5 code even in a SWF 4 movie.
    fn->version = std::max(version, 5);
    fn->isFunction2 = function2;
    fn->constantPool = pool;
    name = fn->name;
    // SWF 5 functions close over the timeline only, not the locals of the code that made them.
    Scope* captured = scope;
    while (version < 6 && captured &&
           (captured->kind == Scope::Kind::Local || captured->kind == Scope::Kind::With))
        captured = captured->parent;
    vm.checkCells();
    auto* function = vm.heap().make<FunctionObject>(vm.builtins().functionProto,
                                                     std::move(fn), captured, baseTarget);
    Object* prototype = vm.makeObject();
    prototype->define("constructor", Value(function), kDontEnum);
    function->define("prototype", prototype, kDontEnum | kDontDelete);
    if (FunctionObject* functionClass = vm.builtins().functionCtor)
        function->define("constructor", Value(functionClass), kDontEnum);
    return function;
}

Value Interpreter::runFunction(FunctionObject& function, const Value& thisValue,
                               std::span<const Value> args, Object* home, bool bindBase) {
    const FunctionCode& fn = *function.code;
    Activation act(*this, fn.body, fn.version, fn.owner);
    act.pool = fn.constantPool;
    act.target = act.baseTarget = function.base;
    // A function stops with the clip it was defined on, unless that was gone already when it
    // was called: then with its caller's.
    if (auto* clip = dynamic_cast<ClipObject*>(function.base); clip && !clip->removed)
        act.baseRemoved = &clip->removed;
    else if (act.previous)
        act.baseRemoved = act.previous->baseRemoved;
    act.thisValue = thisValue.isNullish() && bindBase ? Value(function.base) : thisValue;
    act.callee = &function;
    act.home = home;
    checkCells();
    act.locals = m_heap.make<Object>(nullptr);
    act.scope = m_heap.make<Scope>(Scope::Kind::Local, act.locals, function.scope);

    Object* thisObject = act.thisValue.object();
    auto makeArguments = [&]() -> Value {
        ArrayObject* arguments = makeArray(args);
        arguments->define("callee", Value(&function), kDontEnum);
        arguments->define("caller", m_activation->previous && m_activation->previous->callee
                                        ? Value(m_activation->previous->callee)
                                        : Value::null(),
                          kDontEnum);
        return arguments;
    };
    auto makeSuper = [&]() -> Value {
        if (!thisObject || !home)
            return Value();
        return m_heap.make<SuperObject>(thisObject, home);
    };
    if (fn.isFunction2) {
        act.ownRegisters.resize(std::max<std::size_t>(fn.registerCount, 1));
        act.registers = act.ownRegisters;
        std::size_t next = 1;
        auto preload = [&](Value v) {
            if (next < act.ownRegisters.size())
                act.ownRegisters[next] = std::move(v);
            ++next;
        };
        act.thisHidden = (fn.flags & (kPreloadThis | kSuppressThis)) != 0;
        // A preloaded value always takes its register; suppressing this or super leaves the
        // register undefined, while arguments are preloaded even when suppressed.
        if (fn.flags & kPreloadThis)
            preload(fn.flags & kSuppressThis ? Value() : act.thisValue);
        else if (!(fn.flags & kSuppressThis))
            act.locals->define("this", act.thisValue, 0);
        if (fn.flags & kPreloadArguments)
            preload(makeArguments());
        else if (!(fn.flags & kSuppressArguments))
            act.locals->define("arguments", makeArguments(), 0);
        if (fn.flags & kPreloadSuper)
            preload(fn.flags & kSuppressSuper ? Value() : makeSuper());
        else if (!(fn.flags & kSuppressSuper))
            act.locals->define("super", makeSuper(), 0);
        if (fn.flags & kPreloadRoot)
            preload(getMember(function.base ? Value(function.base) : Value(), "_root"));
        if (fn.flags & kPreloadParent) {
            // A clip without a parent takes no register: _global moves down into its place.
            Value parent = getMember(function.base ? Value(function.base) : Value(), "_parent");
            if (!parent.isUndefined())
                preload(std::move(parent));
        }
        if (fn.flags & kPreloadGlobal)
            preload(m_global);
    } else {
        act.locals->define("this", act.thisValue, 0);
        act.locals->define("arguments", makeArguments(), 0);
        act.locals->define("super", makeSuper(), 0);
    }
    for (std::size_t i = 0; i < fn.parameters.size(); ++i) {
        const auto& parameter = fn.parameters[i];
        Value arg = i < args.size() ? args[i] : Value();
        if (parameter.reg && parameter.reg < act.registers.size() && fn.isFunction2)
            act.registers[parameter.reg] = std::move(arg);
        else
            act.locals->define(parameter.name.str(), std::move(arg), 0);
    }
    const std::size_t stackBase = m_stack.size();
    Activation::Flow flow = act.run(0, fn.body.size());
    if (m_stack.size() > stackBase)
        m_stack.resize(stackBase);
    return flow == Activation::Flow::Return ? act.returnValue : Value();
}

Value Activation::superMember(SuperObject* super, std::string_view name, Object*& holder) {
    Object* start = super->home ? super->home->proto() : nullptr;
    int depth = 0;
    for (Object* p = start; p && depth < 256; p = p->proto(), ++depth) {
        if (vm.hasOwnProperty(p, name)) {
            holder = p;
            Value out;
            vm.getOwnOrInherited(p, super->thisObject, name, out);
            return out;
        }
    }
    holder = nullptr;
    return Value();
}

Value Activation::callMethod(const Value& objectValue, const Value& nameValue,
                             std::span<const Value> args) {
    auto* super = dynamic_cast<SuperObject*>(objectValue.object());
    std::string name = nameValue.isUndefined() ? std::string() : vm.toString(nameValue);
    if (super) {
        if (name.empty()) {
            // super(...): the parent class's constructor, on this object.
            Value ctor = super->home ? vm.getMember(super->home, "__constructor__") : Value();
            if (!isFunctionValue(ctor))
                return Value();
            Object* parentHome = super->home ? super->home->proto() : nullptr;
            return vm.callFunction(*static_cast<FunctionObject*>(ctor.object()),
                                   super->thisObject, args, parentHome, false);
        }
        Object* holder = nullptr;
        Value method = superMember(super, name, holder);
        if (!isFunctionValue(method))
            return Value();
        return vm.callFunction(*static_cast<FunctionObject*>(method.object()), super->thisObject,
                               args, holder, false);
    }
    if (name.empty()) {
        if (!isFunctionValue(objectValue))
            return Value();
        // A function value called as a method of nothing has no this, not its clip.
        return vm.callFunction(*static_cast<FunctionObject*>(objectValue.object()), Value(), args,
                               nullptr, false, false);
    }
    Object* object = objectValue.isObject() ? objectValue.object() : vm.toObject(objectValue);
    if (!object)
        return Value();
    // Find where the method lives, so that its super starts above it.
    Object* holder = object;
    int depth = 0;
    for (Object* p = object; p && depth < 256; p = p->proto(), ++depth)
        if (vm.hasOwnProperty(p, name)) {
            holder = p;
            break;
        }
    Value method = vm.getMember(object, name);
    if (!isFunctionValue(method))
        return Value();
    return vm.callFunction(*static_cast<FunctionObject*>(method.object()),
                           objectValue.isObject() ? objectValue : Value(object), args, holder,
                           false);
}

// ---- Try ----

Activation::Flow Activation::runTry(std::span<const uint8_t> payload, std::size_t start,
                                    std::size_t& next) {
    if (payload.size() < 7) {
        next = code.size();
        return Flow::End;
    }
    const uint8_t flags = payload[0];
    const bool hasCatch = flags & 1, hasFinally = flags & 2, catchInRegister = flags & 4;
    const std::size_t trySize = le16(&payload[1]), catchSize = le16(&payload[3]),
                      finallySize = le16(&payload[5]);
    std::size_t at = 7;
    std::string_view catchName;
    uint8_t catchRegister = 0;
    if (catchInRegister) {
        if (at < payload.size())
            catchRegister = payload[at];
    } else {
        readString(payload, at, catchName);
    }
    const std::size_t tryEnd = std::min(code.size(), start + trySize);
    const std::size_t catchEnd = std::min(code.size(), tryEnd + catchSize);
    const std::size_t finallyEnd = std::min(code.size(), catchEnd + finallySize);
    next = finallyEnd;
    const std::string catchVariable(catchName);

    Flow flow = Flow::Next;
    std::optional<ScriptThrow> pending;
    const std::size_t stackSize = vm.m_stack.size();
    try {
        flow = run(start, tryEnd);
    } catch (ScriptThrow& thrown) {
        vm.m_stack.resize(std::min(vm.m_stack.size(), stackSize));
        if (hasCatch) {
            if (catchInRegister) {
                if (catchRegister < registers.size())
                    registers[catchRegister] = thrown.value;
            } else {
                defineLocal(catchVariable, thrown.value);
            }
            try {
                flow = run(tryEnd, catchEnd);
            } catch (ScriptThrow& again) {
                if (!hasFinally)
                    throw;
                pending = again;
            }
        } else {
            pending = thrown;
        }
    }
    // A jump into this statement's own blocks (compilers jump to the finally block) is no
    // jump out of it: the finally block runs once, below.
    if (flow == Flow::Jump && jumpTarget >= start && jumpTarget <= finallyEnd)
        flow = Flow::Next;
    if (hasFinally) {
        Value savedReturn = returnValue;
        const std::size_t savedJump = jumpTarget;
        Flow finallyFlow = run(catchEnd, finallyEnd);
        if (finallyFlow == Flow::Return || finallyFlow == Flow::Jump)
            return finallyFlow;
        returnValue = savedReturn;
        jumpTarget = savedJump;
    }
    if (pending)
        throw *pending;
    return flow;
}

// ---- The loop ----

Value Activation::readPushValue(std::span<const uint8_t> p, std::size_t& at, bool& ok) {
    const uint8_t type = p[at++];
    auto need = [&](std::size_t n) {
        if (at + n > p.size()) {
            ok = false;
            return false;
        }
        return true;
    };
    switch (type) {
    case 0: {
        std::string_view text;
        if (!readString(p, at, text)) {
            ok = false;
            return Value();
        }
        return std::string(text);
    }
    case 1: {
        if (!need(4))
            return Value();
        uint32_t bits = uint32_t(p[at]) | uint32_t(p[at + 1]) << 8 | uint32_t(p[at + 2]) << 16 |
                        uint32_t(p[at + 3]) << 24;
        at += 4;
        float f;
        std::memcpy(&f, &bits, 4);
        return double(f);
    }
    case 2: return Value::null();
    case 3: return Value();
    case 4: {
        if (!need(1))
            return Value();
        uint8_t reg = p[at++];
        return reg < registers.size() ? registers[reg] : Value();
    }
    case 5: {
        if (!need(1))
            return Value();
        return p[at++] != 0;
    }
    case 6: {
        if (!need(8))
            return Value();
        // The high word comes first, each word little-endian.
        uint64_t hi = uint64_t(p[at]) | uint64_t(p[at + 1]) << 8 | uint64_t(p[at + 2]) << 16 |
                      uint64_t(p[at + 3]) << 24;
        uint64_t lo = uint64_t(p[at + 4]) | uint64_t(p[at + 5]) << 8 |
                      uint64_t(p[at + 6]) << 16 | uint64_t(p[at + 7]) << 24;
        at += 8;
        uint64_t bits = hi << 32 | lo;
        double d;
        std::memcpy(&d, &bits, 8);
        return d;
    }
    case 7: {
        if (!need(4))
            return Value();
        int32_t i = int32_t(uint32_t(p[at]) | uint32_t(p[at + 1]) << 8 |
                            uint32_t(p[at + 2]) << 16 | uint32_t(p[at + 3]) << 24);
        at += 4;
        return double(i);
    }
    case 8:
    case 9: {
        std::size_t index;
        if (type == 8) {
            if (!need(1))
                return Value();
            index = p[at++];
        } else {
            if (!need(2))
                return Value();
            index = le16(&p[at]);
            at += 2;
        }
        if (pool && index < pool->size())
            return (*pool)[index];
        return Value();
    }
    default: ok = false; return Value();
    }
}

Activation::Flow Activation::run(std::size_t begin, std::size_t end) {
    std::size_t pc = begin;
    while (pc < end) {
        if (vm.m_budget == 0) {
            const bool reported = std::exchange(vm.m_budgetReported, true);
            vm.abortScript(reported ? std::string()
                                    : "a script ran too long and was stopped; the frame goes on");
        }
        --vm.m_budget;
        const uint8_t op = code[pc];
        std::span<const uint8_t> payload;
        std::size_t next = pc + 1;
        if (op >= 0x80) {
            if (pc + 3 > end)
                return Flow::End;
            const std::size_t length = le16(&code[pc + 1]);
            if (pc + 3 + length > end)
                return Flow::End;
            payload = code.subspan(pc + 3, length);
            next = pc + 3 + length;
        }
        if (op == kEnd)
            return Flow::End;
        if (vm.m_stack.size() > kMaxStack)
            vm.abortScript("a script's stack grew past its bound");

        switch (op) {
        // ---- SWF 3: timeline control ----
        case kNextFrame:
            if (target)
                vm.host().nextFrame(target);
            break;
        case kPrevFrame:
            if (target)
                vm.host().prevFrame(target);
            break;
        case kPlay:
            if (target)
                vm.host().play(target, true);
            break;
        case kStop:
            if (target)
                vm.host().play(target, false);
            break;
        case kToggleQuality: vm.host().toggleQuality(); break;
        case kStopSounds: vm.host().stopSounds(); break;
        case kGotoFrame:
            if (payload.size() >= 2 && target)
                vm.host().gotoFrame(target, le16(payload.data()), false);
            break;
        case kGoToLabel: {
            std::size_t at = 0;
            std::string_view label;
            if (readString(payload, at, label) && target)
                vm.host().gotoLabel(target, label, false);
            break;
        }
        case kGetURL: {
            std::size_t at = 0;
            std::string_view url, window;
            if (readString(payload, at, url) && readString(payload, at, window))
                vm.host().getUrl(target, url, window, 0, false, false);
            break;
        }
        case kWaitForFrame:
        case kWaitForFrame2: {
            int frame = 0;
            std::size_t skipAt = 0;
            if (op == kWaitForFrame) {
                if (payload.size() < 3)
                    break;
                frame = le16(payload.data());
                skipAt = 2;
            } else {
                if (payload.size() < 1)
                    break;
                frame = waitedFrame(pop());
            }
            int skip = payload[skipAt];
            if (target && (frame > kMaxFrameIndex || !vm.host().frameLoaded(target, frame))) {
                for (int i = 0; i < skip && next < end; ++i) {
                    const uint8_t skipped = code[next];
                    if (skipped >= 0x80) {
                        if (next + 3 > end)
                            return Flow::End;
                        next += 3 + le16(&code[next + 1]);
                    } else {
                        next += 1;
                    }
                }
            }
            break;
        }
        case kSetTarget: {
            std::size_t at = 0;
            std::string_view path;
            if (!readString(payload, at, path))
                break;
            if (path.empty()) {
                target = baseTarget;
            } else {
                Object* clip = targetObject(baseTarget, path);
                target = clip && isDisplayKind(clip->kind()) ? clip : nullptr;
                if (!clip)
                    vm.host().scriptError("tellTarget: no clip at \"" + std::string(path) + "\"");
            }
            break;
        }
        case kSetTarget2: {
            Value path = pop();
            if (path.isObject() && path.object()->kind() == ObjectKind::Clip) {
                // A clip is found again by its path: of two clips with one name, the first wins.
                std::string where = vm.host().targetPath(path.object(), false);
                Object* found = where.empty() ? nullptr : vm.host().resolveTarget(baseTarget, where);
                target = found ? found : path.object();
            } else {
                std::string text = vm.toString(path);
                Object* clip = text.empty() ? baseTarget : targetObject(baseTarget, text);
                target = clip && isDisplayKind(clip->kind()) ? clip : nullptr;
            }
            break;
        }

        // ---- SWF 4: arithmetic and strings ----
        case kAdd: {
            double b = vm.toNumber(pop()), a = vm.toNumber(pop());
            push(a + b);
            break;
        }
        case kSubtract: {
            double b = vm.toNumber(pop()), a = vm.toNumber(pop());
            push(a - b);
            break;
        }
        case kMultiply: {
            double b = vm.toNumber(pop()), a = vm.toNumber(pop());
            push(a * b);
            break;
        }
        case kDivide: {
            double b = vm.toNumber(pop()), a = vm.toNumber(pop());
            if (b == 0 && version < 5)
                push("#ERROR#");
            else
                push(a / b);
            break;
        }
        case kModulo: {
            double b = vm.toNumber(pop()), a = vm.toNumber(pop());
            push(std::fmod(a, b));
            break;
        }
        case kEquals: {
            double b = vm.toNumber(pop()), a = vm.toNumber(pop());
            push(version >= 5 ? Value(a == b) : Value(a == b ? 1.0 : 0.0));
            break;
        }
        case kLess: {
            double b = vm.toNumber(pop()), a = vm.toNumber(pop());
            push(version >= 5 ? Value(a < b) : Value(a < b ? 1.0 : 0.0));
            break;
        }
        case kAnd:
        case kOr: {
            bool b = vm.toBoolean(pop()), a = vm.toBoolean(pop());
            bool r = op == kAnd ? (a && b) : (a || b);
            push(version >= 5 ? Value(r) : Value(r ? 1.0 : 0.0));
            break;
        }
        case kNot: {
            bool r = !vm.toBoolean(pop());
            push(version >= 5 ? Value(r) : Value(r ? 1.0 : 0.0));
            break;
        }
        case kStringEquals:
        case kStringLess:
        case kStringGreater: {
            std::string b = vm.toString(pop()), a = vm.toString(pop());
            bool r = op == kStringEquals ? a == b : op == kStringLess ? a < b : a > b;
            push(version >= 5 ? Value(r) : Value(r ? 1.0 : 0.0));
            break;
        }
        case kStringAdd: {
            std::string b = vm.toString(pop()), a = vm.toString(pop());
            vm.checkStringLength(a.size() + b.size());
            push(a + b);
            break;
        }
        case kStringLength:
        case kMBStringLength: push(double(utf16Length(vm.toString(pop())))); break;
        case kStringExtract:
        case kMBStringExtract: {
            // Both numbers wrap as 32-bit integers.
            double count = toInt32(vm.toNumber(pop()));
            double index = toInt32(vm.toNumber(pop()));
            std::string s = vm.toString(pop());
            push(swf4Substring(s, index, count));
            break;
        }
        case kCharToAscii:
        case kMBCharToAscii: {
            std::string s = vm.toString(pop());
            int unit = s.empty() ? 0 : charCodeAt(s, 0);
            // A character beyond the 16-bit range reads as the replacement character.
            if (unit >= 0xD800 && unit < 0xDC00)
                unit = 0xFFFD;
            push(double(unit < 0 ? 0 : unit));
            break;
        }
        case kAsciiToChar:
        case kMBAsciiToChar: {
            uint32_t unit = toUint32(vm.toNumber(pop())) & 0xffff;
            push(fromCharCodes(std::span<const uint32_t>(&unit, 1)));
            break;
        }
        case kToInteger: push(toIntegerAction(vm.toNumber(pop()))); break;
        case kPop: pop(); break;
        case kPush: {
            std::size_t at = 0;
            bool ok = true;
            while (at < payload.size() && ok) {
                Value v = readPushValue(payload, at, ok);
                if (ok)
                    push(std::move(v));
            }
            break;
        }
        case kJump:
        case kIf: {
            if (payload.size() < 2)
                break;
            const int16_t offset = int16_t(le16(payload.data()));
            if (op == kIf && !vm.toBoolean(pop()))
                break;
            const long long destination = (long long)next + offset;
            if (destination < (long long)begin || destination > (long long)end) {
                // Out of a with or try block (a break): the enclosing block takes it.
                if (destination < 0 || destination > (long long)code.size())
                    return Flow::End;
                jumpTarget = std::size_t(destination);
                return Flow::Jump;
            }
            next = std::size_t(destination);
            break;
        }
        case kGetVariable: {
            std::string name = vm.toString(pop());
            push(getVariable(name));
            break;
        }
        case kSetVariable: {
            Value value = pop();
            std::string name = vm.toString(pop());
            setVariable(name, value);
            break;
        }
        case kGetProperty: {
            // A property number that is not a number names no property.
            const double number = vm.toNumber(pop());
            Object* clip = resolveTarget(pop());
            push(std::isfinite(number) ? getProperty(clip, toInt32(number)) : Value());
            break;
        }
        case kSetProperty: {
            Value value = pop();
            int index = vm.toInt32(pop());
            Object* clip = resolveTarget(pop());
            setProperty(clip, index, value);
            break;
        }
        case kCloneSprite: {
            int depth = vm.toInt32(pop());
            std::string name = vm.toString(pop());
            Object* clip = resolveTarget(pop());
            if (clip)
                vm.host().cloneClip(clip, name, depth);
            break;
        }
        case kRemoveSprite: {
            Object* clip = resolveTarget(pop());
            if (clip)
                vm.host().removeClip(clip);
            if (baseGone())
                return Flow::End;
            break;
        }
        case kTrace: {
            Value v = pop();
            vm.host().traceLine(v.isUndefined() ? std::string("undefined") : vm.toString(v));
            break;
        }
        case kStartDrag: {
            Object* clip = resolveTarget(pop());
            bool lockCenter = vm.toBoolean(pop());
            bool constrain = vm.toBoolean(pop());
            double bounds[4] = {};
            if (constrain) {
                bounds[3] = vm.toNumber(pop());
                bounds[2] = vm.toNumber(pop());
                bounds[1] = vm.toNumber(pop());
                bounds[0] = vm.toNumber(pop());
            }
            if (clip)
                vm.host().startDrag(clip, lockCenter, constrain ? bounds : nullptr);
            break;
        }
        case kEndDrag: vm.host().stopDrag(); break;
        case kRandomNumber: {
            double max = vm.toInteger(pop());
            push(max <= 0 ? 0.0 : std::floor(vm.random() * max));
            break;
        }
        case kGetTime: push(std::floor(vm.host().timer())); break;
        case kGetURL2: {
            if (payload.empty())
                break;
            const uint8_t flags = payload[0];
            std::string window = vm.toString(pop());
            std::string url = vm.toString(pop());
            // Bit 7 loads variables, bit 6 targets a clip, the low bits are the method.
            vm.host().getUrl(target, url, window, flags & 3, flags & 0x40, flags & 0x80);
            break;
        }
        case kGotoFrame2: {
            if (payload.empty())
                break;
            const bool play = payload[0] & 1;
            int bias = 0;
            if ((payload[0] & 2) && payload.size() >= 3)
                bias = le16(&payload[1]);
            gotoFrameValue(pop(), play, bias);
            break;
        }
        case kCall: {
            Value frame = pop();
            if (Object* timeline = variablesTarget())
                vm.host().callFrame(timeline, frame);
            break;
        }

        // ---- SWF 5: objects ----
        case kConstantPool: {
            auto entries = std::make_shared<std::vector<SharedString>>();
            if (payload.size() >= 2) {
                const uint16_t count = le16(payload.data());
                std::size_t at = 2;
                std::string_view text;
                for (uint16_t i = 0; i < count && readString(payload, at, text); ++i)
                    entries->emplace_back(std::string(text));
            }
            pool = std::move(entries);
            break;
        }
        case kStoreRegister:
            if (!payload.empty() && payload[0] < registers.size())
                registers[payload[0]] = vm.m_stack.empty() ? Value() : vm.m_stack.back();
            break;
        case kPushDuplicate: {
            Value top = vm.m_stack.empty() ? Value() : vm.m_stack.back();
            push(std::move(top));
            break;
        }
        case kStackSwap: {
            Value a = pop(), b = pop();
            push(std::move(a));
            push(std::move(b));
            break;
        }
        case kAdd2: {
            Value b = vm.toPrimitive(pop());
            Value a = vm.toPrimitive(pop());
            if (a.isString() || b.isString()) {
                std::string left = vm.toString(a);
                std::string right = vm.toString(b);
                vm.checkStringLength(left.size() + right.size());
                push(left + right);
            } else {
                push(vm.toNumber(a) + vm.toNumber(b));
            }
            break;
        }
        case kLess2: {
            Value b = pop(), a = pop();
            push(vm.lessThan(a, b));
            break;
        }
        case kGreater: {
            Value b = pop(), a = pop();
            push(vm.lessThan(b, a));
            break;
        }
        case kEquals2: {
            Value b = pop(), a = pop();
            push(vm.looseEquals(a, b));
            break;
        }
        case kStrictEquals: {
            Value b = pop(), a = pop();
            // Strict equality holds for NaN and NaN, where == does not.
            const bool bothNaN = a.isNumber() && b.isNumber() && std::isnan(a.number()) &&
                                 std::isnan(b.number());
            push(bothNaN || a.strictlyEquals(b) ||
                 (a.isObject() && b.isObject() && sameObject(a.object(), b.object())));
            break;
        }
        case kToNumber: push(vm.toNumber(pop())); break;
        case kToString: push(vm.toString(pop())); break;
        case kIncrement: push(vm.toNumber(pop()) + 1); break;
        case kDecrement: push(vm.toNumber(pop()) - 1); break;
        case kBitAnd:
        case kBitOr:
        case kBitXor:
        case kBitLShift:
        case kBitRShift:
        case kBitURShift: {
            const double right = vm.toNumber(pop());
            const int32_t b = toInt32(right);
            const int32_t a = vm.toInt32(pop());
            const int count = shiftCount(right);
            double r = 0;
            switch (op) {
            case kBitAnd: r = a & b; break;
            case kBitOr: r = a | b; break;
            case kBitXor: r = a ^ b; break;
            case kBitLShift: r = int32_t(uint32_t(a) << count); break;
            case kBitRShift: r = a >> count; break;
            default: r = unsignedShiftResult(uint32_t(a) >> count, version); break;
            }
            push(r);
            break;
        }
        case kTypeOf: push(vm.typeOf(pop())); break;
        case kTargetPath: {
            Value v = pop();
            if (v.isObject() && isDisplayKind(v.object()->kind()))
                push(vm.host().targetPath(v.object(), true));
            else
                push(Value());
            break;
        }
        case kGetMember: {
            Value name = pop();
            Value object = pop();
            if (auto* super = dynamic_cast<SuperObject*>(object.object())) {
                Object* holder = nullptr;
                const std::string member = vm.toString(name);
                Object* start = super->home ? super->home->proto() : nullptr;
                if (vm.namesEqual(member, "__proto__"))
                    push(start ? start->protoValue() : Value());
                else
                    push(superMember(super, member, holder));
            } else {
                push(vm.getMember(object, vm.toString(name)));
            }
            break;
        }
        case kSetMember: {
            Value value = pop();
            Value name = pop();
            Value object = pop();
            vm.setMember(object, vm.toString(name), value);
            break;
        }
        case kDelete: {
            std::string name = vm.toString(pop());
            Value object = pop();
            // Before version 7, a delete with no object deletes the variable (or path) named.
            if (object.isUndefined() && version < 7)
                push(deleteVariable(name));
            else
                push(vm.deleteMember(object.object(), name));
            break;
        }
        case kDelete2: push(deleteVariable(vm.toString(pop()))); break;
        case kDefineLocal: {
            Value value = pop();
            std::string name = vm.toString(pop());
            defineLocal(name, value);
            break;
        }
        case kDefineLocal2: {
            std::string name = vm.toString(pop());
            if (locals) {
                if (!locals->properties().find(name, vm.caseSensitive()))
                    locals->define(name, Value(), 0);
            } else if (target && !vm.hasOwnProperty(target, name)) {
                vm.setMember(target, name, Value());
            }
            break;
        }
        case kCallFunction: {
            std::string name = vm.toString(pop());
            std::vector<Value> args = popArguments();
            Value thisForCall;
            Value function = findFunction(name, thisForCall);
            if (dynamic_cast<SuperObject*>(function.object())) {
                // super(...) reaches here as a call of the variable "super".
                push(callMethod(function, Value(), args));
                break;
            }
            if (!isFunctionValue(function))
                push(Value());
            else
                push(vm.callFunction(*static_cast<FunctionObject*>(function.object()), thisForCall,
                                     args, nullptr, false));
            if (baseGone())
                return Flow::End;
            break;
        }
        case kCallMethod: {
            Value name = pop();
            Value object = pop();
            std::vector<Value> args = popArguments();
            push(callMethod(object, name, args));
            if (!object.isNullish() && baseGone())
                return Flow::End;
            break;
        }
        case kNewObject: {
            std::string name = vm.toString(pop());
            std::vector<Value> args = popArguments();
            Value ignored;
            push(vm.construct(findFunction(name, ignored), args));
            if (baseGone())
                return Flow::End;
            break;
        }
        case kNewMethod: {
            Value name = pop();
            Value object = pop();
            std::vector<Value> args = popArguments();
            std::string methodName = name.isUndefined() ? std::string() : vm.toString(name);
            push(vm.construct(methodName.empty() ? object : vm.getMember(object, methodName),
                              args));
            if (!object.isNullish() && baseGone())
                return Flow::End;
            break;
        }
        case kInitArray: {
            std::vector<Value> elements = popArguments();
            push(vm.makeArray(elements));
            break;
        }
        case kInitObject: {
            double count = vm.toNumber(pop());
            if (!(count >= 0) || count * 2 > double(vm.m_stack.size())) {
                // A negative count, or more pairs than the stack holds, makes no object and
                // takes nothing more from the stack.
                push(Value());
                break;
            }
            Object* object = vm.makeObject();
            std::size_t n = count > 0 ? std::size_t(std::min(count, double(kMaxStack))) : 0;
            for (std::size_t i = 0; i < n && !vm.m_stack.empty(); ++i) {
                Value value = pop();
                std::string name = vm.toString(pop());
                vm.setMember(object, name, value);
            }
            push(object);
            break;
        }
        case kEnumerate:
        case kEnumerate2: {
            Value subject = pop();
            if (op == kEnumerate)
                subject = getVariable(vm.toString(subject));
            push(Value::null());
            if (Object* object = subject.object()) {
                std::vector<SharedString> names = vm.enumerate(object);
                for (auto it = names.rbegin(); it != names.rend(); ++it)
                    push(*it);
            }
            break;
        }
        case kReturn:
            returnValue = pop();
            return Flow::Return;
        case kDefineFunction:
        case kDefineFunction2: {
            std::size_t bodyEnd = next;
            SharedString name;
            Value function = makeFunction(payload, op == kDefineFunction2, next, bodyEnd, name);
            next = bodyEnd;
            if (function.isUndefined())
                break;
            if (name.str().empty())
                push(function);
            else
                defineLocal(name.str(), function);
            break;
        }
        case kWith: {
            if (payload.size() < 2)
                break;
            const std::size_t bodyEnd = std::min(end, next + le16(payload.data()));
            Value subject = pop();
            Object* object = subject.isObject() ? subject.object() : vm.toObject(subject);
            int withDepth = 0;
            for (Scope* s = scope; s; s = s->parent)
                withDepth += s->kind == Scope::Kind::With;
            // with(null) and with(undefined) skip their block, as does a with nested more
            // than 13 deep.
            if (!object || withDepth >= kMaxWithDepth) {
                next = bodyEnd;
                break;
            }
            Scope* saved = scope;
            vm.checkCells();
            scope = vm.heap().make<Scope>(Scope::Kind::With, object, scope);
            Flow flow = Flow::Next;
            try {
                Interpreter::NestingGuard nesting(vm);
                flow = run(next, bodyEnd);
            } catch (...) {
                scope = saved;
                throw;
            }
            scope = saved;
            if (flow == Flow::Return || flow == Flow::End)
                return flow;
            next = bodyEnd;
            if (flow == Flow::Jump) {
                if (jumpTarget < begin || jumpTarget > end)
                    return flow;
                next = jumpTarget;
            }
            break;
        }

        // ---- SWF 6 and 7 ----
        case kInstanceOf: {
            Value ctor = pop();
            Value object = pop();
            push(vm.instanceOf(object.object(), ctor.object()));
            break;
        }
        case kCastOp: {
            Value object = pop();
            Value ctor = pop();
            push(vm.instanceOf(object.object(), ctor.object()) ? object : Value::null());
            break;
        }
        case kImplementsOp: {
            Value ctor = pop();
            std::vector<Value> interfaces = popArguments();
            Value proto = vm.getMember(ctor, "prototype");
            if (Object* p = proto.object())
                p->define(Interpreter::kInterfacesName, vm.makeArray(interfaces), kDontEnum);
            break;
        }
        case kExtends: {
            Value superclass = pop();
            Value subclass = pop();
            if (!subclass.isObject() || !superclass.isObject())
                break;
            Object* prototype = vm.makeObject(vm.getMember(superclass, "prototype").object());
            prototype->define("__constructor__", superclass, kDontEnum);
            vm.setMember(subclass, "prototype", prototype);
            break;
        }
        case kThrow: vm.throwValue(pop());
        case kTry: {
            Interpreter::NestingGuard nesting(vm);
            std::size_t after = next;
            Flow flow = runTry(payload, next, after);
            if (flow == Flow::Return || flow == Flow::End)
                return flow;
            next = after;
            if (flow == Flow::Jump) {
                if (jumpTarget < begin || jumpTarget > end)
                    return flow;
                next = jumpTarget;
            }
            break;
        }
        default:
            // Unknown actions are skipped, as Flash Player does.
            break;
        }
        pc = next;
    }
    return Flow::Next;
}

// ---- Entry points ----

template <typename F> void Interpreter::runGuarded(F&& f) {
    const bool outermost = m_activation == nullptr;
    if (outermost && !m_frameBudget)
        m_budget = m_limits.actionBudget;
    const char here = 0;
    if (outermost)
        m_stackBase = reinterpret_cast<uintptr_t>(&here);
    const std::size_t stackSize = m_stack.size();
    struct Guarded {
        int& count;
        explicit Guarded(int& c) : count(c) { ++count; }
        ~Guarded() { --count; }
    } guarded(m_guarded);
    try {
        f();
    } catch (ScriptThrow& thrown) {
        m_stack.resize(std::min(m_stack.size(), stackSize));
        std::string text;
        try {
            text = toString(thrown.value);
        } catch (...) {
            text = "(an exception whose text could not be made)";
        }
        reportUncaught(text, outermost);
    } catch (ScriptAbort& abort) {
        if (!outermost)
            throw;
        m_stack.clear();
        if (!abort.reason.empty())
            m_host.scriptError(abort.reason);
    }
}

Value Interpreter::pop() {
    if (m_stack.empty())
        return Value();
    Value v = std::move(m_stack.back());
    m_stack.pop_back();
    return v;
}

void Interpreter::push(Value value) { m_stack.push_back(std::move(value)); }

void Interpreter::runScript(const ActionBlock& block, Object* target) {
    runGuarded([&] {
        NestingGuard nesting(*this);
        Activation act(*this, block.code, block.version, block.owner);
        act.target = act.baseTarget = target;
        if (auto* clip = dynamic_cast<ClipObject*>(target); clip && block.stopsWithClip)
            act.baseRemoved = &clip->removed;
        act.thisValue = target;
        checkCells();
        act.scope = m_heap.make<Scope>(Scope::Kind::Target, nullptr,
                                       m_heap.make<Scope>(Scope::Kind::Global, m_global, nullptr));
        act.run(0, block.code.size());
    });
}

Value Interpreter::getMemberFromHost(const Value& object, std::string_view name) {
    Value result;
    runGuarded([&] { result = getMember(object, name); });
    return result;
}

Value Interpreter::callFromHost(const Value& function, const Value& thisValue,
                                std::span<const Value> args) {
    Value result;
    runGuarded([&] { result = call(function, thisValue, args); });
    return result;
}

} // namespace swivio::swf::avm1
