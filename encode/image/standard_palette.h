#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace swivio {

// The fixed 256-colour palette of every 8-bit picture Swivio makes, as 0xRRGGBB. Entries 0
// to 9 and 246 to 255 are the twenty fixed system colours; 226 to 245 are a grey ramp.
extern const std::array<uint32_t, 256> kStandardPalette;

// The standard palette as 0x00BBGGRR colours, for a PictureImage.
const std::vector<uint32_t>& standardPaletteColors();

// The index of the palette entry nearest to (r, g, b): the smallest sum of squared channel
// differences, the lowest index among equal distances. Plain search over all entries.
int nearestPaletteIndex(const std::array<uint32_t, 256>& paletteRgb, int r, int g, int b);

// The same answer as nearestPaletteIndex over kStandardPalette, found quickly: the colour
// cube is cut into 8 x 8 x 8 cells, and each cell keeps, in index order, the only entries
// that can be nearest to some colour inside it (2.7 on average; the tables stay small enough
// for the processor's caches). Cheap to
// construct; the tables are shared and built once, thread-safely.
class StandardPaletteMatcher {
public:
    StandardPaletteMatcher();

    int nearest(int r, int g, int b) const {
        const uint32_t info =
            m_cells[uint32_t(r >> 3) << 10 | uint32_t(g >> 3) << 5 | uint32_t(b >> 3)];
        const uint8_t* candidates = m_candidates + (info >> kCountBits);
        const uint32_t count = info & kCountMask;
        // Distance and index in one key: the smallest key is the nearest entry, the lowest
        // index among equal distances. Branch-free, so unpredictable colours cost no
        // mispredictions.
        uint32_t best = key(candidates[0], r, g, b);
        for (uint32_t i = 1; i < count; ++i) {
            const uint32_t k = key(candidates[i], r, g, b);
            best = k < best ? k : best;
        }
        return int(best & 0xFF);
    }

    // Average number of candidates a cell keeps, and the share of cells with one.
    double averageCandidates() const;
    double singleCandidateShare() const;

    // Cell word: offset << kCountBits | count.
    static constexpr int kCountBits = 9;
    static constexpr uint32_t kCountMask = (1u << kCountBits) - 1;
    static constexpr int kCells = 32 * 32 * 32;

    struct Tables {
        std::array<int16_t, 256 * 4> rgb; // red, green, blue, unused
        std::vector<uint32_t> cells;
        std::vector<uint8_t> candidates;
    };

private:
    uint32_t key(int index, int r, int g, int b) const {
        const int16_t* p = m_rgb + index * 4;
        const int dr = r - p[0], dg = g - p[1], db = b - p[2];
        return uint32_t(dr * dr + dg * dg + db * db) << 8 | uint32_t(index);
    }

    // Raw views of the shared tables, kept in the object so that a caller's loop can hold
    // them in registers.
    const uint32_t* m_cells;
    const uint8_t* m_candidates;
    const int16_t* m_rgb;
    const Tables* m_tables;
};

} // namespace swivio
