// The numbered natives (ASnative(table, index)) beside Math's, and ASSetNative and
// ASSetNativeAccessor, which put numbered natives on an object under names. A numbered
// native does what the built-in of that number does: it calls the method, or reads or sets
// the property, that the built-in classes carry.
#include <array>
#include <utility>

#include "swf/avm1/builtins.h"

namespace swivio::swf::avm1 {

namespace {

enum class Access {
    Call,       // owner's method name, called with the native's this
    Get,        // owner's property name
    Set,        // owner's property name set to the first argument
    AsciiUpper, // SWF 5's case changes: ASCII letters only, of this as text
    AsciiLower,
};

// owner: a path from _global ("Date.prototype"), or "this" for the object the native is
// called on.
struct NumberedNative {
    int table;
    int index;
    const char* owner;
    const char* name;
    Access access;
};

constexpr NumberedNative kNatives[] = {
    {100, 0, "", "escape", Access::Call},
    {100, 1, "", "unescape", Access::Call},
    {100, 2, "", "parseInt", Access::Call},
    {100, 3, "", "parseFloat", Access::Call},
    {102, 0, "", "", Access::AsciiUpper},
    {102, 1, "", "", Access::AsciiLower},
    {103, 0, "Date.prototype", "getFullYear", Access::Call},
    {103, 1, "Date.prototype", "getYear", Access::Call},
    {103, 2, "Date.prototype", "getMonth", Access::Call},
    {103, 3, "Date.prototype", "getDate", Access::Call},
    {103, 4, "Date.prototype", "getDay", Access::Call},
    {103, 5, "Date.prototype", "getHours", Access::Call},
    {103, 6, "Date.prototype", "getMinutes", Access::Call},
    {103, 7, "Date.prototype", "getSeconds", Access::Call},
    {103, 8, "Date.prototype", "getMilliseconds", Access::Call},
    {103, 16, "Date.prototype", "getTime", Access::Call},
    {103, 18, "Date.prototype", "getTimezoneOffset", Access::Call},
    {103, 19, "Date.prototype", "toString", Access::Call},
    {103, 128, "Date.prototype", "getUTCFullYear", Access::Call},
    {103, 129, "Date.prototype", "getUTCYear", Access::Call},
    {103, 130, "Date.prototype", "getUTCMonth", Access::Call},
    {103, 131, "Date.prototype", "getUTCDate", Access::Call},
    {103, 132, "Date.prototype", "getUTCDay", Access::Call},
    {103, 133, "Date.prototype", "getUTCHours", Access::Call},
    {103, 134, "Date.prototype", "getUTCMinutes", Access::Call},
    {103, 135, "Date.prototype", "getUTCSeconds", Access::Call},
    {103, 136, "Date.prototype", "getUTCMilliseconds", Access::Call},
    {103, 256, "", "Date", Access::Call},
    {103, 257, "Date", "UTC", Access::Call},
    {200, 18, "", "isNaN", Access::Call},
    {200, 19, "", "isFinite", Access::Call},
    {251, 1, "String.prototype", "valueOf", Access::Call},
    {251, 2, "String.prototype", "toString", Access::Call},
    {251, 3, "String.prototype", "toUpperCase", Access::Call},
    {251, 4, "String.prototype", "toLowerCase", Access::Call},
    {251, 5, "String.prototype", "charAt", Access::Call},
    {251, 6, "String.prototype", "charCodeAt", Access::Call},
    {251, 7, "String.prototype", "concat", Access::Call},
    {251, 8, "String.prototype", "indexOf", Access::Call},
    {251, 9, "String.prototype", "lastIndexOf", Access::Call},
    {251, 10, "String.prototype", "slice", Access::Call},
    {251, 11, "String.prototype", "substring", Access::Call},
    {251, 12, "String.prototype", "split", Access::Call},
    {251, 13, "String.prototype", "substr", Access::Call},
    {666, 1, "Stage", "scaleMode", Access::Get},
    {666, 2, "Stage", "scaleMode", Access::Set},
    {666, 3, "Stage", "align", Access::Get},
    {666, 4, "Stage", "align", Access::Set},
    {666, 5, "Stage", "width", Access::Get},
    {666, 6, "Stage", "width", Access::Set},
    {666, 7, "Stage", "height", Access::Get},
    {666, 8, "Stage", "height", Access::Set},
    {666, 9, "Stage", "showMenu", Access::Get},
    {666, 10, "Stage", "showMenu", Access::Set},
    // ConvolutionFilter's properties, getter then setter for each.
    {1109, 1, "this", "matrixX", Access::Get},
    {1109, 2, "this", "matrixX", Access::Set},
    {1109, 3, "this", "matrixY", Access::Get},
    {1109, 4, "this", "matrixY", Access::Set},
    {1109, 5, "this", "matrix", Access::Get},
    {1109, 6, "this", "matrix", Access::Set},
    {1109, 7, "this", "divisor", Access::Get},
    {1109, 8, "this", "divisor", Access::Set},
    {1109, 9, "this", "bias", Access::Get},
    {1109, 10, "this", "bias", Access::Set},
    {1109, 11, "this", "preserveAlpha", Access::Get},
    {1109, 12, "this", "preserveAlpha", Access::Set},
    {1109, 13, "this", "clamp", Access::Get},
    {1109, 14, "this", "clamp", Access::Set},
    {1109, 15, "this", "color", Access::Get},
    {1109, 16, "this", "color", Access::Set},
    {1109, 17, "this", "alpha", Access::Get},
    {1109, 18, "this", "alpha", Access::Set},
};

Value ownerOf(Interpreter& vm, std::string_view path, const Value& thisValue) {
    if (path == "this")
        return thisValue;
    Value owner(vm.global());
    while (!path.empty() && owner.isObject()) {
        const std::size_t dot = path.find('.');
        owner = vm.getMember(owner, path.substr(0, dot));
        path = dot == std::string_view::npos ? std::string_view() : path.substr(dot + 1);
    }
    return owner;
}

std::string asciiCase(std::string text, bool upper) {
    for (char& c : text) {
        if (upper && c >= 'a' && c <= 'z')
            c = char(c - 32);
        else if (!upper && c >= 'A' && c <= 'Z')
            c = char(c + 32);
    }
    return text;
}

Value runNative(Interpreter& vm, const NumberedNative& native, const Value& thisValue,
                std::span<const Value> args) {
    switch (native.access) {
    case Access::AsciiUpper:
    case Access::AsciiLower:
        return asciiCase(vm.toString(thisValue), native.access == Access::AsciiUpper);
    case Access::Get:
        return vm.getMember(ownerOf(vm, native.owner, thisValue), native.name);
    case Access::Set:
        vm.setMember(ownerOf(vm, native.owner, thisValue), native.name, argAt(args, 0));
        return Value();
    case Access::Call:
        break;
    }
    const Value owner = ownerOf(vm, native.owner, thisValue);
    return vm.call(vm.getMember(owner, native.name), thisValue, args);
}

template <std::size_t I>
Value numberedNative(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    return runNative(vm, kNatives[I], thisValue, args);
}

template <std::size_t... I>
constexpr std::array<NativeFunction, sizeof...(I)> makeNatives(std::index_sequence<I...>) {
    return {&numberedNative<I>...};
}

constexpr auto kNativeFunctions = makeNatives(std::make_index_sequence<std::size(kNatives)>());

Value returnNothing(Interpreter&, const Value&, std::span<const Value>) {
    return Value();
}

// The names of ASSetNative's list, comma-separated: a leading "6" to "9", or "10", is the
// version that first sees the name, and a leading "1" is dropped; other digits stay in it.
struct NativeName {
    std::string name;
    uint16_t flags = 0;
};

std::vector<NativeName> nativeNames(std::string_view list) {
    std::vector<NativeName> names;
    while (!list.empty()) {
        const std::size_t comma = list.find(',');
        std::string_view item = list.substr(0, comma);
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
        NativeName name;
        if (item.starts_with("10")) {
            name.flags = kVersion10;
            item.remove_prefix(2);
        } else if (!item.empty() && (item[0] == '1' || (item[0] >= '6' && item[0] <= '9'))) {
            constexpr uint16_t kByDigit[] = {kVersion6, kVersion7, kVersion8, kVersion9};
            name.flags = item[0] == '1' ? 0 : kByDigit[item[0] - '6'];
            item.remove_prefix(1);
        }
        name.name = std::string(item);
        names.push_back(std::move(name));
    }
    return names;
}

// ASSetNative(object, table, "names", first): natives first, first + 1... as methods.
Value asSetNative(Interpreter& vm, const Value&, std::span<const Value> args) {
    Object* object = argAt(args, 0).object();
    if (!object)
        return Value();
    const int table = vm.toInt32(argAt(args, 1));
    int index = args.size() > 3 ? vm.toInt32(args[3]) : 0;
    // An empty name makes nothing but takes its number.
    for (const NativeName& name : nativeNames(vm.toString(argAt(args, 2))))
        if (const int number = index++; !name.name.empty())
            object->define(name.name, nativeFunction(vm, table, number), name.flags);
    return Value();
}

// ASSetNativeAccessor(object, table, "names", first): each name gets a getter and a setter,
// two numbers apiece.
Value asSetNativeAccessor(Interpreter& vm, const Value&, std::span<const Value> args) {
    Object* object = argAt(args, 0).object();
    if (!object)
        return Value();
    const int table = vm.toInt32(argAt(args, 1));
    int index = args.size() > 3 ? vm.toInt32(args[3]) : 0;
    for (const NativeName& name : nativeNames(vm.toString(argAt(args, 2)))) {
        const int number = index;
        index += 2;
        if (name.name.empty())
            continue;
        FunctionObject* getter = nativeFunction(vm, table, number);
        FunctionObject* setter = nativeFunction(vm, table, number + 1);
        object->defineAccessor(name.name, getter, setter, name.flags);
    }
    return Value();
}

} // namespace

FunctionObject* nativeFunction(Interpreter& vm, int table, int index) {
    NativeFunction native = nullptr;
    for (std::size_t i = 0; i < std::size(kNatives); ++i)
        if (kNatives[i].table == table && kNatives[i].index == index)
            native = kNativeFunctions[i];
    if (!native && table == 200)
        native = mathNative(index);
    FunctionObject* function = vm.makeNative(native ? native : returnNothing);
    function->nativeId = index;
    return function;
}

void installNativeTables(Interpreter& vm) {
    vm.defineMethod(vm.global(), "ASSetNative", asSetNative);
    vm.defineMethod(vm.global(), "ASSetNativeAccessor", asSetNativeAccessor);
}

} // namespace swivio::swf::avm1
