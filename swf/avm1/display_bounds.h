#pragma once

#include <optional>

#include "swf/format/types.h"
#include "swf/player/display_object.h"

namespace swivio::swf::avm1 {

// A box in twips; empty when nothing was added.
struct Bounds {
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    bool empty = true;
    void add(double x, double y);
    void add(const Bounds& other);
};

// What the object and its children cover, mapped through transform (their own matrices are
// applied below it): shapes, morph shapes, texts and button up states by their bounds.
// Without strokes, drawings count their outlines only (getRect).
Bounds displayBounds(const DisplayObject& object, const Matrix& transform, bool strokes = true);

// The object's matrix times every parent's: from its space to the stage's.
Matrix stageMatrix(const DisplayObject& object);

// Matrix inverse; the identity's translation for a singular one.
Matrix inverted(const Matrix& m);

} // namespace swivio::swf::avm1
