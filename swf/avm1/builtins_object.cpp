// Object, Function and ASSetPropFlags.
#include <cmath>

#include "swf/avm1/builtins.h"

namespace swivio::swf::avm1 {

namespace {

Value objectConstructor(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    const bool constructing = vm.nativeConstructing();
    if (!args.empty() && args[0].isObject())
        return args[0];
    if (!args.empty() && !args[0].isNullish())
        return vm.toObject(args[0]);
    // Called without new, Object() makes an object that inherits nothing.
    if (!constructing)
        return Value(vm.heap().make<Object>(nullptr));
    return thisValue.isObject() ? thisValue : Value(vm.makeObject());
}

Value objectToString(Interpreter&, const Value& thisValue, std::span<const Value>) {
    if (thisValue.isObject() && thisValue.object()->kind() == ObjectKind::Function)
        return "[type Function]";
    return "[object Object]";
}

Value objectValueOf(Interpreter& vm, const Value& thisValue, std::span<const Value>) {
    if (auto* primitive = dynamic_cast<PrimitiveObject*>(thisValue.object()))
        return primitive->primitive;
    (void)vm;
    return thisValue;
}

Value hasOwnProperty(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    if (args.empty())
        return false;
    return vm.hasOwnProperty(thisValue.object(), vm.toString(args[0]));
}

Value isPropertyEnumerable(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    Object* object = thisValue.object();
    if (!object || args.empty())
        return false;
    const Property* p = object->properties().find(vm.toString(args[0]), vm.caseSensitive());
    return p && !(p->flags & kDontEnum);
}

Value isPrototypeOf(Interpreter&, const Value& thisValue, std::span<const Value> args) {
    Object* self = thisValue.object();
    Object* other = argAt(args, 0).object();
    if (!self || !other)
        return false;
    int depth = 0;
    for (Object* p = other->proto(); p && depth < 256; p = p->proto(), ++depth)
        if (p == self)
            return true;
    return false;
}

bool isCallable(const Value& v) {
    return v.isObject() && v.object()->kind() == ObjectKind::Function;
}

Value addProperty(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    Object* object = thisValue.object();
    if (!object || args.size() < 2)
        return false;
    std::string name = vm.toString(args[0]);
    const Value& getter = args[1];
    const Value& setter = argAt(args, 2);
    if (name.empty() || !isCallable(getter))
        return false;
    // The setter must be given: a function, or null for a read-only property.
    if (!setter.isNull() && !isCallable(setter))
        return false;
    Property* existing = object->properties().find(name, vm.caseSensitive());
    const uint16_t flags = existing ? existing->flags : 0;
    object->defineAccessor(name, getter.object(), isCallable(setter) ? setter.object() : nullptr,
                           flags & ~kReadOnly);
    return true;
}

Value watch(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    Object* object = thisValue.object();
    if (!object || args.size() < 2 || !isCallable(args[1]))
        return false;
    std::string name = vm.toString(args[0]);
    for (auto& w : object->watchers())
        if (vm.namesEqual(w.name.str(), name)) {
            w.callback = args[1].object();
            w.userData = argAt(args, 2);
            return true;
        }
    object->watchers().push_back({SharedString(name), args[1].object(), argAt(args, 2)});
    return true;
}

Value unwatch(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    Object* object = thisValue.object();
    if (!object || args.empty())
        return false;
    std::string name = vm.toString(args[0]);
    auto& list = object->watchers();
    for (auto it = list.begin(); it != list.end(); ++it)
        if (vm.namesEqual(it->name.str(), name)) {
            list.erase(it);
            return true;
        }
    return false;
}

Value functionConstructor(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    if (!args.empty() && args[0].isObject())
        return args[0];
    (void)vm;
    return thisValue;
}

Value functionCall(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    Value self = argAt(args, 0);
    return vm.call(thisValue, self.isNullish() ? Value() : self,
                   args.size() > 1 ? args.subspan(1) : std::span<const Value>());
}

Value functionApply(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    Value self = argAt(args, 0);
    std::vector<Value> list;
    if (Object* array = argAt(args, 1).object()) {
        double length = vm.toInteger(vm.getMember(array, "length"));
        length = std::min(length, double(kMaxArrayLength));
        for (int i = 0; i < int(length); ++i)
            list.push_back(vm.getMember(array, std::to_string(i)));
    }
    return vm.call(thisValue, self.isNullish() ? Value() : self, list);
}

// ASSetPropFlags(object, names, set, clear): names is a comma-separated string, an array of
// names, or null for every property.
Value setPropFlags(Interpreter& vm, const Value&, std::span<const Value> args) {
    Object* object = argAt(args, 0).object();
    if (!object)
        return Value();
    const Value& names = argAt(args, 1);
    const uint16_t set = uint16_t(vm.toInt32(argAt(args, 2)));
    const uint16_t clear = args.size() > 3 ? uint16_t(vm.toInt32(args[3])) : 0;
    auto apply = [&](Property& p) { p.flags = uint16_t((p.flags & ~clear) | set); };
    if (names.isNull()) {
        object->properties().forEach(apply);
        return Value();
    }
    std::vector<std::string> list;
    if (names.isString()) {
        const std::string& text = names.string();
        std::size_t start = 0;
        while (start <= text.size()) {
            std::size_t comma = text.find(',', start);
            if (comma == std::string::npos)
                comma = text.size();
            list.push_back(text.substr(start, comma - start));
            start = comma + 1;
        }
    } else if (Object* array = names.object()) {
        double length = std::min(vm.toInteger(vm.getMember(array, "length")), 65536.0);
        for (int i = 0; i < int(length); ++i)
            list.push_back(vm.toString(vm.getMember(array, std::to_string(i))));
    }
    for (const std::string& name : list)
        if (Property* p = object->properties().find(name, vm.caseSensitive()))
            apply(*p);
    return Value();
}

} // namespace

void installObjectBuiltins(Interpreter& vm) {
    Builtins& b = vm.builtins();
    Object* global = vm.global();
    b.objectCtor = vm.defineClass("Object", objectConstructor, b.objectProto);
    vm.defineMethod(b.objectProto, "toString", objectToString);
    vm.defineMethod(b.objectProto, "toLocaleString", objectToString);
    vm.defineMethod(b.objectProto, "valueOf", objectValueOf);
    vm.defineMethod(b.objectProto, "hasOwnProperty", hasOwnProperty, kDontEnum | kVersion6);
    vm.defineMethod(b.objectProto, "isPropertyEnumerable", isPropertyEnumerable,
                    kDontEnum | kVersion6);
    vm.defineMethod(b.objectProto, "isPrototypeOf", isPrototypeOf, kDontEnum | kVersion6);
    vm.defineMethod(b.objectProto, "addProperty", addProperty);
    vm.defineMethod(b.objectProto, "watch", watch, kDontEnum | kVersion6);
    vm.defineMethod(b.objectProto, "unwatch", unwatch, kDontEnum | kVersion6);

    b.functionCtor = vm.defineClass("Function", functionConstructor, b.functionProto);
    vm.defineMethod(b.functionProto, "call", functionCall, kDontEnum | kVersion6);
    vm.defineMethod(b.functionProto, "apply", functionApply, kDontEnum | kVersion6);
    vm.defineMethod(b.functionProto, "toString", objectToString);
    vm.defineMethod(b.functionProto, "valueOf", objectValueOf);

    vm.defineMethod(global, "ASSetPropFlags", setPropFlags);
}

} // namespace swivio::swf::avm1
