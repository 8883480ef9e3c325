#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/result.h"
#include "clib/c_handle.h"

namespace swivio {

// The bytes of one FLV file, shared by every player of it: each stretch is read from the
// disk once, by whichever player needs it first, and kept for the others, up to
// kFlvSharedBytes (past that, stretches are read for the one asking and not kept). The file
// stays open while anyone holds it, so a player made later reads the same file even if its
// name has gone. Safe to use from several threads.
class FlvFile {
public:
    // Bytes kept in memory at most, whatever the file's size.
    static constexpr int64_t kFlvSharedBytes = int64_t(256) << 20;

    // Opens `path`; fails with the reason when it cannot be opened or its size found.
    static Result<std::shared_ptr<FlvFile>> open(const std::string& path);

    const std::string& path() const { return m_path; }
    int64_t size() const { return m_size; }

    // Copies up to `count` bytes from `offset` into `out`: the number copied (fewer only at
    // the end of the file), or -1 when the disk fails.
    int64_t read(int64_t offset, uint8_t* out, int64_t count);

private:
    static constexpr int64_t kChunkBytes = int64_t(256) << 10;

    FlvFile(std::string path, clib::File file, int64_t size);
    // The chunk holding `offset`, read now when it is not kept (into `scratch` when no more
    // may be kept); null when the disk fails. Called under m_lock.
    const std::vector<uint8_t>* chunkAt(int64_t index, std::vector<uint8_t>& scratch);

    std::string m_path;
    std::mutex m_lock;
    clib::File m_file;
    int64_t m_size = 0;
    int64_t m_keptBytes = 0;
    std::vector<std::unique_ptr<std::vector<uint8_t>>> m_chunks;
};

} // namespace swivio
