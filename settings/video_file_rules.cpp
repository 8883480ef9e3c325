#include "settings/video_file_rules.h"

#include <strings.h>

namespace swivio {

VideoFrameRequest videoFrameRequest(const ConversionSettings& s) {
    switch (s.videoFrameSize) {
    case VideoFrameSize::Hd720:
        return {1280, 720};
    case VideoFrameSize::Hd1080:
        return {1920, 1080};
    case VideoFrameSize::Movie:
        break;
    }
    return {s.aviWidth / 2 * 2, s.aviHeight / 2 * 2};
}

const char* videoFileExtension(VideoContainer container) {
    const auto i = std::size_t(container);
    return i < kVideoContainerExtensions.size() ? kVideoContainerExtensions[i] : "mp4";
}

void fitVideoFileChoices(ConversionSettings& s) {
    if (std::size_t(s.videoContainer) >= kVideoContainerNames.size())
        s.videoContainer = VideoContainer::Mp4;
    if (!videoCodecFits(s.videoContainer, s.videoCodec))
        s.videoCodec =
            s.videoContainer == VideoContainer::WebM ? VideoCodec::Vp9 : VideoCodec::H264;
    if (!videoSoundFits(s.videoContainer, s.videoSound))
        s.videoSound = VideoSound::Opus;
}

int videoContainerOfName(const std::string& name) {
    for (std::size_t i = 0; i < kVideoContainerExtensions.size(); ++i)
        if (strcasecmp(name.c_str(), kVideoContainerExtensions[i]) == 0)
            return int(i);
    return -1;
}

} // namespace swivio
