#pragma once

#include <cstdint>
#include <vector>

#include "base/bit_reader.h"
#include "base/byte_reader.h"
#include "swf/format/filter.h"
#include "swf/format/shape.h"
#include "swf/format/types.h"

namespace swivio::swf {

// Readers for the small records that shapes, morph shapes, fonts, texts and placements share.
// Each reads from the reader's current position, which must be a byte boundary (the records
// are byte-aligned; their bit fields are read most significant bit first), and leaves the
// reader at the next byte boundary. A read past the end fails the reader (ByteReader's sticky
// failure) and gives zeros; callers check ok() once after a whole record.
//
// shapeVersion is the N of DefineShapeN (1..4): it decides RGB against RGBA colours, extended
// style counts and LineStyle2.

Rect readRect(ByteReader& in);
Matrix readMatrix(ByteReader& in);
Rgba readRgb(ByteReader& in);
Rgba readRgba(ByteReader& in);
// Alpha first, as bitmaps' colour tables and some filters store it.
Rgba readArgb(ByteReader& in);
// CXFORM (withAlpha false) or CXFORMWITHALPHA: multipliers become 1.0 per 256.
ColorTransform readColorTransform(ByteReader& in, bool withAlpha);

// GRADIENT or FOCALGRADIENT (focal true): spread, interpolation and the stops. Colours are
// RGBA from shape version 3 on.
Gradient readGradient(ByteReader& in, int shapeVersion, bool focal);
// One FILLSTYLE. Unknown fill types fail the reader.
FillStyle readFillStyle(ByteReader& in, int shapeVersion);
// FILLSTYLEARRAY: a count (255 means a 16-bit count follows, shapes 2 and later) and styles.
std::vector<FillStyle> readFillStyleArray(ByteReader& in, int shapeVersion);
// LINESTYLE (shapes 1-3) or LINESTYLE2 (shape 4).
LineStyle readLineStyle(ByteReader& in, int shapeVersion);
std::vector<LineStyle> readLineStyleArray(ByteReader& in, int shapeVersion);

// FILTERLIST of PlaceObject3: a count and the filters. Unknown filter types fail the reader.
std::vector<Filter> readFilterList(ByteReader& in);

// Maps PlaceObject3's blend mode number to the enumeration; 0, 1 and unknown values are normal.
BlendMode blendModeFromByte(uint8_t value);

} // namespace swivio::swf
