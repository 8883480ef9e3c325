#pragma once

#include <map>
#include <string>
#include <string_view>

#include "swf/text/formatted_text.h"
#include "swf/text/text_format.h"

namespace swivio::swf::text {

// Formats by CSS selector ("p", ".note"), as a style sheet gives them.
using StyleMap = std::map<std::string, TextFormat>;

struct HtmlReadOptions {
    bool condenseWhite = false; // runs of white space become one space; line ends vanish
    bool multiline = true;      // a closing </p> or </li>, and <br>, end a paragraph
    // Movies before SWF 8: text between tags that is only white space is dropped, and a
    // closing </p> or </li> (unless white space is condensed), and <br>, end a paragraph in
    // any field.
    bool legacy = false;
    const StyleMap* styles = nullptr;
};

// Reads the HTML subset text fields accept (p, font, b, i, u, a, br, li, textformat, span
// and entities) into text, starting from base (every field set). Unknown tags are skipped
// and unclosed ones end with the input; an attribute value outside quotes ends the reading
// there; nesting deeper than a bound stops adding formats but keeps the text.
FormattedText readHtml(std::string_view html, const TextFormat& base,
                       const HtmlReadOptions& options = {});

// The htmlText a field reports: one <P> (or <LI>) per paragraph, inside <TEXTFORMAT> when a
// paragraph has margins, indents, leading or tab stops, with the paragraph's first format as
// its <FONT> and nested tags where later runs differ. No text gives an empty string.
std::string writeHtml(const FormattedText& text);

// A number as htmlText writes it: integers plainly, others with up to six decimals.
std::string htmlNumber(double value);

} // namespace swivio::swf::text
