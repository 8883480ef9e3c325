#pragma once

#include "swf/player/display_object.h"

namespace swivio::swf::avm1 {

// The pointer at stage pixel (mouseX, mouseY) in the object's space, in whole twips: the x
// coordinate when `x`, else the y. As _xmouse and _ymouse report it, the object's placement
// on the stage counts in whole pixels, and an object scaled to nothing sees the pointer's
// pixels as twips.
double localMouse(const DisplayObject& object, double mouseX, double mouseY, bool x);

} // namespace swivio::swf::avm1
