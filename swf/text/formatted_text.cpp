#include "swf/text/formatted_text.h"

#include <algorithm>

namespace swivio::swf::text {

void FormattedText::splitAt(std::size_t index) {
    std::size_t pos = 0;
    for (std::size_t i = 0; i < m_runs.size(); ++i) {
        if (index > pos && index < pos + m_runs[i].length) {
            Run tail{pos + m_runs[i].length - index, m_runs[i].format};
            m_runs[i].length = index - pos;
            m_runs.insert(m_runs.begin() + std::ptrdiff_t(i) + 1, std::move(tail));
            return;
        }
        pos += m_runs[i].length;
    }
}

void FormattedText::merge() {
    std::vector<Run> merged;
    for (Run& r : m_runs) {
        if (r.length == 0)
            continue;
        if (!merged.empty() && merged.back().format == r.format)
            merged.back().length += r.length;
        else
            merged.push_back(std::move(r));
    }
    m_runs = std::move(merged);
}

void FormattedText::replace(std::size_t begin, std::size_t end, std::u16string_view text,
                            const TextFormat& format) {
    end = std::min(end, length());
    begin = std::min(begin, end);
    splitAt(begin);
    splitAt(end);
    std::vector<Run> runs;
    std::size_t pos = 0;
    bool inserted = false;
    for (Run& r : m_runs) {
        if (pos >= begin && !inserted) {
            runs.push_back({text.size(), format});
            inserted = true;
        }
        if (pos < begin || pos >= end)
            runs.push_back(r);
        pos += r.length;
    }
    if (!inserted)
        runs.push_back({text.size(), format});
    m_runs = std::move(runs);
    m_text.replace(begin, end - begin, text);
    merge();
}

void FormattedText::append(std::u16string_view text, const TextFormat& format) {
    if (text.empty())
        return;
    m_text.append(text);
    if (!m_runs.empty() && m_runs.back().format == format)
        m_runs.back().length += text.size();
    else
        m_runs.push_back({text.size(), format});
}

std::pair<std::size_t, std::size_t> FormattedText::paragraphAt(std::size_t index) const {
    index = std::min(index, length());
    std::size_t begin = index;
    while (begin > 0 && m_text[begin - 1] != u'\r')
        --begin;
    std::size_t end = index;
    while (end < length() && m_text[end] != u'\r')
        ++end;
    return {begin, std::min(end + 1, length())};
}

void FormattedText::applyFormat(std::size_t begin, std::size_t end, const TextFormat& format) {
    end = std::min(end, length());
    begin = std::min(begin, end);
    if (begin == end)
        return;
    TextFormat character = format;
    character.align.reset();
    character.leftMargin.reset();
    character.rightMargin.reset();
    character.indent.reset();
    character.blockIndent.reset();
    character.leading.reset();
    character.tabStops.reset();
    character.bullet.reset();
    TextFormat paragraph;
    paragraph.align = format.align;
    paragraph.leftMargin = format.leftMargin;
    paragraph.rightMargin = format.rightMargin;
    paragraph.indent = format.indent;
    paragraph.blockIndent = format.blockIndent;
    paragraph.leading = format.leading;
    paragraph.tabStops = format.tabStops;
    paragraph.bullet = format.bullet;
    auto applyRange = [this](std::size_t from, std::size_t to, const TextFormat& f) {
        splitAt(from);
        splitAt(to);
        std::size_t pos = 0;
        for (Run& r : m_runs) {
            if (pos >= from && pos < to)
                r.format.apply(f);
            pos += r.length;
        }
    };
    applyRange(begin, end, character);
    if (paragraph != TextFormat{}) {
        const std::size_t pBegin = paragraphAt(begin).first;
        const std::size_t pEnd = paragraphAt(end - 1).second;
        applyRange(pBegin, pEnd, paragraph);
    }
    merge();
}

TextFormat FormattedText::formatAt(std::size_t index) const {
    if (m_runs.empty())
        return TextFormat{};
    std::size_t pos = 0;
    for (const Run& r : m_runs) {
        if (index < pos + r.length)
            return r.format;
        pos += r.length;
    }
    return m_runs.back().format;
}

TextFormat FormattedText::commonFormat(std::size_t begin, std::size_t end) const {
    end = std::min(end, length());
    if (begin >= end)
        return formatAt(begin);
    TextFormat common = formatAt(begin);
    std::size_t pos = 0;
    for (const Run& r : m_runs) {
        if (pos + r.length > begin && pos < end)
            common.intersect(r.format);
        pos += r.length;
    }
    return common;
}

std::u16string toUtf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        uint32_t cp = 0xFFFD;
        std::size_t n = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c >> 5) == 6 && i + 1 < s.size()) {
            cp = ((c & 0x1F) << 6) | (s[i + 1] & 0x3F);
            n = 2;
        } else if ((c >> 4) == 14 && i + 2 < s.size()) {
            cp = ((c & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F);
            n = 3;
        } else if ((c >> 3) == 30 && i + 3 < s.size()) {
            cp = ((c & 0x07) << 18) | ((s[i + 1] & 0x3F) << 12) | ((s[i + 2] & 0x3F) << 6) |
                 (s[i + 3] & 0x3F);
            n = 4;
        }
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            cp -= 0x10000;
            out += char16_t(0xD800 + (cp >> 10));
            out += char16_t(0xDC00 + (cp & 0x3FF));
        } else {
            out += char16_t(cp > 0xFFFF ? 0xFFFD : cp);
        }
        i += n;
    }
    return out;
}

std::string toUtf8(std::u16string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        uint32_t cp = s[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        if (cp < 0x80) {
            out += char(cp);
        } else if (cp < 0x800) {
            out += char(0xC0 | (cp >> 6));
            out += char(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += char(0xE0 | (cp >> 12));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        } else {
            out += char(0xF0 | (cp >> 18));
            out += char(0x80 | ((cp >> 12) & 0x3F));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

} // namespace swivio::swf::text
