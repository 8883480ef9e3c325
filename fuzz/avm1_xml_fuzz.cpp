// The XML reader on arbitrary bytes, both whitespace modes; every result is serialisable.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "swf/avm1/xml_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace swivio::swf::avm1::xml;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    ParseLimits limits;
    limits.maxNodes = 5000;
    for (bool ignoreWhite : {false, true}) {
        ParseResult result = parse(text, ignoreWhite, limits);
        for (const ParsedNode& node : result.nodes)
            (void)escapeText(node.value);
    }
    return 0;
}
