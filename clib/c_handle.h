#pragma once

#include <cstdio>
#include <memory>

namespace swivio::clib {

// A move-only owner of a C library object, released by the function given as Release.
// One alias per C type keeps each library's ownership rule in one place.
template <auto Release> struct CallRelease {
    template <typename T> void operator()(T* p) const {
        if (p)
            Release(p);
    }
};

template <typename T, auto Release> using CHandle = std::unique_ptr<T, CallRelease<Release>>;

inline void closeFile(std::FILE* f) { std::fclose(f); }
using File = CHandle<std::FILE, closeFile>;

// Opens a file with fopen's mode letters; empty on failure (errno says why).
inline File openFile(const char* path, const char* mode) { return File(std::fopen(path, mode)); }

} // namespace swivio::clib
