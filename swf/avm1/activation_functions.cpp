#include <optional>

#include "swf/avm1/action_codes.h"
#include "swf/avm1/activation.h"
#include "swf/avm1/clip_object.h"

// Script functions as code makes them and calls them, super, and try blocks.

namespace swivio::swf::avm1 {

using namespace action;

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
    auto* function = vm.heap().make<FunctionObject>(vm.builtins().functionProto, std::move(fn),
                                                    captured, baseTarget);
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
        arguments->define("caller",
                          m_activation->previous && m_activation->previous->callee
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
            return vm.callFunction(*static_cast<FunctionObject*>(ctor.object()), super->thisObject,
                                   args, parentHome, false);
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

} // namespace swivio::swf::avm1
