#pragma once

#include <QApplication>

#include <string>

namespace swivio::testkit {

// The one QApplication of a test program, on the offscreen platform unless one is chosen.
QApplication& testApplication();

// Writes a movie of `frames` frames at 12 frames per second, 550 x 400 pixels, whose
// background-coloured stage shows a square that moves one step a frame; false when the
// file could not be written.
bool writeTestMovie(const std::string& path, int frames);

} // namespace swivio::testkit
