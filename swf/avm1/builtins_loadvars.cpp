// LoadVars: an object whose own properties travel as a url-encoded query string.
#include "swf/avm1/builtins.h"
#include "swf/avm1/string_functions.h"

namespace swivio::swf::avm1 {

namespace {

// A LoadVars is an object of the player's own kind: it cannot be made into a Date or the like.
class LoadVarsObject : public Object {
public:
    using Object::Object;
    ObjectKind kind() const override { return ObjectKind::Other; }
};

Object* allocateLoadVars(Interpreter& vm, Object* proto) {
    vm.checkCells();
    return vm.heap().make<LoadVarsObject>(proto);
}

Value loadVarsConstructor(Interpreter&, const Value&, std::span<const Value>) {
    return Value();
}

// The global escape as the script sees it now: a movie that replaces it is heard.
std::string escapeWith(Interpreter& vm, const Value& escapeFn, const std::string& text) {
    if (!escapeFn.isObject() || escapeFn.object()->kind() != ObjectKind::Function)
        return escape(text, vm.version());
    Value one[] = {Value(text)};
    return vm.toString(vm.call(escapeFn, Value(), one));
}

// toString: name=value pairs of what for..in sees, joined by &, both sides escaped.
Value loadVarsToString(Interpreter& vm, const Value& thisValue, std::span<const Value>) {
    Object* self = thisValue.object();
    if (!self)
        return Value("");
    std::string out;
    const Value escapeFn = vm.getMember(vm.global(), "escape");
    for (const SharedString& name : vm.enumerate(self)) {
        const std::string value = vm.toString(vm.getMember(thisValue, name.str()));
        if (!out.empty())
            out += '&';
        out += escapeWith(vm, escapeFn, name.str()) + "=" + escapeWith(vm, escapeFn, value);
        vm.checkStringLength(out.size());
    }
    return Value(std::move(out));
}

Value loadVarsDecode(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    if (args.empty())
        return false;
    if (!thisValue.isObject())
        return Value();
    decodeVariables(vm, thisValue, vm.toString(args[0]));
    return Value();
}

Value loadVarsOnData(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    const Value& text = argAt(args, 0);
    if (text.isUndefined()) {
        Value no[] = {Value(false)};
        vm.callMethod(thisValue, "onLoad", no);
        return Value();
    }
    Value one[] = {text};
    vm.callMethod(thisValue, "decode", one);
    vm.setMember(thisValue, "loaded", true);
    Value yes[] = {Value(true)};
    vm.callMethod(thisValue, "onLoad", yes);
    return Value();
}

Value bytesLoaded(Interpreter& vm, const Value& thisValue, std::span<const Value>) {
    return vm.getMember(thisValue, "_bytesLoaded");
}

Value bytesTotal(Interpreter& vm, const Value& thisValue, std::span<const Value>) {
    return vm.getMember(thisValue, "_bytesTotal");
}

Value nothing(Interpreter&, const Value&, std::span<const Value>) {
    return Value();
}

Value refuseLoad(Interpreter& vm, const Value&, std::span<const Value>) {
    vm.host().scriptError("LoadVars loading needs a movie to load beside");
    return false;
}

} // namespace

void decodeVariables(Interpreter& vm, const Value& target, std::string_view query) {
    std::size_t start = 0;
    while (start <= query.size()) {
        std::size_t end = query.find('&', start);
        if (end == std::string_view::npos)
            end = query.size();
        std::string_view pair = query.substr(start, end - start);
        if (!pair.empty()) {
            const std::size_t equals = pair.find('=');
            std::string name = unescape(pair.substr(0, equals), vm.version());
            std::string value = equals == std::string_view::npos
                                    ? std::string()
                                    : unescape(pair.substr(equals + 1), vm.version());
            if (!name.empty())
                vm.setMember(target, name, Value(std::move(value)));
        }
        start = end + 1;
    }
}

void installLoadVarsBuiltins(Interpreter& vm) {
    Object* proto = vm.makeObject();
    vm.defineClass("LoadVars", loadVarsConstructor, proto, allocateLoadVars);
    vm.defineMethod(proto, "toString", loadVarsToString);
    vm.defineMethod(proto, "decode", loadVarsDecode);
    vm.defineMethod(proto, "onData", loadVarsOnData);
    vm.defineMethod(proto, "onLoad", nothing);
    vm.defineMethod(proto, "getBytesLoaded", bytesLoaded);
    vm.defineMethod(proto, "getBytesTotal", bytesTotal);
    vm.defineMethod(proto, "addRequestHeader", nothing);
    vm.defineMethod(proto, "load", refuseLoad);
    vm.defineMethod(proto, "sendAndLoad", refuseLoad);
    vm.defineMethod(proto, "send", refuseLoad);
    proto->define("contentType", Value("application/x-www-form-urlencoded"));
}

} // namespace swivio::swf::avm1
