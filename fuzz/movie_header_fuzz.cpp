// The movie header reader on arbitrary bytes: memory and file entry points must agree, and
// no input may crash, hang or allocate without bound.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "scratch_file.h"
#include "source/movie_header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    swivio::MovieHeader fromMemory;
    const bool memoryOk = fromMemory.read(data, size);

    const std::string path = swivio::fuzz::writeScratchFile(data, size, "swf");
    if (path.empty())
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
