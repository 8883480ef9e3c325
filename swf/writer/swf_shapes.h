#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "swf/writer/swf_writer.h"

namespace swivio::swf::writer {

// Builds DefineShape bodies (character id, bounds, SHAPEWITHSTYLE) and plain SHAPE records
// record by record. Coordinates are twips; moveTo is absolute, lineTo and curveTo take
// absolute end points and write the deltas a file holds.
class ShapeBuilder {
public:
    // version is the N of DefineShapeN (1..4); colours are RGB below 3.
    explicit ShapeBuilder(int version = 3) : m_version(version) { m_groups.emplace_back(); }

    // Styles of the current group; each returns its 1-based index.
    int solidFill(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255);
    // A linear (or radial) gradient of two or more stops: {ratio, r, g, b, a}.
    struct Stop {
        uint8_t ratio, r, g, b, a;
    };
    int gradientFill(bool radial, const std::vector<Stop>& stops, double scale = 1, int32_t tx = 0,
                     int32_t ty = 0);
    int bitmapFill(uint16_t bitmapId, uint8_t type = 0x41, double scale = 20);
    int lineStyle(uint16_t width, uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255);

    // Starts a new group of styles (a style-change record with new styles).
    ShapeBuilder& newStyles();
    // Style-change record: the styles of the following edges (-1 leaves one unchanged).
    ShapeBuilder& styles(int fill0, int fill1, int line = -1);
    ShapeBuilder& moveTo(int32_t x, int32_t y);
    ShapeBuilder& lineTo(int32_t x, int32_t y);
    ShapeBuilder& curveTo(int32_t cx, int32_t cy, int32_t x, int32_t y);
    // A closed rectangle path from (x0, y0) clockwise on screen (y grows down) or not.
    ShapeBuilder& rectangle(int32_t x0, int32_t y0, int32_t x1, int32_t y1, bool clockwise = true);

    // The DefineShapeN tag body.
    std::vector<uint8_t> defineShape(uint16_t id, int32_t xMin, int32_t xMax, int32_t yMin,
                                     int32_t yMax) const;
    // The tag code for this version.
    uint16_t tagCode() const;
    // The records alone, as a plain SHAPE (font glyphs): 1-bit fill and line indices, no
    // style arrays. Style indices used must be 0 or 1.
    std::vector<uint8_t> glyphShape() const;

private:
    struct Op {
        enum Kind { Styles, Move, Line, Curve, NewStyles } kind;
        int a = 0, b = 0, c = 0, d = 0;
    };
    struct Group {
        std::vector<std::vector<uint8_t>> fills;
        std::vector<std::vector<uint8_t>> lines;
    };
    void writeStyles(SwfBits& bits, const Group& group) const;
    void writeRecords(SwfBits& bits, bool glyph) const;

    int m_version;
    std::vector<Group> m_groups;
    std::vector<Op> m_ops;
    int32_t m_x = 0, m_y = 0;
};

// A DefineShape3 body: a rectangle filled with one colour (fill 1, drawn clockwise).
std::vector<uint8_t> rectangleShape(uint16_t id, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                                    uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255);

} // namespace swivio::swf::writer
