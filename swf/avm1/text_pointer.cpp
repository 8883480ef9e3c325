#include "swf/avm1/text_pointer.h"

#include <algorithm>

#include "swf/avm1/display_bounds.h"
#include "swf/player/display_object.h"
#include "swf/text/edit_field.h"

namespace swivio::swf::avm1 {

std::size_t fieldIndexAt(DisplayObject& field, double stageX, double stageY) {
    if (!field.editField)
        return 0;
    text::EditField& f = *field.editField;
    const text::TextLayout& layout = f.layout();
    if (layout.lines.empty())
        return 0;
    const Matrix toField = inverted(stageMatrix(field));
    // Pixels from the box's corner, then into the text as scrolled.
    const double x = (toField.mapX(stageX, stageY) - f.bounds.xMin) / 20 + f.hscroll;
    double y = (toField.mapY(stageX, stageY) - f.bounds.yMin) / 20 - text::kGutter;
    const std::size_t first =
        std::min(std::size_t(std::max(f.scroll, 1) - 1), layout.lines.size() - 1);
    y += layout.lines[first].top;
    const text::LayoutLine& line = y < 0 ? layout.lines.front() : layout.lines[layout.lineAt(y)];
    // Glyphs stand for the line's characters in order; a paragraph's end has none.
    for (std::size_t i = 0; i < line.glyphs.size(); ++i)
        if (x < line.glyphs[i].x + line.glyphs[i].advance / 2)
            return line.begin + i;
    return line.begin + line.glyphs.size();
}

} // namespace swivio::swf::avm1
