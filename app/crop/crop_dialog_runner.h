#pragma once

#include "app/settings/crop_dialog_call.h"

namespace swivio {
class MovieSource;
}

namespace swivio::app {

// The Video page's "&Setting..." runs the crop and watermark dialog over the movie that
// player() answers at the time (a snapshot of its current frame; none when it answers null).
CropDialogRunner cropDialogOver(std::function<MovieSource*()> player);

} // namespace swivio::app
