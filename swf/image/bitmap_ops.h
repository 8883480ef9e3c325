#pragma once

// Pixel operations of script-made bitmaps. Pixels are 0xAARRGGBB words kept premultiplied
// by their alpha, as the player keeps them, so reading a colour back loses what the
// premultiplication rounded away. Every operation clips its areas to the bitmaps, so any
// rectangle or point is safe to pass.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace swivio::swf::image {

// Straight-alpha ARGB to the stored form (each colour times alpha / 255, rounded) and back
// (each colour times 255 / alpha, as the player approximates it). A pixel of no alpha
// keeps no colour.
uint32_t premultiplyArgb(uint32_t argb);
uint32_t unmultiplyArgb(uint32_t stored);

struct BitmapPixels {
    int width = 0;
    int height = 0;
    bool transparent = true;
    std::vector<uint32_t> pixels; // premultiplied ARGB, rows top to bottom

    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    uint32_t& at(int x, int y) { return pixels[std::size_t(y) * std::size_t(width) + x]; }
    uint32_t at(int x, int y) const { return pixels[std::size_t(y) * std::size_t(width) + x]; }
    // The straight-alpha colour at (x, y), which must be inside.
    uint32_t straight(int x, int y) const { return unmultiplyArgb(at(x, y)); }
    // Stores a straight-alpha colour; an opaque bitmap drops its alpha.
    void setStraight(int x, int y, uint32_t argb) { at(x, y) = storedForm(argb); }
    uint32_t storedForm(uint32_t argb) const {
        return transparent ? premultiplyArgb(argb) : (argb | 0xFF000000u);
    }
};

struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// The part of a source rectangle that exists in both the source and, moved to the
// destination point, the destination: source corner, destination corner and size.
struct CopyArea {
    int sx = 0, sy = 0, dx = 0, dy = 0, width = 0, height = 0;
};
CopyArea clipCopy(const BitmapPixels& source, PixelRect rect, const BitmapPixels& dest, int destX,
                  int destY);

// The source area's pixels replace the destination's (a bitmap may be its own source).
void copyPixels(BitmapPixels& dest, const BitmapPixels& source, PixelRect rect, int destX,
                int destY);

// Flash's colour transform on bitmaps: multipliers in 1/256 steps, offsets whole.
struct ChannelTransform {
    double redMultiplier = 1, greenMultiplier = 1, blueMultiplier = 1, alphaMultiplier = 1;
    double redOffset = 0, greenOffset = 0, blueOffset = 0, alphaOffset = 0;
};
void colorTransform(BitmapPixels& bitmap, PixelRect rect, const ChannelTransform& transform);

// Each channel becomes (source * m + dest * (256 - m)) / 256, m clamped to 0..256.
void merge(BitmapPixels& dest, const BitmapPixels& source, PixelRect rect, int destX, int destY,
           const std::array<int, 4>& argbMultipliers);

// Each channel of a source pixel picks an entry of its table (alpha, red, green, blue); the
// new pixel is the sum of the four entries. A channel without a table keeps its value.
using PaletteTable = std::optional<std::array<uint32_t, 256>>;
void paletteMap(BitmapPixels& dest, const BitmapPixels& source, PixelRect rect, int destX,
                int destY, const std::array<PaletteTable, 4>& argbTables);

enum class ThresholdTest { Less, LessOrEqual, Greater, GreaterOrEqual, Equal, NotEqual };
// Pixels whose masked source colour passes the test against the masked threshold become
// color; the others take the source pixel when copySource, else stay. Answers how many
// pixels passed.
int threshold(BitmapPixels& dest, const BitmapPixels& source, PixelRect rect, int destX, int destY,
              ThresholdTest test, uint32_t threshold, uint32_t color, uint32_t mask,
              bool copySource);

// Channels are 1 red, 2 green, 4 blue, 8 alpha. A destination naming several channels (or
// none) is left alone; a source naming several clears the destination channel. Pixels are
// read as the copy goes, row by row: a bitmap copying into itself sees what it has already
// written.
void copyChannel(BitmapPixels& dest, const BitmapPixels& source, PixelRect rect, int destX,
                 int destY, int sourceChannel, int destChannel);

// Moves the picture by (dx, dy); what moves in from outside is left as it was.
void scroll(BitmapPixels& bitmap, int dx, int dy);

// The smallest rectangle holding every pixel whose colour & mask is (findColor) or is not
// (otherwise) color; empty when none.
PixelRect colorBoundsRect(const BitmapPixels& bitmap, uint32_t mask, uint32_t color,
                          bool findColor);

// The player's Park-Miller generator: a seed of 0 or below counts as 1 - seed.
class ParkMiller {
public:
    explicit ParkMiller(int32_t seed);
    uint32_t next();

private:
    uint32_t m_state;
};

void noise(BitmapPixels& bitmap, int32_t seed, int low, int high, int channels, bool grayScale);

// Moves up to pixelCount pixels of the source area to the destination (or, when fill is
// given, paints them that colour), each pixel at most once, in an order the seed picks; the
// same seed and count always pick the same pixels. Answers the seed that continues the
// dissolve where this call stopped.
int32_t pixelDissolve(BitmapPixels& dest, const BitmapPixels& source, PixelRect rect, int destX,
                      int destY, int32_t seed, int64_t pixelCount, std::optional<uint32_t> fill);

struct PerlinOptions {
    double baseX = 0;
    double baseY = 0;
    int octaves = 0;
    int32_t seed = 0;
    bool stitch = false;
    bool fractalNoise = false;
    int channels = 7;
    bool grayScale = false;
    // Per octave, in pixels; octaves past the end are not moved.
    std::vector<std::pair<double, double>> offsets;
};
void perlinNoise(BitmapPixels& bitmap, const PerlinOptions& options);

} // namespace swivio::swf::image
