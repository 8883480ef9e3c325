#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/result.h"
#include "clib/c_handle.h"
#include "encode/audio/growing_wav.h"

namespace swivio {

// The movie's own sound, frame by frame, into a 16-bit PCM WAV file at the rate and channels
// the output wants. Takes the mixer's 44100 Hz stereo samples; the file holds exactly their
// time at its own rate. The file is announced as growing while it is written, so that an
// encoder can read the sound recorded so far.
class MovieSoundRecorder {
public:
    ~MovieSoundRecorder();
    // Creates the WAV file at path (rate: 8000 to 48000; channels 1 or 2).
    static Result<std::unique_ptr<MovieSoundRecorder>> create(const std::string& path, int rate,
                                                               int channels);

    // One frame's samples (interleaved stereo at 44100 Hz).
    bool append(std::span<const int16_t> stereo44k);
    // Writes what the resampler holds and the header's lengths; false when the file could not
    // be written.
    bool finish();

    const std::string& path() const { return m_path; }
    const std::string& errorString() const { return m_error; }
    // Sample frames written at the file's rate.
    uint64_t framesWritten() const { return m_written; }

private:
    MovieSoundRecorder() = default;
    bool write(std::span<const int16_t> samples);
    bool convert(const int16_t* in, int frames);

    std::string m_path;
    clib::File m_file;
    std::shared_ptr<GrowingWav> m_growing;
    struct Resampler;
    std::unique_ptr<Resampler> m_resampler;
    int m_rate = 44100;
    int m_channels = 2;
    uint64_t m_taken = 0;   // sample frames taken at 44100
    uint64_t m_written = 0; // at m_rate
    std::vector<int16_t> m_buffer;
    std::string m_error;
    bool m_finished = false;
};

} // namespace swivio
