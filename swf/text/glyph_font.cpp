#include "swf/text/glyph_font.h"

#include <algorithm>

namespace swivio::swf::text {

EmbeddedFont::EmbeddedFont(std::shared_ptr<const Font> font)
    : m_font(std::move(font)), m_scale(kEm / m_font->emSquare()) {
    for (std::size_t i = 0; i < m_font->glyphs.size(); ++i)
        m_index.emplace(char16_t(m_font->glyphs[i].code), i);
    for (const KerningPair& k : m_font->kerning)
        m_kerning[{char16_t(k.left), char16_t(k.right)}] = k.adjustment;
}

double EmbeddedFont::ascent() const {
    return m_font->ascent * m_scale;
}
double EmbeddedFont::descent() const {
    return m_font->descent * m_scale;
}
double EmbeddedFont::leading() const {
    return m_font->leading * m_scale;
}

double EmbeddedFont::advance(char16_t c) const {
    auto it = m_index.find(c);
    if (it == m_index.end())
        return 0;
    return m_font->glyphs[it->second].advance * m_scale;
}

double EmbeddedFont::kerning(char16_t left, char16_t right) const {
    auto it = m_kerning.find({left, right});
    return it == m_kerning.end() ? 0 : it->second * m_scale;
}

std::shared_ptr<const Shape> EmbeddedFont::outline(char16_t c) const {
    auto cached = m_outlines.find(c);
    if (cached != m_outlines.end())
        return cached->second;
    auto it = m_index.find(c);
    std::shared_ptr<const Shape> shape;
    if (it != m_index.end()) {
        auto s = std::make_shared<Shape>(glyphShape(*m_font, it->second, Rgba{255, 255, 255, 255}));
        if (m_scale != 1.0) {
            auto scale = [&](int32_t v) { return int32_t(v * m_scale); };
            for (StyleGroup& g : s->groups)
                for (Edge& e : g.edges) {
                    e.x0 = scale(e.x0), e.y0 = scale(e.y0), e.cx = scale(e.cx);
                    e.cy = scale(e.cy), e.x1 = scale(e.x1), e.y1 = scale(e.y1);
                }
            s->bounds = {scale(s->bounds.xMin), scale(s->bounds.xMax), scale(s->bounds.yMin),
                         scale(s->bounds.yMax)};
        }
        shape = std::move(s);
    }
    m_outlines.emplace(c, shape);
    return shape;
}

} // namespace swivio::swf::text
