#pragma once

#include <cstdint>
#include <memory>
#include <string>

extern "C" {
#include <libavutil/samplefmt.h>
}

namespace swivio {

// A run of source samples as the file holds them. `planes` holds one pointer for packed
// formats (U8, S16: channels interleaved) or one per channel for planar ones (S16P). The
// pointers stay valid until the next read.
struct SoundChunk {
    const uint8_t* planes[2] = {nullptr, nullptr};
    int samples = 0; // per channel
    int channels = 0;
    int sampleRate = 0;
    AVSampleFormat format = AV_SAMPLE_FMT_NONE;
};

// The sound that goes into an MPEG file, read piece by piece from a WAV or MP3 file.
class MpegSoundSource {
public:
    virtual ~MpegSoundSource() = default;

    // The next run of samples; false when the sound has ended (end of file, or a read error,
    // which ends the sound like the end of the file does). A chunk's rate and channel count
    // may differ from the one before (an MP3 file may switch).
    virtual bool read(SoundChunk& chunk) = 0;
};

// Opens `path` as a WAV file when its name ends in ".wav" (any case), otherwise as an MP3
// file. Null with `error` filled when the file cannot be opened or holds no usable sound.
std::unique_ptr<MpegSoundSource> openMpegSoundSource(const std::string& path, std::string& error);

// Silence in stereo at `sampleRate` Hz that never ends: the sound of a VCD made without one.
std::unique_ptr<MpegSoundSource> makeSilentSoundSource(int sampleRate);

// The two kinds, for callers that know which they have.
std::unique_ptr<MpegSoundSource> openWavSoundSource(const std::string& path, std::string& error);
std::unique_ptr<MpegSoundSource> openMp3SoundSource(const std::string& path, std::string& error);

} // namespace swivio
