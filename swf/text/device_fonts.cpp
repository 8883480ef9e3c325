#include <algorithm>
#include <cctype>
#include <set>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include "swf/text/glyph_font.h"

namespace swivio::swf::text {

namespace {

// Owners of the C handles: each releases its handle once.
template <typename T, void (*Release)(T*)> struct Deleter {
    void operator()(T* p) const {
        if (p)
            Release(p);
    }
};
void releaseLibrary(FT_LibraryRec_* p) {
    FT_Done_FreeType(p);
}
void releaseFace(FT_FaceRec_* p) {
    FT_Done_Face(p);
}
using LibraryOwner = std::unique_ptr<FT_LibraryRec_, Deleter<FT_LibraryRec_, releaseLibrary>>;
using FaceOwner = std::unique_ptr<FT_FaceRec_, Deleter<FT_FaceRec_, releaseFace>>;
using FcConfigOwner = std::unique_ptr<FcConfig, Deleter<FcConfig, FcConfigDestroy>>;
using FcPatternOwner = std::unique_ptr<FcPattern, Deleter<FcPattern, FcPatternDestroy>>;
using FcFontSetOwner = std::unique_ptr<FcFontSet, Deleter<FcFontSet, FcFontSetDestroy>>;
using FcObjectSetOwner = std::unique_ptr<FcObjectSet, Deleter<FcObjectSet, FcObjectSetDestroy>>;

std::string lower(std::string s) {
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Metrics of a plain sans face, for a machine with no usable font file.
class FallbackFont final : public GlyphFont {
public:
    double ascent() const override { return 0.905 * kEm; }
    double descent() const override { return 0.212 * kEm; }
    double leading() const override { return 0.033 * kEm; }
    bool hasGlyph(char16_t) const override { return true; }
    double advance(char16_t c) const override { return c == u' ' ? 0.278 * kEm : 0.556 * kEm; }
    double kerning(char16_t, char16_t) const override { return 0; }
    std::shared_ptr<const Shape> outline(char16_t) const override { return nullptr; }
};

// A FreeType face read in font units and scaled to the 1024 square.
class FreeTypeFont final : public GlyphFont {
public:
    explicit FreeTypeFont(FaceOwner face) : m_face(std::move(face)) {
        const double unitsPerEm = m_face->units_per_EM ? m_face->units_per_EM : 2048;
        m_scale = kEm / unitsPerEm;
        // The OS/2 Windows metrics are what the platform's text used for line height.
        m_ascent = m_face->ascender * m_scale;
        m_descent = -m_face->descender * m_scale;
        m_leading = std::max(0.0, m_face->height * m_scale - m_ascent - m_descent);
    }
    double ascent() const override { return m_ascent; }
    double descent() const override { return m_descent; }
    double leading() const override { return m_leading; }
    bool hasGlyph(char16_t c) const override {
        std::lock_guard lock(m_mutex);
        return FT_Get_Char_Index(m_face.get(), c) != 0;
    }
    double advance(char16_t c) const override {
        std::lock_guard lock(m_mutex);
        auto it = m_advances.find(c);
        if (it != m_advances.end())
            return it->second;
        double a = 0;
        const FT_UInt index = FT_Get_Char_Index(m_face.get(), c);
        if (FT_Load_Glyph(m_face.get(), index, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING) == 0)
            a = m_face->glyph->advance.x * m_scale;
        m_advances.emplace(c, a);
        return a;
    }
    double kerning(char16_t left, char16_t right) const override {
        std::lock_guard lock(m_mutex);
        if (!FT_HAS_KERNING(m_face.get()))
            return 0;
        FT_Vector k{};
        FT_Get_Kerning(m_face.get(), FT_Get_Char_Index(m_face.get(), left),
                       FT_Get_Char_Index(m_face.get(), right), FT_KERNING_UNSCALED, &k);
        return k.x * m_scale;
    }
    std::shared_ptr<const Shape> outline(char16_t c) const override;

private:
    FaceOwner m_face;
    double m_scale = 1, m_ascent = 0, m_descent = 0, m_leading = 0;
    mutable std::mutex m_mutex;
    mutable std::map<char16_t, double> m_advances;
    mutable std::map<char16_t, std::shared_ptr<const Shape>> m_outlines;
};

struct OutlineWriter {
    double scale;
    std::vector<Edge>* edges;
    int32_t x = 0, y = 0;
    int32_t px(const FT_Vector* v) const { return int32_t(v->x * scale); }
    int32_t py(const FT_Vector* v) const { return int32_t(-v->y * scale); }

    static int moveTo(const FT_Vector* to, void* user) {
        auto* w = static_cast<OutlineWriter*>(user);
        w->x = w->px(to), w->y = w->py(to);
        return 0;
    }
    static int lineTo(const FT_Vector* to, void* user) {
        auto* w = static_cast<OutlineWriter*>(user);
        Edge e;
        e.x0 = w->x, e.y0 = w->y, e.x1 = w->px(to), e.y1 = w->py(to);
        e.fill1 = 1;
        w->edges->push_back(e);
        w->x = e.x1, w->y = e.y1;
        return 0;
    }
    static int conicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
        auto* w = static_cast<OutlineWriter*>(user);
        Edge e;
        e.x0 = w->x, e.y0 = w->y, e.cx = w->px(control), e.cy = w->py(control);
        e.x1 = w->px(to), e.y1 = w->py(to);
        e.curved = true;
        e.fill1 = 1;
        w->edges->push_back(e);
        w->x = e.x1, w->y = e.y1;
        return 0;
    }
    // A cubic becomes one quadratic through the midpoint of its control points: close enough
    // at text sizes.
    static int cubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
        FT_Vector mid{(c1->x + c2->x) / 2, (c1->y + c2->y) / 2};
        return conicTo(&mid, to, user);
    }
};

std::shared_ptr<const Shape> FreeTypeFont::outline(char16_t c) const {
    std::lock_guard lock(m_mutex);
    auto cached = m_outlines.find(c);
    if (cached != m_outlines.end())
        return cached->second;
    std::shared_ptr<const Shape> result;
    const FT_UInt index = FT_Get_Char_Index(m_face.get(), c);
    if (index != 0 &&
        FT_Load_Glyph(m_face.get(), index, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING) == 0 &&
        m_face->glyph->format == FT_GLYPH_FORMAT_OUTLINE) {
        auto shape = std::make_shared<Shape>();
        StyleGroup& group = shape->groups.emplace_back();
        FillStyle fill;
        fill.type = FillType::Solid;
        fill.color = Rgba{255, 255, 255, 255};
        group.fills.push_back(fill);
        OutlineWriter writer{m_scale, &group.edges};
        FT_Outline_Funcs funcs{};
        funcs.move_to = &OutlineWriter::moveTo;
        funcs.line_to = &OutlineWriter::lineTo;
        funcs.conic_to = &OutlineWriter::conicTo;
        funcs.cubic_to = &OutlineWriter::cubicTo;
        FT_Outline_Decompose(&m_face->glyph->outline, &funcs, &writer);
        // Glyph contours do not overlap, so even-odd filling draws them as non-zero would.
        shape->nonZeroWinding = false;
        FT_BBox box{};
        FT_Outline_Get_CBox(&m_face->glyph->outline, &box);
        shape->bounds = {int32_t(box.xMin * m_scale), int32_t(box.xMax * m_scale),
                         int32_t(-box.yMax * m_scale), int32_t(-box.yMin * m_scale)};
        result = std::move(shape);
    }
    m_outlines.emplace(c, result);
    return result;
}

} // namespace

std::string deviceFamilyFor(const std::string& name) {
    const std::string n = lower(name);
    if (n == "_sans" || n == "arial" || n == "helvetica" || n == "liberation sans")
        return "Liberation Sans";
    if (n == "_serif" || n == "times new roman" || n == "times" || n == "liberation serif")
        return "Liberation Serif";
    if (n == "_typewriter" || n == "courier new" || n == "courier" || n == "liberation mono")
        return "Liberation Mono";
    if (n == "verdana" || n == "dejavu sans")
        return "DejaVu Sans";
    return "DejaVu Sans";
}

struct DeviceFonts::Library {
    LibraryOwner freetype;
    FcConfigOwner config;
};

DeviceFonts& DeviceFonts::shared() {
    static DeviceFonts fonts;
    return fonts;
}

DeviceFonts::DeviceFonts() : m_library(std::make_unique<Library>()) {
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) == 0)
        m_library->freetype.reset(library);
    m_library->config.reset(FcInitLoadConfigAndFonts());
}

DeviceFonts::~DeviceFonts() {
    m_fonts.clear(); // faces go before their library
}

std::shared_ptr<const GlyphFont> DeviceFonts::font(const std::string& name, bool bold,
                                                   bool italic) {
    std::lock_guard lock(m_mutex);
    const std::string family = deviceFamilyFor(name);
    const std::string key = family + (bold ? "|b" : "|") + (italic ? "i" : "");
    auto it = m_fonts.find(key);
    if (it != m_fonts.end())
        return it->second;
    std::shared_ptr<const GlyphFont> result;
    if (m_library->freetype && m_library->config) {
        FcPatternOwner pattern(FcPatternCreate());
        FcPatternAddString(pattern.get(), FC_FAMILY,
                           reinterpret_cast<const FcChar8*>(family.c_str()));
        FcPatternAddInteger(pattern.get(), FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
        FcPatternAddInteger(pattern.get(), FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        FcConfigSubstitute(m_library->config.get(), pattern.get(), FcMatchPattern);
        FcDefaultSubstitute(pattern.get());
        FcResult res = FcResultNoMatch;
        FcPatternOwner match(FcFontMatch(m_library->config.get(), pattern.get(), &res));
        FcChar8* file = nullptr;
        int faceIndex = 0;
        if (match && FcPatternGetString(match.get(), FC_FILE, 0, &file) == FcResultMatch) {
            FcPatternGetInteger(match.get(), FC_INDEX, 0, &faceIndex);
            FT_Face face = nullptr;
            if (FT_New_Face(m_library->freetype.get(), reinterpret_cast<const char*>(file),
                            faceIndex, &face) == 0)
                result = std::make_shared<FreeTypeFont>(FaceOwner(face));
        }
    }
    if (!result)
        result = std::make_shared<FallbackFont>();
    m_fonts.emplace(key, result);
    return result;
}

std::vector<std::string> DeviceFonts::familyNames() {
    std::lock_guard lock(m_mutex);
    std::set<std::string> names;
    if (m_library->config) {
        FcPatternOwner pattern(FcPatternCreate());
        FcObjectSetOwner objects(FcObjectSetBuild(FC_FAMILY, nullptr));
        FcFontSetOwner set(FcFontList(m_library->config.get(), pattern.get(), objects.get()));
        for (int i = 0; set && i < set->nfont; ++i) {
            FcChar8* family = nullptr;
            if (FcPatternGetString(set->fonts[i], FC_FAMILY, 0, &family) == FcResultMatch)
                names.insert(reinterpret_cast<const char*>(family));
        }
    }
    return {names.begin(), names.end()};
}

} // namespace swivio::swf::text
