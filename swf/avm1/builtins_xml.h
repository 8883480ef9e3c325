#pragma once

#include <string>
#include <vector>

#include "swf/avm1/interpreter.h"

namespace swivio::swf::avm1 {

// An XMLNode (and an XML document, which is an element node without a name). The tree
// links live here; childNodes, firstChild and the others are read from them.
// How deep a script may nest nodes it builds (a parsed document stops sooner).
inline constexpr int kMaxTreeDepth = 4096;

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
    // The childNodes array: one object per node, brought up to date when read after the
    // children changed (so reading it in a loop costs nothing new).
    ArrayObject* childArray = nullptr;
    bool childArrayStale = true;
    // The document's state, read through accessors on XML.prototype as Flash keeps it, so
    // a document has no own properties a for..in would list.
    Value loaded;
    Value status = 0;
    Value xmlDecl;
    Value docTypeDecl;
    bool ignoreWhite = false;

    // This node's place among its parent's children, renumbered when read after a change.
    std::size_t indexInParent = 0;
    bool childIndexesStale = false;

    // Whether node is this one or one of its ancestors (adding it here would make a loop).
    // Also true past kMaxTreeDepth ancestors, so the walk stays short.
    bool isSelfOrAncestor(const XmlNodeObject* node) const;
    // The index of child among the children, or their count when it is not one.
    std::size_t indexOfChild(const XmlNodeObject* child);
    void detach();
    // Puts child at index (end when past it), taking it from its old parent first.
    void insertChild(XmlNodeObject* child, std::size_t index);

    void trace(Tracer& tracer) const override;
    std::size_t footprint() const override {
        return Object::footprint() + children.size() * sizeof(void*);
    }
};

// A node of type (1 element: text is its name; 3 text: text is its value) with
// XMLNode.prototype as the movie has it now.
XmlNodeObject* makeXmlNode(Interpreter& vm, int type, const Value& text);
// Replaces the document's children with what text parses to, setting status, xmlDecl,
// docTypeDecl and (version 8) idMap.
void parseXmlInto(Interpreter& vm, XmlNodeObject& document, std::string_view text);
// The node as Flash writes it.
std::string serializeXml(Interpreter& vm, XmlNodeObject& node);

} // namespace swivio::swf::avm1
