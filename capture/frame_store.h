#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/frame.h"
#include "clib/c_handle.h"

namespace swivio {

// Appends the frames of one recording to temporary frame files, one record per frame: the
// byte 1, the 4-byte little-endian block size and a "QCLZ" block of the picture, or the single
// byte 0 for a repeat of the previous picture. Files are created as needed in the working
// folder with the prefix "vid"; a file is closed once it holds more than the file limit, so
// each file holds whole records and exceeds the limit by at most one record. One thread at a
// time; every frame of a recording has the same size.
class FrameStoreWriter {
public:
    static constexpr int64_t kFileLimit = 1'899'999'999;

    // `tempPath`: the folder for the frame files. `fileLimit`: bytes after which the current
    // file is closed (tests pass small values).
    explicit FrameStoreWriter(std::string tempPath, int64_t fileLimit = kFileLimit);
    // Closes the current file without reporting; call finish() to learn whether it closed.
    ~FrameStoreWriter();
    FrameStoreWriter(const FrameStoreWriter&) = delete;
    FrameStoreWriter& operator=(const FrameStoreWriter&) = delete;

    // Appends one record. The first record of a recording always carries the picture; later
    // ones carry it when `isNewPicture` is set and are repeats otherwise (the picture is then
    // not looked at). False, with errorString() set, when a file cannot be created or written
    // or the frame's size differs from the first frame's; the failure is sticky and the
    // record not counted. `rowBytes`, the picture's row length when known, helps the
    // compression find repeated rows.
    bool appendFrame(std::span<const uint8_t> frame, bool isNewPicture,
                     std::size_t rowBytes = 0);
    bool appendFrame(const Frame& frame, bool isNewPicture) {
        return appendFrame(frame.bytes(), isNewPicture, frame.stride());
    }

    // Closes the current file; false when the close fails (data may be lost) or an earlier
    // append failed.
    bool finish();

    // The frame files in creation order, including one whose writing failed, so that the
    // caller can delete them all.
    const std::vector<std::string>& fileList() const { return m_fileList; }
    // Records written successfully: the recording's frame count.
    int recordCount() const { return m_recordCount; }
    const std::string& errorString() const { return m_error; }

private:
    bool openNextFile();
    bool write(const void* data, std::size_t size);
    bool closeCurrentFile();
    bool fail(std::string message);

    std::string m_tempPath;
    int64_t m_fileLimit;
    std::vector<std::string> m_fileList;
    clib::File m_currentFile;
    int64_t m_bytesInFile = 0;
    int m_recordCount = 0;
    std::size_t m_frameBytes = 0;
    // Scratch for one record (header and block) and the compressor's table; allocated with
    // the first frame.
    std::vector<uint8_t> m_blockBuffer;
    std::string m_error;
};

} // namespace swivio
