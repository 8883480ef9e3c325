#include "capture/movie_sound_recorder.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "capture/wav_header.h"
#include "clib/ffmpeg_handles.h"

namespace swivio {

namespace {

constexpr int kSourceRate = 44100;

} // namespace

struct MovieSoundRecorder::Resampler {
    clib::SwrContextHandle swr;
};

MovieSoundRecorder::~MovieSoundRecorder() {
    // A reader waiting for more sound takes what there is.
    if (m_growing)
        m_growing->end();
}

Result<std::unique_ptr<MovieSoundRecorder>> MovieSoundRecorder::create(const std::string& path,
                                                                       int rate, int channels) {
    using R = Result<std::unique_ptr<MovieSoundRecorder>>;
    if (rate < 8000 || rate > 48000 || channels < 1 || channels > 2)
        return R::failure("unsupported sound format for the recording");
    std::unique_ptr<MovieSoundRecorder> r(new MovieSoundRecorder);
    r->m_path = path;
    r->m_rate = rate;
    r->m_channels = channels;
    r->m_file = clib::openFile(path.c_str(), "wb");
    if (!r->m_file)
        return R::failure("Cannot create the sound file " + path);
    const auto header = pcmWavHeader(rate, channels, 0);
    if (std::fwrite(header.data(), 1, header.size(), r->m_file.get()) != header.size() ||
        std::fflush(r->m_file.get()) != 0)
        return R::failure("Cannot write the sound file " + path);
    r->m_growing = GrowingWav::announce(path);
    if (rate != kSourceRate) {
        // Resampled with the output's own channels: mono is mixed before, at equal parts.
        AVChannelLayout layout;
        av_channel_layout_default(&layout, channels);
        SwrContext* raw = nullptr;
        if (swr_alloc_set_opts2(&raw, &layout, AV_SAMPLE_FMT_S16, rate, &layout, AV_SAMPLE_FMT_S16,
                                kSourceRate, 0, nullptr) < 0 ||
            swr_init(raw) < 0) {
            swr_free(&raw);
            return R::failure("cannot resample the movie's sound");
        }
        r->m_resampler = std::make_unique<Resampler>();
        r->m_resampler->swr.reset(raw);
    }
    return R(std::move(r));
}

bool MovieSoundRecorder::write(std::span<const int16_t> samples) {
    // A file shorter than the time taken so far only ever grows to it, never past.
    const uint64_t due = m_taken * uint64_t(m_rate) / kSourceRate;
    const std::size_t frames =
        std::min<std::size_t>(samples.size() / std::size_t(m_channels),
                              std::size_t(due > m_written ? due - m_written : 0));
    if (frames == 0)
        return true;
    std::vector<uint8_t> bytes(frames * std::size_t(m_channels) * 2);
    for (std::size_t i = 0; i < frames * std::size_t(m_channels); ++i) {
        bytes[2 * i] = uint8_t(uint16_t(samples[i]));
        bytes[2 * i + 1] = uint8_t(uint16_t(samples[i]) >> 8);
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), m_file.get()) != bytes.size() ||
        std::fflush(m_file.get()) != 0) {
        m_error = "Cannot write the sound file " + m_path;
        return false;
    }
    m_written += frames;
    if (m_growing)
        m_growing->grew(m_written * uint64_t(m_channels) * 2);
    return true;
}

bool MovieSoundRecorder::convert(const int16_t* in, int frames) {
    const int room = swr_get_out_samples(m_resampler->swr.get(), frames) + 16;
    m_buffer.resize(std::size_t(room) * std::size_t(m_channels));
    uint8_t* out[] = {reinterpret_cast<uint8_t*>(m_buffer.data())};
    const uint8_t* source[] = {reinterpret_cast<const uint8_t*>(in)};
    const int made = swr_convert(m_resampler->swr.get(), out, room, in ? source : nullptr, frames);
    if (made < 0) {
        m_error = "cannot resample the movie's sound";
        return false;
    }
    return write(
        std::span<const int16_t>(m_buffer.data(), std::size_t(made) * std::size_t(m_channels)));
}

bool MovieSoundRecorder::append(std::span<const int16_t> stereo44k) {
    if (!m_file || m_finished)
        return false;
    const std::size_t frames = stereo44k.size() / 2;
    m_taken += frames;
    std::vector<int16_t> mixed;
    std::span<const int16_t> in = stereo44k;
    if (m_channels == 1) {
        mixed.resize(frames);
        for (std::size_t i = 0; i < frames; ++i)
            mixed[i] = int16_t((int(stereo44k[2 * i]) + int(stereo44k[2 * i + 1])) / 2);
        in = mixed;
    }
    if (!m_resampler)
        return write(in);
    return convert(in.data(), int(frames));
}

bool MovieSoundRecorder::finish() {
    if (m_finished)
        return m_error.empty();
    m_finished = true;
    if (!m_file)
        return false;
    bool ok = m_error.empty();
    if (ok && m_resampler)
        ok = convert(nullptr, 0);
    // Whatever the resampler kept back short of the time taken is made up with silence.
    const uint64_t due = m_taken * uint64_t(m_rate) / kSourceRate;
    if (ok && due > m_written) {
        const std::vector<int16_t> silence(std::size_t(due - m_written) * std::size_t(m_channels),
                                           0);
        ok = write(silence);
    }
    const uint64_t dataBytes = m_written * uint64_t(m_channels) * 2;
    const auto header =
        pcmWavHeader(m_rate, m_channels, uint32_t(std::min<uint64_t>(dataBytes, 0xFFFFFFD0u)));
    ok = ok && std::fseek(m_file.get(), 0, SEEK_SET) == 0 &&
         std::fwrite(header.data(), 1, header.size(), m_file.get()) == header.size();
    ok = std::fclose(m_file.release()) == 0 && ok;
    if (!ok && m_error.empty())
        m_error = "Cannot write the sound file " + m_path;
    if (m_growing)
        m_growing->end();
    return ok;
}

} // namespace swivio
