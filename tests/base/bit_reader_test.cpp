#include <gtest/gtest.h>

#include "base/bit_reader.h"
#include "tests/support/swf_writer.h"

using namespace swivio;

TEST(BitReader, ReadsFieldsMostSignificantBitFirstAndSignExtends) {
    testkit::SwfBits w;
    w.ub(5, 15).sb(15, 0).sb(15, 11000).sb(15, -3).sb(15, -16384).u16(0x0C00);
    const auto& bytes = w.data();
    ByteReader r(bytes);
    BitReader bits(r);
    ASSERT_EQ(bits.ub(5), 15u);
    EXPECT_EQ(bits.sb(15), 0);
    EXPECT_EQ(bits.sb(15), 11000);
    EXPECT_EQ(bits.sb(15), -3);
    EXPECT_EQ(bits.sb(15), -16384);
    bits.align();
    EXPECT_EQ(r.u16(), 0x0C00);
    EXPECT_TRUE(r.ok());
    EXPECT_TRUE(r.atEnd());
}

TEST(BitReader, ReadingPastTheEndGivesZerosAndFails) {
    const uint8_t one[] = {0xFF};
    ByteReader r(one, 1);
    BitReader bits(r);
    EXPECT_EQ(bits.ub(4), 15u);
    EXPECT_EQ(bits.ub(8), 0xF0u);
    EXPECT_FALSE(bits.ok());
}

TEST(ByteReader, SubReaderIsBoundedAndShortReadsFail) {
    const uint8_t data[] = {1, 2, 3, 4, 5, 6};
    ByteReader r(data, sizeof data);
    ByteReader tag = r.sub(3);
    EXPECT_EQ(tag.u16(), 0x0201);
    EXPECT_EQ(tag.u32(), 0u); // only one byte left in the tag
    EXPECT_FALSE(tag.ok());
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.u8(), 4);
    ByteReader tooLong = r.sub(10);
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(tooLong.size(), 2u);
}
