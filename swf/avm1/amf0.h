#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "swf/avm1/interpreter.h"

// AMF0, the format SharedObject, LocalConnection and NetConnection keep and send script values
// in. Values go out as Flash writes them and come back as the objects a script would make.
namespace swivio::swf::avm1 {

enum class Amf0Type : uint8_t {
    Number = 0x00,
    Boolean = 0x01,
    String = 0x02,
    Object = 0x03,
    MovieClip = 0x04,
    Null = 0x05,
    Undefined = 0x06,
    Reference = 0x07,
    EcmaArray = 0x08,
    ObjectEnd = 0x09,
    StrictArray = 0x0A,
    Date = 0x0B,
    LongString = 0x0C,
    Unsupported = 0x0D,
    XmlDocument = 0x0F,
    TypedObject = 0x10,
};

// Object.registerClass(alias, constructor) also names the constructor's objects in AMF: the
// last alias given to a constructor that still names it. An alias compares as the code's
// identifiers do (ignoring case before version 7).
void registerAmfAlias(Interpreter& vm, std::string_view alias, const Value& constructor);
// The alias objects made by constructor go out under, or empty.
std::string amfAliasOf(Interpreter& vm, Object* constructor);
// The constructor an alias names, or undefined.
Value amfClassOf(Interpreter& vm, std::string_view alias);

// Writes values one after another; an object met again becomes a reference to the first.
class Amf0Writer {
public:
    explicit Amf0Writer(Interpreter& vm) : m_vm(vm) {}
    void write(const Value& value);
    // A name as object keys and packet headers carry it (u16 length, UTF-8).
    void writeName(std::string_view name);
    void writeU8(uint8_t v) { m_bytes.push_back(v); }
    void writeU16(uint16_t v);
    void writeU32(uint32_t v);
    void writeDouble(double v);
    std::vector<uint8_t>& bytes() { return m_bytes; }

private:
    void writeValue(const Value& value, int depth);
    void writeString(std::string_view text);
    void writeObject(Object* object, int depth);
    void writeArray(ArrayObject* array, int depth);
    // The own and inherited properties an object goes out with (functions never do).
    void writeProperties(Object* object, int depth);
    bool writeReference(Object* object);

    Interpreter& m_vm;
    std::vector<uint8_t> m_bytes;
    std::vector<Object*> m_seen;
};

// Reads values from bytes a movie or a file gave: every length is checked, nesting and counts
// are bounded. nullopt when the bytes end early or hold what AMF0 does not.
class Amf0Reader {
public:
    Amf0Reader(Interpreter& vm, std::span<const uint8_t> bytes) : m_vm(vm), m_bytes(bytes) {}
    std::optional<Value> read();
    std::optional<std::string> readName();
    std::optional<uint8_t> readU8();
    std::optional<uint16_t> readU16();
    std::optional<uint32_t> readU32();
    bool atEnd() const { return m_pos >= m_bytes.size(); }
    std::size_t position() const { return m_pos; }

private:
    std::optional<Value> readValue(int depth);
    std::optional<double> readDouble();
    std::optional<std::string> readText(std::size_t length);
    // Reads name/value pairs up to the end marker into object.
    bool readProperties(Object* object, int depth);

    Interpreter& m_vm;
    std::span<const uint8_t> m_bytes;
    std::size_t m_pos = 0;
    std::vector<Object*> m_seen;
};

// The body of an AMF0 remoting request: one call of method with args, answered under the
// response name ("/1").
std::vector<uint8_t> amf0Request(Interpreter& vm, std::string_view method,
                                 std::string_view response, std::span<const Value> args);

// A request this player does not send (no network): shown in the trace output as what was
// asked, so a movie's remoting and form posts can be checked.
void logUnsentRequest(Interpreter& vm, std::string_view url, std::string_view method,
                      std::string_view mimeType, std::span<const uint8_t> body, bool textBody);

} // namespace swivio::swf::avm1
