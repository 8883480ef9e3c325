#pragma once

#include <agg_path_storage.h>

#include "swf/raster/hidden_rows.h"

namespace swivio::swf::raster {

// Copies a line path (moves, lines and closes, in pixels) into `out` without the lines
// whose stroke can only paint where later drawings cover: a line goes when its box, grown
// by `reach` (how far its stroke, its joins and a cap put where it was cut can paint from
// it, with a pixel of anti-aliasing), lies wholly under `hidden`. What is left of a
// closed path is kept as open paths that start and end at lines taken out, so the caps
// they gain fall where nothing shows.
void cutHiddenLines(const agg::path_storage& path, const HiddenRows& hidden, double reach,
                    agg::path_storage& out);

} // namespace swivio::swf::raster
