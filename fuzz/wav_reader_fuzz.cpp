// Arbitrary bytes as a WAV file: the reader must refuse or read them within the file's
// bounds, and whatever it accepts must read back exactly dataSize() bytes.
#include <cstdlib>
#include <string>
#include <vector>

#include "encode/audio/wav_reader.h"
#include "scratch_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = swivio::fuzz::writeScratchFile(data, size, "wav");
    if (path.empty())
        return 0;

    swivio::WavReader reader;
    if (!reader.open(path))
        return 0;
    if (reader.dataOffset() + reader.dataSize() > size || reader.rawFormat().size() < 16)
        std::abort();
    std::vector<uint8_t> buffer(4096);
    std::size_t total = 0;
    while (std::size_t n = reader.read(buffer.data(), buffer.size()))
        total += n;
    if (total != reader.dataSize())
        std::abort();
    (void)swivio::isWav16Bit(path);
    return 0;
}
