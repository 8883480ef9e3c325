// AsBroadcaster: gives any object a listener list and a way to call every listener's method.
// The methods go through the object's own members (this._listeners, its push and splice),
// so a script that replaces them sees its replacements called, as Flash Player does.
#include <algorithm>
#include <vector>

#include "swf/avm1/builtins.h"
#include "swf/avm1/clip_object.h"

namespace swivio::swf::avm1 {

namespace {

// What initialize gives the members: hidden from for..in and delete, and from movies before
// version 6, which had no listeners.
constexpr uint16_t kHiddenMember = kDontEnum | kDontDelete | kVersion6;

Value broadcasterConstructor(Interpreter&, const Value&, std::span<const Value>) {
    return Value();
}

bool isFunction(const Value& v) {
    return v.isObject() && v.object()->kind() == ObjectKind::Function;
}

// The list's own splice does the removal; a plain array without one is edited directly.
void takeOut(Interpreter& vm, const Value& listeners, uint32_t index) {
    Value splice = vm.getMember(listeners, "splice");
    if (isFunction(splice)) {
        Value spliceArgs[] = {Value(double(index)), Value(1)};
        vm.call(splice, listeners, spliceArgs);
    } else if (auto* array = dynamic_cast<ArrayObject*>(listeners.object())) {
        auto& elements = array->elements();
        if (index < elements.size())
            elements.erase(elements.begin() + index);
    }
}

// How many entries of a listener list are looked at: all of a real array, and for another
// object (whose length a script sets freely) no more than a list could sensibly hold.
constexpr double kMaxForeignListeners = 1 << 16;

double listLength(Interpreter& vm, const Value& listeners) {
    const double length = vm.toInteger(vm.getMember(listeners, "length"));
    if (auto* array = dynamic_cast<ArrayObject*>(listeners.object()))
        return std::min(length, double(array->length()));
    return std::min(length, kMaxForeignListeners);
}

// removeListener(x): takes the first listener equal to x (==) out of this._listeners.
Value removeListener(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    Value listeners = vm.getMember(thisValue, "_listeners");
    const Value& wanted = argAt(args, 0);
    const int length = int(listLength(vm, listeners));
    for (int i = 0; i < length; ++i) {
        if (vm.looseEquals(vm.getMember(listeners, std::to_string(i)), wanted)) {
            takeOut(vm, listeners, uint32_t(i));
            return true;
        }
    }
    return false;
}

// addListener(x): a listener is kept once, at the end.
Value addListener(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    Value one[] = {argAt(args, 0)};
    vm.callMethod(thisValue, "removeListener", one);
    vm.callMethod(vm.getMember(thisValue, "_listeners"), "push", one);
    return true;
}

// broadcastMessage(name, args...): calls name on a copy of the list, so listeners that add or
// remove listeners do not change this round. True when there was anyone on the list.
Value broadcastMessage(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    if (args.empty())
        return Value();
    Value listeners = vm.getMember(thisValue, "_listeners");
    if (!listeners.isObject())
        return Value();
    const std::string name = vm.toString(args[0]);
    const double length = listLength(vm, listeners);
    if (!(length > 0))
        return Value();
    std::vector<Value> list;
    list.reserve(std::size_t(length));
    for (int i = 0; i < int(length); ++i)
        list.push_back(vm.getMember(listeners, std::to_string(i)));
    std::span<const Value> rest = args.subspan(1);
    for (const Value& listener : list) {
        // An empty method name calls the listener itself, as CallMethod does.
        if (name.empty())
            vm.call(listener, listener, rest);
        else
            vm.callMethod(listener, name, rest);
    }
    return true;
}

// initialize(o): the methods come from AsBroadcaster as it is now, so a script may swap them.
Value initialize(Interpreter& vm, const Value&, std::span<const Value> args) {
    Object* target = argAt(args, 0).object();
    // A reference to a removed clip answers for the clip now at its path, if any.
    if (auto* clip = dynamic_cast<ClipObject*>(target))
        target = clip->live();
    if (!target)
        return Value();
    // Read past the version flags: the player's own objects of a version 5 movie are made
    // broadcasters too.
    const Property* own = vm.global()->properties().find("AsBroadcaster", true);
    Value broadcaster = own ? own->value : Value();
    for (const char* name : {"broadcastMessage", "addListener", "removeListener"}) {
        Value method = vm.getMember(broadcaster, name);
        target->properties().remove(name, vm.caseSensitive());
        target->define(name, method, kHiddenMember);
    }
    target->properties().remove("_listeners", vm.caseSensitive());
    target->define("_listeners", vm.makeArray(), kHiddenMember);
    return Value();
}

} // namespace

void installBroadcasterBuiltins(Interpreter& vm) {
    Object* prototype = vm.makeObject();
    FunctionObject* ctor = vm.defineClass("AsBroadcaster", broadcasterConstructor, prototype);
    vm.global()->define("AsBroadcaster", ctor, kDontEnum | kVersion6);
    vm.defineMethod(ctor, "initialize", initialize);
    vm.defineMethod(ctor, "addListener", addListener);
    vm.defineMethod(ctor, "removeListener", removeListener);
    vm.defineMethod(ctor, "broadcastMessage", broadcastMessage);
}

} // namespace swivio::swf::avm1
