#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace swivio::png_codec {

// Writes a truecolour PNG of width x height from `rows` (top row first, 3 bytes a pixel,
// blue-green-red when `bgr` is set, otherwise red-green-blue). Replaces any file at `path`;
// on failure the partial file is removed and *error (when given) says why.
bool writeRgbRows(const std::string& path, int width, int height, const uint8_t* const* rows,
                  bool bgr, std::string* error);

// Reads a PNG held in memory in two steps: the header (which fixes the size, so the caller
// can check it before allocating), then the rows as 8-bit blue-green-red, top row first.
class PngReader {
public:
    explicit PngReader(std::span<const uint8_t> data);
    ~PngReader();
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;

    bool readHeader(int* width, int* height);
    // `rows` holds one pointer per row, each to width x 3 bytes.
    bool readRows(uint8_t* const* rows);
    std::string errorString() const;

    // Reading position over the data, for libpng's read callback.
    struct Source {
        const uint8_t* data;
        std::size_t size;
        std::size_t offset;
    };

private:
    Source m_source;
    void* m_png = nullptr;
    void* m_info = nullptr;
    char m_message[256] = {};
    bool m_headerRead = false;
};

} // namespace swivio::png_codec
