// XMLNode and XML: a tree of element and text nodes a script builds, parses and writes back.
#include "swf/avm1/builtins_xml.h"

#include <utility>

#include "swf/avm1/builtins.h"
#include "swf/avm1/xml_parser.h"

namespace swivio::swf::avm1 {

namespace {

constexpr std::string_view kContentType = "application/x-www-form-urlencoded";
// Hidden slot of _global keeping XMLNode.prototype, for nodes made by createElement.
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

XmlNodeObject* makeNode(Interpreter& vm, int type, const Value& text) {
    auto* node = static_cast<XmlNodeObject*>(allocateNode(vm, nodeProto(vm)));
    node->nodeType = type;
    if (type == 1)
        node->nodeName = text;
    else
        node->nodeValue = text;
    return node;
}

std::size_t indexOf(const XmlNodeObject& parent, const XmlNodeObject* child) {
    for (std::size_t i = 0; i < parent.children.size(); ++i)
        if (parent.children[i] == child)
            return i;
    return parent.children.size();
}

XmlNodeObject* sibling(XmlNodeObject& node, int step) {
    if (!node.parent)
        return nullptr;
    const std::size_t i = indexOf(*node.parent, &node);
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
    node->insertChild(child, indexOf(*node, before));
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
    node->define("status", 0, 0);
    if (!args.empty() && !args[0].isNullish())
        parseXmlInto(vm, *node, vm.toString(args[0]));
    return Value();
}

Value createElement(Interpreter& vm, const Value&, std::span<const Value> args) {
    return makeNode(vm, 1, args.empty() ? Value::null() : Value(vm.toString(args[0])));
}

Value createTextNode(Interpreter& vm, const Value&, std::span<const Value> args) {
    return makeNode(vm, 3, args.empty() ? Value::null() : Value(vm.toString(args[0])));
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

Value getLoaded(Interpreter&, const Value& thisValue, std::span<const Value>) {
    XmlNodeObject* node = nodeOf(thisValue);
    return node ? node->loaded : Value();
}

Value setLoaded(Interpreter&, const Value& thisValue, std::span<const Value> args) {
    if (XmlNodeObject* node = nodeOf(thisValue))
        node->loaded = argAt(args, 0);
    return Value();
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
    for (const XmlNodeObject* n = node; n; n = n->parent)
        if (n == this)
            return true;
    return false;
}

void XmlNodeObject::detach() {
    if (!parent)
        return;
    auto& list = parent->children;
    const std::size_t i = indexOf(*parent, this);
    if (i < list.size())
        list.erase(list.begin() + std::ptrdiff_t(i));
    parent = nullptr;
}

void XmlNodeObject::insertChild(XmlNodeObject* child, std::size_t index) {
    child->detach();
    index = std::min(index, children.size());
    children.insert(children.begin() + std::ptrdiff_t(index), child);
    child->parent = this;
}

bool XmlNodeObject::getSpecial(Interpreter& vm, std::string_view name, Value& out) {
    if (vm.namesEqual(name, "nodeType"))
        out = nodeType;
    else if (vm.namesEqual(name, "nodeName"))
        out = nodeName;
    else if (vm.namesEqual(name, "nodeValue"))
        out = nodeValue;
    else if (vm.namesEqual(name, "attributes"))
        out = attributes ? Value(attributes) : Value();
    else if (vm.namesEqual(name, "parentNode"))
        out = orNull(parent);
    else if (vm.namesEqual(name, "firstChild"))
        out = orNull(children.empty() ? nullptr : children.front());
    else if (vm.namesEqual(name, "lastChild"))
        out = orNull(children.empty() ? nullptr : children.back());
    else if (vm.namesEqual(name, "nextSibling"))
        out = orNull(sibling(*this, 1));
    else if (vm.namesEqual(name, "previousSibling"))
        out = orNull(sibling(*this, -1));
    else if (vm.namesEqual(name, "childNodes")) {
        vm.checkCells();
        ArrayObject* list = vm.makeArray();
        for (XmlNodeObject* child : children)
            list->push(Value(static_cast<Object*>(child)));
        out = list;
    } else
        return false;
    return true;
}

bool XmlNodeObject::setSpecial(Interpreter& vm, std::string_view name, const Value& value) {
    if (vm.namesEqual(name, "nodeName")) {
        nodeName = value.isNullish() ? Value::null() : Value(vm.toString(value));
    } else if (vm.namesEqual(name, "nodeValue")) {
        nodeValue = value.isNullish() ? Value::null() : Value(vm.toString(value));
    } else if (vm.namesEqual(name, "attributes")) {
        if (value.isObject())
            attributes = value.object();
    } else {
        // The tree links are read-only.
        for (std::string_view fixed : {"nodeType", "parentNode", "firstChild", "lastChild",
                                       "nextSibling", "previousSibling", "childNodes"})
            if (vm.namesEqual(name, fixed))
                return true;
        return false;
    }
    return true;
}

void XmlNodeObject::trace(Tracer& tracer) const {
    Object::trace(tracer);
    tracer.mark(nodeName);
    tracer.mark(nodeValue);
    tracer.mark(loaded);
    tracer.mark(attributes);
    tracer.mark(parent);
    for (XmlNodeObject* child : children)
        tracer.mark(child);
}

// ---- Parsing and writing ----

void parseXmlInto(Interpreter& vm, XmlNodeObject& document, std::string_view text) {
    const bool ignoreWhite = vm.toBoolean(vm.getMember(Value(&document), "ignoreWhite"));
    xml::ParseResult parsed = xml::parse(text, ignoreWhite);
    while (!document.children.empty())
        document.children.back()->detach();
    Object* idMap = nullptr;
    if (vm.version() >= 8) {
        idMap = vm.getMember(Value(&document), "idMap").object();
        if (!idMap) {
            idMap = vm.makeObject();
            document.define("idMap", idMap, 0);
        }
    }
    // Built by an explicit list, so deep documents cannot exhaust the stack.
    std::vector<std::pair<const xml::ParsedNode*, XmlNodeObject*>> pending;
    for (auto it = parsed.nodes.rbegin(); it != parsed.nodes.rend(); ++it)
        pending.emplace_back(&*it, &document);
    std::vector<XmlNodeObject*> order;
    while (!pending.empty()) {
        auto [from, parent] = pending.back();
        pending.pop_back();
        XmlNodeObject* node =
            makeNode(vm, int(from->type), from->type == xml::NodeType::Element
                                              ? Value(from->name)
                                              : Value(from->value));
        // Attributes are stored last first: for..in, which lists the newest first, then
        // gives them in document order.
        for (auto it = from->attributes.rbegin(); it != from->attributes.rend(); ++it) {
            node->attributes->define(it->first, Value(it->second), 0);
            if (idMap && it->first == "id")
                idMap->define(it->second, Value(static_cast<Object*>(node)), 0);
        }
        parent->insertChild(node, parent->children.size());
        for (auto it = from->children.rbegin(); it != from->children.rend(); ++it)
            pending.emplace_back(&*it, node);
    }
    document.define("status", parsed.status, 0);
    if (parsed.hasXmlDecl)
        document.define("xmlDecl", Value(parsed.xmlDecl), 0);
    if (parsed.hasDocType)
        document.define("docTypeDecl", Value(parsed.docTypeDecl), 0);
}

std::string serializeXml(Interpreter& vm, XmlNodeObject& root) {
    std::string out;
    // A document (an element without a name that carries a declaration) writes them first.
    if (root.nodeType == 1 && root.nodeName.isNullish()) {
        for (std::string_view slot : {"xmlDecl", "docTypeDecl"}) {
            const Property* p = root.properties().find(slot, vm.caseSensitive());
            if (p && !p->isAccessor() && !p->value.isNullish())
                out += vm.toString(p->value);
        }
    }
    // Explicit stack: entering a node writes its start, leaving it writes its end.
    struct Step {
        XmlNodeObject* node;
        bool leaving;
    };
    std::vector<Step> steps{{&root, false}};
    while (!steps.empty()) {
        Step step = steps.back();
        steps.pop_back();
        XmlNodeObject& node = *step.node;
        const bool named = node.nodeType == 1 && !node.nodeName.isNullish();
        if (step.leaving) {
            if (named)
                out += "</" + vm.toString(node.nodeName) + ">";
            continue;
        }
        vm.checkStringLength(out.size());
        if (node.nodeType != 1) {
            if (!node.nodeValue.isNullish())
                out += xml::escapeText(vm.toString(node.nodeValue));
            continue;
        }
        if (named) {
            out += "<" + vm.toString(node.nodeName);
            if (node.attributes) {
                std::vector<std::pair<std::string, Value>> attributes;
                node.attributes->properties().forEach([&](const Property& p) {
                    if (!(p.flags & kDontEnum) && !p.isAccessor())
                        attributes.emplace_back(p.name.str(), p.value);
                });
                // Newest first, as for..in lists them.
                for (auto it = attributes.rbegin(); it != attributes.rend(); ++it)
                    out += " " + it->first + "=\"" + xml::escapeText(vm.toString(it->second)) +
                           "\"";
            }
            if (node.children.empty()) {
                out += " />";
                continue;
            }
            out += ">";
        }
        steps.push_back({&node, true});
        for (auto it = node.children.rbegin(); it != node.children.rend(); ++it)
            steps.push_back({*it, false});
    }
    return out;
}

void installXmlBuiltins(Interpreter& vm) {
    Object* nodeProtoObject = vm.makeObject();
    vm.global()->define(kNodeProtoSlot, nodeProtoObject, kDontEnum | kDontDelete);
    vm.defineClass("XMLNode", nodeConstructor, nodeProtoObject, allocateNode);
    vm.defineMethod(nodeProtoObject, "appendChild", appendChild);
    vm.defineMethod(nodeProtoObject, "insertBefore", insertBefore);
    vm.defineMethod(nodeProtoObject, "removeNode", removeNode);
    vm.defineMethod(nodeProtoObject, "cloneNode", cloneNode);
    vm.defineMethod(nodeProtoObject, "hasChildNodes", hasChildNodes);
    vm.defineMethod(nodeProtoObject, "toString", nodeToString);

    Object* xmlProto = vm.makeObject(nodeProtoObject);
    vm.defineClass("XML", xmlConstructor, xmlProto, allocateNode);
    vm.defineMethod(xmlProto, "createElement", createElement);
    vm.defineMethod(xmlProto, "createTextNode", createTextNode);
    vm.defineMethod(xmlProto, "parseXML", parseXml);
    vm.defineMethod(xmlProto, "getBytesLoaded", bytesLoaded);
    vm.defineMethod(xmlProto, "getBytesTotal", bytesTotal);
    vm.defineMethod(xmlProto, "onData", xmlOnData);
    vm.defineMethod(xmlProto, "onLoad", nothing);
    vm.defineMethod(xmlProto, "addRequestHeader", nothing);
    vm.defineMethod(xmlProto, "load", refuseLoad);
    vm.defineMethod(xmlProto, "sendAndLoad", refuseLoad);
    vm.defineMethod(xmlProto, "send", refuseLoad);
    xmlProto->define("contentType", Value(kContentType));
    xmlProto->define("ignoreWhite", false);
    xmlProto->defineAccessor("loaded", vm.makeNative(getLoaded), vm.makeNative(setLoaded),
                             kDontEnum);
}

} // namespace swivio::swf::avm1
