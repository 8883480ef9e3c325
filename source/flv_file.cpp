#include "source/flv_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace swivio {

Result<std::shared_ptr<FlvFile>> FlvFile::open(const std::string& path) {
    using R = Result<std::shared_ptr<FlvFile>>;
    clib::File file = clib::openFile(path.c_str(), "rb");
    if (!file)
        return R::failure("cannot open " + path + ": " + std::strerror(errno));
    if (fseeko(file.get(), 0, SEEK_END) != 0)
        return R::failure("cannot read " + path + ": " + std::strerror(errno));
    const off_t size = ftello(file.get());
    if (size < 0)
        return R::failure("cannot read " + path + ": " + std::strerror(errno));
    return R(std::shared_ptr<FlvFile>(new FlvFile(path, std::move(file), int64_t(size))));
}

FlvFile::FlvFile(std::string path, clib::File file, int64_t size)
    : m_path(std::move(path)), m_file(std::move(file)), m_size(size),
      m_chunks(std::size_t((size + kChunkBytes - 1) / kChunkBytes)) {}

const std::vector<uint8_t>* FlvFile::chunkAt(int64_t index, std::vector<uint8_t>& scratch) {
    auto& kept = m_chunks[std::size_t(index)];
    if (kept)
        return kept.get();
    const int64_t start = index * kChunkBytes;
    const auto length = std::size_t(std::min(kChunkBytes, m_size - start));
    const bool keep = m_keptBytes + int64_t(length) <= kFlvSharedBytes;
    std::unique_ptr<std::vector<uint8_t>> fresh;
    std::vector<uint8_t>* target = &scratch;
    if (keep) {
        fresh = std::make_unique<std::vector<uint8_t>>();
        target = fresh.get();
    }
    target->resize(length);
    if (fseeko(m_file.get(), off_t(start), SEEK_SET) != 0 ||
        std::fread(target->data(), 1, length, m_file.get()) != length)
        return nullptr; // a file cut short since it was opened counts as a failing disk
    if (!keep)
        return target;
    m_keptBytes += int64_t(length);
    kept = std::move(fresh);
    return kept.get();
}

int64_t FlvFile::read(int64_t offset, uint8_t* out, int64_t count) {
    if (offset < 0 || count <= 0 || offset >= m_size)
        return 0;
    count = std::min(count, m_size - offset);
    std::lock_guard<std::mutex> hold(m_lock);
    std::vector<uint8_t> scratch;
    int64_t copied = 0;
    while (copied < count) {
        const int64_t at = offset + copied;
        const std::vector<uint8_t>* chunk = chunkAt(at / kChunkBytes, scratch);
        if (!chunk)
            return copied > 0 ? copied : -1;
        const int64_t within = at % kChunkBytes;
        const int64_t n = std::min(count - copied, int64_t(chunk->size()) - within);
        std::memcpy(out + copied, chunk->data() + within, std::size_t(n));
        copied += n;
    }
    return copied;
}

} // namespace swivio
