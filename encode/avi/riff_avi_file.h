#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "clib/c_handle.h"

namespace swivio {

// Four characters packed little-endian, as they appear in a RIFF file.
constexpr uint32_t fourCc(const char (&s)[5]) {
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
           uint32_t(uint8_t(s[3])) << 24;
}

// The fields of an AVI stream header ("strh"). The writer fills `length` and
// `suggestedBufferSize` from what was written when the file is finished.
struct AviStreamHeader {
    uint32_t type = 0; // fourCc("vids") or fourCc("auds")
    uint32_t handler = 0;
    uint32_t flags = 0;
    uint16_t priority = 0;
    uint16_t language = 0;
    uint32_t initialFrames = 0;
    uint32_t scale = 0;
    uint32_t rate = 0;
    uint32_t start = 0;
    uint32_t length = 0;
    uint32_t suggestedBufferSize = 0;
    int32_t quality = -1;
    uint32_t sampleSize = 0;
    int16_t left = 0, top = 0, right = 0, bottom = 0;
};

// Writes an AVI file chunk by chunk: the header list with one "strl" per stream, then the
// "movi" list in call order, then the "idx1" index.
//
// Files that would grow past the AVI 1.0 limit become OpenDML (AVI 2.0) files: once the
// current RIFF list holds more than `riffLimit` bytes (1 GiB by default), it is closed with
// a standard index per stream ("ix00", "ix01") and a new "RIFF AVIX" list begins. At finish
// the space reserved in the header list becomes a super index ("indx") per stream and the
// "odml"/"dmlh" list with the total frame count, so players find every chunk of every RIFF.
// The first RIFF keeps its "idx1", so readers that know only AVI 1.0 play its part.
//
// Not thread safe. Every failure is sticky; errorString() says what went wrong.
class RiffAviFile {
public:
    static constexpr uint64_t kDefaultRiffLimit = uint64_t(1) << 30;
    // Reserved super index entries per stream: 256 RIFF lists of 1 GiB each.
    static constexpr uint32_t kSuperIndexEntries = 256;

    RiffAviFile() = default;
    RiffAviFile(const RiffAviFile&) = delete;
    RiffAviFile& operator=(const RiffAviFile&) = delete;
    ~RiffAviFile();

    // Creates (or truncates) the file. False if it cannot be created.
    [[nodiscard]] bool create(const std::string& path, uint64_t riffLimit = kDefaultRiffLimit);
    bool isOpen() const { return m_file != nullptr; }

    // Declares a stream; only before the first chunk. `format` is the "strf" body.
    // Returns the stream number (0, 1, ...) whose chunks are "NNdc"/"NNdb"/"NNwb" as given by
    // `chunkSuffix` ("dc", "db" or "wb").
    int addStream(const AviStreamHeader& header, std::vector<uint8_t> format,
                  std::string_view chunkSuffix);
    // The main header's frame period and frame size.
    void setMainHeader(uint32_t microSecPerFrame, uint32_t width, uint32_t height);

    // Starts a new frame group (a video chunk and its sound). This is where a RIFF list that
    // has grown past the limit is closed and the next one begun, so a video chunk and its
    // sound always share a RIFF list. Writes the header list on the first call.
    [[nodiscard]] bool beginFrame();
    // Appends one chunk of `stream` to the movie list.
    [[nodiscard]] bool writeChunk(int stream, const uint8_t* data, std::size_t size, bool keyFrame);

    // Writes the indexes, fills in the headers and closes the file. False if anything
    // failed since create().
    [[nodiscard]] bool finish();
    // Closes the file without completing it (after a failed set-up).
    void abandon();

    std::string errorString() const { return m_error; }
    int riffCount() const { return m_riffCount; }
    uint32_t chunkCount(int stream) const { return m_streams.at(std::size_t(stream)).chunks; }

private:
    struct IndexEntry {
        uint64_t offset; // file offset of the chunk's data
        uint32_t size;
        bool keyFrame;
    };
    struct SuperEntry {
        uint64_t offset; // file offset of the "ix" chunk
        uint32_t size;   // its size with the 8-byte chunk header
        uint32_t duration;
    };
    struct Stream {
        AviStreamHeader header;
        std::vector<uint8_t> format;
        uint32_t chunkId = 0;
        uint32_t chunks = 0;
        uint64_t bytes = 0;
        uint32_t largestChunk = 0;
        uint32_t firstRiffChunks = 0;
        std::vector<IndexEntry> segment; // chunks of the current RIFF list
        std::vector<SuperEntry> superIndex;
    };
    struct Idx1Entry {
        uint32_t chunkId;
        uint32_t flags;
        uint32_t offset; // from the "movi" type
        uint32_t size;
    };

    bool fail(std::string message);
    bool write(const void* data, std::size_t size);
    bool writeAt(uint64_t pos, const std::vector<uint8_t>& bytes);
    bool writeHeaderList(bool final);
    std::vector<uint8_t> headerList(bool final) const;
    bool beginRiff(const char (&type)[5]);
    bool endRiff(bool withStandardIndexes);
    bool writeStandardIndex(Stream& stream);
    uint32_t totalFrames() const;

    clib::File m_file;
    std::string m_path;
    std::string m_error;
    bool m_failed = false;
    uint64_t m_riffLimit = kDefaultRiffLimit;
    uint64_t m_pos = 0;
    uint64_t m_riffStart = 0; // offset of the current "RIFF"
    uint64_t m_moviStart = 0; // offset of the current "movi" type
    int m_riffCount = 0;
    uint32_t m_microSecPerFrame = 0;
    uint32_t m_width = 0;
    uint32_t m_height = 0;
    std::vector<Stream> m_streams;
    std::vector<Idx1Entry> m_idx1;
};

} // namespace swivio
