#pragma once

#include <cstdint>

#include "tests/support/swf_writer.h"

namespace swivio::testkit {

// Writes the records of a SHAPE (as glyphs and morph shapes hold them) into SwfBits, with
// fixed field widths that hold any coordinate up to +-16383 twips.
class EdgeRecordWriter {
public:
    EdgeRecordWriter(SwfBits& bits, int fillBits, int lineBits)
        : m_bits(bits), m_fillBits(fillBits), m_lineBits(lineBits) {
        m_bits.ub(4, uint32_t(fillBits)).ub(4, uint32_t(lineBits));
    }

    // A style-change record with a move to (x, y); negative styles are left unchanged.
    EdgeRecordWriter& moveTo(int32_t x, int32_t y, int fill0 = -1, int fill1 = -1, int line = -1) {
        const uint32_t flags =
            (line >= 0 ? 0x08 : 0) | (fill1 >= 0 ? 0x04 : 0) | (fill0 >= 0 ? 0x02 : 0) | 0x01;
        m_bits.flag(false).ub(5, flags);
        m_bits.ub(5, kBits).sb(kBits, x).sb(kBits, y);
        if (fill0 >= 0)
            m_bits.ub(m_fillBits, uint32_t(fill0));
        if (fill1 >= 0)
            m_bits.ub(m_fillBits, uint32_t(fill1));
        if (line >= 0)
            m_bits.ub(m_lineBits, uint32_t(line));
        return *this;
    }
    // A straight edge by (dx, dy), written as a general line.
    EdgeRecordWriter& lineBy(int32_t dx, int32_t dy) {
        m_bits.flag(true).flag(true).ub(4, kBits - 2).flag(true).sb(kBits, dx).sb(kBits, dy);
        return *this;
    }
    // A curve to the control point (cdx, cdy) away, then the anchor (adx, ady) beyond it.
    EdgeRecordWriter& curveBy(int32_t cdx, int32_t cdy, int32_t adx, int32_t ady) {
        m_bits.flag(true).flag(false).ub(4, kBits - 2);
        m_bits.sb(kBits, cdx).sb(kBits, cdy).sb(kBits, adx).sb(kBits, ady);
        return *this;
    }
    // The end record; the SHAPE then ends on a byte boundary.
    void end() { m_bits.flag(false).ub(5, 0).align(); }

private:
    static constexpr int kBits = 16;
    SwfBits& m_bits;
    int m_fillBits;
    int m_lineBits;
};

} // namespace swivio::testkit
