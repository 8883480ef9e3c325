#include <cstdint>
#include <vector>

#include <gtest/gtest.h>
#include <zlib.h>

#include "clib/zlib_inflater.h"

namespace swivio::clib {
namespace {

std::vector<uint8_t> sampleData(std::size_t size) {
    std::vector<uint8_t> data(size);
    uint32_t x = 12345;
    for (std::size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        // Runs and noise mixed, so the deflate stream has both matches and literals.
        data[i] = (i / 64) % 2 ? uint8_t(i / 64) : uint8_t(x >> 24);
    }
    return data;
}

std::vector<uint8_t> compress(const std::vector<uint8_t>& in) {
    uLongf size = compressBound(uLong(in.size()));
    std::vector<uint8_t> out(size);
    EXPECT_EQ(compress2(out.data(), &size, in.data(), uLong(in.size()), 9), Z_OK);
    out.resize(size);
    return out;
}

// Feeds the input in pieces of inStep bytes through an output window of outStep bytes and
// collects everything produced; returns the final status.
DecodeStatus inflateAll(ZlibInflater& inflater, const std::vector<uint8_t>& in, std::size_t inStep,
                        std::size_t outStep, std::vector<uint8_t>& result,
                        std::size_t* consumedTotal = nullptr) {
    std::vector<uint8_t> window(outStep);
    std::size_t pos = 0;
    while (true) {
        const std::size_t piece = std::min(inStep, in.size() - pos);
        DecodeStep step = inflater.inflate(in.data() + pos, piece, window.data(), window.size());
        pos += step.consumed;
        result.insert(result.end(), window.begin(), window.begin() + long(step.produced));
        if (step.status == DecodeStatus::OutputFull)
            continue;
        if (step.status == DecodeStatus::Ok && pos < in.size())
            continue;
        if (consumedTotal)
            *consumedTotal = pos;
        return step.status;
    }
}

TEST(ZlibInflaterTest, DecodesWholeStreamThroughAnyWindowSizes) {
    const std::vector<uint8_t> data = sampleData(100000);
    const std::vector<uint8_t> packed = compress(data);
    for (auto [inStep, outStep] : {std::pair<std::size_t, std::size_t>{1, 1},
                                   {7, 4096},
                                   {packed.size(), 3},
                                   {packed.size(), data.size() * 2}}) {
        ZlibInflater inflater;
        ASSERT_TRUE(inflater.valid());
        std::vector<uint8_t> result;
        EXPECT_EQ(inflateAll(inflater, packed, inStep, outStep, result), DecodeStatus::StreamEnd)
            << inStep << " " << outStep;
        EXPECT_EQ(result, data) << inStep << " " << outStep;
        EXPECT_EQ(inflater.totalProduced(), data.size());
    }
}

TEST(ZlibInflaterTest, TruncatedStreamAsksForMoreInputAndKeepsWhatItDecoded) {
    const std::vector<uint8_t> data = sampleData(50000);
    std::vector<uint8_t> packed = compress(data);
    packed.resize(packed.size() / 2);
    ZlibInflater inflater;
    std::vector<uint8_t> result;
    std::size_t consumed = 0;
    EXPECT_EQ(inflateAll(inflater, packed, packed.size(), 4096, result, &consumed),
              DecodeStatus::Ok);
    EXPECT_EQ(consumed, packed.size());
    ASSERT_GT(result.size(), 0u);
    EXPECT_TRUE(std::equal(result.begin(), result.end(), data.begin()));
}

TEST(ZlibInflaterTest, DamagedStreamIsAStickyError) {
    const std::vector<uint8_t> data = sampleData(50000);
    std::vector<uint8_t> packed = compress(data);
    packed[0] = 0x00; // not a zlib header
    ZlibInflater inflater;
    std::vector<uint8_t> result;
    EXPECT_EQ(inflateAll(inflater, packed, packed.size(), 4096, result), DecodeStatus::Error);
    EXPECT_FALSE(inflater.errorString().empty());
    uint8_t out[8];
    EXPECT_EQ(inflater.inflate(packed.data(), packed.size(), out, sizeof out).status,
              DecodeStatus::Error);

    // A wrong checksum is only found at the very end of the stream.
    std::vector<uint8_t> badSum = compress(data);
    badSum.back() ^= 0xFF;
    ZlibInflater second;
    result.clear();
    EXPECT_EQ(inflateAll(second, badSum, 100, 4096, result), DecodeStatus::Error);
}

TEST(ZlibInflaterTest, BytesAfterTheStreamAreNotConsumed) {
    const std::vector<uint8_t> data = sampleData(3000);
    std::vector<uint8_t> packed = compress(data);
    const std::size_t streamSize = packed.size();
    packed.insert(packed.end(), {1, 2, 3, 4});
    ZlibInflater inflater;
    std::vector<uint8_t> result;
    std::size_t consumed = 0;
    EXPECT_EQ(inflateAll(inflater, packed, packed.size(), 100000, result, &consumed),
              DecodeStatus::StreamEnd);
    EXPECT_EQ(consumed, streamSize);
    EXPECT_EQ(result, data);
}

} // namespace
} // namespace swivio::clib
