#pragma once

#include <cstddef>

namespace swivio::swf {
class DisplayObject;
}

namespace swivio::swf::avm1 {

// The place between characters of a text field nearest a stage point, in twips: where a
// click puts the caret and a drag moves it. A point above the text finds its first line, one
// below its last; left of a line its start, right of it its end.
std::size_t fieldIndexAt(DisplayObject& field, double stageX, double stageY);

} // namespace swivio::swf::avm1
