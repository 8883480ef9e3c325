// The frame store reader over an arbitrary frame file: the input is split at the first
// "\n--\n" into two files, so the walk across a file boundary is exercised too.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "base/frame.h"
#include "capture/frame_store_reader.h"

namespace {

std::string writeFile(const std::string& name, std::string_view bytes) {
    const std::string path = "/tmp/swivio-fuzz-" + std::to_string(getpid()) + "-" + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        std::abort();
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size())
        std::abort();
    std::fclose(f);
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find("\n--\n");
    std::vector<std::string> files;
    files.push_back(writeFile("a.tmp", input.substr(0, split)));
    if (split != std::string_view::npos)
        files.push_back(writeFile("b.tmp", input.substr(split + 4)));

    // 48 x 20 pixels: 2880 bytes a frame, more than the literal tail, so blocks hold tokens.
    swivio::FrameStoreReader reader(files, 48, 20);
    swivio::Frame frame(48, 20);
    for (int records = 0; reader.advance(); ++records) {
        if (records > 100000)
            std::abort();
        (void)reader.decodeInto(frame);
        if (frame.width() != 48 || frame.height() != 20)
            std::abort();
    }
    for (const std::string& path : files)
        std::remove(path.c_str());
    return 0;
}
