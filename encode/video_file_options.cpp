#include "encode/video_file_options.h"

#include <algorithm>

#include "encode/conversion_driver.h"

namespace swivio {

VideoFileOptions videoFileOptions(const ConversionJob& job) {
    const ConversionSettings& s = job.settings;
    VideoFileOptions o;
    o.container = VideoFileContainer(std::clamp(int(s.videoContainer), 0, 2));
    o.codec = VideoFileCodec(std::clamp(int(s.videoCodec), 0, 3));
    o.quality = s.videoQuality;
    o.speed = VideoFileSpeed(std::clamp(int(s.videoSpeed), 0, 2));
    o.width = job.geometry.outputWidth;
    o.height = job.geometry.outputHeight;
    o.frameRate = outputFrameRate(s);
    if (s.audioSource != AudioSource::None)
        o.soundPath = job.audioPath;
    o.sound = s.videoSound == VideoSound::Opus ? VideoFileSound::Opus : VideoFileSound::Aac;
    const int index = s.videoSoundBitRate;
    o.soundBitRate = (index >= 0 && index < int(kVideoSoundBitRates.size())
                          ? kVideoSoundBitRates[std::size_t(index)].value
                          : 128) *
                     1000;
    return o;
}

} // namespace swivio
