#pragma once

#include <string>
#include <vector>

#include "swf/avm1/interpreter.h"

namespace swivio::swf::avm1 {

// An XMLNode (and an XML document, which is an element node without a name). The tree
// links live here; childNodes, firstChild and the others are read from them.
class XmlNodeObject : public Object {
public:
    explicit XmlNodeObject(Object* proto) : Object(proto) {}
    ObjectKind kind() const override { return ObjectKind::XmlNode; }

    int nodeType = 1;
    Value nodeName = Value::null();
    Value nodeValue = Value::null();
    Object* attributes = nullptr;
    XmlNodeObject* parent = nullptr;
    std::vector<XmlNodeObject*> children;
    // XML.loaded, kept here so that a load leaves no own property behind.
    Value loaded;

    // Whether node is this one or one of its ancestors (adding it here would make a loop).
    bool isSelfOrAncestor(const XmlNodeObject* node) const;
    void detach();
    // Puts child at index (end when past it), taking it from its old parent first.
    void insertChild(XmlNodeObject* child, std::size_t index);

    bool getSpecial(Interpreter& vm, std::string_view name, Value& out) override;
    bool setSpecial(Interpreter& vm, std::string_view name, const Value& value) override;
    void trace(Tracer& tracer) const override;
    std::size_t footprint() const override {
        return Object::footprint() + children.size() * sizeof(void*);
    }
};

// Replaces the document's children with what text parses to, setting status, xmlDecl,
// docTypeDecl and (version 8) idMap.
void parseXmlInto(Interpreter& vm, XmlNodeObject& document, std::string_view text);
// The node as Flash writes it.
std::string serializeXml(Interpreter& vm, XmlNodeObject& node);

} // namespace swivio::swf::avm1
