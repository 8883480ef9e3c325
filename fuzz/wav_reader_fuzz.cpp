// Arbitrary bytes as a WAV file: the reader must refuse or read them within the file's
// bounds, and whatever it accepts must read back exactly dataSize() bytes.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "encode/audio/wav_reader.h"

namespace {

const std::string& scratchPath() {
    static const std::string path = "/tmp/swivio-fuzz-wav-" + std::to_string(getpid()) + ".wav";
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::FILE* f = std::fopen(scratchPath().c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    swivio::WavReader reader;
    if (!reader.open(scratchPath()))
        return 0;
    if (reader.dataOffset() + reader.dataSize() > size || reader.rawFormat().size() < 16)
        std::abort();
    std::vector<uint8_t> buffer(4096);
    std::size_t total = 0;
    while (std::size_t n = reader.read(buffer.data(), buffer.size()))
        total += n;
    if (total != reader.dataSize())
        std::abort();
    (void)swivio::isWav16Bit(scratchPath());
    return 0;
}
