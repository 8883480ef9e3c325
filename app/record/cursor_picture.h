#pragma once

#include <QCursor>
#include <QImage>
#include <QPoint>

#include <optional>

#include "capture/interactive_recording.h"

namespace swivio::app {

// The picture of a pointer as the recording draws it, placed with its hot spot at (x, y):
// the cursor's own bitmap when it has one, otherwise a drawing of the standard shape the
// view shows (arrow, pointing hand, text beam; other shapes as the arrow). A standard
// shape's picture is not available from the window system, hence the drawings. Nullopt for
// a hidden pointer.
std::optional<CursorPicture> cursorPicture(const QCursor& cursor, int x, int y);

// `image` (any format) as a cursor picture with its hot spot at `hotSpot` of the image.
CursorPicture cursorPictureFromImage(const QImage& image, QPoint hotSpot);

} // namespace swivio::app
