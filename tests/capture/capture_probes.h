#pragma once

// Probes shared by the interactive recording's tests: a clock the test moves, and a reader
// of the WAV files the sound capture writes.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "audio/pacing_clock.h"

namespace swivio::testkit {

// Time that passes only when the test says so.
class ManualClock final : public audio::PacingClock {
public:
    TimePoint now() override { return m_now; }
    void sleepUntil(TimePoint when) override {
        if (when > m_now)
            m_now = when;
    }
    void advance(std::chrono::nanoseconds d) { m_now += d; }

private:
    TimePoint m_now{std::chrono::hours(1)};
};

// A 16-bit PCM WAV file as its header and data say, read field by field.
struct WaveContents {
    bool valid = false;      // RIFF/WAVE, a 16-byte PCM "fmt " and "data" chunk
    bool sizesMatch = false; // the RIFF and data sizes agree with the file's length
    int rate = 0;
    int channels = 0;
    std::vector<int16_t> samples;
    double seconds() const {
        return rate > 0 && channels > 0 ? double(samples.size()) / channels / rate : 0;
    }
};

inline uint32_t readLe(const std::vector<uint8_t>& b, std::size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | b[at + std::size_t(i)];
    return v;
}

inline WaveContents readWave(const std::string& path) {
    WaveContents w;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return w;
    std::vector<uint8_t> b;
    uint8_t chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;)
        b.insert(b.end(), chunk, chunk + n);
    std::fclose(f);
    if (b.size() < 44 || std::memcmp(b.data(), "RIFF", 4) || std::memcmp(b.data() + 8, "WAVE", 4) ||
        std::memcmp(b.data() + 12, "fmt ", 4) || readLe(b, 16, 4) != 16 || readLe(b, 20, 2) != 1 ||
        readLe(b, 34, 2) != 16 || std::memcmp(b.data() + 36, "data", 4))
        return w;
    w.valid = true;
    w.channels = int(readLe(b, 22, 2));
    w.rate = int(readLe(b, 24, 4));
    const uint32_t dataBytes = readLe(b, 40, 4);
    w.sizesMatch = readLe(b, 4, 4) == b.size() - 8 && dataBytes == b.size() - 44;
    const std::size_t count = std::min<std::size_t>(dataBytes, b.size() - 44) / 2;
    for (std::size_t i = 0; i < count; ++i)
        w.samples.push_back(int16_t(readLe(b, 44 + 2 * i, 2)));
    return w;
}

} // namespace swivio::testkit
