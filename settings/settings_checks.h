#pragma once

#include <optional>
#include <string>

#include "base/result.h"
#include "settings/conversion_settings.h"

namespace swivio {

// The checks and choices that shape a conversion once a movie is open (resetForMovie has
// run), shared by the settings sheet, the crop dialog and the command line. Each leaves
// the settings unchanged when it fails, and says why in words for the user.

inline constexpr char kInvalidFrameRateMessage[] = "Invalid frame rate!";
inline constexpr char kNoAudioForImagesMessage[] = "There's no audio for image series!";

// A pixel size.
struct FrameSize {
    int width = 0;
    int height = 0;
};

// The output target: a file for AVI and MPEG (created when converting), a folder for the
// picture series (created now when missing), for an animated GIF a file whose name ends in
// ".gif" or the folder it goes into. Empty `output` keeps the name resetForMovie made
// beside the movie.
Status setOutputTarget(ConversionSettings& settings, const std::string& output);

// The working folder of the temporary frame files: `folder` (which must exist), or with
// an empty one the folder of the output.
Status setWorkingFolder(ConversionSettings& settings, const std::string& folder);

// The crop rectangle in movie pixels; it must lie inside the movie.
Status setCropRectangle(ConversionSettings& settings, int x, int y, int width, int height);

// The output frame size of AVI and picture output: `size`, or the crop's own without one.
// With keepAspect the height follows the width by the crop's aspect ratio. MPEG output has
// the size of its preset and refuses one. At least 4 x 2 pixels.
Status setFrameSize(ConversionSettings& settings, std::optional<FrameSize> size, bool keepAspect);

// The output frame rate of AVI and picture output: `rate`, or with `original` the movie's
// rate truncated to whole frames. MPEG output has the rate of its preset and refuses one.
Status setFrameRate(ConversionSettings& settings, std::optional<float> rate, bool original);

// What a conversion needs of the movie itself: a picture area and a frame rate.
Status checkMovieForConversion(const ConversionSettings& settings);

} // namespace swivio
