#pragma once

#include <cstdint>
#include <string>

#include "settings/conversion_settings.h"

namespace swivio {

// The size the video file's frame-size choice asks for: 1280 x 720 or 1920 x 1080 (the
// crop is letterboxed into it), or the AVI frame size; odd sizes lose their last column or
// row, since 4:2:0 pictures need even ones.
struct VideoFrameRequest {
    int32_t width = 0;
    int32_t height = 0;
};
VideoFrameRequest videoFrameRequest(const ConversionSettings& settings);

// The file name extension of the chosen container ("mp4", "mkv", "webm"); "mp4" for a
// value outside the list.
const char* videoFileExtension(VideoContainer container);

// Makes the codec and the sound fit the container: a codec the container cannot hold
// becomes the container's first (H.264, or VP9 for WebM), AAC in WebM becomes Opus.
void fitVideoFileChoices(ConversionSettings& settings);

// A container asked for by name ("mp4", "mkv", "webm", any case), or -1.
int videoContainerOfName(const std::string& name);

} // namespace swivio
