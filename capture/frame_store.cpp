#include "capture/frame_store.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include "base/temp_file.h"
#include "capture/qclz.h"

namespace swivio {

namespace {

constexpr uint8_t kNewPicture = 1;
constexpr uint8_t kRepeat = 0;
// A new picture's record starts with its kind and the 4-byte block size.
constexpr std::size_t kRecordHeader = 5;
// A block size must fit its 32-bit field, whatever the compressor's slack.
constexpr std::size_t kMaxFrameBytes = 0x7FFFFFFF - kQclzScratchExtra;

std::string systemError() {
    return std::strerror(errno);
}

} // namespace

FrameStoreWriter::FrameStoreWriter(std::string tempPath, int64_t fileLimit)
    : m_tempPath(std::move(tempPath)), m_fileLimit(fileLimit) {}

FrameStoreWriter::~FrameStoreWriter() = default;

bool FrameStoreWriter::fail(std::string message) {
    if (m_error.empty())
        m_error = std::move(message);
    return false;
}

bool FrameStoreWriter::openNextFile() {
    Result<std::string> path = createTempFile(m_tempPath, "vid");
    if (!path)
        return fail(path.message());
    m_fileList.push_back(*path);
    errno = 0;
    m_currentFile = clib::openFile(path->c_str(), "wb");
    if (!m_currentFile)
        return fail("Cannot open the frame file \"" + *path + "\": " + systemError());
    m_bytesInFile = 0;
    return true;
}

bool FrameStoreWriter::write(const void* data, std::size_t size) {
    errno = 0;
    if (std::fwrite(data, 1, size, m_currentFile.get()) != size)
        return fail("Cannot write the frame file \"" + m_fileList.back() + "\": " + systemError());
    return true;
}

bool FrameStoreWriter::closeCurrentFile() {
    std::FILE* file = m_currentFile.release();
    m_bytesInFile = 0;
    errno = 0;
    if (std::fclose(file) != 0)
        return fail("Cannot close the frame file \"" + m_fileList.back() + "\": " + systemError());
    return true;
}

bool FrameStoreWriter::appendFrame(std::span<const uint8_t> frame, bool isNewPicture,
                                   std::size_t rowBytes) {
    if (!m_error.empty())
        return false;
    if (frame.empty() || frame.size() > kMaxFrameBytes)
        return fail("Cannot store a frame of " + std::to_string(frame.size()) + " bytes");
    if (m_frameBytes == 0) {
        m_frameBytes = frame.size();
        m_blockBuffer.resize(kRecordHeader + qclzScratchSize(m_frameBytes));
    } else if (frame.size() != m_frameBytes) {
        return fail("The frame size changed from " + std::to_string(m_frameBytes) + " to " +
                    std::to_string(frame.size()) + " bytes");
    }

    if (!m_currentFile && !openNextFile())
        return false;

    if (m_recordCount < 1 || isNewPicture) {
        // The block is compressed behind room for the record header, so that the whole
        // record goes out in one write.
        uint8_t* const record = m_blockBuffer.data();
        const std::size_t blockSize =
            compressBlock(frame.data(), frame.size(), record + kRecordHeader, rowBytes);
        const uint32_t size32 = uint32_t(blockSize);
        record[0] = kNewPicture;
        record[1] = uint8_t(size32);
        record[2] = uint8_t(size32 >> 8);
        record[3] = uint8_t(size32 >> 16);
        record[4] = uint8_t(size32 >> 24);
        if (!write(record, kRecordHeader + blockSize))
            return false;
        m_bytesInFile += int64_t(blockSize + kRecordHeader);
    } else {
        if (!write(&kRepeat, 1))
            return false;
        m_bytesInFile += 1;
    }
    // Flushed per record, so that a full disk is reported for the record it hits.
    errno = 0;
    if (std::fflush(m_currentFile.get()) != 0)
        return fail("Cannot write the frame file \"" + m_fileList.back() + "\": " + systemError());

    if (m_bytesInFile > m_fileLimit && !closeCurrentFile())
        return false;
    ++m_recordCount;
    return true;
}

bool FrameStoreWriter::finish() {
    if (m_currentFile)
        closeCurrentFile();
    return m_error.empty();
}

} // namespace swivio
