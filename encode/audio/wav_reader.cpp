#include "encode/audio/wav_reader.h"

#include <algorithm>
#include <cstring>

#include "base/byte_reader.h"

namespace swivio {

namespace {

// A "fmt " chunk holds 16 bytes of fields plus at most a 16-bit count of extra bytes.
constexpr uint32_t kMaxFormatChunk = 18 + 0xFFFF;

bool seekTo(std::FILE* f, uint64_t pos) {
    return fseeko(f, static_cast<off_t>(pos), SEEK_SET) == 0;
}

} // namespace

bool WavReader::fail(std::string message) {
    m_error = std::move(message);
    m_file.reset();
    return false;
}

void WavReader::close() {
    m_file.reset();
    m_growing.reset();
}

bool WavReader::open(const std::string& path) {
    m_file.reset();
    m_growing.reset();
    m_format = {};
    m_rawFormat.clear();
    m_dataOffset = 0;
    m_dataSize = 0;
    m_dataRead = 0;
    m_error.clear();

    m_file = clib::openFile(path.c_str(), "rb");
    if (!m_file)
        return fail("Cannot open the WAV file " + path + ".");
    std::FILE* f = m_file.get();
    if (fseeko(f, 0, SEEK_END) != 0)
        return fail("Cannot read the WAV file " + path + ".");
    const off_t end = ftello(f);
    if (end < 0 || !seekTo(f, 0))
        return fail("Cannot read the WAV file " + path + ".");
    const uint64_t fileSize = static_cast<uint64_t>(end);

    uint8_t riff[12];
    if (std::fread(riff, 1, sizeof riff, f) != sizeof riff || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0)
        return fail(path + " is not a WAV file.");

    // The RIFF size field is often wrong in files whose writer stopped early, so the chunks
    // are bounded by the file itself.
    bool haveFormat = false;
    bool haveData = false;
    uint64_t pos = 12;
    while (pos + 8 <= fileSize && !(haveFormat && haveData)) {
        uint8_t header[8];
        if (!seekTo(f, pos) || std::fread(header, 1, 8, f) != 8)
            break;
        const uint32_t size = loadLe32(header + 4);
        const uint64_t body = pos + 8;
        const uint64_t available = fileSize - body;
        if (std::memcmp(header, "fmt ", 4) == 0 && !haveFormat) {
            if (size < 16 || available < 16)
                return fail("The format chunk of " + path + " is too short.");
            const std::size_t keep =
                static_cast<std::size_t>(std::min<uint64_t>({size, available, kMaxFormatChunk}));
            m_rawFormat.resize(keep);
            if (std::fread(m_rawFormat.data(), 1, keep, f) != keep)
                return fail("Cannot read the WAV file " + path + ".");
            ByteReader r(m_rawFormat.data(), m_rawFormat.size());
            m_format.formatTag = r.u16();
            m_format.channels = r.u16();
            m_format.sampleRate = r.u32();
            m_format.byteRate = r.u32();
            m_format.blockAlign = r.u16();
            m_format.bitsPerSample = r.u16();
            haveFormat = true;
        } else if (std::memcmp(header, "data", 4) == 0 && !haveData) {
            m_dataOffset = body;
            m_dataSize = static_cast<uint32_t>(std::min<uint64_t>(size, available));
            haveData = true;
        }
        // Chunks are word aligned: an odd-sized chunk is followed by a pad byte.
        pos = body + uint64_t(size) + (size & 1u);
    }
    if (!haveFormat)
        return fail(path + " has no format chunk.");
    if (!haveData)
        return fail(path + " has no sound data.");
    if (!seekToData())
        return false;
    // A file still being written holds, beyond its header's provisional sizes, what its
    // writer has published.
    m_growing = GrowingWav::find(path);
    return true;
}

bool WavReader::seekToData() {
    if (!m_file)
        return false;
    if (!seekTo(m_file.get(), m_dataOffset)) {
        m_error = "Cannot seek in the WAV file.";
        return false;
    }
    m_dataRead = 0;
    return true;
}

std::size_t WavReader::read(uint8_t* dst, std::size_t bytes) {
    if (m_growing && m_file && bytes > 0) {
        const uint64_t published = m_growing->waitFor(uint64_t(m_dataRead) + bytes);
        m_dataSize = uint32_t(std::min<uint64_t>(published, 0xFFFFFFFFu));
    }
    if (!m_file || atEnd() || bytes == 0)
        return 0;
    const std::size_t want = std::min<std::size_t>(bytes, remaining());
    const std::size_t got = std::fread(dst, 1, want, m_file.get());
    if (got < want) {
        // The file shrank under us or the disk failed: no more data.
        m_error = "Cannot read the WAV file.";
        m_dataSize = m_dataRead + static_cast<uint32_t>(got);
    }
    m_dataRead += static_cast<uint32_t>(got);
    return got;
}

bool isWav16Bit(const std::string& path) {
    WavReader reader;
    return reader.open(path) && reader.format().bitsPerSample == 16;
}

} // namespace swivio
