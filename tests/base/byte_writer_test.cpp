#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/byte_writer.h"

namespace swivio {
namespace {

using Bytes = std::vector<uint8_t>;

struct WriterCase {
    const char* name;
    Bytes start;
    std::function<bool(ByteWriter&)> write; // what it returns must be true
    Bytes expected;
};
class ByteWriterCases : public testing::TestWithParam<WriterCase> {};

TEST_P(ByteWriterCases, LeaveTheExpectedBytes) {
    const WriterCase& c = GetParam();
    Bytes out = c.start;
    ByteWriter writer(out);
    EXPECT_TRUE(c.write(writer));
    EXPECT_EQ(out, c.expected);
    EXPECT_EQ(writer.size(), c.expected.size());
}

INSTANTIATE_TEST_SUITE_P(
    Writes, ByteWriterCases,
    testing::Values(WriterCase{"LowByteFirst",
                               {},
                               [](ByteWriter& w) {
                                   w.u8(0xAB).u16(0x1234).u32(0xA1B2C3D4).u64(0x0102030405060708);
                                   return true;
                               },
                               {0xAB, 0x34, 0x12, 0xD4, 0xC3, 0xB2, 0xA1, 8, 7, 6, 5, 4, 3, 2, 1}},
                    WriterCase{"AppendsToWhatIsThere",
                               {9, 9},
                               [](ByteWriter& w) {
                                   w.text("RIFF").zeros(2).bytes(Bytes{5, 6});
                                   return true;
                               },
                               {9, 9, 'R', 'I', 'F', 'F', 0, 0, 5, 6}},
                    WriterCase{"PatchesFillPlaceholders",
                               {},
                               [](ByteWriter& w) {
                                   w.u32(0).u16(0).u8(7);
                                   return w.patch32(0, 0xDDCCBBAA) && w.patch16(4, 0x0102);
                               },
                               {0xAA, 0xBB, 0xCC, 0xDD, 0x02, 0x01, 7}},
                    WriterCase{"PatchPastTheEndChangesNothing",
                               {1, 2, 3},
                               [](ByteWriter& w) {
                                   return !w.patch32(0, 0xFFFFFFFF) && !w.patch16(2, 0xFFFF) &&
                                          !w.patch16(SIZE_MAX, 0xFFFF) && w.patch16(1, 0x0908);
                               },
                               {1, 8, 9}}),
    [](const testing::TestParamInfo<WriterCase>& param) { return std::string(param.param.name); });

} // namespace
} // namespace swivio
