#pragma once

namespace swivio::app {

struct FitRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// A movie of mw x mh shown in an area of aw x ah: as large as fits with the aspect kept,
// centred. Empty when either size is empty.
FitRect fitMovie(int mw, int mh, int aw, int ah);

// A point of the area mapped to stage pixels of the movie by inverting the fit; false when
// the point lies outside the picture.
bool areaToStage(const FitRect& fit, int mw, int mh, double ax, double ay, double& sx,
                 double& sy);

} // namespace swivio::app
