#include "encode/mpeg/mpeg_sound_source.h"

#include <strings.h>

namespace swivio {

std::unique_ptr<MpegSoundSource> openMpegSoundSource(const std::string& path, std::string& error) {
    const bool isWav = path.size() >= 4 && strcasecmp(path.c_str() + path.size() - 4, ".wav") == 0;
    return isWav ? openWavSoundSource(path, error) : openMp3SoundSource(path, error);
}

} // namespace swivio
