#include "swf/text/html_text.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <vector>

namespace swivio::swf::text {

namespace {

// Deeper nesting keeps its text but no longer stacks formats, bounding memory.
constexpr std::size_t kMaxNesting = 256;

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool isSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

bool isBlank(std::u16string_view s) {
    for (char16_t c : s)
        if (!isSpace(c))
            return false;
    return true;
}

struct Tag {
    std::string name; // lower case
    bool closing = false;
    bool malformed = false; // an attribute value outside quotes: reading stops here
    std::map<std::string, std::string> attributes; // names in lower case
};

// Reads a tag from just after '<'; pos ends after '>' (or at the end of input).
Tag readTag(std::string_view s, std::size_t& pos) {
    Tag tag;
    auto skipSpace = [&] {
        while (pos < s.size() && std::isspace(static_cast<unsigned char>(s[pos])))
            ++pos;
    };
    skipSpace();
    if (pos < s.size() && s[pos] == '/') {
        tag.closing = true;
        ++pos;
    }
    std::size_t start = pos;
    while (pos < s.size() && s[pos] != '>' && s[pos] != '/' &&
           !std::isspace(static_cast<unsigned char>(s[pos])))
        ++pos;
    tag.name = lower(s.substr(start, pos - start));
    while (pos < s.size() && s[pos] != '>') {
        skipSpace();
        if (pos < s.size() && s[pos] == '/') {
            ++pos;
            continue;
        }
        start = pos;
        while (pos < s.size() && s[pos] != '=' && s[pos] != '>' &&
               !std::isspace(static_cast<unsigned char>(s[pos])))
            ++pos;
        std::string name = lower(s.substr(start, pos - start));
        skipSpace();
        std::string value;
        if (pos < s.size() && s[pos] == '=') {
            ++pos;
            skipSpace();
            if (pos < s.size() && (s[pos] == '"' || s[pos] == '\'')) {
                const char quote = s[pos++];
                start = pos;
                while (pos < s.size() && s[pos] != quote)
                    ++pos;
                value = std::string(s.substr(start, pos - start));
                if (pos < s.size())
                    ++pos;
            } else {
                tag.malformed = true;
                return tag;
            }
        }
        if (!name.empty())
            tag.attributes.emplace(std::move(name), std::move(value));
        else if (pos < s.size() && s[pos] != '>')
            ++pos; // a stray character
    }
    if (pos < s.size())
        ++pos; // '>'
    return tag;
}

std::optional<double> parseNumber(std::string_view s) {
    std::string text(s);
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

// "#RRGGBB": a '#' first, spaces allowed after it, then hex digits up to the first other
// character, of which the last six count. Anything else is no colour.
std::optional<uint32_t> parseColor(std::string_view s) {
    if (s.empty() || s[0] != '#')
        return std::nullopt;
    std::size_t i = 1;
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])))
        ++i;
    uint32_t v = 0;
    bool any = false;
    for (; i < s.size() && std::isxdigit(static_cast<unsigned char>(s[i])); ++i) {
        const char c = char(std::tolower(static_cast<unsigned char>(s[i])));
        v = (v << 4) |
            uint32_t(std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : c - 'a' + 10);
        any = true;
    }
    if (!any)
        return std::nullopt;
    return v & 0xFFFFFF;
}

// Decodes an entity starting at '&'; false when it is not one (the '&' stays literal).
bool readEntity(std::string_view s, std::size_t& pos, std::u16string& out) {
    const std::size_t semi = s.find(';', pos);
    if (semi == std::string_view::npos || semi - pos > 10)
        return false;
    const std::string name = lower(s.substr(pos + 1, semi - pos - 1));
    uint32_t cp = 0;
    if (name == "lt")
        cp = '<';
    else if (name == "gt")
        cp = '>';
    else if (name == "amp")
        cp = '&';
    else if (name == "quot")
        cp = '"';
    else if (name == "apos")
        cp = '\'';
    else if (name == "nbsp")
        cp = 0xA0;
    else if (name.size() > 1 && name[0] == '#') {
        const bool hex = name[1] == 'x';
        const std::string digits = name.substr(hex ? 2 : 1);
        if (digits.empty())
            return false;
        for (char c : digits) {
            if (hex ? !std::isxdigit(static_cast<unsigned char>(c))
                    : !std::isdigit(static_cast<unsigned char>(c)))
                return false;
        }
        cp = uint32_t(std::strtoul(digits.c_str(), nullptr, hex ? 16 : 10));
        if (cp > 0xFFFF)
            cp = 0xFFFD;
    } else {
        return false;
    }
    out += char16_t(cp);
    pos = semi + 1;
    return true;
}

class HtmlReader {
public:
    HtmlReader(const TextFormat& base, const HtmlReadOptions& options) : m_options(options) {
        m_stack.push_back({"", base});
        // Older movies keep one space for white space that opens the text.
        m_lastSpace = !options.legacy;
    }

    FormattedText read(std::string_view s) {
        std::size_t pos = 0;
        while (pos < s.size()) {
            if (s[pos] == '<') {
                ++pos;
                if (s.substr(pos, 3) == "!--") {
                    const std::size_t end = s.find("-->", pos + 3);
                    pos = end == std::string_view::npos ? s.size() : end + 3;
                    continue;
                }
                const Tag tag = readTag(s, pos);
                if (tag.malformed)
                    break;
                handleTag(tag);
                continue;
            }
            std::u16string chunk;
            while (pos < s.size() && s[pos] != '<') {
                if (s[pos] == '&' && readEntity(s, pos, chunk))
                    continue;
                std::size_t start = pos;
                while (pos < s.size() && s[pos] != '<' && s[pos] != '&')
                    ++pos;
                if (pos == start)
                    ++pos; // a lone '&'
                chunk += toUtf16(s.substr(start, pos - start));
            }
            if (m_options.legacy && isBlank(chunk))
                continue;
            // Older movies condense each run of text between tags on its own.
            if (m_options.legacy)
                m_lastSpace = false;
            addText(chunk);
        }
        return std::move(m_out);
    }

private:
    struct Entry {
        std::string tag;
        TextFormat format;
    };

    const TextFormat& current() const { return m_stack.back().format; }

    void breakParagraph() {
        m_out.append(u"\r", current());
        m_lastSpace = true;
    }

    void addText(std::u16string_view chunk) {
        std::u16string text;
        for (std::size_t i = 0; i < chunk.size(); ++i) {
            const char16_t c = chunk[i];
            if (m_options.condenseWhite && isSpace(c)) {
                if (!m_lastSpace)
                    text += u' ';
                m_lastSpace = true;
                continue;
            }
            if (c == u'\r' || c == u'\n') {
                if (c == u'\r' && i + 1 < chunk.size() && chunk[i + 1] == u'\n')
                    ++i;
                flushText(text);
                breakParagraph();
                continue;
            }
            m_lastSpace = false;
            text += c;
        }
        flushText(text);
    }

    void flushText(std::u16string& text) {
        if (text.empty())
            return;
        m_out.append(text, current());
        text.clear();
    }

    void push(const std::string& tag, const TextFormat& format) {
        if (m_stack.size() >= kMaxNesting) {
            ++m_ignored;
            return;
        }
        m_stack.push_back({tag, format});
    }

    void pop(const std::string& tag) {
        if (m_ignored > 0) {
            --m_ignored;
            return;
        }
        for (std::size_t i = m_stack.size(); i-- > 1;) {
            if (m_stack[i].tag == tag) {
                m_stack.resize(i);
                return;
            }
        }
    }

    void applyStyle(TextFormat& f, const std::string& selector) {
        if (!m_options.styles)
            return;
        auto it = m_options.styles->find(selector);
        if (it != m_options.styles->end())
            f.apply(it->second);
    }

    void handleTag(const Tag& tag) {
        auto attr = [&](const char* name) -> const std::string* {
            auto it = tag.attributes.find(name);
            return it == tag.attributes.end() ? nullptr : &it->second;
        };
        const std::string& n = tag.name;
        const bool paragraph = n == "p" || n == "li";
        if (tag.closing) {
            // Only a multiline field ends a paragraph at its closing tag; a single-line
            // field runs paragraphs together.
            if (paragraph && (m_options.multiline ||
                              (m_options.legacy && !m_options.condenseWhite)))
                breakParagraph();
            if (paragraph || n == "font" || n == "b" || n == "i" || n == "u" || n == "a" ||
                n == "textformat" || n == "span")
                pop(n);
            return;
        }
        if (n == "br" || n == "sbr") {
            // A single-line field runs the lines together.
            if (m_options.multiline || m_options.legacy)
                breakParagraph();
            return;
        }
        TextFormat f = current();
        if (paragraph) {
            applyStyle(f, n);
            if (n == "li")
                f.bullet = true;
            if (const std::string* a = attr("align"))
                if (auto align = alignFromName(*a))
                    f.align = align;
            if (const std::string* c = attr("class"))
                applyStyle(f, "." + *c);
        } else if (n == "font") {
            if (const std::string* a = attr("face"))
                f.font = *a;
            if (const std::string* a = attr("size")) {
                if (auto v = parseNumber(*a)) {
                    const bool relative = !a->empty() && ((*a)[0] == '+' || (*a)[0] == '-');
                    f.size = relative ? f.size.value_or(12) + *v : *v;
                }
            }
            if (const std::string* a = attr("color"))
                if (auto c = parseColor(*a))
                    f.color = c;
            if (const std::string* a = attr("letterspacing"))
                if (auto v = parseNumber(*a))
                    f.letterSpacing = v;
            if (const std::string* a = attr("kerning"))
                if (auto v = parseNumber(*a))
                    f.kerning = *v != 0;
        } else if (n == "b") {
            f.bold = true;
        } else if (n == "i") {
            f.italic = true;
        } else if (n == "u") {
            f.underline = true;
        } else if (n == "a") {
            applyStyle(f, "a");
            if (const std::string* a = attr("href"))
                f.url = *a;
            if (const std::string* a = attr("target"))
                f.target = *a;
        } else if (n == "textformat") {
            auto number = [&](const char* name, std::optional<double>& into) {
                if (const std::string* a = attr(name))
                    if (auto v = parseNumber(*a))
                        into = v;
            };
            number("indent", f.indent);
            number("blockindent", f.blockIndent);
            number("leftmargin", f.leftMargin);
            number("rightmargin", f.rightMargin);
            number("leading", f.leading);
            if (const std::string* a = attr("tabstops")) {
                std::vector<double> stops;
                std::size_t start = 0;
                while (start <= a->size() && stops.size() < 1000) {
                    std::size_t comma = a->find(',', start);
                    if (comma == std::string::npos)
                        comma = a->size();
                    if (auto v = parseNumber(std::string_view(*a).substr(start, comma - start)))
                        stops.push_back(*v);
                    start = comma + 1;
                }
                f.tabStops = std::move(stops);
            }
        } else if (n == "span") {
            if (const std::string* c = attr("class"))
                applyStyle(f, "." + *c);
        } else {
            applyStyle(f, n);
            return; // unknown tags hold no format of their own
        }
        push(n, f);
    }

    const HtmlReadOptions& m_options;
    std::vector<Entry> m_stack;
    std::size_t m_ignored = 0;
    FormattedText m_out;
    bool m_lastSpace = true;
};

void escapeInto(std::string& out, std::u16string_view text) {
    for (char16_t c : text) {
        switch (c) {
        case u'<':
            out += "&lt;";
            break;
        case u'>':
            out += "&gt;";
            break;
        case u'&':
            out += "&amp;";
            break;
        case u'"':
            out += "&quot;";
            break;
        case u'\'':
            out += "&apos;";
            break;
        default:
            out += toUtf8(std::u16string_view(&c, 1));
        }
    }
}

std::string escapeAttribute(const std::string& s) {
    std::string out;
    escapeInto(out, toUtf16(s));
    return out;
}

std::string colorText(uint32_t color) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "#%06X", color & 0xFFFFFF);
    return buf;
}

std::string alignUpper(TextAlign a) {
    std::string s = alignName(a);
    for (char& c : s)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// The <FONT> attributes of f that differ from outer (all of them when outer is null).
std::string fontAttributes(const TextFormat& f, const TextFormat* outer) {
    std::string out;
    auto differs = [&](auto member) { return !outer || f.*member != outer->*member; };
    if (differs(&TextFormat::font))
        out += " FACE=\"" + escapeAttribute(f.font.value_or("")) + "\"";
    if (differs(&TextFormat::size))
        out += " SIZE=\"" + htmlNumber(f.size.value_or(12)) + "\"";
    if (differs(&TextFormat::color))
        out += " COLOR=\"" + colorText(f.color.value_or(0)) + "\"";
    if (differs(&TextFormat::letterSpacing))
        out += " LETTERSPACING=\"" + htmlNumber(f.letterSpacing.value_or(0)) + "\"";
    if (differs(&TextFormat::kerning))
        out += std::string(" KERNING=\"") + (f.kerning.value_or(false) ? "1" : "0") + "\"";
    return out;
}

// Runs of a text walked forward once, paragraph after paragraph.
struct RunCursor {
    std::size_t index = 0, start = 0;
    // Moves to the run holding position (the last run past the end).
    void seek(const FormattedText& text, std::size_t position) {
        const auto& runs = text.runs();
        while (index + 1 < runs.size() && start + runs[index].length <= position)
            start += runs[index++].length;
    }
};

void writeParagraph(std::string& out, const FormattedText& text, std::size_t begin, std::size_t end,
                    RunCursor& cursor) {
    cursor.seek(text, begin);
    const TextFormat& first = text.runs()[cursor.index].format;
    std::string textFormat;
    auto number = [&](const char* name, const std::optional<double>& v) {
        if (v && *v != 0)
            textFormat += std::string(" ") + name + "=\"" + htmlNumber(*v) + "\"";
    };
    number("LEFTMARGIN", first.leftMargin);
    number("RIGHTMARGIN", first.rightMargin);
    number("INDENT", first.indent);
    number("BLOCKINDENT", first.blockIndent);
    number("LEADING", first.leading);
    if (first.tabStops && !first.tabStops->empty()) {
        textFormat += " TABSTOPS=\"";
        for (std::size_t i = 0; i < first.tabStops->size(); ++i)
            textFormat += (i ? "," : "") + htmlNumber((*first.tabStops)[i]);
        textFormat += "\"";
    }
    if (!textFormat.empty())
        out += "<TEXTFORMAT" + textFormat + ">";
    const bool bullet = first.bullet.value_or(false);
    out +=
        bullet ? "<LI>" : "<P ALIGN=\"" + alignUpper(first.align.value_or(TextAlign::Left)) + "\">";
    out += "<FONT" + fontAttributes(first, nullptr) + ">";
    // An empty paragraph shows the tags of its end mark's format.
    const bool empty = begin == end && end < text.length();
    for (std::size_t i = cursor.index, pos = cursor.start; i < text.runs().size(); ++i) {
        const FormattedText::Run& run = text.runs()[i];
        const std::size_t from = std::max(pos, begin), to = std::min(pos + run.length, end);
        const bool holdsEnd = empty && end >= pos && end < pos + run.length;
        if (pos >= end && !holdsEnd)
            break;
        pos += run.length;
        if (from >= to && !holdsEnd)
            continue;
        const TextFormat& f = run.format;
        const std::string inner = fontAttributes(f, &first);
        std::string close;
        if (!inner.empty()) {
            out += "<FONT" + inner + ">";
            close = "</FONT>" + close;
        }
        if (f.url && !f.url->empty()) {
            out += "<A HREF=\"" + escapeAttribute(*f.url) + "\" TARGET=\"" +
                   escapeAttribute(f.target.value_or("")) + "\">";
            close = "</A>" + close;
        }
        if (f.bold.value_or(false)) {
            out += "<B>";
            close = "</B>" + close;
        }
        if (f.italic.value_or(false)) {
            out += "<I>";
            close = "</I>" + close;
        }
        if (f.underline.value_or(false)) {
            out += "<U>";
            close = "</U>" + close;
        }
        escapeInto(out, std::u16string_view(text.text()).substr(from, to - from));
        out += close;
    }
    out += "</FONT>";
    out += bullet ? "</LI>" : "</P>";
    if (!textFormat.empty())
        out += "</TEXTFORMAT>";
}

} // namespace

FormattedText readHtml(std::string_view html, const TextFormat& base,
                       const HtmlReadOptions& options) {
    HtmlReader reader(base, options);
    return reader.read(html);
}

std::string writeHtml(const FormattedText& text) {
    std::string out;
    const std::u16string& s = text.text();
    RunCursor cursor;
    std::size_t begin = 0;
    while (begin < s.size()) {
        std::size_t end = begin;
        while (end < s.size() && s[end] != u'\r' && s[end] != u'\n')
            ++end;
        writeParagraph(out, text, begin, end, cursor);
        begin = end + 1;
    }
    return out;
}

std::string htmlNumber(double value) {
    if (!std::isfinite(value))
        return "0";
    if (value == std::floor(value) && std::fabs(value) < 1e15) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.0f", value);
        return buf;
    }
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.6f", value);
    std::string s = buf;
    while (!s.empty() && s.back() == '0')
        s.pop_back();
    if (!s.empty() && s.back() == '.')
        s.pop_back();
    return s;
}

} // namespace swivio::swf::text
