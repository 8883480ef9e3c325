#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace swivio::testkit {

// Pictures for tests, built by hand (BMP) or with the reference libraries (libpng, libjpeg,
// giflib), and readers of Swivio's output files that use those libraries only.

// An RGB colour as 0x00BBGGRR, like the rest of Swivio.
using PixelFn = std::function<uint32_t(int x, int y)>; // y from the top

// A BMP file. bits 1, 4, 8 (palette: `palette`, 0x00BBGGRR, the pixel function returning
// indexes), 16 (5-5-5), 24 or 32; rows bottom-up, or top-down (negative height).
std::vector<uint8_t> makeBmp(int bits, int width, int height, bool topDown, const PixelFn& pixel,
                             const std::vector<uint32_t>& palette = {});

// PNG through libpng. colorType: 0 grey, 2 RGB, 3 palette (pixel returns indexes into
// `palette`), 4 grey with alpha, 6 RGBA (alpha 0x80). bitDepth 8 or 16 (16 for 0, 2, 6).
std::vector<uint8_t> makePng(int width, int height, int colorType, int bitDepth,
                             const PixelFn& pixel, const std::vector<uint32_t>& palette = {},
                             bool interlaced = false);

// A baseline JPEG through libjpeg at `quality`.
std::vector<uint8_t> makeJpeg(int width, int height, int quality, const PixelFn& pixel);

// A GIF through giflib: the pixel function returns indexes into `palette` (up to 256
// colours). Several frames can be given; `interlaced` writes the first one interlaced.
std::vector<uint8_t> makeGif(int width, int height, const std::vector<uint32_t>& palette,
                             const std::vector<PixelFn>& frames, bool interlaced = false);

// Reading files back with the reference libraries.
struct DecodedPicture {
    bool ok = false;
    std::string error;
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels; // 0x00BBGGRR, top row first
    uint32_t at(int x, int y) const { return pixels[std::size_t(y) * width + x]; }
};
DecodedPicture readPngFile(const std::string& path);
DecodedPicture readJpegFile(const std::string& path);

struct DecodedGif {
    bool ok = false;
    std::string error;
    int screenWidth = 0;
    int screenHeight = 0;
    std::vector<uint32_t> globalPalette; // 0x00BBGGRR
    struct Image {
        int left = 0, top = 0, width = 0, height = 0;
        bool interlaced = false;
        bool hasLocalPalette = false;
        std::vector<uint32_t> localPalette; // 0x00BBGGRR, empty without
        int transparentIndex = -1;          // from its graphic control extension
        std::vector<uint8_t> indexes; // top row first
        int delay = -1;               // from its graphic control extension, -1 without
        int disposal = -1;
    };
    std::vector<Image> images;
    int loopCount = -1; // from a NETSCAPE2.0 extension, -1 without
};
DecodedGif readGifFile(const std::string& path);
// The pictures a viewer shows, one per image: each image drawn over the screen through its
// local palette (else the global one), its transparent pixels leaving the screen as it
// was. After an image is shown, disposal 2 clears its rectangle to black and disposal 3
// puts back what was there before it; other disposals leave it. The screen starts black.
// An index past the palette reads as black.
std::vector<DecodedPicture> composeGifFrames(const DecodedGif& gif);

std::vector<uint8_t> readFileBytes(const std::string& path);
void writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

} // namespace swivio::testkit
