#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "clib/c_handle.h"
#include "encode/audio/growing_wav.h"

namespace swivio {

// The fields of a WAV file's "fmt " chunk that the writers use.
struct WavFormat {
    uint16_t formatTag = 0; // 1 = integer PCM
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint32_t byteRate = 0; // average bytes per second
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
};

// Reads a RIFF WAVE file: finds the "fmt " and "data" chunks by walking the chunk list, so a
// long "fmt " chunk or LIST/fact chunks before or after the sound are skipped rather than
// read as fields or played as sound. Chunk sizes are bounded by the file: a data chunk that
// claims more than the file holds is cut at the end of the file.
//
// read() delivers only the bytes of the data chunk. A file still being written (announced
// as a GrowingWav) is read as far as its writer has published, read() waiting for the
// bytes asked for until the file is complete. Not thread safe; one reader per file.
class WavReader {
public:
    WavReader() = default;
    WavReader(const WavReader&) = delete;
    WavReader& operator=(const WavReader&) = delete;
    WavReader(WavReader&&) = default;
    WavReader& operator=(WavReader&&) = default;

    // Opens the file, reads its format and leaves the position at the first data byte.
    // False (with errorString()) when the file cannot be opened or is not a WAV file with
    // both chunks. The format is not judged here: callers check what they need.
    [[nodiscard]] bool open(const std::string& path);
    bool isOpen() const { return m_file != nullptr; }
    void close();

    const WavFormat& format() const { return m_format; }
    // The whole "fmt " chunk as stored (16 bytes or more), for formats that carry extras.
    const std::vector<uint8_t>& rawFormat() const { return m_rawFormat; }
    // Bytes of sound in the data chunk (after bounding by the file size).
    uint32_t dataSize() const { return m_dataSize; }
    // File offset of the first sound byte (44 for the canonical header).
    uint64_t dataOffset() const { return m_dataOffset; }
    // Data bytes not yet read.
    uint32_t remaining() const { return m_dataSize - m_dataRead; }
    bool atEnd() const { return m_dataRead >= m_dataSize; }

    // Reads up to `bytes` sound bytes into dst; returns the count read, 0 at the end of the
    // data chunk or on a read error (errorString() then says so).
    std::size_t read(uint8_t* dst, std::size_t bytes);
    // Returns to the first data byte.
    [[nodiscard]] bool seekToData();

    std::string errorString() const { return m_error; }

private:
    bool fail(std::string message);

    clib::File m_file;
    std::shared_ptr<GrowingWav> m_growing;
    WavFormat m_format;
    std::vector<uint8_t> m_rawFormat;
    uint64_t m_dataOffset = 0;
    uint32_t m_dataSize = 0;
    uint32_t m_dataRead = 0;
    std::string m_error;
};

// True when the file opens as a WAV file whose samples are 16 bits wide (the check made
// before sound is converted for MPEG output).
bool isWav16Bit(const std::string& path);

} // namespace swivio
