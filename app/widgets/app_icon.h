#pragma once

#include <QIcon>

namespace swivio::app {

// The program's icon, drawn (a film frame with a play mark), so that it needs no image
// plugin; the installed desktop entry uses the same picture as an SVG file.
QIcon appIcon();

} // namespace swivio::app
