#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "swf/avm1/heap.h"
#include "swf/avm1/value.h"

namespace swivio::swf::avm1 {

class Interpreter;
class Object;

// Property attributes, as ASSetPropFlags sets them.
enum PropertyFlag : uint16_t {
    kDontEnum = 1 << 0,
    kDontDelete = 1 << 1,
    kReadOnly = 1 << 2,
    // Hidden from movies older than a version.
    kVersion6 = 1 << 7,
    kNotVersion6 = 1 << 8, // hidden from movies of version 6 only
    kVersion7 = 1 << 10,
    kVersion8 = 1 << 12,
    kVersion9 = 1 << 13,
    kVersion10 = 1 << 14,
};

// Names compared as scripts of movies before version 7 compare them: ASCII letters in either
// case match.
bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);

// Whether a property with these flags is seen by code of this movie version.
bool visibleToVersion(uint16_t flags, int version);

// An own property: a value, or a getter and setter pair (addProperty).
struct Property {
    SharedString name;
    Value value;
    Object* getter = nullptr;
    Object* setter = nullptr;
    uint16_t flags = 0;
    bool removed = false;
    bool isAccessor() const { return getter != nullptr; }
};

// Own properties in the order they were made. Names compare exactly, or ignoring ASCII case
// for code of movies before version 7.
class PropertyMap {
public:
    Property* find(std::string_view name, bool caseSensitive);
    const Property* find(std::string_view name, bool caseSensitive) const {
        return const_cast<PropertyMap*>(this)->find(name, caseSensitive);
    }
    // Adds a property that find() did not find.
    Property& add(SharedString name);
    bool remove(std::string_view name, bool caseSensitive);
    std::size_t size() const { return m_live; }
    // Oldest first.
    template <typename F> void forEach(F&& f) const {
        for (const Property& p : m_list)
            if (!isRemoved(p))
                f(p);
    }
    template <typename F> void forEach(F&& f) {
        for (Property& p : m_list)
            if (!isRemoved(p))
                f(p);
    }

private:
    static bool isRemoved(const Property& p) { return p.removed; }
    void rebuildIndex();
    void compact();

    std::vector<Property> m_list;
    // By ASCII-lowercased name, kept once there are enough properties to pay for it.
    std::unordered_multimap<std::string, uint32_t> m_index;
    std::size_t m_live = 0;
};

// What kind of built-in an object is, for the methods that need their own kind of this.
enum class ObjectKind : uint8_t {
    Plain,
    Function,
    Array,
    Boolean,
    Number,
    String,
    Date,
    Error,
    Clip,
    Button,
    TextField,
    Sound,
    Color,
    BitmapData,
    SharedObject,
    XmlNode,
    Other,
};

// Objects that stand for something on the display list: they convert to their target path.
inline bool isDisplayKind(ObjectKind kind) {
    return kind == ObjectKind::Clip || kind == ObjectKind::Button || kind == ObjectKind::TextField;
}

// A script object: own properties, a prototype (__proto__), and the hooks built-ins with
// properties of their own (arrays, movie clips) override.
class Object : public GcCell {
public:
    explicit Object(Object* proto = nullptr) : m_proto(proto ? Value(proto) : Value()) {}
    virtual ObjectKind kind() const { return ObjectKind::Plain; }

    Value protoValue() const { return m_proto; }
    Object* proto() const { return m_proto.object(); }
    void setProto(Value proto) { m_proto = std::move(proto); }

    PropertyMap& properties() { return m_properties; }
    const PropertyMap& properties() const { return m_properties; }

    // Built-in properties of this object that are not in its map (an array's elements and
    // length, a clip's _x or its children). getSpecial: true with out set when name is one.
    // setSpecial: true when the assignment was taken. Both run before the map is looked at.
    virtual bool getSpecial(Interpreter&, std::string_view, Value&) { return false; }
    virtual bool setSpecial(Interpreter&, std::string_view, const Value&) { return false; }
    virtual bool deleteSpecial(Interpreter&, std::string_view) { return false; }
    // Names of enumerable built-in properties, appended to out (for for..in).
    virtual void specialKeys(Interpreter&, std::vector<SharedString>&) {}

    // Puts a plain value property with the flags, replacing one of the same name.
    void define(std::string_view name, Value value, uint16_t flags = kDontEnum);
    void defineAccessor(std::string_view name, Object* getter, Object* setter, uint16_t flags);

    // Watchers (Object.watch): property name to callback and its user data.
    struct Watcher {
        SharedString name;
        Object* callback = nullptr;
        Value userData;
    };
    std::vector<Watcher>& watchers() { return m_watchers; }

    void trace(Tracer& tracer) const override;
    std::size_t footprint() const override;

private:
    Value m_proto;
    PropertyMap m_properties;
    std::vector<Watcher> m_watchers;
};

// Builds the object that `new` makes before the constructor runs: native constructors
// whose instances are of a built-in kind (Array, Date) give their own maker.
using Allocator = Object* (*)(Interpreter&, Object* proto);

// A native function: this and the arguments in, the result out. It may call back into the
// interpreter and may throw a script exception through it.
using NativeFunction = Value (*)(Interpreter&, const Value& thisValue, std::span<const Value> args);

// The parts of DefineFunction/DefineFunction2 a call needs. Shared by every function object
// the definition makes; owner keeps the bytes alive.
struct FunctionCode {
    struct Parameter {
        SharedString name;
        uint8_t reg = 0; // 0: a local variable
    };
    std::shared_ptr<const void> owner;
    std::span<const uint8_t> body;
    SharedString name;
    std::vector<Parameter> parameters;
    std::shared_ptr<const std::vector<SharedString>> constantPool;
    int version = 0;
    bool isFunction2 = false;
    uint8_t registerCount = 0;
    uint16_t flags = 0; // DefineFunction2's preload and suppress flags
};

class Scope;

class FunctionObject : public Object {
public:
    FunctionObject(Object* proto, NativeFunction nativeFunction, Allocator maker = nullptr)
        : Object(proto), native(nativeFunction), allocator(maker) {}
    FunctionObject(Object* proto, std::shared_ptr<const FunctionCode> functionCode,
                   Scope* definitionScope, Object* baseClip)
        : Object(proto), code(std::move(functionCode)), scope(definitionScope), base(baseClip) {}
    ObjectKind kind() const override { return ObjectKind::Function; }

    NativeFunction native = nullptr;
    Allocator allocator = nullptr;
    // Whether objects of script classes whose prototype chain leads here are made by the
    // allocator too (false where the constructor makes any plain object its own kind).
    bool allocatorInherited = true;
    // Script functions: the code, the scope chain the definition saw, and the timeline it
    // was defined on (variables without a path resolve there).
    std::shared_ptr<const FunctionCode> code;
    Scope* scope = nullptr;
    Object* base = nullptr;
    // Natives that need a number to tell apart what they do (ASnative tables).
    int nativeId = 0;

    void trace(Tracer& tracer) const override;
};

// Boolean, Number and String objects made by new or by boxing a primitive.
class PrimitiveObject : public Object {
public:
    PrimitiveObject(Object* proto, Value value, ObjectKind objectKind)
        : Object(proto), primitive(std::move(value)), m_kind(objectKind) {}
    ObjectKind kind() const override { return m_kind; }
    Value primitive;

private:
    ObjectKind m_kind;
};

// A scope chain link: local variables, a with block's object, the timeline, or _global.
class Scope : public GcCell {
public:
    enum class Kind : uint8_t { Global, Target, Local, With };
    Scope(Kind scopeKind, Object* scopeValues, Scope* parentScope)
        : kind(scopeKind), values(scopeValues), parent(parentScope) {}
    Kind kind;
    Object* values;
    Scope* parent;
    void trace(Tracer& tracer) const override {
        tracer.mark(values);
        tracer.mark(parent);
    }
};

} // namespace swivio::swf::avm1
