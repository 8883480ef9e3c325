#include "swf/avm1/interpreter.h"

#include <algorithm>
#include <unordered_set>
#include <utility>
#include <cmath>

#include "swf/avm1/activation.h"
#include "swf/avm1/builtins.h"
#include "swf/avm1/clip_object.h"
#include "swf/avm1/number_conversion.h"
#include "swf/avm1/string_functions.h"

namespace swivio::swf::avm1 {

namespace {

constexpr int kMaxProtoDepth = 256;

bool isFunction(const Value& value) {
    return value.isObject() && value.object()->kind() == ObjectKind::Function;
}

} // namespace

Interpreter::Interpreter(ScriptHost& host, int movieVersion, ScriptLimits limits)
    : m_host(host), m_limits(limits), m_movieVersion(movieVersion), m_version(movieVersion) {
    installBuiltins();
}

Interpreter::~Interpreter() = default;

void Interpreter::installBuiltins() {
    m_builtins.objectProto = m_heap.make<Object>(nullptr);
    m_builtins.functionProto = m_heap.make<Object>(m_builtins.objectProto);
    // _global inherits nothing: _global.toString is undefined.
    m_global = m_heap.make<Object>(nullptr);
    installObjectBuiltins(*this);
    installGlobalFunctions(*this);
    installArrayBuiltins(*this);
    installStringBuiltins(*this);
    installNumberBuiltins(*this);
    installMathBuiltins(*this);
    installDateBuiltins(*this);
    installErrorBuiltins(*this);
    installBroadcasterBuiltins(*this);
    installGeomBuiltins(*this);
    installDeviceBuiltins(*this);
    installMenuBuiltins(*this);
    installFilterBuiltins(*this);
    installBitmapDataBuiltins(*this);
    installXmlBuiltins(*this);
    installLoadVarsBuiltins(*this);
}

bool Interpreter::namesEqual(std::string_view a, std::string_view b) const {
    if (a.size() != b.size())
        return false;
    return caseSensitive() ? a == b : equalsIgnoringAsciiCase(a, b);
}

void Interpreter::markOwnRoots(Tracer& tracer) {
    tracer.mark(m_global);
    for (Object* o : {m_builtins.objectProto, m_builtins.functionProto, m_builtins.arrayProto,
                      m_builtins.stringProto, m_builtins.numberProto, m_builtins.booleanProto,
                      m_builtins.errorProto, m_builtins.clipProto, m_builtins.buttonProto,
                      m_builtins.textFieldProto})
        tracer.mark(o);
    tracer.mark(m_builtins.objectCtor);
    tracer.mark(m_builtins.functionCtor);
    tracer.mark(m_builtins.arrayCtor);
    for (const Value& v : m_stack)
        tracer.mark(v);
}

void Interpreter::checkCells() {
    if (m_heap.cellCount() > m_limits.maxCells)
        abortScript("a script made more than " + std::to_string(m_limits.maxCells) + " objects");
    if (m_heap.bytes() > m_limits.maxBytes)
        abortScript("scripts used more than " + std::to_string(m_limits.maxBytes >> 20) +
                    " MiB");
}

void Interpreter::checkStringLength(std::size_t length) {
    if (length > m_limits.maxStringLength)
        abortScript("a script made a string longer than " +
                    std::to_string(m_limits.maxStringLength) + " bytes");
    m_heap.addBytes(length);
    checkCells();
}

void Interpreter::throwValue(Value value) { throw ScriptThrow{std::move(value)}; }

void Interpreter::abortScript(std::string reason) { throw ScriptAbort{std::move(reason)}; }

// Calls, nested blocks and nested scripts together; deep enough for 256 levels of calls.
constexpr int kMaxNesting = 320;

// The machine stack scripts may use, whatever a level takes (much more in checking builds).
constexpr uintptr_t kMaxStackUse = uintptr_t(3) << 20;

Interpreter::NestingGuard::NestingGuard(Interpreter& vm) : m_vm(vm) {
    const char here = 0;
    const uintptr_t at = reinterpret_cast<uintptr_t>(&here);
    const bool stackFull = m_vm.m_stackBase && m_vm.m_stackBase > at &&
                           m_vm.m_stackBase - at > kMaxStackUse;
    if (m_vm.m_nesting >= kMaxNesting || stackFull)
        m_vm.abortScript("scripts nested too deeply were stopped");
    ++m_vm.m_nesting;
}

void Interpreter::beginFrame() {
    m_budget = m_limits.actionBudget;
    m_frameBudget = true;
    m_budgetReported = false;
}

double Interpreter::random() {
    // xorshift64*: small, fast, and the same sequence on every machine.
    m_randomState ^= m_randomState >> 12;
    m_randomState ^= m_randomState << 25;
    m_randomState ^= m_randomState >> 27;
    return double((m_randomState * 0x2545F4914F6CDD1Dull) >> 11) / 9007199254740992.0;
}

Object* Interpreter::currentTarget() const { return m_activation ? m_activation->target : nullptr; }

Object* Interpreter::currentCallee() const { return m_activation ? m_activation->callee : nullptr; }

// ---- Making things ----

Object* Interpreter::makeObject(Object* proto) {
    checkCells();
    return m_heap.make<Object>(proto ? proto : m_builtins.objectProto);
}

ArrayObject* Interpreter::makeArray(std::span<const Value> elements) {
    checkCells();
    auto* array = m_heap.make<ArrayObject>(m_builtins.arrayProto, &m_heap);
    for (const Value& v : elements)
        array->push(v);
    return array;
}

FunctionObject* Interpreter::makeNative(NativeFunction native, Allocator allocator) {
    checkCells();
    return m_heap.make<FunctionObject>(m_builtins.functionProto, native, allocator);
}

FunctionObject* Interpreter::defineMethod(Object* object, std::string_view name,
                                          NativeFunction native, uint16_t flags) {
    FunctionObject* function = makeNative(native);
    object->define(name, function, flags);
    return function;
}

FunctionObject* Interpreter::defineClass(std::string_view name, NativeFunction native,
                                         Object* prototype, Allocator allocator) {
    FunctionObject* ctor = makeNative(native, allocator);
    ctor->define("prototype", prototype, kDontEnum | kDontDelete);
    prototype->define("constructor", ctor, kDontEnum);
    if (!name.empty())
        m_global->define(name, ctor, kDontEnum);
    return ctor;
}

Value Interpreter::makeError(std::string_view message) {
    Object* error = makeObject(m_builtins.errorProto);
    error->define("message", std::string(message), 0);
    return error;
}

// ---- Conversions ----

double Interpreter::toNumber(const Value& value) {
    switch (value.type()) {
    case ValueType::Undefined:
    case ValueType::Null: return m_version >= 7 ? NAN : 0.0;
    case ValueType::Boolean: return value.boolean() ? 1.0 : 0.0;
    case ValueType::Number: return value.number();
    case ValueType::String: return stringToNumber(value.string(), m_version);
    case ValueType::Object: {
        Value primitive = toPrimitive(value, Hint::Number);
        if (primitive.isObject())
            return m_version < 5 ? 0.0 : NAN; // SWF 4 knew no NaN from objects
        return toNumber(primitive);
    }
    }
    return NAN;
}

std::string Interpreter::toString(const Value& value) {
    switch (value.type()) {
    case ValueType::Undefined: return m_version >= 7 ? "undefined" : "";
    case ValueType::Null: return "null";
    case ValueType::Boolean:
        // SWF 4 had no booleans: its comparisons gave 1 and 0.
        if (m_version < 5)
            return value.boolean() ? "1" : "0";
        return value.boolean() ? "true" : "false";
    case ValueType::Number: return numberToString(value.number());
    case ValueType::String: return value.string();
    case ValueType::Object: {
        Object* object = value.object();
        if (isDisplayKind(object->kind()))
            return m_host.targetPath(object, true);
        Value method = getMember(value, "toString");
        if (isFunction(method)) {
            Value result = call(method, value, {});
            if (result.isString())
                return result.string();
            if (!result.isObject() && !result.isUndefined())
                return toString(result);
        }
        return object->kind() == ObjectKind::Function ? "[type Function]" : "[type Object]";
    }
    }
    return {};
}

bool Interpreter::toBoolean(const Value& value) {
    switch (value.type()) {
    case ValueType::Undefined:
    case ValueType::Null: return false;
    case ValueType::Boolean: return value.boolean();
    case ValueType::Number: return !std::isnan(value.number()) && value.number() != 0;
    case ValueType::String: {
        if (m_version >= 7)
            return !value.string().empty();
        double n = stringToNumber(value.string(), m_version);
        return !std::isnan(n) && n != 0;
    }
    case ValueType::Object: return true;
    }
    return false;
}

Value Interpreter::toPrimitive(const Value& value, Hint hint) {
    if (!value.isObject())
        return value;
    Object* object = value.object();
    const bool stringFirst =
        hint == Hint::String || (hint == Hint::None && object->kind() == ObjectKind::Date);
    Value method = getMember(value, stringFirst ? "toString" : "valueOf");
    if (isFunction(method)) {
        Value result = call(method, value, {});
        if (!result.isObject())
            return result;
    }
    return value;
}

Object* Interpreter::toObject(const Value& value) {
    switch (value.type()) {
    case ValueType::Undefined:
    case ValueType::Null: return nullptr;
    case ValueType::Object: return value.object();
    case ValueType::Boolean:
        checkCells();
        return m_heap.make<PrimitiveObject>(m_builtins.booleanProto, value, ObjectKind::Boolean);
    case ValueType::Number:
        checkCells();
        return m_heap.make<PrimitiveObject>(m_builtins.numberProto, value, ObjectKind::Number);
    case ValueType::String:
        checkCells();
        return m_heap.make<PrimitiveObject>(m_builtins.stringProto, value, ObjectKind::String);
    }
    return nullptr;
}

double Interpreter::toInteger(const Value& value) {
    double n = toNumber(value);
    if (std::isnan(n))
        return 0;
    return std::trunc(n);
}

int32_t Interpreter::toInt32(const Value& value) { return avm1::toInt32(toNumber(value)); }

std::string Interpreter::typeOf(const Value& value) {
    switch (value.type()) {
    case ValueType::Undefined: return "undefined";
    case ValueType::Null: return "null";
    case ValueType::Boolean: return "boolean";
    case ValueType::Number: return "number";
    case ValueType::String: return "string";
    case ValueType::Object:
        switch (value.object()->kind()) {
        case ObjectKind::Function: return "function";
        case ObjectKind::Clip: return "movieclip";
        default: return "object";
        }
    }
    return "undefined";
}

bool Interpreter::looseEquals(const Value& a, const Value& b) {
    if (a.type() == b.type()) {
        if (a.isObject())
            return sameObject(a.object(), b.object());
        return a.strictlyEquals(b);
    }
    if (a.isNullish() && b.isNullish())
        return true;
    if (a.isNullish() || b.isNullish())
        return false;
    if (a.isNumber() && b.isString())
        return a.number() == toNumber(b);
    if (a.isString() && b.isNumber())
        return toNumber(a) == b.number();
    if (a.isBoolean())
        return looseEquals(Value(a.boolean() ? 1.0 : 0.0), b);
    if (b.isBoolean())
        return looseEquals(a, Value(b.boolean() ? 1.0 : 0.0));
    if (a.isObject() && !b.isObject()) {
        Value p = toPrimitive(a);
        return p.isObject() ? false : looseEquals(p, b);
    }
    if (b.isObject() && !a.isObject()) {
        Value p = toPrimitive(b);
        return p.isObject() ? false : looseEquals(a, p);
    }
    return false;
}

Value Interpreter::lessThan(const Value& a, const Value& b) {
    Value pa = toPrimitive(a, Hint::Number);
    Value pb = toPrimitive(b, Hint::Number);
    if (pa.isString() && pb.isString())
        return compareStrings(pa.string(), pb.string()) < 0;
    double x = toNumber(pa), y = toNumber(pb);
    if (std::isnan(x) || std::isnan(y))
        return Value();
    return x < y;
}

bool Interpreter::instanceOf(Object* object, Object* constructor) {
    if (!object || !constructor)
        return false;
    Value protoValue;
    getOwnOrInherited(constructor, constructor, "prototype", protoValue);
    Object* proto = protoValue.object();
    if (!proto)
        return false;
    // The prototype chain, and the interfaces each prototype implements (ImplementsOp), with
    // the interfaces those extend; bounded, since scripts can make the graph cyclic.
    std::vector<Object*> pending{object->proto()};
    std::unordered_set<Object*> visited;
    while (!pending.empty() && visited.size() < 1024) {
        Object* p = pending.back();
        pending.pop_back();
        int depth = 0;
        for (; p && depth < kMaxProtoDepth; p = p->proto(), ++depth) {
            if (p == proto)
                return true;
            if (!visited.insert(p).second)
                break;
            const Property* list = p->properties().find(kInterfacesName, true);
            auto* interfaces = list ? dynamic_cast<ArrayObject*>(list->value.object()) : nullptr;
            for (uint32_t i = 0; interfaces && i < interfaces->length(); ++i) {
                Object* iface = interfaces->at(i).object();
                if (iface == constructor)
                    return true;
                if (!iface)
                    continue;
                Value ip;
                getOwnOrInherited(iface, iface, "prototype", ip);
                if (ip.object())
                    pending.push_back(ip.object());
            }
        }
    }
    return false;
}

// ---- Members ----

bool Interpreter::getOwnOrInherited(Object* holder, Object* thisObject, std::string_view name,
                                    Value& out) {
    int depth = 0;
    for (Object* p = holder; p && depth < kMaxProtoDepth; p = p->proto(), ++depth) {
        if (p->getSpecial(*this, name, out))
            return true;
        Property* property = p->properties().find(name, caseSensitive());
        if (!property || !visibleToVersion(property->flags, m_version))
            continue;
        if (property->isAccessor()) {
            // A getter nested too deeply in itself reads the value kept under it.
            if (accessorRunning(property->getter, thisObject)) {
                out = property->value;
                return true;
            }
            RunningAccessor running(*this, property->getter, thisObject);
            // The accessor's super starts above the object that holds it.
            out = callAccessor(property->getter, thisObject, nullptr, p);
            return true;
        }
        out = property->value;
        return true;
    }
    // A chain that does not end (an object its own prototype) stops the whole script, as
    // Flash Player stops it; outside a script the lookup just fails.
    if (depth == kMaxProtoDepth && m_guarded > 0)
        abortScript("A prototype chain is too long.");
    return false;
}

bool Interpreter::accessorRunning(const Object* accessor, const Object* thisObject) const {
    // One accessor on one object may run inside itself this many times; deeper, the property
    // acts as a plain value.
    constexpr int kMaxAccessorNesting = 65;
    int running = 0;
    for (const auto& [function, self] : m_runningAccessors)
        if (function == accessor && self == thisObject)
            ++running;
    return running >= kMaxAccessorNesting;
}

Value Interpreter::getMember(const Value& objectValue, std::string_view name) {
    Object* object = objectValue.isObject() ? objectValue.object() : toObject(objectValue);
    if (!object)
        return Value();
    if (namesEqual(name, "__proto__"))
        return object->protoValue();
    Value out;
    if (getOwnOrInherited(object, object, name, out))
        return out;
    if (!namesEqual(name, "__resolve")) {
        Value resolver;
        if (getOwnOrInherited(object, object, "__resolve", resolver) && isFunction(resolver)) {
            Value arg = std::string(name);
            return call(resolver, object, std::span<const Value>(&arg, 1));
        }
    }
    return Value();
}

void Interpreter::setMember(const Value& objectValue, std::string_view name, const Value& value) {
    Object* object = objectValue.object();
    if (!object)
        return;
    if (namesEqual(name, "__proto__")) {
        object->setProto(value);
        return;
    }
    Value stored = value;
    if (!object->watchers().empty()) {
        for (std::size_t i = 0; i < object->watchers().size(); ++i) {
            Object::Watcher watcher = object->watchers()[i];
            if (!namesEqual(watcher.name.str(), name))
                continue;
            Value old;
            // A watcher sees the stored value: a getter on the way is not called.
            const Property* accessor = nullptr;
            int depth = 0;
            for (Object* o = object; o && depth < 256; o = o->proto(), ++depth) {
                const Property* p = o->properties().find(name, caseSensitive());
                if (p && !p->removed) {
                    accessor = p->isAccessor() ? p : nullptr;
                    break;
                }
            }
            if (accessor)
                old = accessor->value;
            else
                getOwnOrInherited(object, object, name, old);
            Value args[] = {std::string(name), old, stored, watcher.userData};
            try {
                stored = call(watcher.callback, object, args);
            } catch (ScriptThrow&) {
                // A watcher that throws leaves the property undefined.
                storeMember(object, name, Value());
                throw;
            }
            break;
        }
    }
    storeMember(object, name, stored);
}

void Interpreter::storeMember(Object* object, std::string_view name, const Value& stored) {
    if (object->setSpecial(*this, name, stored))
        return;
    Property* property = object->properties().find(name, caseSensitive());
    if (property && visibleToVersion(property->flags, m_version)) {
        if (property->isAccessor()) {
            // A setter nested too deeply in itself keeps the value under it.
            if (accessorRunning(property->setter, object)) {
                property->value = stored;
                return;
            }
            RunningAccessor running(*this, property->setter, object);
            callAccessor(property->setter, object, &stored, object);
            return;
        }
        if (!(property->flags & kReadOnly))
            property->value = stored;
        return;
    }
    int depth = 0;
    for (Object* p = object->proto(); p && depth < kMaxProtoDepth; p = p->proto(), ++depth) {
        Property* inherited = p->properties().find(name, caseSensitive());
        if (!inherited || !visibleToVersion(inherited->flags, m_version))
            continue;
        if (inherited->isAccessor()) {
            callAccessor(inherited->setter, object, &stored, p);
            return;
        }
        break;
    }
    if (property) {
        *property = Property{property->name, stored, nullptr, nullptr, 0, false};
        return;
    }
    object->properties().add(SharedString(std::string(name))).value = stored;
}

bool Interpreter::deleteMember(Object* object, std::string_view name) {
    if (!object)
        return false;
    if (object->deleteSpecial(*this, name))
        return true;
    Property* property = object->properties().find(name, caseSensitive());
    if (!property || (property->flags & kDontDelete))
        return false;
    return object->properties().remove(property->name.str(), true);
}

bool Interpreter::hasOwnProperty(Object* object, std::string_view name) {
    if (!object)
        return false;
    // __proto__ is an own property of every object that has a prototype.
    if (namesEqual(name, "__proto__"))
        return !object->protoValue().isUndefined();
    Value ignored;
    if (object->getSpecial(*this, name, ignored))
        return true;
    // A property hidden from this version still exists: only reading it gives undefined.
    return object->properties().find(name, caseSensitive()) != nullptr;
}

bool Interpreter::hasProperty(Object* object, std::string_view name) {
    int depth = 0;
    for (Object* p = object; p && depth < kMaxProtoDepth; p = p->proto(), ++depth) {
        if (namesEqual(name, "__proto__") && !p->protoValue().isUndefined())
            return true;
        Value ignored;
        if (p->getSpecial(*this, name, ignored))
            return true;
        const Property* property = p->properties().find(name, caseSensitive());
        if (property && visibleToVersion(property->flags, m_version))
            return true;
    }
    return false;
}

std::vector<SharedString> Interpreter::enumerate(Object* object) {
    std::vector<SharedString> names;
    std::unordered_set<std::string> taken;
    const bool exact = caseSensitive();
    // True when the name was listed already (a shadowed inherited name); lists it otherwise.
    auto seen = [&](const std::string& name) {
        std::string key = name;
        if (!exact)
            for (char& c : key)
                if (c >= 'A' && c <= 'Z')
                    c = char(c + 32);
        return !taken.insert(std::move(key)).second;
    };
    int depth = 0;
    for (Object* p = object; p && depth < kMaxProtoDepth; p = p->proto(), ++depth) {
        std::vector<SharedString> special;
        p->specialKeys(*this, special);
        // Elements come highest index first, like the newest properties.
        for (auto it = special.rbegin(); it != special.rend(); ++it)
            if (!seen(it->str()))
                names.push_back(std::move(*it));
        std::vector<const Property*> own;
        p->properties().forEach([&](const Property& property) { own.push_back(&property); });
        for (auto it = own.rbegin(); it != own.rend(); ++it) {
            const Property& property = **it;
            if (!(property.flags & kDontEnum) && !seen(property.name.str()))
                names.push_back(property.name);
        }
    }
    return names;
}

// ---- Calls ----

Value Interpreter::call(const Value& function, const Value& thisValue,
                        std::span<const Value> args) {
    if (!isFunction(function))
        return Value();
    return callFunction(*static_cast<FunctionObject*>(function.object()), thisValue, args,
                        nullptr, false);
}

Value Interpreter::callMethod(const Value& thisValue, std::string_view name,
                              std::span<const Value> args) {
    Value method = getMember(thisValue, name);
    if (!isFunction(method))
        return Value();
    // The method's super starts above the object that holds it.
    Object* home = nullptr;
    int depth = 0;
    for (Object* p = thisValue.object(); p && depth < kMaxProtoDepth; p = p->proto(), ++depth)
        if (hasOwnProperty(p, name)) {
            home = p;
            break;
        }
    return callFunction(*static_cast<FunctionObject*>(method.object()), thisValue, args, home,
                        false);
}

Value Interpreter::callAccessor(Object* accessor, Object* thisObject, const Value* argument,
                                Object* home) {
    if (!accessor || accessor->kind() != ObjectKind::Function)
        return Value();
    std::span<const Value> args;
    if (argument)
        args = std::span<const Value>(argument, 1);
    return callFunction(*static_cast<FunctionObject*>(accessor), thisObject, args, home, false);
}

Value Interpreter::callFunction(FunctionObject& function, const Value& thisValue,
                                std::span<const Value> args, Object* home, bool construct,
                                bool bindBase) {
    if (m_depth >= m_limits.maxCallDepth)
        abortScript(std::to_string(m_limits.maxCallDepth) +
                    " levels of recursion were exceeded in one action list");
    struct DepthGuard {
        int& depth;
        explicit DepthGuard(int& d) : depth(d) { ++depth; }
        ~DepthGuard() { --depth; }
    } guard(m_depth);
    NestingGuard nesting(*this);
    if (function.native) {
        m_nativeConstructing = construct;
        return function.native(*this, thisValue, args);
    }
    if (!function.code)
        return Value();
    return runFunction(function, thisValue, args, home, bindBase);
}

// A class that extends a built-in kind (a ColorTransform, an XML, a Sound) makes objects of
// that kind, so the built-in constructor its super() calls has something to work on: the
// nearest prototype up the chain that is a built-in class's own prototype decides.
Allocator Interpreter::inheritedAllocator(Object* proto) const {
    int depth = 0;
    for (Object* p = proto; p && depth < kMaxProtoDepth; p = p->proto(), ++depth) {
        const Property* ctor = p->properties().find("constructor", true);
        auto* function = ctor ? dynamic_cast<FunctionObject*>(ctor->value.object()) : nullptr;
        if (!function || !function->allocator || !function->allocatorInherited)
            continue;
        const Property* own = function->properties().find("prototype", true);
        if (own && own->value.object() == p)
            return function->allocator;
    }
    return nullptr;
}

Value Interpreter::construct(const Value& constructor, std::span<const Value> args) {
    if (!isFunction(constructor))
        return Value();
    auto* function = static_cast<FunctionObject*>(constructor.object());
    Value protoValue = getMember(constructor, "prototype");
    Object* proto = protoValue.object() ? protoValue.object() : m_builtins.objectProto;
    checkCells();
    Allocator allocator = function->allocator ? function->allocator : inheritedAllocator(proto);
    Object* object = allocator ? allocator(*this, proto) : m_heap.make<Object>(proto);
    object->define("__constructor__", constructor, kDontEnum);
    if (m_version < 7)
        object->define("constructor", constructor, kDontEnum);
    m_constructionRefused = false;
    Value result = callFunction(*function, object, args, proto, true);
    if (std::exchange(m_constructionRefused, false))
        return Value();
    // Native constructors of built-in kinds may answer with the object they made.
    if (function->native && result.isObject())
        return result;
    return object;
}

} // namespace swivio::swf::avm1
