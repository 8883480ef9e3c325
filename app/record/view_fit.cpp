#include "app/record/view_fit.h"

namespace swivio::app {

FitRect fitMovie(int mw, int mh, int aw, int ah) {
    FitRect fit;
    if (mw <= 0 || mh <= 0 || aw <= 0 || ah <= 0)
        return fit;
    // Compared in 64 bits: a wide movie fills the width, a tall one the height.
    if (static_cast<long long>(mw) * ah >= static_cast<long long>(aw) * mh) {
        fit.width = aw;
        fit.height = static_cast<int>(static_cast<long long>(aw) * mh / mw);
    } else {
        fit.height = ah;
        fit.width = static_cast<int>(static_cast<long long>(ah) * mw / mh);
    }
    if (fit.width < 1)
        fit.width = 1;
    if (fit.height < 1)
        fit.height = 1;
    fit.x = (aw - fit.width) / 2;
    fit.y = (ah - fit.height) / 2;
    return fit;
}

bool areaToStage(const FitRect& fit, int mw, int mh, double ax, double ay, double& sx,
                 double& sy) {
    if (fit.width <= 0 || fit.height <= 0)
        return false;
    sx = (ax - fit.x) * mw / fit.width;
    sy = (ay - fit.y) * mh / fit.height;
    return sx >= 0 && sy >= 0 && sx < mw && sy < mh;
}

} // namespace swivio::app
