#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "swf/format/edit_text.h"
#include "swf/format/font.h"
#include "swf/text/formatted_text.h"
#include "swf/text/glyph_font.h"
#include "swf/text/html_text.h"
#include "swf/text/text_layout.h"

namespace swivio::swf::text {

// A movie's embedded fonts by name, for fields that draw with them.
class EmbeddedFontSet {
public:
    explicit EmbeddedFontSet(std::vector<std::shared_ptr<const Font>> fonts);
    // The font of that name (case-insensitive), preferring the given style; null if none
    // has glyphs.
    std::shared_ptr<const GlyphFont> find(const std::string& name, bool bold, bool italic) const;

private:
    std::vector<std::shared_ptr<const EmbeddedFont>> m_fonts;
};

enum class AutoSize { None, Left, Center, Right };

// A text field's state: its box, its formatted content and the switches scripts change, and
// the layout they give. Positions and sizes in pixels unless named twips.
class EditField {
public:
    // definition: the field's tag; fontName: the name of its font (empty for none), whose
    // style (bold, italic) the default format takes; fonts: the movie's embedded fonts, may
    // be null.
    EditField(const EditText& definition, std::string fontName,
              std::shared_ptr<const EmbeddedFontSet> fonts, bool bold = false, bool italic = false);

    // The box in twips, in the field's own space. A script's width and height set it.
    Rect bounds;
    bool html = false, multiline = false, wordWrap = false, password = false;
    bool selectable = true, editable = false, border = false, background = false;
    bool embedFonts = false, condenseWhite = false, mouseWheelEnabled = true;
    // Read htmlText and lay out trailing spaces as movies before SWF 8 do (HtmlReadOptions,
    // LayoutOptions); call changed() after setting it.
    bool legacyHtml = false;
    uint32_t borderColor = 0, backgroundColor = 0xFFFFFF;
    int maxChars = 0; // 0: no limit
    std::string variable;
    AutoSize autoSize = AutoSize::None;
    int scroll = 1;  // the top visible line, 1-based
    int hscroll = 0; // pixels
    // The format new text takes (getNewTextFormat).
    TextFormat newFormat;
    // Settings scripts read back that do not move text.
    std::optional<std::string> restrict;
    std::string antiAliasType = "normal", gridFitType = "pixel";
    double sharpness = 0, thickness = 0;
    uint32_t textColor = 0; // the last colour given to the whole field
    // The tag's text: what a variable the field is newly bound to starts with.
    std::string initialText;
    // The selection in UTF-16 units: its fixed end and the caret (where typing goes). Either
    // may lie past the text after a change; readers clamp them.
    std::size_t selectionAnchor = 0;
    std::size_t caret = 0;

    const FormattedText& content() const { return m_content; }
    std::string text() const; // paragraphs end with '\r'
    // Plain text in newFormat; '\r' and '\n' each end a paragraph.
    void setText(std::string_view utf8);
    std::string htmlText() const;
    void setHtmlText(std::string_view html, const StyleMap* styles = nullptr);
    // Replaces [begin, end) with plain text in the format of the first replaced character
    // (or newFormat when the field is empty).
    void replaceText(std::size_t begin, std::size_t end, std::string_view utf8);
    void setFormat(std::size_t begin, std::size_t end, const TextFormat& format);

    // The layout of the current content (made again after any change).
    const TextLayout& layout();
    // Call after changing a switch that moves text (wordWrap, multiline, password, bounds,
    // autoSize, embedFonts): the layout is made again and autoSize applies.
    void changed();
    uint64_t revision() const { return m_revision; }

    double width() const { return (bounds.xMax - bounds.xMin) / 20.0; }
    double height() const { return (bounds.yMax - bounds.yMin) / 20.0; }
    void setWidth(double pixels);
    void setHeight(double pixels);

    int maxScroll();
    int bottomScroll();
    int maxHScroll();

    std::shared_ptr<const GlyphFont> fontFor(const TextFormat& format) const;

    // Twips autoSize moved the box's left edge (center and right sizes move it) since the last
    // call; the box is moved back, so the owner moves the field itself by that much instead.
    int32_t takeAutoSizeShift();

private:
    void contentChanged();
    void applyAutoSize();

    FormattedText m_content;
    std::shared_ptr<const EmbeddedFontSet> m_fonts;
    std::optional<TextLayout> m_layout;
    uint64_t m_revision = 1;
    int32_t m_autoSizeShift = 0;
};

} // namespace swivio::swf::text
