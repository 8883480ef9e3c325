#include "encode/image/standard_palette.h"

#include <algorithm>
#include <cstdlib>

#include "base/frame.h"

namespace swivio {

const std::array<uint32_t, 256> kStandardPalette = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0, 0xC0DCC0,
    0xA6CAF0, 0xFFF0D4, 0xFFE2B1, 0xFFD48E, 0xFFC66B, 0xFFB848, 0xFFAA25, 0xFFAA00, 0xDC9200,
    0xB97A00, 0x966200, 0x734A00, 0x503200, 0xFFE3D4, 0xFFC7B1, 0xFFAB8E, 0xFF8F6B, 0xFF7348,
    0xFF5725, 0xFF5500, 0xDC4900, 0xB93D00, 0x963100, 0x732500, 0x501900, 0xFFD4D4, 0xFFB1B1,
    0xFF8E8E, 0xFF6B6B, 0xFF4848, 0xFF2525, 0xFE0000, 0xDC0000, 0xB90000, 0x960000, 0x730000,
    0x500000, 0xFFD4E3, 0xFFB1C7, 0xFF8EAB, 0xFF6B8F, 0xFF4873, 0xFF2557, 0xFF0055, 0xDC0049,
    0xB9003D, 0x960031, 0x730025, 0x500019, 0xFFD4F0, 0xFFB1E2, 0xFF8ED4, 0xFF6BC6, 0xFF48B8,
    0xFF25AA, 0xFF00AA, 0xDC0092, 0xB9007A, 0x960062, 0x73004A, 0x500032, 0xFFD4FF, 0xFFB1FF,
    0xFF8EFF, 0xFF6BFF, 0xFF48FF, 0xFF25FF, 0xFE00FE, 0xDC00DC, 0xB900B9, 0x960096, 0x730073,
    0x500050, 0xF0D4FF, 0xE2B1FF, 0xD48EFF, 0xC66BFF, 0xB848FF, 0xAA25FF, 0xAA00FF, 0x9200DC,
    0x7A00B9, 0x620096, 0x4A0073, 0x320050, 0xE3D4FF, 0xC7B1FF, 0xAB8EFF, 0x8F6BFF, 0x7348FF,
    0x5725FF, 0x5500FF, 0x4900DC, 0x3D00B9, 0x310096, 0x250073, 0x190050, 0xD4D4FF, 0xB1B1FF,
    0x8E8EFF, 0x6B6BFF, 0x4848FF, 0x2525FF, 0x0000FE, 0x0000DC, 0x0000B9, 0x000096, 0x000073,
    0x000050, 0xD4E3FF, 0xB1C7FF, 0x8EABFF, 0x6B8FFF, 0x4873FF, 0x2557FF, 0x0055FF, 0x0049DC,
    0x003DB9, 0x003196, 0x002573, 0x001950, 0xD4F0FF, 0xB1E2FF, 0x8ED4FF, 0x6BC6FF, 0x48B8FF,
    0x25AAFF, 0x00AAFF, 0x0092DC, 0x007AB9, 0x006296, 0x004A73, 0x003250, 0xD4FFFF, 0xB1FFFF,
    0x8EFFFF, 0x6BFFFF, 0x48FFFF, 0x25FFFF, 0x00FEFE, 0x00DCDC, 0x00B9B9, 0x009696, 0x007373,
    0x005050, 0xD4FFF0, 0xB1FFE2, 0x8EFFD4, 0x6BFFC6, 0x48FFB8, 0x25FFAA, 0x00FFAA, 0x00DC92,
    0x00B97A, 0x009662, 0x00734A, 0x005032, 0xD4FFE3, 0xB1FFC7, 0x8EFFAB, 0x6BFF8F, 0x48FF73,
    0x25FF57, 0x00FF55, 0x00DC49, 0x00B93D, 0x009631, 0x007325, 0x005019, 0xD4FFD4, 0xB1FFB1,
    0x8EFF8E, 0x6BFF6B, 0x48FF48, 0x25FF25, 0x00FE00, 0x00DC00, 0x00B900, 0x009600, 0x007300,
    0x005000, 0xE3FFD4, 0xC7FFB1, 0xABFF8E, 0x8FFF6B, 0x73FF48, 0x57FF25, 0x55FF00, 0x49DC00,
    0x3DB900, 0x319600, 0x257300, 0x195000, 0xF0FFD4, 0xE2FFB1, 0xD4FF8E, 0xC6FF6B, 0xB8FF48,
    0xAAFF25, 0xAAFF00, 0x92DC00, 0x7AB900, 0x629600, 0x4A7300, 0x325000, 0xFFFFD4, 0xFFFFB1,
    0xFFFF8E, 0xFFFF6B, 0xFFFF48, 0xFFFF25, 0xFEFE00, 0xDCDC00, 0xB9B900, 0x969600, 0x737300,
    0x505000, 0xF2F2F2, 0xE6E6E6, 0xDADADA, 0xCECECE, 0xC2C2C2, 0xB6B6B6, 0xAAAAAA, 0x9E9E9E,
    0x929292, 0x868686, 0x7A7A7A, 0x6E6E6E, 0x626262, 0x565656, 0x4A4A4A, 0x3E3E3E, 0x323232,
    0x262626, 0x1A1A1A, 0x0E0E0E, 0xFFFBF0, 0xA0A0A4, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
    0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

const std::vector<uint32_t>& standardPaletteColors() {
    static const std::vector<uint32_t> colors = [] {
        std::vector<uint32_t> list;
        list.reserve(kStandardPalette.size());
        for (uint32_t rgb : kStandardPalette)
            list.push_back(makeColor(uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb)));
        return list;
    }();
    return colors;
}

int nearestPaletteIndex(const std::array<uint32_t, 256>& paletteRgb, int r, int g, int b) {
    int best = 0;
    int bestDistance = -1;
    for (int i = 0; i < 256; ++i) {
        const int dr = r - int(paletteRgb[i] >> 16 & 0xFF);
        const int dg = g - int(paletteRgb[i] >> 8 & 0xFF);
        const int db = b - int(paletteRgb[i] & 0xFF);
        const int d = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || d < bestDistance) {
            bestDistance = d;
            best = i;
            if (d == 0)
                break;
        }
    }
    return best;
}

namespace {

// Squared distance from v to the nearest and the farthest point of [lo, hi].
int axisMin(int v, int lo, int hi) {
    const int d = v < lo ? lo - v : v > hi ? v - hi : 0;
    return d * d;
}
int axisMax(int v, int lo, int hi) {
    const int d = std::max(std::abs(v - lo), std::abs(v - hi));
    return d * d;
}

// For every cell, an entry can be nearest to some colour of the cell only if its smallest
// distance to the cell is at most the smallest, over all entries, of the largest distance
// to the cell. Keeping every such entry in index order keeps the lowest-index tie rule.
void keepCandidates(const std::array<int16_t, 256 * 4>& rgb, int r0, int g0, int b0, int side,
                    const uint16_t* from, int fromCount, std::vector<uint16_t>& out) {
    int bound = -1;
    std::array<int, 256> minDistance{};
    for (int k = 0; k < fromCount; ++k) {
        const int i = from[k];
        const int r = rgb[i * 4], g = rgb[i * 4 + 1], b = rgb[i * 4 + 2];
        const int hi = side - 1;
        minDistance[k] =
            axisMin(r, r0, r0 + hi) + axisMin(g, g0, g0 + hi) + axisMin(b, b0, b0 + hi);
        const int far = axisMax(r, r0, r0 + hi) + axisMax(g, g0, g0 + hi) + axisMax(b, b0, b0 + hi);
        if (bound < 0 || far < bound)
            bound = far;
    }
    for (int k = 0; k < fromCount; ++k) {
        if (minDistance[k] <= bound)
            out.push_back(from[k]);
    }
}

StandardPaletteMatcher::Tables buildTables() {
    using M = StandardPaletteMatcher;
    M::Tables t;
    for (int i = 0; i < 256; ++i) {
        t.rgb[i * 4] = int16_t(kStandardPalette[i] >> 16 & 0xFF);
        t.rgb[i * 4 + 1] = int16_t(kStandardPalette[i] >> 8 & 0xFF);
        t.rgb[i * 4 + 2] = int16_t(kStandardPalette[i] & 0xFF);
        t.rgb[i * 4 + 3] = 0;
    }
    std::array<uint16_t, 256> all{};
    for (int i = 0; i < 256; ++i)
        all[i] = uint16_t(i);
    t.cells.assign(M::kCells, 0);
    t.candidates.reserve(M::kCells * 3);
    std::vector<uint16_t> kept;
    for (int r = 0; r < 32; ++r)
        for (int g = 0; g < 32; ++g)
            for (int b = 0; b < 32; ++b) {
                kept.clear();
                keepCandidates(t.rgb, r * 8, g * 8, b * 8, 8, all.data(), 256, kept);
                uint32_t& cell = t.cells[std::size_t(r << 10 | g << 5 | b)];
                cell = uint32_t(t.candidates.size()) << M::kCountBits | uint32_t(kept.size());
                for (uint16_t index : kept)
                    t.candidates.push_back(uint8_t(index));
            }
    return t;
}

} // namespace

StandardPaletteMatcher::StandardPaletteMatcher() {
    static const Tables tables = buildTables();
    m_tables = &tables;
    m_cells = tables.cells.data();
    m_candidates = tables.candidates.data();
    m_rgb = tables.rgb.data();
}

double StandardPaletteMatcher::averageCandidates() const {
    std::size_t total = 0;
    for (uint32_t cell : m_tables->cells)
        total += cell & kCountMask;
    return double(total) / kCells;
}

double StandardPaletteMatcher::singleCandidateShare() const {
    std::size_t single = 0;
    for (uint32_t cell : m_tables->cells)
        single += (cell & kCountMask) == 1;
    return double(single) / kCells;
}

} // namespace swivio
