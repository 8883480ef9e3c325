#pragma once

#include "swf/format/font.h"
#include "swf/format/shape.h"
#include "swf/format/types.h"
#include "swf/player/display_object.h"

namespace swivio::swf {

// Whether the point (x, y), in the shape's twips, lies on what the shape paints: inside a
// fill by the shape's winding rule, or within half a stroke's width of a line. A hairline
// (width 0) is hit within hairlineHalfWidth twips.
bool shapeContains(const Shape& shape, double x, double y, double hairlineHalfWidth = 0);

// Whether the stage point (x, y), in twips, lies on what object and everything below it
// draws, each part under its matrix: shapes, morph shapes, text glyphs and drawings, with
// masks (by clip depth or by script) limiting what they mask and not counting themselves.
// toStage maps the object's space to the stage's; fonts lay out texts.
bool objectContains(const DisplayObject& object, const Matrix& toStage, double x, double y,
                    const FontLookup& fonts);

// objectContains for an object where it stands in its tree: false for an object that masks
// another, and only inside the masks (by script or by clip depth) of it and its parents.
bool objectHit(const DisplayObject& object, double x, double y, const FontLookup& fonts);

} // namespace swivio::swf
