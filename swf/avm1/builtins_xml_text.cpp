// Reading text into an XML document and writing nodes back as text.
#include "swf/avm1/builtins_xml.h"

#include <string>
#include <utility>
#include <vector>

#include "swf/avm1/xml_parser.h"

namespace swivio::swf::avm1 {

void parseXmlInto(Interpreter& vm, XmlNodeObject& document, std::string_view text) {
    xml::ParseResult parsed = xml::parse(text, document.ignoreWhite);
    while (!document.children.empty())
        document.children.back()->detach();
    // Elements with an id attribute are also listed in idMap (version 8), made when the
    // first one is met and kept across parses.
    Object* idMap = nullptr;
    auto addToIdMap = [&](const std::string& id, XmlNodeObject* node) {
        if (!idMap) {
            idMap = vm.getMember(Value(&document), "idMap").object();
            if (!idMap) {
                idMap = vm.makeObject();
                document.define("idMap", idMap, kDontEnum);
            }
        }
        idMap->define(id, Value(static_cast<Object*>(node)), 0);
    };
    // Built by an explicit list, so deep documents cannot exhaust the stack.
    std::vector<std::pair<const xml::ParsedNode*, XmlNodeObject*>> pending;
    for (auto it = parsed.nodes.rbegin(); it != parsed.nodes.rend(); ++it)
        pending.emplace_back(&*it, &document);
    while (!pending.empty()) {
        auto [from, parent] = pending.back();
        pending.pop_back();
        XmlNodeObject* node = makeXmlNode(
            vm, int(from->type),
            from->type == xml::NodeType::Element ? Value(from->name) : Value(from->value));
        // Attributes are stored last first: for..in, which lists the newest first, then
        // gives them in document order.
        for (auto it = from->attributes.rbegin(); it != from->attributes.rend(); ++it) {
            node->attributes->define(it->first, Value(it->second), 0);
            if (it->first == "id" && vm.version() >= 8)
                addToIdMap(it->second, node);
        }
        parent->insertChild(node, parent->children.size());
        for (auto it = from->children.rbegin(); it != from->children.rend(); ++it)
            pending.emplace_back(&*it, node);
    }
    document.status = parsed.status;
    if (parsed.hasXmlDecl)
        document.xmlDecl = Value(parsed.xmlDecl);
    if (parsed.hasDocType)
        document.docTypeDecl = Value(parsed.docTypeDecl);
}

std::string serializeXml(Interpreter& vm, XmlNodeObject& root) {
    std::string out;
    // A document (an element without a name) writes its declarations first.
    if (root.nodeType == 1 && root.nodeName.isNullish()) {
        for (const Value* slot : {&root.xmlDecl, &root.docTypeDecl})
            if (!slot->isNullish())
                out += vm.toString(*slot);
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
                    out +=
                        " " + it->first + "=\"" + xml::escapeText(vm.toString(it->second)) + "\"";
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

} // namespace swivio::swf::avm1
