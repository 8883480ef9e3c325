// Arbitrary bytes as an MP3 file: the reader must refuse them with one of its messages or
// return the file positioned at a frame sync inside it.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "encode/audio/mp3_file_reader.h"

namespace {

const std::string& scratchPath() {
    static const std::string path = "/tmp/swivio-fuzz-mp3-" + std::to_string(getpid()) + ".mp3";
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::FILE* f = std::fopen(scratchPath().c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    swivio::Result<swivio::OpenedMp3> opened = swivio::openMp3File(scratchPath());
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
