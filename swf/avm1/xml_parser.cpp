#include "swf/avm1/xml_parser.h"

#include <cstdint>

namespace swivio::swf::avm1::xml {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool startsWith(std::string_view text, std::size_t at, std::string_view prefix) {
    return text.size() - at >= prefix.size() && text.compare(at, prefix.size(), prefix) == 0;
}

void appendUtf8(std::string& out, uint32_t code) {
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        code = 0xFFFD;
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

// The character a numeric reference body ("#65", "#x41") stands for, or false.
bool numericReference(std::string_view body, uint32_t& code) {
    if (body.size() < 2 || body[0] != '#')
        return false;
    const bool hex = body[1] == 'x' || body[1] == 'X';
    std::size_t i = hex ? 2 : 1;
    if (i >= body.size())
        return false;
    uint32_t value = 0;
    for (; i < body.size(); ++i) {
        const char c = body[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        value = value * (hex ? 16 : 10) + uint32_t(digit);
        if (value > 0x10FFFF)
            value = 0x110000; // stays out of range without overflowing
    }
    code = value;
    return true;
}

class Parser {
public:
    Parser(std::string_view text, bool ignoreWhite, const ParseLimits& limits)
        : m_text(text), m_ignoreWhite(ignoreWhite), m_limits(limits) {}

    ParseResult run() {
        while (m_pos < m_text.size() && m_result.status == kOk) {
            if (m_text[m_pos] == '<')
                markup();
            else
                text();
        }
        if (m_result.status == kOk && !m_open.empty())
            m_result.status = kMissingEndTag;
        return std::move(m_result);
    }

private:
    std::vector<ParsedNode>& siblings() {
        return m_open.empty() ? m_result.nodes : m_open.back()->children;
    }

    ParsedNode* add(ParsedNode node) {
        if (++m_nodes > m_limits.maxNodes) {
            m_result.status = kOutOfMemory;
            return nullptr;
        }
        siblings().push_back(std::move(node));
        return &siblings().back();
    }

    void addText(std::string value) {
        ParsedNode node;
        node.type = NodeType::Text;
        node.value = std::move(value);
        add(std::move(node));
    }

    void text() {
        const std::size_t end = std::min(m_text.find('<', m_pos), m_text.size());
        std::string_view raw = m_text.substr(m_pos, end - m_pos);
        m_pos = end;
        if (m_ignoreWhite) {
            bool blank = true;
            for (char c : raw)
                blank = blank && isSpace(c);
            if (blank)
                return;
        }
        addText(decodeEntities(raw));
    }

    // Finds terminator from m_pos; on success m_pos moves past it and the body is returned.
    bool until(std::string_view terminator, std::size_t bodyStart, std::string_view& body) {
        const std::size_t end = m_text.find(terminator, bodyStart);
        if (end == std::string_view::npos)
            return false;
        body = m_text.substr(bodyStart, end - bodyStart);
        m_pos = end + terminator.size();
        return true;
    }

    void markup() {
        std::string_view body;
        if (startsWith(m_text, m_pos, "<!--")) {
            if (!until("-->", m_pos + 4, body))
                m_result.status = kCommentUnterminated;
        } else if (startsWith(m_text, m_pos, "<![CDATA[")) {
            if (!until("]]>", m_pos + 9, body))
                m_result.status = kCdataUnterminated;
            else
                addText(std::string(body));
        } else if (startsWith(m_text, m_pos, "<!")) {
            const std::size_t start = m_pos;
            if (!until(">", m_pos + 2, body)) {
                m_result.status = kDocTypeUnterminated;
            } else {
                m_result.hasDocType = true;
                m_result.docTypeDecl = std::string(m_text.substr(start, m_pos - start));
            }
        } else if (startsWith(m_text, m_pos, "<?")) {
            const std::size_t start = m_pos;
            if (!until("?>", m_pos + 2, body)) {
                m_result.status = kXmlDeclUnterminated;
            } else if (startsWith(body, 0, "xml") && (body.size() == 3 || isSpace(body[3]))) {
                m_result.hasXmlDecl = true;
                m_result.xmlDecl = std::string(m_text.substr(start, m_pos - start));
            }
        } else if (startsWith(m_text, m_pos, "</")) {
            endTag();
        } else {
            startTag();
        }
    }

    std::string_view name() {
        const std::size_t start = m_pos;
        while (m_pos < m_text.size() && !isSpace(m_text[m_pos]) && m_text[m_pos] != '>' &&
               m_text[m_pos] != '/' && m_text[m_pos] != '=' && m_text[m_pos] != '<')
            ++m_pos;
        return m_text.substr(start, m_pos - start);
    }

    void skipSpace() {
        while (m_pos < m_text.size() && isSpace(m_text[m_pos]))
            ++m_pos;
    }

    void endTag() {
        m_pos += 2;
        std::string_view tag = name();
        skipSpace();
        if (m_pos >= m_text.size() || m_text[m_pos] != '>') {
            m_result.status = kMalformedElement;
            return;
        }
        ++m_pos;
        if (m_open.empty() || m_open.back()->name != tag) {
            m_result.status = kUnmatchedEndTag;
            return;
        }
        m_open.pop_back();
    }

    void startTag() {
        ++m_pos;
        ParsedNode node;
        node.name = std::string(name());
        if (node.name.empty()) {
            m_result.status = kMalformedElement;
            return;
        }
        for (;;) {
            skipSpace();
            if (m_pos >= m_text.size()) {
                m_result.status = kMalformedElement;
                return;
            }
            const char c = m_text[m_pos];
            if (c == '>' || c == '/')
                break;
            std::string_view key = name();
            skipSpace();
            if (key.empty() || m_pos >= m_text.size() || m_text[m_pos] != '=') {
                m_result.status = kMalformedElement;
                return;
            }
            ++m_pos;
            skipSpace();
            if (m_pos >= m_text.size() || (m_text[m_pos] != '"' && m_text[m_pos] != '\'')) {
                m_result.status = kMalformedElement;
                return;
            }
            const char quote = m_text[m_pos];
            const std::size_t end = m_text.find(quote, m_pos + 1);
            if (end == std::string_view::npos) {
                m_result.status = kAttributeUnterminated;
                return;
            }
            std::string value = decodeEntities(m_text.substr(m_pos + 1, end - m_pos - 1));
            m_pos = end + 1;
            // A repeated attribute keeps its first place and takes the later value.
            bool replaced = false;
            for (auto& [k, v] : node.attributes)
                if (k == key) {
                    v = value;
                    replaced = true;
                }
            if (!replaced)
                node.attributes.emplace_back(std::string(key), std::move(value));
        }
        bool empty = false;
        if (m_text[m_pos] == '/') {
            if (m_pos + 1 >= m_text.size() || m_text[m_pos + 1] != '>') {
                m_result.status = kMalformedElement;
                return;
            }
            empty = true;
            m_pos += 2;
        } else {
            ++m_pos;
        }
        if (!empty && int(m_open.size()) >= m_limits.maxDepth) {
            m_result.status = kOutOfMemory;
            return;
        }
        ParsedNode* added = add(std::move(node));
        if (added && !empty)
            m_open.push_back(added);
    }

    std::string_view m_text;
    bool m_ignoreWhite;
    ParseLimits m_limits;
    std::size_t m_pos = 0;
    std::size_t m_nodes = 0;
    // The elements open now, outermost first; each is the last child of the one before.
    std::vector<ParsedNode*> m_open;
    ParseResult m_result;
};

} // namespace

ParseResult parse(std::string_view text, bool ignoreWhite, const ParseLimits& limits) {
    return Parser(text, ignoreWhite, limits).run();
}

std::string decodeEntities(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        const std::size_t semicolon = c == '&' ? text.find(';', i + 1) : std::string_view::npos;
        if (semicolon == std::string_view::npos || semicolon - i > 12) {
            out += c;
            ++i;
            continue;
        }
        std::string_view body = text.substr(i + 1, semicolon - i - 1);
        uint32_t code = 0;
        if (body == "amp")
            out += '&';
        else if (body == "lt")
            out += '<';
        else if (body == "gt")
            out += '>';
        else if (body == "quot")
            out += '"';
        else if (body == "apos")
            out += '\'';
        else if (body == "nbsp")
            appendUtf8(out, 0xA0);
        else if (numericReference(body, code))
            appendUtf8(out, code);
        else {
            out += c;
            ++i;
            continue;
        }
        i = semicolon + 1;
    }
    return out;
}

std::string escapeText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace swivio::swf::avm1::xml
