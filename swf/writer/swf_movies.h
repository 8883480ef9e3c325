#pragma once

#include <cstdint>
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "swf/writer/swf_writer.h"

namespace swivio::swf::writer {

// What a PlaceObject2 or PlaceObject3 tag carries. Unset fields are left out of the tag.
struct Place {
    uint16_t depth = 1;
    std::optional<uint16_t> character;
    bool move = false;
    bool hasMatrix = false;
    double scaleX = 1, scaleY = 1, rotateSkew0 = 0, rotateSkew1 = 0;
    int32_t translateX = 0, translateY = 0; // twips
    // CXFORMWITHALPHA: multipliers (256 = 1.0) and additions, red, green, blue, alpha.
    bool hasColorTransform = false;
    int mult[4] = {256, 256, 256, 256};
    int add[4] = {0, 0, 0, 0};
    std::optional<uint16_t> ratio;
    std::optional<std::string> name;
    std::optional<uint16_t> clipDepth;
    // PlaceObject3 only.
    std::optional<uint8_t> blendMode;
    std::vector<uint8_t> filterList; // a whole FILTERLIST (count first); empty for none
    std::optional<bool> visible;
    std::optional<bool> cacheAsBitmap;
    // A whole CLIPACTIONS (see clipActions()); empty for none.
    std::vector<uint8_t> clipActions;

    Place& at(uint16_t d) {
        depth = d;
        return *this;
    }
    Place& of(uint16_t id) {
        character = id;
        return *this;
    }
    Place& translate(int32_t x, int32_t y) {
        hasMatrix = true;
        translateX = x;
        translateY = y;
        return *this;
    }
    Place& scale(double sx, double sy) {
        hasMatrix = true;
        scaleX = sx;
        scaleY = sy;
        return *this;
    }
    Place& moving() {
        move = true;
        return *this;
    }
    Place& colorTransform(std::initializer_list<int> m, std::initializer_list<int> a) {
        hasColorTransform = true;
        std::copy(m.begin(), m.end(), mult);
        std::copy(a.begin(), a.end(), add);
        return *this;
    }
};

std::vector<uint8_t> placeObject2(const Place& place);
std::vector<uint8_t> placeObject3(const Place& place);
// PlaceObject (the first): character, depth, matrix (translation only) and optionally a
// CXFORM without alpha.
std::vector<uint8_t> placeObject1(uint16_t character, uint16_t depth, int32_t tx = 0,
                                  int32_t ty = 0);
std::vector<uint8_t> removeObject2(uint16_t depth);
std::vector<uint8_t> removeObject1(uint16_t character, uint16_t depth);
// A blur FILTERLIST of one filter, blur in pixels.
std::vector<uint8_t> blurFilterList(double blurX, double blurY);

// One clip event handler: the events as the 32-bit CLIPEVENTFLAGS field stores them read
// little-endian (bit 0 load ... bit 17 key press, bit 18 construct), a key code for a key
// press, and the action bytes.
struct ClipAction {
    uint32_t events = 0;
    uint8_t keyCode = 0;
    std::vector<uint8_t> actions;
};
// CLIPACTIONS for PlaceObject2/3: the flags 16 bits wide up to SWF 5, 32 from SWF 6.
std::vector<uint8_t> clipActions(const std::vector<ClipAction>& handlers, int swfVersion);

// Script tags' bodies.
std::vector<uint8_t> doInitAction(uint16_t spriteId, const std::vector<uint8_t>& actions);
std::vector<uint8_t> exportAssets(const std::vector<std::pair<uint16_t, std::string>>& names);
// ImportAssets (or, with version2, ImportAssets2 and its two reserved bytes): the URL of the
// movie, then the ids here and the names exported there.
std::vector<uint8_t> importAssets(const std::string& url,
                                  const std::vector<std::pair<uint16_t, std::string>>& names,
                                  bool version2 = false);
constexpr uint16_t kImportAssetsCode = 57;
constexpr uint16_t kImportAssets2Code = 71;
std::vector<uint8_t> scriptLimits(uint16_t maxRecursionDepth, uint16_t timeoutSeconds);
std::vector<uint8_t> frameLabel(const std::string& name);

// The control tags of a sprite (or of any timeline), frame by frame.
class SpriteBuilder {
public:
    SpriteBuilder& tag(TagCode code, const std::vector<uint8_t>& body);
    SpriteBuilder& tag(uint16_t code, const std::vector<uint8_t>& body);
    SpriteBuilder& place(const Place& p) { return tag(TagCode::PlaceObject2, placeObject2(p)); }
    SpriteBuilder& remove(uint16_t depth) {
        return tag(TagCode::RemoveObject2, removeObject2(depth));
    }
    SpriteBuilder& showFrame();
    int frames() const { return m_frames; }
    // The DefineSprite body: id, frame count, the tags and End.
    std::vector<uint8_t> defineSprite(uint16_t id) const;

private:
    std::vector<uint8_t> m_tags;
    int m_frames = 0;
};

// Shorthand for movies: place with PlaceObject2.
inline SwfWriter& place(SwfWriter& w, const Place& p) {
    return w.tag(TagCode::PlaceObject2, placeObject2(p));
}

// Code for the tags the writer does not name.
constexpr uint16_t kRemoveObjectCode = 5;
constexpr uint16_t kPlaceObjectCode = 4;

} // namespace swivio::swf::writer

namespace swivio::swf::writer {

// A DefineFont body (the first version): glyph shapes as plain SHAPE records (see
// ShapeBuilder::glyphShape), in an EM square of 1024 units.
std::vector<uint8_t> defineFont1(uint16_t id, const std::vector<std::vector<uint8_t>>& glyphs);

// One line of static text: font, height (twips), colour, baseline position and glyphs
// (index, advance in twips).
struct TextLine {
    uint16_t fontId = 1;
    uint16_t height = 400;
    uint8_t r = 0, g = 0, b = 0, a = 255;
    int16_t x = 0, y = 0;
    std::vector<std::pair<uint32_t, int32_t>> glyphs;
};

// A DefineText2 body (RGBA colours) with an identity text matrix.
std::vector<uint8_t> defineText2(uint16_t id, int32_t xMin, int32_t xMax, int32_t yMin,
                                 int32_t yMax, const std::vector<TextLine>& lines);

// DefineBitsLossless(2): header, then zlib of (colour table +) pixel rows given raw, as the
// format stores them (the caller lays out the padding). colourTableSize is the real count.
std::vector<uint8_t> losslessBody(uint8_t format, uint16_t width, uint16_t height,
                                  const std::vector<uint8_t>& rawData, int colorTableSize = 0);
// The same with the compressed data given (for damaged or truncated streams).
std::vector<uint8_t> losslessBodyCompressed(uint8_t format, uint16_t width, uint16_t height,
                                            const std::vector<uint8_t>& compressed,
                                            int colorTableSize = 0);

} // namespace swivio::swf::writer
