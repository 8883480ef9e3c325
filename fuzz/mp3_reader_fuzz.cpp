// Arbitrary bytes as an MP3 file: the reader must refuse them with one of its messages or
// return the file positioned at a frame sync inside it.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "encode/audio/mp3_file_reader.h"
#include "scratch_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = swivio::fuzz::writeScratchFile(data, size, "mp3");
    if (path.empty())
        return 0;

    swivio::Result<swivio::OpenedMp3> opened = swivio::openMp3File(path);
    if (!opened) {
        if (opened.message().empty())
            std::abort();
        return 0;
    }
    if (!opened->file)
        std::abort();
    const swivio::Mp3FileInfo& info = opened->info;
    const long pos = std::ftell(opened->file.get());
    if (pos < 0 || std::size_t(pos) + 4 > size || data[pos] != 0xFF || data[pos + 1] < 0xE0)
        std::abort();
    if (info.sampleRate <= 0 || info.frameLength < 0 || (info.channels != 1 && info.channels != 2))
        std::abort();
    if (size >= 4) {
        uint32_t h = 0;
        std::memcpy(&h, data, 4);
        (void)swivio::parseMp3FrameHeader(h);
    }
    return 0;
}
