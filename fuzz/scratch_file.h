// The input of a fuzz target as a file, for the readers that take a path.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace swivio::fuzz {

// Writes the `size` bytes at `data` as $TMPDIR (else /tmp) /swivio-fuzz-<pid>.<extension>,
// replacing the previous input of that extension. The path; empty when the file could not
// be written whole.
inline std::string writeScratchFile(const uint8_t* data, std::size_t size, const char* extension) {
    const char* dir = std::getenv("TMPDIR");
    const std::string path = std::string(dir && *dir ? dir : "/tmp") + "/swivio-fuzz-" +
                             std::to_string(getpid()) + "." + extension;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return {};
    const bool written = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && written ? path : std::string();
}

} // namespace swivio::fuzz
