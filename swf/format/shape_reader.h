#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/byte_reader.h"
#include "base/result.h"
#include "swf/format/shape.h"

namespace swivio::swf {

// Upper bound on the edges of one shape. Flash Player refuses shapes beyond limits of its
// own; this bound keeps a damaged or hostile shape record from growing without end (an edge
// costs 32 bytes here, so the bound is 16 MiB per shape).
constexpr std::size_t kMaxShapeEdges = 512 * 1024;

// Reads shape records (SHAPE: NumFillBits, NumLineBits, then style-change and edge records
// up to the end record) into groups. Edges get absolute twip coordinates.
//
// shapeVersion 1..4 reads records of DefineShapeN: a style-change record with new styles reads
// new fill and line arrays and starts a new StyleGroup, and fill and line indices past the
// group's arrays are dropped (read as 0). shapeVersion 0 reads a plain SHAPE as font glyphs
// and morph shapes hold it: no style arrays, indices kept as read, the new-styles flag
// ignored. groups must hold at least one group; the first receives the records until the
// first new styles. Fails with a message when the records are damaged or hold more than
// kMaxShapeEdges edges; the edges read until then stay in groups.
Status readShapeRecords(ByteReader& in, int shapeVersion, std::vector<StyleGroup>& groups);

// SHAPEWITHSTYLE: fill styles, line styles and the records of DefineShapeN.
Result<Shape> readShapeWithStyle(ByteReader& in, int shapeVersion);

// A plain SHAPE, as a font glyph holds it: one group with no styles; edges carry fill1 (or
// fill0) 1 where the glyph is filled.
Result<Shape> readGlyphShape(ByteReader& in);

// The body of DefineShape, DefineShape2, DefineShape3 or DefineShape4 after the character id:
// bounds (and DefineShape4's edge bounds and flags), then SHAPEWITHSTYLE.
Result<Shape> parseDefineShape(uint16_t tagCode, ByteReader& body);

} // namespace swivio::swf
