#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "base/result.h"
#include "settings/conversion_settings.h"

namespace swivio {

class PictureImage;

// A watermark rectangle: offset from the crop rectangle's top-left corner, and size, in
// movie pixels.
struct WatermarkRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Where a newly chosen picture goes: its own size, shrunk with its aspect ratio kept until
// it fits half the crop's width and height, in the crop's top-left corner; never below one
// pixel.
WatermarkRect defaultWatermarkRect(int pictureWidth, int pictureHeight, int cropWidth,
                                   int cropHeight);

// A watermark as the user chose it. Unset options keep what the settings hold.
struct WatermarkChoice {
    std::string file;
    std::optional<WatermarkRect> rect; // default: defaultWatermarkRect
    std::optional<uint32_t> transparentColor; // 0x00BBGGRR, turns the colour key on
    std::optional<int> opacity;               // 0 to 255, turns the blending on
};

// Loads the picture as the crop and watermark dialog does and turns the watermark on with
// the choice's file, rectangle, colour key and opacity. Fails, leaving the settings as they
// were, with loadWatermarkPicture's message followed by the file and the cause, or when the
// rectangle is empty or the opacity outside 0 to 255. The picture comes back for whoever
// draws it.
Result<std::shared_ptr<PictureImage>> setWatermark(ConversionSettings& settings,
                                                   const WatermarkChoice& choice);

} // namespace swivio
