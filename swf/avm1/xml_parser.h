#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A small XML reader and writer with the leniencies and status codes of the ActionScript XML
// class. Knows nothing of the interpreter.
namespace swivio::swf::avm1::xml {

enum class NodeType : int { Element = 1, Text = 3 };

// Status codes XML.status reports for a parse.
enum ParseStatus : int {
    kOk = 0,
    kCdataUnterminated = -2,
    kXmlDeclUnterminated = -3,
    kDocTypeUnterminated = -4,
    kCommentUnterminated = -5,
    kMalformedElement = -6,
    kOutOfMemory = -7,
    kAttributeUnterminated = -8,
    kMissingEndTag = -9,
    kUnmatchedEndTag = -10,
};

struct ParsedNode {
    NodeType type = NodeType::Element;
    std::string name;                                            // elements
    std::string value;                                           // text (entities decoded)
    std::vector<std::pair<std::string, std::string>> attributes; // in document order
    std::vector<ParsedNode> children;
};

struct ParseLimits {
    int maxDepth = 256;
    std::size_t maxNodes = 200'000;
};

struct ParseResult {
    std::vector<ParsedNode> nodes; // top level, kept up to the first error
    int status = kOk;
    bool hasXmlDecl = false;
    std::string xmlDecl; // the whole <?xml ... ?>, last one wins
    bool hasDocType = false;
    std::string docTypeDecl; // the whole <!DOCTYPE ...>
};

// Reads text as XML. ignoreWhite drops text nodes made only of whitespace. Never fails hard:
// what was read before an error is kept and status says what went wrong. Deeper nesting or
// more nodes than the limits allow end the parse with kOutOfMemory.
ParseResult parse(std::string_view text, bool ignoreWhite, const ParseLimits& limits = {});

// Entities decoded: the five named ones and &#N; / &#xN;. Unknown ones are left as written.
std::string decodeEntities(std::string_view text);
// & < > " ' written as entities, as text nodes and attribute values are serialised.
std::string escapeText(std::string_view text);

} // namespace swivio::swf::avm1::xml
