#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "encode/image/picture_image.h"

namespace swivio {

// A palette fitted to the colours of a picture, and the reduction of pictures to it.
//
// Colours are counted in a histogram of 32 x 32 x 32 cells that also keeps the sum of the
// exact colours of each cell, so a palette entry is the true mean of the pixels it stands
// for. The fit cuts the colour space like a median cut, but always splits the set whose
// pixels are farthest from their mean (largest sum of squared errors), on the axis of its
// largest spread, at the point that leaves the two halves the smallest squared error; then
// two rounds of k-means move each entry to the mean of the cells nearest to it.
//
// All memory is allocated once, by the constructor (about 1 MB), so a long movie reduced
// picture by picture does not grow it.
class AdaptivePalette {
public:
    static constexpr int kMaxColors = 256;

    AdaptivePalette();

    // Forgets the counted colours.
    void clearColors();
    // Counts one pixel.
    void addColor(int r, int g, int b) {
        const uint32_t cell = uint32_t(r >> 3) << 10 | uint32_t(g >> 3) << 5 | uint32_t(b >> 3);
        Cell& c = m_cells[cell];
        if (c.count++ == 0)
            m_usedCells.push_back(cell);
        c.red += uint32_t(r & 7);
        c.green += uint32_t(g & 7);
        c.blue += uint32_t(b & 7);
    }

    // Fits at most `maxColors` (1..256) colours to the counted ones, fewer when fewer
    // cells are used; one black entry when nothing was counted.
    void fit(int maxColors);

    // The fitted colours as 0x00BBGGRR, for a PictureImage.
    const std::vector<uint32_t>& colors() const { return m_colors; }
    int size() const { return int(m_colors.size()); }

    // The index of the fitted colour nearest to (r, g, b) (smallest sum of squared channel
    // differences). Answers are remembered until the next fit.
    int nearest(int r, int g, int b) {
        const uint32_t key = uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
        const uint32_t slot = (key * 2654435761u) >> (32 - kCacheBits);
        if (m_cacheKeys[slot] == key)
            return m_cacheIndexes[slot];
        const int index = search(r, g, b);
        m_cacheKeys[slot] = key;
        m_cacheIndexes[slot] = uint8_t(index);
        return index;
    }

private:
    struct Cell {
        uint32_t count = 0;
        // Sums of the colours' offsets inside the cell (0..7 each): they cannot overflow
        // for the largest picture (2^25 pixels).
        uint32_t red = 0, green = 0, blue = 0;
    };
    // A used cell's mean colour and weight, the unit the fit works on.
    struct Sample {
        float r, g, b;
        float weight;
    };
    struct Entry {
        int16_t g, r, b;
        uint8_t index;
    };
    static constexpr int kCacheBits = 15;
    static constexpr uint32_t kNoKey = 0xFFFFFFFF;

    void cut(int maxColors);
    void refine();
    void prepareSearch();
    int search(int r, int g, int b) const;

    std::vector<Cell> m_cells;
    std::vector<uint32_t> m_usedCells;
    std::vector<Sample> m_samples;
    std::vector<uint32_t> m_colors;
    // The colours sorted by green, and where the search starts for each green value.
    std::vector<Entry> m_sorted;
    std::array<uint16_t, 256> m_start{};
    std::vector<uint32_t> m_cacheKeys;
    std::vector<uint8_t> m_cacheIndexes;
};

// The reduction of one picture, or of the pictures of an animation, to fitted palettes.
// With `dither`, Floyd-Steinberg error diffusion (7/16 right, 3/16, 5/16, 1/16 on the
// next row) of three quarters of each pixel's error, run from the top row down.
class AdaptiveReducer {
public:
    // `target` becomes an 8-bit picture of `source`'s size over up to 256 colours fitted
    // to it, with no transparent index. False (target untouched) when `source` is not a
    // 24-bit picture.
    bool reduce(const PictureImage& source, bool dither, PictureImage& target);

    // The next picture of an animation that shows each image over the one before (disposal
    // "leave in place"). The first picture, or one of another size, is reduced whole, and
    // `rect` is the whole picture. Later ones write only `rect`, the smallest rectangle
    // around the pixels that differ from the previous source picture; inside it the
    // unchanged pixels take the transparent index, so the viewer keeps what it shows there,
    // and a palette of up to 255 colours is fitted to the changed pixels only. A changed
    // pixel also stays transparent when the colour on screen is within a small tolerance
    // as near to it as the palette's nearest. The colours left on screen take part in the
    // error diffusion, so a still area keeps its pattern exactly and the pattern does not
    // crawl. A picture without any change gives a 1 x 1 transparent image. `rect` is
    // {left, top, width, height}, from the top-left corner.
    bool reduceNext(const PictureImage& source, bool dither, PictureImage& target,
                    std::array<int, 4>& rect);

    // Forgets the previous picture: the next reduceNext starts whole.
    void restart() { m_width = m_height = 0; }

private:
    void reduceRect(const PictureImage& source, bool dither, bool onlyChanged,
                    const std::array<int, 4>& rect, int transparentIndex, PictureImage& target);

    AdaptivePalette m_palette;
    int m_width = 0;
    int m_height = 0;
    // The previous source picture and the colours on screen, top row first, 3 bytes
    // (blue, green, red) per pixel.
    std::vector<uint8_t> m_previous;
    std::vector<uint8_t> m_shown;
    // Diffused errors in sixteenths, for this row and the next, per channel, with a spare
    // pixel on each side.
    std::vector<int32_t> m_errorThis;
    std::vector<int32_t> m_errorNext;
};

} // namespace swivio
