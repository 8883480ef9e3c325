// String.
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "swf/avm1/builtins.h"
#include "swf/avm1/number_conversion.h"
#include "swf/avm1/string_functions.h"

namespace swivio::swf::avm1 {

namespace {

// The string a method works on: a String object's own, anything else converted.
std::string thisString(Interpreter& vm, const Value& thisValue) {
    if (thisValue.isString())
        return thisValue.string();
    if (Object* object = thisValue.object(); object && object->kind() == ObjectKind::String)
        if (auto* p = dynamic_cast<PrimitiveObject*>(object))
            return vm.toString(p->primitive);
    return vm.toString(thisValue);
}

// An optional numeric argument: missing and undefined both leave it out.
std::optional<double> optionalNumber(Interpreter& vm, std::span<const Value> args,
                                     std::size_t index) {
    if (index >= args.size() || args[index].isUndefined())
        return std::nullopt;
    return vm.toNumber(args[index]);
}

Value stringConstructor(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    Value text = args.empty() ? Value("") : Value(vm.toString(args[0]));
    if (auto* p = dynamic_cast<PrimitiveObject*>(thisValue.object());
        p && p->kind() == ObjectKind::String && p->primitive.string().empty() &&
        !p->properties().find("length", false)) {
        p->primitive = text;
        p->define("length", double(utf16Length(text.string())), kDontEnum | kDontDelete);
        return Value();
    }
    return text;
}

Object* allocateString(Interpreter& vm, Object* proto) {
    vm.checkCells();
    return vm.heap().make<PrimitiveObject>(proto, Value(""), ObjectKind::String);
}

// A primitive's length: "abc".length reads through the prototype, since boxing a primitive
// gives an object without properties of its own. Other objects have none.
Value lengthGetter(Interpreter& vm, const Value& thisValue, std::span<const Value>) {
    if (!thisValue.isString() && !(thisValue.object() && thisValue.object()->kind() == ObjectKind::String))
        return Value();
    return double(utf16Length(thisString(vm, thisValue)));
}

Value toStringMethod(Interpreter& vm, const Value& thisValue, std::span<const Value>) {
    return thisString(vm, thisValue);
}

Value charAtMethod(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    const std::string s = thisString(vm, thisValue);
    return charAt(s, vm.toNumber(argAt(args, 0)));
}

Value charCodeAtMethod(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    const std::string s = thisString(vm, thisValue);
    const int code = charCodeAt(s, vm.toNumber(argAt(args, 0)), vm.version());
    return code < 0 ? Value(std::nan("")) : Value(code);
}

Value concatMethod(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    std::string out = thisString(vm, thisValue);
    for (const Value& v : args) {
        out += vm.toString(v);
        vm.checkStringLength(out.size());
    }
    return out;
}

Value fromCharCode(Interpreter& vm, const Value&, std::span<const Value> args) {
    std::vector<uint32_t> codes;
    codes.reserve(args.size());
    for (const Value& v : args)
        codes.push_back(toUint32(vm.toNumber(v)));
    return fromCharCodes(codes);
}

Value indexOfMethod(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    const std::string s = thisString(vm, thisValue);
    if (args.empty())
        return Value();
    return indexOf(s, vm.toString(args[0]), optionalNumber(vm, args, 1));
}

Value lastIndexOfMethod(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    const std::string s = thisString(vm, thisValue);
    if (args.empty())
        return Value();
    return lastIndexOf(s, vm.toString(args[0]), optionalNumber(vm, args, 1));
}

Value sliceMethod(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    const std::string s = thisString(vm, thisValue);
    if (args.empty())
        return Value();
    return slice(s, vm.toNumber(args[0]), optionalNumber(vm, args, 1));
}

Value substrMethod(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    const std::string s = thisString(vm, thisValue);
    if (args.empty())
        return Value();
    return substr(s, vm.toNumber(args[0]), optionalNumber(vm, args, 1));
}

Value substringMethod(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    const std::string s = thisString(vm, thisValue);
    if (args.empty())
        return Value();
    return substring(s, vm.toNumber(args[0]), optionalNumber(vm, args, 1));
}

Value splitMethod(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    const std::string s = thisString(vm, thisValue);
    std::optional<std::string> delimiter;
    if (!argAt(args, 0).isUndefined())
        delimiter = vm.toString(args[0]);
    const std::vector<std::string> parts =
        split(s, delimiter ? std::optional<std::string_view>(*delimiter) : std::nullopt,
              optionalNumber(vm, args, 1), vm.version());
    if (parts.size() > kMaxArrayLength)
        vm.abortScript("an array grew past " + std::to_string(kMaxArrayLength) + " elements");
    vm.checkCells();
    std::vector<Value> values(parts.begin(), parts.end());
    return vm.makeArray(values);
}

Value toLowerCaseMethod(Interpreter& vm, const Value& thisValue, std::span<const Value>) {
    return toLowerCase(thisString(vm, thisValue));
}

Value toUpperCaseMethod(Interpreter& vm, const Value& thisValue, std::span<const Value>) {
    return toUpperCase(thisString(vm, thisValue));
}

} // namespace

void installStringBuiltins(Interpreter& vm) {
    Builtins& b = vm.builtins();
    b.stringProto = vm.makeObject();
    FunctionObject* ctor = vm.defineClass("String", stringConstructor, b.stringProto, allocateString);
    vm.defineMethod(ctor, "fromCharCode", fromCharCode);
    struct Method {
        const char* name;
        NativeFunction function;
    };
    // In the player's order (for..in lists the newest first once they are unhidden).
    static constexpr Method kMethods[] = {
        {"valueOf", toStringMethod},        {"toString", toStringMethod},
        {"toUpperCase", toUpperCaseMethod}, {"toLowerCase", toLowerCaseMethod},
        {"charAt", charAtMethod},           {"charCodeAt", charCodeAtMethod},
        {"concat", concatMethod},           {"indexOf", indexOfMethod},
        {"lastIndexOf", lastIndexOfMethod}, {"slice", sliceMethod},
        {"substring", substringMethod},     {"split", splitMethod},
        {"substr", substrMethod},
    };
    for (const Method& m : kMethods)
        vm.defineMethod(b.stringProto, m.name, m.function, kDontEnum | kDontDelete);
    b.stringProto->defineAccessor("length", vm.makeNative(lengthGetter), nullptr, kDontEnum);
}

} // namespace swivio::swf::avm1
