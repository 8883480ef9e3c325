#include "source/flv_request.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace swivio {

namespace {

class Cursor {
public:
    explicit Cursor(std::string_view text) : m_text(text) {}
    bool take(std::string_view word) {
        if (m_text.substr(m_pos, word.size()) != word)
            return false;
        m_pos += word.size();
        return true;
    }
    // The text up to `end` (not taken), or nothing when `end` never comes.
    std::optional<std::string_view> until(std::string_view end) {
        const std::size_t at = m_text.find(end, m_pos);
        if (at == std::string_view::npos)
            return std::nullopt;
        std::string_view text = m_text.substr(m_pos, at - m_pos);
        m_pos = at;
        return text;
    }
    bool done() const { return m_pos == m_text.size(); }

private:
    std::string_view m_text;
    std::size_t m_pos = 0;
};

// Decodes the five XML entities once ("&amp;lt;" is "&lt;"); nothing for any other '&'.
std::optional<std::string> decodeEntities(std::string_view text) {
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == '<' || text[i] == '>')
            return std::nullopt;
        if (text[i] != '&') {
            out += text[i++];
            continue;
        }
        bool known = false;
        for (const auto& [entity, c] : kEntities) {
            if (text.substr(i, entity.size()) == entity) {
                out += c;
                i += entity.size();
                known = true;
                break;
            }
        }
        if (!known)
            return std::nullopt;
    }
    return out;
}

std::optional<double> parseNumber(std::string_view text) {
    if (text.empty() || text.size() > 64)
        return std::nullopt;
    const std::string copy(text);
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(copy.c_str(), &end);
    if (*end != '\0' || errno != 0 || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::string escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else
            out += c;
    }
    return out;
}

} // namespace

std::optional<FlvRequest> parseFlvRequest(const std::string& text) {
    Cursor in(text);
    FlvRequest request;
    if (!in.take("<invoke name=\""))
        return std::nullopt;
    const auto name = in.until("\"");
    if (!name || name->empty() || name->find_first_of("<>&") != std::string_view::npos)
        return std::nullopt;
    request.name = std::string(*name);
    if (!in.take("\" returntype=\"xml\"><arguments>"))
        return std::nullopt;
    for (;;) {
        if (in.take("</arguments></invoke>"))
            return in.done() ? std::optional<FlvRequest>(std::move(request)) : std::nullopt;
        if (in.take("<string>")) {
            const auto body = in.until("</string>");
            std::optional<std::string> value = body ? decodeEntities(*body) : std::nullopt;
            if (!value || !in.take("</string>"))
                return std::nullopt;
            request.arguments.emplace_back(std::move(*value));
        } else if (in.take("<number>")) {
            const auto body = in.until("</number>");
            std::optional<double> value = body ? parseNumber(*body) : std::nullopt;
            if (!value || !in.take("</number>"))
                return std::nullopt;
            request.arguments.emplace_back(*value);
        } else {
            return std::nullopt;
        }
    }
}

std::string makeFlvRequest(const std::string& name,
                           const std::vector<FlvRequest::Argument>& arguments) {
    std::string out = "<invoke name=\"" + name + "\" returntype=\"xml\"><arguments>";
    for (const FlvRequest::Argument& a : arguments) {
        if (const auto* s = std::get_if<std::string>(&a)) {
            out += "<string>" + escape(*s) + "</string>";
        } else {
            char number[32];
            const double v = std::clamp(std::get<double>(a), -2147483648.0, 2147483647.0);
            std::snprintf(number, sizeof number, "%d", std::isnan(v) ? 0 : int(v));
            out += "<number>" + std::string(number) + "</number>";
        }
    }
    return out + "</arguments></invoke>";
}

} // namespace swivio
