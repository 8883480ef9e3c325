#include "capture/frame_store_reader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "capture/qclz.h"

namespace swivio {

FrameStoreReader::FrameStoreReader(std::vector<std::string> fileList, int width, int height)
    : m_fileList(std::move(fileList)), m_width(width), m_height(height) {
    if (width > 0 && height > 0)
        m_frameBytes = std::size_t(width) * std::size_t(height) * 3;
}

bool FrameStoreReader::stop(std::string message) {
    m_ended = true;
    m_file.reset();
    m_blockSize = 0;
    m_error = std::move(message);
    return false;
}

bool FrameStoreReader::damaged(const std::string& what) {
    return stop("The frame file \"" + m_fileList[m_nextFile - 1] + "\" is damaged at offset " +
                std::to_string(m_recordOffset) + ": " + what);
}

bool FrameStoreReader::advance() {
    if (m_ended)
        return false;
    if (m_frameBytes == 0)
        return stop("The recorded frame size " + std::to_string(m_width) + " x " +
                    std::to_string(m_height) + " is not valid");
    for (;;) {
        if (!m_file) {
            if (m_nextFile >= m_fileList.size()) {
                m_ended = true;
                return false;
            }
            const std::string& path = m_fileList[m_nextFile++];
            errno = 0;
            m_file = clib::openFile(path.c_str(), "rb");
            if (!m_file)
                return stop("Cannot open the frame file \"" + path + "\": " + std::strerror(errno));
            m_recordOffset = 0;
        }

        const int kind = std::fgetc(m_file.get());
        if (kind == EOF) {
            if (std::ferror(m_file.get()))
                return damaged("the file cannot be read");
            m_file.reset();
            continue;
        }
        if (kind == 0) {
            m_recordOffset += 1;
            ++m_recordCount;
            return true;
        }
        if (kind != 1)
            return damaged("unknown record kind " + std::to_string(kind));

        uint8_t sizeBytes[4];
        if (std::fread(sizeBytes, 1, 4, m_file.get()) != 4)
            return damaged("the record ends inside its block size");
        const std::size_t blockSize = std::size_t(sizeBytes[0]) | std::size_t(sizeBytes[1]) << 8 |
                                      std::size_t(sizeBytes[2]) << 16 |
                                      std::size_t(sizeBytes[3]) << 24;
        // No valid block of this frame size is larger than the writer's scratch area.
        const std::size_t maxBlock = qclzScratchSize(m_frameBytes);
        if (blockSize < kQclzStoredOverhead || blockSize > maxBlock)
            return damaged("block size " + std::to_string(blockSize) + " out of range");
        if (m_block.size() != maxBlock)
            m_block.resize(maxBlock);
        m_blockSize = 0;
        if (std::fread(m_block.data(), 1, blockSize, m_file.get()) != blockSize)
            return damaged("the record ends inside its block");
        m_blockSize = blockSize;
        m_recordOffset += int64_t(blockSize) + 5;
        ++m_recordCount;
        return true;
    }
}

bool FrameStoreReader::decodeInto(Frame& frame) {
    if (m_blockSize == 0)
        return false;
    if (m_picture.width() != m_width || m_picture.height() != m_height)
        m_picture = Frame(m_width, m_height);
    // Decoded aside, so that a damaged block leaves the caller's frame as it was; then the two
    // buffers trade places instead of copying the picture. The caller's old buffer is
    // overwritten whole by the next decode, since a block must fill exactly one frame.
    if (decompressBlock(m_block.data(), m_blockSize, m_picture.data(), m_frameBytes) !=
        m_frameBytes)
        return false;
    std::swap(frame, m_picture);
    return true;
}

} // namespace swivio
