// XMLNode and XML: a tree of element and text nodes a script builds, parses and writes back.
#include "swf/avm1/builtins_xml.h"

#include <utility>

#include "swf/avm1/builtins.h"
#include "swf/avm1/xml_parser.h"

namespace swivio::swf::avm1 {

namespace {

constexpr std::string_view kContentType = "application/x-www-form-urlencoded";
// Hidden slots of _global: never listed, and out of sight of movies before version 10 even
// when a script clears the other flags.
constexpr uint16_t kHiddenSlot = kDontEnum | kDontDelete | kVersion10;
// The slot keeping XMLNode.prototype, for nodes made while XMLNode is gone.
constexpr std::string_view kNodeProtoSlot = "\x01XMLNode.prototype";

XmlNodeObject* nodeOf(const Value& v) {
    Object* o = v.object();
    return o && o->kind() == ObjectKind::XmlNode ? static_cast<XmlNodeObject*>(o) : nullptr;
}

Value orNull(XmlNodeObject* node) {
    return node ? Value(static_cast<Object*>(node)) : Value::null();
}

Object* allocateNode(Interpreter& vm, Object* proto) {
    vm.checkCells();
    auto* node = vm.heap().make<XmlNodeObject>(proto);
    node->attributes = vm.makeObject();
    return node;
}

// New nodes take XMLNode.prototype as it is now (a movie may replace it); the original when
// XMLNode itself is gone.
Object* nodeProto(Interpreter& vm) {
    const Property* ctor = vm.global()->properties().find("XMLNode", true);
    if (ctor && ctor->value.isObject() && !ctor->isAccessor()) {
        const Property* proto = ctor->value.object()->properties().find("prototype", true);
        if (proto && !proto->isAccessor() && proto->value.isObject())
            return proto->value.object();
    }
    const Property* slot = vm.global()->properties().find(kNodeProtoSlot, true);
    return slot ? slot->value.object() : nullptr;
}

} // namespace

XmlNodeObject* makeXmlNode(Interpreter& vm, int type, const Value& text) {
    auto* node = static_cast<XmlNodeObject*>(allocateNode(vm, nodeProto(vm)));
    node->nodeType = type;
    if (type == 1)
        node->nodeName = text;
    else
        node->nodeValue = text;
    return node;
}

namespace {

Value nothingSet(Interpreter&, const Value&, std::span<const Value>) {
    return Value();
}

XmlNodeObject* sibling(XmlNodeObject& node, int step) {
    if (!node.parent)
        return nullptr;
    const std::size_t i = node.parent->indexOfChild(&node);
    const std::size_t j = i + std::size_t(step);
    return j < node.parent->children.size() ? node.parent->children[j] : nullptr;
}

// ---- XMLNode methods ----

Value nodeConstructor(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    XmlNodeObject* node = nodeOf(thisValue);
    if (!node)
        return Value();
    node->nodeType = int(vm.toInteger(argAt(args, 0)));
    if (node->nodeType == 1)
        node->nodeName = argAt(args, 1).isNullish() ? Value::null() : argAt(args, 1);
    else
        node->nodeValue = argAt(args, 1).isNullish() ? Value::null() : argAt(args, 1);
    return Value();
}

Value appendChild(Interpreter&, const Value& thisValue, std::span<const Value> args) {
    XmlNodeObject* node = nodeOf(thisValue);
    XmlNodeObject* child = nodeOf(argAt(args, 0));
    if (!node || !child || child->isSelfOrAncestor(node) || child == node)
        return Value();
    node->insertChild(child, node->children.size());
    return Value();
}

Value insertBefore(Interpreter&, const Value& thisValue, std::span<const Value> args) {
    XmlNodeObject* node = nodeOf(thisValue);
    XmlNodeObject* child = nodeOf(argAt(args, 0));
    XmlNodeObject* before = nodeOf(argAt(args, 1));
    // The reference must be a child here; a node that already is one does not move.
    if (!node || !child || !before || before->parent != node || child->parent == node ||
        child->isSelfOrAncestor(node))
        return Value();
    node->insertChild(child, node->indexOfChild(before));
    return Value();
}

Value removeNode(Interpreter&, const Value& thisValue, std::span<const Value>) {
    if (XmlNodeObject* node = nodeOf(thisValue))
        node->detach();
    return Value();
}

Value hasChildNodes(Interpreter&, const Value& thisValue, std::span<const Value>) {
    XmlNodeObject* node = nodeOf(thisValue);
    return node && !node->children.empty();
}

XmlNodeObject* copyNode(Interpreter& vm, const XmlNodeObject& from) {
    auto* copy = static_cast<XmlNodeObject*>(allocateNode(vm, from.proto()));
    copy->nodeType = from.nodeType;
    copy->nodeName = from.nodeName;
    copy->nodeValue = from.nodeValue;
    if (from.attributes)
        from.attributes->properties().forEach([&](const Property& p) {
            if (!p.isAccessor())
                copy->attributes->define(p.name.str(), p.value, p.flags);
        });
    return copy;
}

// Deep copies go by an explicit list, so a very deep tree cannot exhaust the stack.
Value cloneNode(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    XmlNodeObject* node = nodeOf(thisValue);
    if (!node)
        return Value();
    XmlNodeObject* root = copyNode(vm, *node);
    if (!vm.toBoolean(argAt(args, 0)))
        return root;
    std::vector<std::pair<const XmlNodeObject*, XmlNodeObject*>> pending{{node, root}};
    while (!pending.empty()) {
        auto [from, to] = pending.back();
        pending.pop_back();
        for (const XmlNodeObject* child : from->children) {
            XmlNodeObject* copy = copyNode(vm, *child);
            to->insertChild(copy, to->children.size());
            pending.emplace_back(child, copy);
        }
    }
    return root;
}

Value nodeToString(Interpreter& vm, const Value& thisValue, std::span<const Value>) {
    XmlNodeObject* node = nodeOf(thisValue);
    return node ? Value(serializeXml(vm, *node)) : Value("");
}

// ---- XML methods ----

Value xmlConstructor(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    XmlNodeObject* node = nodeOf(thisValue);
    if (!node)
        return Value();
    node->nodeType = 1;
    if (!args.empty() && !args[0].isNullish())
        parseXmlInto(vm, *node, vm.toString(args[0]));
    return Value();
}

Value createElement(Interpreter& vm, const Value&, std::span<const Value> args) {
    return makeXmlNode(vm, 1, args.empty() ? Value::null() : Value(vm.toString(args[0])));
}

Value createTextNode(Interpreter& vm, const Value&, std::span<const Value> args) {
    return makeXmlNode(vm, 3, args.empty() ? Value::null() : Value(vm.toString(args[0])));
}

Value parseXml(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    if (XmlNodeObject* node = nodeOf(thisValue))
        parseXmlInto(vm, *node, vm.toString(argAt(args, 0)));
    return Value();
}

Value bytesLoaded(Interpreter& vm, const Value& thisValue, std::span<const Value>) {
    return vm.getMember(thisValue, "_bytesLoaded");
}

Value bytesTotal(Interpreter& vm, const Value& thisValue, std::span<const Value>) {
    return vm.getMember(thisValue, "_bytesTotal");
}

// What arrives from a load: the text parsed, then onLoad told; undefined means it failed.
Value xmlOnData(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    const Value& text = argAt(args, 0);
    if (text.isUndefined()) {
        Value no[] = {Value(false)};
        vm.callMethod(thisValue, "onLoad", no);
        return Value();
    }
    Value one[] = {text};
    vm.callMethod(thisValue, "parseXML", one);
    vm.setMember(thisValue, "loaded", true);
    Value yes[] = {Value(true)};
    vm.callMethod(thisValue, "onLoad", yes);
    return Value();
}

// ---- Properties: accessors on the prototypes ----

enum class Field {
    Attributes,
    ChildNodes,
    FirstChild,
    LastChild,
    NextSibling,
    NodeName,
    NodeType,
    NodeValue,
    ParentNode,
    PreviousSibling,
    Prefix,
    LocalName,
    NamespaceUri,
    DocTypeDecl,
    IgnoreWhite,
    Loaded,
    Status,
    XmlDecl,
};

// "p:name" splits at the first colon; a name without one has an empty prefix.
std::pair<std::string, std::string> splitName(Interpreter& vm, const XmlNodeObject& node) {
    const std::string name = vm.toString(node.nodeName);
    const std::size_t colon = name.find(':');
    if (colon == std::string::npos)
        return {std::string(), name};
    return {name.substr(0, colon), name.substr(colon + 1)};
}

// The URI an xmlns attribute of the node or an ancestor gives prefix ("" for the default
// namespace); null when none does.
Value namespaceFor(Interpreter& vm, const XmlNodeObject& node, const std::string& prefix) {
    const std::string attribute = prefix.empty() ? "xmlns" : "xmlns:" + prefix;
    for (const XmlNodeObject* n = &node; n; n = n->parent) {
        if (!n->attributes)
            continue;
        const Property* p = n->attributes->properties().find(attribute, true);
        if (p && !p->isAccessor())
            return Value(vm.toString(p->value));
    }
    return Value::null();
}

Value readField(Interpreter& vm, XmlNodeObject& node, Field field) {
    switch (field) {
    case Field::Attributes:
        return node.attributes ? Value(node.attributes) : Value();
    case Field::ChildNodes: {
        if (!node.childArray) {
            vm.checkCells();
            node.childArray = vm.makeArray();
        }
        if (node.childArrayStale) {
            auto& elements = node.childArray->elements();
            elements.clear();
            for (XmlNodeObject* child : node.children)
                elements.emplace_back(Value(static_cast<Object*>(child)));
            node.childArrayStale = false;
        }
        return node.childArray;
    }
    case Field::FirstChild:
        return orNull(node.children.empty() ? nullptr : node.children.front());
    case Field::LastChild:
        return orNull(node.children.empty() ? nullptr : node.children.back());
    case Field::NextSibling:
        return orNull(sibling(node, 1));
    case Field::PreviousSibling:
        return orNull(sibling(node, -1));
    case Field::ParentNode:
        return orNull(node.parent);
    case Field::NodeName:
        return node.nodeName;
    case Field::NodeType:
        return node.nodeType;
    case Field::NodeValue:
        return node.nodeValue;
    case Field::Prefix:
    case Field::LocalName:
    case Field::NamespaceUri: {
        if (node.nodeType != 1 || node.nodeName.isNullish())
            return Value::null();
        auto [prefix, local] = splitName(vm, node);
        if (field == Field::Prefix)
            return Value(prefix);
        if (field == Field::LocalName)
            return Value(local);
        Value uri = namespaceFor(vm, node, prefix);
        return uri.isNull() ? Value("") : uri;
    }
    case Field::DocTypeDecl:
        return node.docTypeDecl;
    case Field::IgnoreWhite:
        return node.ignoreWhite;
    case Field::Loaded:
        return node.loaded;
    case Field::Status:
        return node.status;
    case Field::XmlDecl:
        return node.xmlDecl;
    }
    return Value();
}

void writeField(Interpreter& vm, XmlNodeObject& node, Field field, const Value& v) {
    switch (field) {
    case Field::NodeName:
        node.nodeName = v.isNullish() ? Value::null() : Value(vm.toString(v));
        break;
    case Field::NodeValue:
        node.nodeValue = v.isNullish() ? Value::null() : Value(vm.toString(v));
        break;
    case Field::DocTypeDecl:
        node.docTypeDecl = v;
        break;
    case Field::XmlDecl:
        node.xmlDecl = v;
        break;
    case Field::IgnoreWhite:
        node.ignoreWhite = vm.toBoolean(v);
        break;
    case Field::Loaded:
        node.loaded = v;
        break;
    case Field::Status:
        node.status = vm.toNumber(v);
        break;
    default:
        break; // the tree's links are read-only
    }
}

template <Field F> Value getField(Interpreter& vm, const Value& thisValue, std::span<const Value>) {
    XmlNodeObject* node = nodeOf(thisValue);
    return node ? readField(vm, *node, F) : Value();
}

template <Field F>
Value setField(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    if (XmlNodeObject* node = nodeOf(thisValue))
        writeField(vm, *node, F, argAt(args, 0));
    return Value();
}

template <Field F>
void defineField(Interpreter& vm, Object* proto, std::string_view name, bool writable) {
    proto->defineAccessor(name, vm.makeNative(getField<F>),
                          writable ? vm.makeNative(setField<F>) : vm.makeNative(nothingSet),
                          kDontEnum | kDontDelete | (writable ? 0 : kReadOnly));
}

Value getNamespaceForPrefix(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    XmlNodeObject* node = nodeOf(thisValue);
    if (!node || args.empty())
        return Value();
    return namespaceFor(vm, *node, vm.toString(args[0]));
}

// The prefix of the nearest xmlns attribute giving the URI: "" for the default namespace.
Value getPrefixForNamespace(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    XmlNodeObject* node = nodeOf(thisValue);
    if (!node || args.empty())
        return Value();
    const std::string uri = vm.toString(args[0]);
    for (const XmlNodeObject* n = node; n; n = n->parent) {
        if (!n->attributes)
            continue;
        Value found;
        n->attributes->properties().forEach([&](const Property& p) {
            const std::string& name = p.name.str();
            if (!found.isUndefined() || p.isAccessor() || vm.toString(p.value) != uri)
                return;
            if (name == "xmlns")
                found = Value("");
            else if (name.starts_with("xmlns:"))
                found = Value(name.substr(6));
        });
        if (!found.isUndefined())
            return found;
    }
    return Value::null();
}

Value nothing(Interpreter&, const Value&, std::span<const Value>) {
    return Value();
}

// Loading needs the movie's folder: without a movie runtime it is refused.
Value refuseLoad(Interpreter& vm, const Value&, std::span<const Value>) {
    vm.host().scriptError("XML/LoadVars loading needs a movie to load beside");
    return false;
}

} // namespace

// ---- XmlNodeObject ----

bool XmlNodeObject::isSelfOrAncestor(const XmlNodeObject* node) const {
    int depth = 0;
    for (const XmlNodeObject* n = node; n; n = n->parent)
        if (n == this || ++depth > kMaxTreeDepth)
            return true;
    return false;
}

std::size_t XmlNodeObject::indexOfChild(const XmlNodeObject* child) {
    if (!child || child->parent != this)
        return children.size();
    if (childIndexesStale) {
        for (std::size_t i = 0; i < children.size(); ++i)
            children[i]->indexInParent = i;
        childIndexesStale = false;
    }
    return child->indexInParent;
}

void XmlNodeObject::detach() {
    if (!parent)
        return;
    auto& list = parent->children;
    const std::size_t i = parent->indexOfChild(this);
    if (i < list.size())
        list.erase(list.begin() + std::ptrdiff_t(i));
    parent->childArrayStale = true;
    parent->childIndexesStale = true;
    parent = nullptr;
}

void XmlNodeObject::insertChild(XmlNodeObject* child, std::size_t index) {
    child->detach();
    index = std::min(index, children.size());
    // Appending keeps the others' numbers; inserting shifts them.
    if (index < children.size())
        childIndexesStale = true;
    children.insert(children.begin() + std::ptrdiff_t(index), child);
    child->parent = this;
    child->indexInParent = index;
    childArrayStale = true;
}

void XmlNodeObject::trace(Tracer& tracer) const {
    Object::trace(tracer);
    tracer.mark(nodeName);
    tracer.mark(nodeValue);
    tracer.mark(loaded);
    tracer.mark(status);
    tracer.mark(xmlDecl);
    tracer.mark(docTypeDecl);
    tracer.mark(attributes);
    tracer.mark(childArray);
    tracer.mark(parent);
    for (XmlNodeObject* child : children)
        tracer.mark(child);
}

void installXmlBuiltins(Interpreter& vm) {
    constexpr uint16_t kMethod = kDontEnum | kDontDelete;
    Object* nodeProtoObject = vm.makeObject();
    vm.global()->define(kNodeProtoSlot, nodeProtoObject, kHiddenSlot);
    vm.defineClass("XMLNode", nodeConstructor, nodeProtoObject, allocateNode);
    vm.defineMethod(nodeProtoObject, "cloneNode", cloneNode, kMethod);
    vm.defineMethod(nodeProtoObject, "removeNode", removeNode, kMethod);
    vm.defineMethod(nodeProtoObject, "insertBefore", insertBefore, kMethod);
    vm.defineMethod(nodeProtoObject, "appendChild", appendChild, kMethod);
    vm.defineMethod(nodeProtoObject, "hasChildNodes", hasChildNodes, kMethod);
    vm.defineMethod(nodeProtoObject, "toString", nodeToString, kMethod);
    vm.defineMethod(nodeProtoObject, "getNamespaceForPrefix", getNamespaceForPrefix,
                    kMethod | kVersion8);
    vm.defineMethod(nodeProtoObject, "getPrefixForNamespace", getPrefixForNamespace,
                    kMethod | kVersion8);
    defineField<Field::Attributes>(vm, nodeProtoObject, "attributes", false);
    defineField<Field::ChildNodes>(vm, nodeProtoObject, "childNodes", false);
    defineField<Field::FirstChild>(vm, nodeProtoObject, "firstChild", false);
    defineField<Field::LastChild>(vm, nodeProtoObject, "lastChild", false);
    defineField<Field::NextSibling>(vm, nodeProtoObject, "nextSibling", false);
    defineField<Field::NodeName>(vm, nodeProtoObject, "nodeName", true);
    defineField<Field::NodeType>(vm, nodeProtoObject, "nodeType", false);
    defineField<Field::NodeValue>(vm, nodeProtoObject, "nodeValue", true);
    defineField<Field::ParentNode>(vm, nodeProtoObject, "parentNode", false);
    defineField<Field::PreviousSibling>(vm, nodeProtoObject, "previousSibling", false);
    defineField<Field::Prefix>(vm, nodeProtoObject, "prefix", false);
    defineField<Field::LocalName>(vm, nodeProtoObject, "localName", false);
    defineField<Field::NamespaceUri>(vm, nodeProtoObject, "namespaceURI", false);

    Object* xmlProto = vm.makeObject(nodeProtoObject);
    vm.defineClass("XML", xmlConstructor, xmlProto, allocateNode);
    vm.defineMethod(xmlProto, "createElement", createElement, kMethod);
    vm.defineMethod(xmlProto, "createTextNode", createTextNode, kMethod);
    vm.defineMethod(xmlProto, "parseXML", parseXml, kMethod);
    vm.defineMethod(xmlProto, "load", refuseLoad, kMethod);
    vm.defineMethod(xmlProto, "send", refuseLoad, kMethod);
    vm.defineMethod(xmlProto, "sendAndLoad", refuseLoad, kMethod);
    vm.defineMethod(xmlProto, "onLoad", nothing, kMethod);
    vm.defineMethod(xmlProto, "onData", xmlOnData, kMethod);
    vm.defineMethod(xmlProto, "getBytesLoaded", bytesLoaded, kMethod);
    vm.defineMethod(xmlProto, "getBytesTotal", bytesTotal, kMethod);
    vm.defineMethod(xmlProto, "addRequestHeader", nothing, kMethod);
    xmlProto->define("contentType", Value(kContentType), kMethod);
    defineField<Field::DocTypeDecl>(vm, xmlProto, "docTypeDecl", true);
    defineField<Field::IgnoreWhite>(vm, xmlProto, "ignoreWhite", true);
    defineField<Field::Loaded>(vm, xmlProto, "loaded", true);
    defineField<Field::Status>(vm, xmlProto, "status", true);
    defineField<Field::XmlDecl>(vm, xmlProto, "xmlDecl", true);
}

} // namespace swivio::swf::avm1
