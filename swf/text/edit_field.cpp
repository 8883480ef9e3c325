#include "swf/text/edit_field.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace swivio::swf::text {

namespace {

bool sameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

class FieldFonts final : public FontResolver {
public:
    explicit FieldFonts(const EditField& field) : m_field(field) {}
    std::shared_ptr<const GlyphFont> resolve(const TextFormat& format) override {
        return m_field.fontFor(format);
    }

private:
    const EditField& m_field;
};

constexpr double kTwip = 0.05;

int32_t toTwips(double pixels) {
    if (!std::isfinite(pixels))
        return 0;
    return int32_t(std::clamp(std::round(pixels * 20), -1e8, 1e8));
}

} // namespace

EmbeddedFontSet::EmbeddedFontSet(std::vector<std::shared_ptr<const Font>> fonts) {
    for (auto& f : fonts)
        if (f && !f->glyphs.empty())
            m_fonts.push_back(std::make_shared<const EmbeddedFont>(std::move(f)));
}

std::shared_ptr<const GlyphFont> EmbeddedFontSet::find(const std::string& name, bool bold,
                                                       bool italic) const {
    std::shared_ptr<const GlyphFont> any;
    for (const auto& f : m_fonts) {
        if (!sameName(f->font().name, name))
            continue;
        if (f->font().bold == bold && f->font().italic == italic)
            return f;
        if (!any)
            any = f;
    }
    return any;
}

EditField::EditField(const EditText& def, std::string fontName,
                     std::shared_ptr<const EmbeddedFontSet> fonts, bool bold, bool italic)
    : m_fonts(std::move(fonts)) {
    bounds = def.bounds;
    html = def.html;
    multiline = def.multiline;
    wordWrap = def.wordWrap;
    password = def.password;
    selectable = !def.noSelect;
    editable = !def.readOnly;
    border = def.border;
    background = def.border; // a bordered field is filled white
    embedFonts = def.useOutlines;
    maxChars = def.hasMaxLength ? def.maxLength : 0;
    variable = def.variableName;
    autoSize = def.autoSize ? AutoSize::Left : AutoSize::None;
    if (fontName.empty())
        fontName = "Times New Roman";
    newFormat = TextFormat::defaults(std::move(fontName),
                                     def.hasFont || def.hasFontClass ? def.height / 20.0 : 12.0);
    if (def.hasTextColor)
        newFormat.color =
            (uint32_t(def.color.r) << 16) | (uint32_t(def.color.g) << 8) | def.color.b;
    newFormat.bold = bold;
    newFormat.italic = italic;
    textColor = newFormat.color.value_or(0);
    if (def.hasLayout) {
        // Scripts see whole pixels.
        auto pixels = [](double twips) { return std::nearbyint(twips / 20.0); };
        newFormat.align = TextAlign(int(def.align));
        newFormat.leftMargin = pixels(def.leftMargin);
        newFormat.rightMargin = pixels(def.rightMargin);
        newFormat.indent = pixels(def.indent);
        newFormat.leading = pixels(def.leading);
    }
    if (def.hasText) {
        initialText = def.initialText;
        if (html)
            setHtmlText(def.initialText);
        else
            setText(def.initialText);
    }
    contentChanged();
    m_autoSizeShift = 0; // the tag's box is where the field starts
}

std::shared_ptr<const GlyphFont> EditField::fontFor(const TextFormat& format) const {
    const std::string name = format.font.value_or("");
    const bool bold = format.bold.value_or(false), italic = format.italic.value_or(false);
    if (embedFonts && m_fonts)
        if (auto f = m_fonts->find(name, bold, italic))
            return f;
    return DeviceFonts::shared().font(name, bold, italic);
}

std::string EditField::text() const {
    return toUtf8(m_content.text());
}

void EditField::setText(std::string_view utf8) {
    // "\r\n" ends two paragraphs, as each of its characters alone does.
    std::u16string s = toUtf16(utf8);
    for (char16_t& c : s)
        if (c == u'\n')
            c = u'\r';
    m_content.clear();
    m_content.append(s, newFormat);
    contentChanged();
}

std::string EditField::htmlText() const {
    if (!html)
        return text();
    return writeHtml(m_content);
}

void EditField::setHtmlText(std::string_view source, const StyleMap* styles) {
    if (!html) {
        setText(source);
        return;
    }
    HtmlReadOptions options;
    options.condenseWhite = condenseWhite;
    options.multiline = multiline;
    options.legacy = legacyHtml;
    options.styles = styles;
    // Bold, italic and underline come from the markup's own tags.
    TextFormat base = newFormat;
    base.bold = base.italic = base.underline = false;
    m_content = readHtml(source, base, options);
    contentChanged();
}

void EditField::replaceText(std::size_t begin, std::size_t end, std::string_view utf8) {
    const TextFormat format =
        m_content.length() == 0 ? newFormat : m_content.formatAt(std::min(begin, end));
    std::u16string s = toUtf16(utf8);
    for (char16_t& c : s)
        if (c == u'\n')
            c = u'\r';
    m_content.replace(begin, end, s, format);
    contentChanged();
}

void EditField::setFormat(std::size_t begin, std::size_t end, const TextFormat& format) {
    m_content.applyFormat(begin, end, format);
    contentChanged();
}

void EditField::contentChanged() {
    changed();
}

void EditField::changed() {
    ++m_revision;
    m_layout.reset();
    applyAutoSize();
}

const TextLayout& EditField::layout() {
    if (!m_layout) {
        FieldFonts fonts(*this);
        LayoutOptions options;
        options.width = width();
        options.wordWrap = wordWrap;
        options.multiline = multiline;
        options.password = password;
        options.legacy = legacyHtml;
        m_layout = layoutText(m_content, options, fonts);
    }
    return *m_layout;
}

void EditField::applyAutoSize() {
    if (autoSize == AutoSize::None)
        return;
    const TextLayout& l = layout();
    if (!wordWrap) {
        const int32_t w = toTwips(l.textWidth + 2 * kGutter);
        const int32_t old = bounds.xMax - bounds.xMin;
        const int32_t shift = autoSize == AutoSize::Center  ? (old - w) / 2
                              : autoSize == AutoSize::Right ? old - w
                                                            : 0;
        bounds.xMin += shift;
        bounds.xMax = bounds.xMin + w;
        m_autoSizeShift += shift;
    }
    bounds.yMax = bounds.yMin + toTwips(l.textHeight + 2 * kGutter);
    m_layout.reset(); // the width may have changed where lines break
}

int32_t EditField::takeAutoSizeShift() {
    const int32_t shift = m_autoSizeShift;
    m_autoSizeShift = 0;
    bounds.xMin -= shift;
    bounds.xMax -= shift;
    return shift;
}

// A script's sizes are whole twips, the fraction dropped.
void EditField::setWidth(double pixels) {
    bounds.xMax = bounds.xMin + std::max(0, toTwips(std::trunc(pixels * 20) / 20));
    changed();
}

void EditField::setHeight(double pixels) {
    bounds.yMax = bounds.yMin + std::max(0, toTwips(std::trunc(pixels * 20) / 20));
    changed();
}

int EditField::maxScroll() {
    const TextLayout& l = layout();
    const double visible = height() - 2 * kGutter;
    const double total =
        l.lines.empty() ? 0 : l.lines.back().top + l.lines.back().ascent + l.lines.back().descent;
    // The first line from which the rest fits (a twip of slack for the box's rounding).
    std::size_t first = 0;
    while (first + 1 < l.lines.size() && total - l.lines[first].top > visible + kTwip)
        ++first;
    return int(first) + 1;
}

int EditField::bottomScroll() {
    const TextLayout& l = layout();
    const std::size_t top = std::clamp<std::size_t>(std::size_t(std::max(scroll, 1) - 1), 0,
                                                    l.lines.empty() ? 0 : l.lines.size() - 1);
    const double visible = height() - 2 * kGutter;
    const double start = l.lines.empty() ? 0 : l.lines[top].top;
    std::size_t last = top;
    for (std::size_t i = top; i < l.lines.size(); ++i) {
        if (l.lines[i].top + l.lines[i].ascent + l.lines[i].descent - start > visible + kTwip &&
            i > top)
            break;
        last = i;
    }
    return int(last) + 1;
}

int EditField::maxHScroll() {
    const TextLayout& l = layout();
    return std::max(0, int(std::lround(l.textWidth - (width() - 2 * kGutter))));
}

} // namespace swivio::swf::text
