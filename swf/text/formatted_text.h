#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "swf/text/text_format.h"

namespace swivio::swf::text {

// A field's content: UTF-16 characters (indices are what scripts count) in runs that share a
// format. Paragraphs end at '\r'. Every run's format has every field set.
class FormattedText {
public:
    struct Run {
        std::size_t length = 0;
        TextFormat format;
    };

    const std::u16string& text() const { return m_text; }
    std::size_t length() const { return m_text.size(); }
    const std::vector<Run>& runs() const { return m_runs; }

    // Replaces [begin, end) (clamped) with text in one format.
    void replace(std::size_t begin, std::size_t end, std::u16string_view text,
                 const TextFormat& format);
    // Adds text at the end in constant time (per character), as readers build text.
    void append(std::u16string_view text, const TextFormat& format);
    void clear() {
        m_text.clear();
        m_runs.clear();
    }
    // Sets what format holds over [begin, end) (clamped); paragraph fields (align, margins,
    // indents, leading, tab stops, bullet) apply to every paragraph the range touches.
    void applyFormat(std::size_t begin, std::size_t end, const TextFormat& format);
    // The format of the character at index (the last one's past the end); null-free default
    // when empty.
    TextFormat formatAt(std::size_t index) const;
    // The fields that are the same over [begin, end); formatAt(begin) for an empty range.
    TextFormat commonFormat(std::size_t begin, std::size_t end) const;
    // [begin, end) of the paragraph holding index.
    std::pair<std::size_t, std::size_t> paragraphAt(std::size_t index) const;

private:
    void splitAt(std::size_t index); // a run boundary at index
    void merge();                    // joins neighbours of the same format

    std::u16string m_text;
    std::vector<Run> m_runs;
};

// UTF-8 <-> UTF-16; bad UTF-8 bytes become U+FFFD.
std::u16string toUtf16(std::string_view utf8);
std::string toUtf8(std::u16string_view utf16);

} // namespace swivio::swf::text
