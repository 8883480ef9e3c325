#include "swf/avm1/activation.h"

#include <cmath>
#include <cstring>
#include <utility>

#include "swf/avm1/action_codes.h"
#include "swf/avm1/clip_object.h"
#include "swf/avm1/number_conversion.h"
#include "swf/avm1/string_functions.h"

namespace swivio::swf::avm1 {

using namespace action;

namespace {

// GetProperty/SetProperty's property numbers.
constexpr const char* kPropertyNames[] = {
    "_x",          "_y",        "_xscale",     "_yscale",  "_currentframe", "_totalframes",
    "_alpha",      "_visible",  "_width",      "_height",  "_rotation",     "_target",
    "_framesloaded", "_name",   "_droptarget", "_url",     "_highquality",  "_focusrect",
    "_soundbuftime", "_quality", "_xmouse",    "_ymouse",
};

constexpr std::size_t kMaxStack = 1u << 20;

// How deeply With blocks nest.
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

} // namespace swivio::swf::avm1
