// AMF0 writing and reading, and the aliases Object.registerClass gives to typed objects.
#include "swf/avm1/amf0.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <unordered_set>

#include "swf/avm1/builtins.h"
#include "swf/avm1/builtins_xml.h"

namespace swivio::swf::avm1 {

namespace {

// Deeper than any real data: a script's self-made chain stops here (written as undefined,
// refused when read).
constexpr int kMaxDepth = 256;
constexpr uint16_t kMaxReferences = 0xFFFF;

// The alias table, oldest registration first, kept hidden on _global.
constexpr std::string_view kAliasTable = "\x01amfAliases";

Object* aliasTable(Interpreter& vm, bool make) {
    const Property* own = vm.global()->properties().find(kAliasTable, true);
    if (own && own->value.object())
        return own->value.object();
    if (!make)
        return nullptr;
    Object* table = vm.makeObject();
    table->setProto(Value::null());
    vm.global()->define(kAliasTable, table, kDontEnum | kDontDelete);
    return table;
}

// The constructor an object was made by, for its alias: its own plain constructor or
// __constructor__ (a getter is not run, and the prototype's does not count).
std::string aliasFor(Interpreter& vm, Object* object) {
    for (std::string_view name : {"constructor", "__constructor__"}) {
        const Property* own = object->properties().find(name, vm.caseSensitive());
        if (!own || own->isAccessor() || !own->value.object())
            continue;
        std::string alias = amfAliasOf(vm, own->value.object());
        if (!alias.empty())
            return alias;
    }
    return {};
}

} // namespace

void registerAmfAlias(Interpreter& vm, std::string_view alias, const Value& constructor) {
    if (alias.empty())
        return;
    Object* table = aliasTable(vm, true);
    // A name given again moves to the end, taking the spelling of the newest registration.
    table->properties().remove(alias, vm.caseSensitive());
    if (constructor.isObject())
        table->define(alias, constructor, 0);
}

std::string amfAliasOf(Interpreter& vm, Object* constructor) {
    Object* table = aliasTable(vm, false);
    std::string alias;
    if (!table || !constructor)
        return alias;
    table->properties().forEach([&](const Property& p) {
        if (p.value.object() == constructor)
            alias = p.name.str();
    });
    return alias;
}

Value amfClassOf(Interpreter& vm, std::string_view alias) {
    Object* table = aliasTable(vm, false);
    const Property* own = table ? table->properties().find(alias, vm.caseSensitive()) : nullptr;
    return own ? own->value : Value();
}

// ---- Writing ----

void Amf0Writer::writeU16(uint16_t v) {
    m_bytes.push_back(uint8_t(v >> 8));
    m_bytes.push_back(uint8_t(v));
}

void Amf0Writer::writeU32(uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        m_bytes.push_back(uint8_t(v >> shift));
}

void Amf0Writer::writeDouble(double v) {
    const uint64_t bits = std::bit_cast<uint64_t>(v);
    for (int shift = 56; shift >= 0; shift -= 8)
        m_bytes.push_back(uint8_t(bits >> shift));
}

void Amf0Writer::writeName(std::string_view name) {
    // A key longer than a u16 can say is cut; Flash has no longer keys.
    const std::size_t length = std::min<std::size_t>(name.size(), 0xFFFF);
    writeU16(uint16_t(length));
    m_bytes.insert(m_bytes.end(), name.begin(), name.begin() + std::ptrdiff_t(length));
}

void Amf0Writer::writeString(std::string_view text) {
    if (text.size() <= 0xFFFF) {
        writeU8(uint8_t(Amf0Type::String));
        writeName(text);
        return;
    }
    writeU8(uint8_t(Amf0Type::LongString));
    writeU32(uint32_t(text.size()));
    m_bytes.insert(m_bytes.end(), text.begin(), text.end());
}

void Amf0Writer::write(const Value& value) {
    writeValue(value, 0);
}

bool Amf0Writer::writeReference(Object* object) {
    for (std::size_t i = 0; i < m_seen.size(); ++i) {
        if (m_seen[i] == object) {
            writeU8(uint8_t(Amf0Type::Reference));
            writeU16(uint16_t(i));
            return true;
        }
    }
    if (m_seen.size() < kMaxReferences)
        m_seen.push_back(object);
    return false;
}

void Amf0Writer::writeValue(const Value& value, int depth) {
    if (value.isUndefined() || depth > kMaxDepth) {
        writeU8(uint8_t(Amf0Type::Undefined));
    } else if (value.isNull()) {
        writeU8(uint8_t(Amf0Type::Null));
    } else if (value.isBoolean()) {
        writeU8(uint8_t(Amf0Type::Boolean));
        writeU8(value.boolean() ? 1 : 0);
    } else if (value.isNumber()) {
        writeU8(uint8_t(Amf0Type::Number));
        writeDouble(value.number());
    } else if (value.isString()) {
        writeString(value.string());
    } else if (Object* object = value.object()) {
        writeObject(object, depth);
    } else {
        writeU8(uint8_t(Amf0Type::Undefined));
    }
}

void Amf0Writer::writeObject(Object* object, int depth) {
    const ObjectKind kind = object->kind();
    // Functions and things on the stage have no data of their own to keep.
    if (kind == ObjectKind::Function || isDisplayKind(kind)) {
        writeU8(uint8_t(Amf0Type::Undefined));
        return;
    }
    if (writeReference(object))
        return;
    if (kind == ObjectKind::Date) {
        writeU8(uint8_t(Amf0Type::Date));
        writeDouble(m_vm.toNumber(m_vm.callMethod(object, "getTime", {})));
        writeU16(0);
        return;
    }
    if (kind == ObjectKind::XmlNode) {
        const std::string text = serializeXml(m_vm, static_cast<XmlNodeObject&>(*object));
        writeU8(uint8_t(Amf0Type::XmlDocument));
        writeU32(uint32_t(text.size()));
        m_bytes.insert(m_bytes.end(), text.begin(), text.end());
        return;
    }
    if (kind == ObjectKind::Array) {
        writeArray(static_cast<ArrayObject*>(object), depth);
        return;
    }
    const std::string alias = aliasFor(m_vm, object);
    if (alias.empty()) {
        writeU8(uint8_t(Amf0Type::Object));
    } else {
        writeU8(uint8_t(Amf0Type::TypedObject));
        writeName(alias);
    }
    writeProperties(object, depth);
    writeName("");
    writeU8(uint8_t(Amf0Type::ObjectEnd));
}

void Amf0Writer::writeArray(ArrayObject* array, int depth) {
    // A named plain member makes an ECMA array; getters do not, though one at an index past
    // the end counts as an element (it goes out as undefined).
    bool named = false;
    uint32_t count = array->length();
    array->properties().forEach([&](const Property& p) {
        if (p.flags & kDontEnum)
            return;
        const std::string& name = p.name.str();
        if (p.isAccessor()) {
            if (!name.empty() && name.size() < 9 &&
                name.find_first_not_of("0123456789") == std::string::npos)
                count = std::max(count, uint32_t(std::stoul(name)) + 1);
            return;
        }
        if (!(p.value.object() && p.value.object()->kind() == ObjectKind::Function))
            named = true;
    });
    if (!named) {
        // Only elements: a strict array, holes going out as undefined.
        writeU8(uint8_t(Amf0Type::StrictArray));
        writeU32(count);
        for (uint32_t i = 0; i < count; ++i)
            writeValue(array->at(i), depth + 1);
        return;
    }
    // Named members too: an ECMA array, the elements present first.
    writeU8(uint8_t(Amf0Type::EcmaArray));
    writeU32(array->length());
    for (uint32_t i = 0; i < array->length(); ++i) {
        if (!array->has(i))
            continue;
        writeName(std::to_string(i));
        writeValue(array->at(i), depth + 1);
    }
    writeProperties(array, depth);
    writeName("");
    writeU8(uint8_t(Amf0Type::ObjectEnd));
}

void Amf0Writer::writeProperties(Object* object, int depth) {
    // Own members first, then inherited ones, each in the order they were made; a getter is
    // not run (it goes out as undefined).
    std::unordered_set<std::string> taken;
    const bool exact = m_vm.caseSensitive();
    int level = 0;
    for (Object* p = object; p && level < kMaxDepth; p = p->proto(), ++level) {
        std::vector<std::pair<SharedString, Value>> members;
        p->properties().forEach([&](const Property& property) {
            if (property.flags & kDontEnum || !visibleToVersion(property.flags, m_vm.version()))
                return;
            std::string key = property.name.str();
            if (!exact)
                for (char& c : key)
                    if (c >= 'A' && c <= 'Z')
                        c = char(c + 32);
            if (!taken.insert(std::move(key)).second)
                return;
            if (property.isAccessor()) {
                members.emplace_back(property.name, Value());
                return;
            }
            const Object* target = property.value.object();
            if (target && target->kind() == ObjectKind::Function)
                return;
            // An inherited plain value is not the object's own data.
            members.emplace_back(property.name, p == object ? property.value : Value());
        });
        for (const auto& member : members) {
            writeName(member.first.str());
            writeValue(member.second, depth + 1);
        }
    }
}

// ---- Reading ----

std::optional<uint8_t> Amf0Reader::readU8() {
    if (m_pos >= m_bytes.size())
        return std::nullopt;
    return m_bytes[m_pos++];
}

std::optional<uint16_t> Amf0Reader::readU16() {
    if (m_bytes.size() - m_pos < 2)
        return std::nullopt;
    const uint16_t v = uint16_t(m_bytes[m_pos] << 8 | m_bytes[m_pos + 1]);
    m_pos += 2;
    return v;
}

std::optional<uint32_t> Amf0Reader::readU32() {
    if (m_bytes.size() - m_pos < 4)
        return std::nullopt;
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v = v << 8 | m_bytes[m_pos++];
    return v;
}

std::optional<double> Amf0Reader::readDouble() {
    if (m_bytes.size() - m_pos < 8)
        return std::nullopt;
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits = bits << 8 | m_bytes[m_pos++];
    return std::bit_cast<double>(bits);
}

std::optional<std::string> Amf0Reader::readText(std::size_t length) {
    if (m_bytes.size() - m_pos < length)
        return std::nullopt;
    m_vm.checkStringLength(length);
    std::string text(reinterpret_cast<const char*>(m_bytes.data() + m_pos), length);
    m_pos += length;
    return text;
}

std::optional<std::string> Amf0Reader::readName() {
    auto length = readU16();
    if (!length)
        return std::nullopt;
    return readText(*length);
}

std::optional<Value> Amf0Reader::read() {
    return readValue(0);
}

bool Amf0Reader::readProperties(Object* object, int depth) {
    // Each member takes at least three bytes, so the loop ends with the input.
    while (true) {
        auto name = readName();
        if (!name)
            return false;
        if (name->empty() && m_pos < m_bytes.size() &&
            m_bytes[m_pos] == uint8_t(Amf0Type::ObjectEnd)) {
            ++m_pos;
            return true;
        }
        auto value = readValue(depth + 1);
        if (!value)
            return false;
        if (object->kind() == ObjectKind::Array)
            m_vm.setMember(object, *name, *value);
        else
            object->define(*name, *value, 0);
    }
}

std::optional<Value> Amf0Reader::readValue(int depth) {
    if (depth > kMaxDepth)
        return std::nullopt;
    auto type = readU8();
    if (!type)
        return std::nullopt;
    switch (Amf0Type(*type)) {
    case Amf0Type::Number: {
        auto v = readDouble();
        return v ? std::optional<Value>(*v) : std::nullopt;
    }
    case Amf0Type::Boolean: {
        auto v = readU8();
        return v ? std::optional<Value>(*v != 0) : std::nullopt;
    }
    case Amf0Type::String: {
        auto text = readName();
        return text ? std::optional<Value>(Value(*text)) : std::nullopt;
    }
    case Amf0Type::LongString:
    case Amf0Type::XmlDocument: {
        auto length = readU32();
        auto text = length ? readText(*length) : std::nullopt;
        if (!text)
            return std::nullopt;
        if (Amf0Type(*type) == Amf0Type::LongString)
            return Value(*text);
        Value arg[] = {Value(*text)};
        Value document = m_vm.construct(m_vm.getMember(m_vm.global(), "XML"), arg);
        if (document.object() && m_seen.size() < kMaxReferences)
            m_seen.push_back(document.object());
        return document;
    }
    case Amf0Type::Null:
        return Value::null();
    case Amf0Type::Undefined:
    case Amf0Type::MovieClip:
    case Amf0Type::Unsupported:
        return Value();
    case Amf0Type::Reference: {
        auto index = readU16();
        if (!index || *index >= m_seen.size())
            return std::nullopt;
        return Value(m_seen[*index]);
    }
    case Amf0Type::Date: {
        auto time = readDouble();
        auto zone = readU16();
        if (!time || !zone)
            return std::nullopt;
        Value arg[] = {*time};
        Value date = m_vm.construct(m_vm.getMember(m_vm.global(), "Date"), arg);
        if (date.object() && m_seen.size() < kMaxReferences)
            m_seen.push_back(date.object());
        return date;
    }
    case Amf0Type::Object:
    case Amf0Type::TypedObject:
    case Amf0Type::EcmaArray: {
        m_vm.checkCells();
        Object* object = nullptr;
        if (Amf0Type(*type) == Amf0Type::EcmaArray) {
            if (!readU32())
                return std::nullopt;
            object = m_vm.makeArray();
        } else if (Amf0Type(*type) == Amf0Type::TypedObject) {
            auto alias = readName();
            if (!alias)
                return std::nullopt;
            object = m_vm.makeObject();
            // A registered alias comes back as an object of its class (its constructor is
            // not run).
            Value constructor = amfClassOf(m_vm, *alias);
            if (constructor.isObject()) {
                Value proto = m_vm.getMember(constructor, "prototype");
                if (proto.isObject())
                    object->setProto(proto);
                object->define("__constructor__", constructor, kDontEnum);
            }
        } else {
            object = m_vm.makeObject();
        }
        if (m_seen.size() < kMaxReferences)
            m_seen.push_back(object);
        if (!readProperties(object, depth))
            return std::nullopt;
        return Value(object);
    }
    case Amf0Type::StrictArray: {
        auto count = readU32();
        // Every element takes a byte at least: a count past the input is a lie.
        if (!count || *count > m_bytes.size() - m_pos || *count > kMaxArrayLength)
            return std::nullopt;
        m_vm.checkCells();
        ArrayObject* array = m_vm.makeArray();
        if (m_seen.size() < kMaxReferences)
            m_seen.push_back(array);
        for (uint32_t i = 0; i < *count; ++i) {
            auto element = readValue(depth + 1);
            if (!element)
                return std::nullopt;
            array->push(*element);
        }
        return Value(array);
    }
    case Amf0Type::ObjectEnd:
        break;
    }
    return std::nullopt;
}

// ---- Remoting ----

std::vector<uint8_t> amf0Request(Interpreter& vm, std::string_view method,
                                 std::string_view response, std::span<const Value> args) {
    Amf0Writer body(vm);
    // The arguments travel as a strict array that takes no place among the references.
    body.writeU8(uint8_t(Amf0Type::StrictArray));
    body.writeU32(uint32_t(args.size()));
    for (const Value& arg : args)
        body.write(arg);

    Amf0Writer packet(vm);
    packet.writeU16(0); // AMF0
    packet.writeU16(0); // no headers
    packet.writeU16(1); // one message
    packet.writeName(method);
    packet.writeName(response);
    packet.writeU32(uint32_t(body.bytes().size()));
    packet.bytes().insert(packet.bytes().end(), body.bytes().begin(), body.bytes().end());
    return std::move(packet.bytes());
}

void logUnsentRequest(Interpreter& vm, std::string_view url, std::string_view method,
                      std::string_view mimeType, std::span<const uint8_t> body, bool textBody) {
    ScriptHost& host = vm.host();
    host.traceLine("Navigator::fetch:");
    host.traceLine("  URL: " + std::string(url));
    host.traceLine("  Method: " + std::string(method));
    host.traceLine("  Mime-Type: " + std::string(mimeType));
    std::string line = "  Body: ";
    if (textBody) {
        line.append(reinterpret_cast<const char*>(body.data()), body.size());
    } else {
        line += '[';
        char hex[8];
        for (std::size_t i = 0; i < body.size(); ++i) {
            std::snprintf(hex, sizeof hex, i ? ", %02X" : "%02X", body[i]);
            line += hex;
        }
        line += ']';
    }
    host.traceLine(line);
}

} // namespace swivio::swf::avm1
