#pragma once

#include "swf/format/types.h"

namespace swivio::swf {
class DisplayObject;
}

namespace swivio::swf::avm1 {

// The object's matrix to the stage as scripts see it: each level's scale and rotation held
// to sixteenths of sixteen bits, the offsets summed up in whole twips.
Matrix scriptStageMatrix(const DisplayObject& object);

// A point in twips mapped through m to whole twips: the linear part and the offset are
// each rounded, then added.
void mapToTwips(const Matrix& m, double& x, double& y);

} // namespace swivio::swf::avm1
