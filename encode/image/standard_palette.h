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
// that can be nearest to some colour inside it. Cheap to copy; the tables are shared and
// built once, thread-safely.
class StandardPaletteMatcher {
public:
    StandardPaletteMatcher();

    int nearest(int r, int g, int b) const {
        const uint32_t cell = uint32_t(r >> 3) << 10 | uint32_t(g >> 3) << 5 | uint32_t(b >> 3);
        const uint16_t* candidates = m_tables->candidates.data() + m_tables->cellStart[cell];
        const int count = m_tables->cellStart[cell + 1] - m_tables->cellStart[cell];
        int best = candidates[0];
        int bestDistance = distance(best, r, g, b);
        for (int i = 1; i < count && bestDistance != 0; ++i) {
            const int d = distance(candidates[i], r, g, b);
            if (d < bestDistance) {
                bestDistance = d;
                best = candidates[i];
            }
        }
        return best;
    }

    // Average number of candidates a cell keeps (for measurements).
    double averageCandidates() const;

    struct Tables {
        std::array<int16_t, 256 * 3> rgb;
        std::vector<uint32_t> cellStart; // 32768 + 1 offsets into candidates
        std::vector<uint16_t> candidates;
    };

private:
    int distance(int index, int r, int g, int b) const {
        const int16_t* p = m_tables->rgb.data() + index * 3;
        const int dr = r - p[0], dg = g - p[1], db = b - p[2];
        return dr * dr + dg * dg + db * db;
    }

    const Tables* m_tables;
};

} // namespace swivio
