#pragma once

#include <cstdint>
#include <vector>

#include <agg_path_storage.h>

#include "swf/raster/hidden_rows.h"

namespace swivio::swf::raster {

// Takes out of a line path (moves, lines and closes, in pixels) the lines whose stroke can
// only paint where later drawings cover: a line goes when its box, grown by `reach` (how far
// its stroke, its joins and a cap put where it was cut can paint from it, with a pixel of
// anti-aliasing), lies wholly under the hidden pieces. What is left of a closed path is kept
// as open paths that start and end at lines taken out, so the caps they gain fall where
// nothing shows. Keeps its buffers from path to path.
class StrokeCutter {
public:
    // Writes the path without its hidden lines to `out`; whether any line was hidden (when
    // none was, `out` is the path as it was).
    bool cut(const agg::path_storage& path, const HiddenRows& hidden, double reach,
             agg::path_storage& out);

private:
    struct Vertex {
        double x, y;
    };
    // Marks the hidden lines of the subpath in m_points; whether any is.
    bool markSubpath(bool closed, const HiddenRows& hidden, double reach);
    void emitSubpath(bool closed, agg::path_storage& out) const;

    std::vector<Vertex> m_points;  // the subpath being read
    std::vector<uint8_t> m_hidden; // per line of it
};

} // namespace swivio::swf::raster
