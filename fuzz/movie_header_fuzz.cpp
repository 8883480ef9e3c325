// The movie header reader on arbitrary bytes: memory and file entry points must agree, and
// no input may crash, hang or allocate without bound.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "source/movie_header.h"

namespace {

std::string tempPath() {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/swivio_movie_header_fuzz_" +
           std::to_string(getpid()) + ".swf";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    swivio::MovieHeader fromMemory;
    const bool memoryOk = fromMemory.read(data, size);

    static const std::string path = tempPath();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    const bool written = std::fwrite(data, 1, size, f) == size;
    if (std::fclose(f) != 0 || !written)
        return 0;
    swivio::MovieHeader fromFile;
    const bool fileOk = fromFile.read(path);
    if (fileOk != memoryOk || fromFile.width != fromMemory.width ||
        fromFile.height != fromMemory.height || fromFile.frameCount != fromMemory.frameCount)
        std::abort();
    if (memoryOk && (fromMemory.width < 0 || fromMemory.height < 0 || fromMemory.frameRate < 0))
        std::abort();
    return 0;
}
