#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/frame.h"
#include "clib/c_handle.h"
#include "encode/recorded_frames.h"

namespace swivio {

// Reads a recording's frame files back, in the order of the writer's file list, one record
// at a time, and decodes the pictures. The block buffer and the picture buffer are allocated
// once, from the frame size, never from sizes read from the files.
class FrameStoreReader final : public RecordedFrames {
public:
    // `fileList`: the writer's files in creation order; `width` x `height`: the recorded
    // frame size.
    FrameStoreReader(std::vector<std::string> fileList, int width, int height);

    // Reads the next record, moving on to the next file when one is exhausted. False when
    // the records have ended, a file cannot be opened or read, or a record is damaged (an
    // unknown kind, a block size out of range, a truncated record); errorString() then says
    // which, and is empty at a normal end. Reading never resumes after false.
    bool advance() override;

    // Decodes the current record's picture (for a repeat record, the last picture read) into
    // `frame`, which is given the recorded size if needed. False, with `frame` untouched, when
    // there is no picture yet or the block does not decode to exactly one frame. The picture
    // arrives by exchanging buffers with `frame`, not by a copy; the reader keeps the buffer
    // `frame` held for the next picture.
    bool decodeInto(Frame& frame) override;

    const std::string& errorString() const { return m_error; }
    // Records read so far.
    int recordCount() const { return m_recordCount; }

private:
    bool stop(std::string message);
    bool damaged(const std::string& what);

    std::vector<std::string> m_fileList;
    std::size_t m_nextFile = 0;
    clib::File m_file;
    int64_t m_recordOffset = 0;
    int m_width;
    int m_height;
    std::size_t m_frameBytes = 0;
    std::vector<uint8_t> m_block;
    // Bytes of the block in m_block; 0 while there is no usable block.
    std::size_t m_blockSize = 0;
    // The buffer the next picture is decoded into; it trades places with the caller's frame.
    Frame m_picture;
    int m_recordCount = 0;
    bool m_ended = false;
    std::string m_error;
};

} // namespace swivio
