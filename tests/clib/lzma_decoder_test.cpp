#include <cstdint>
#include <vector>

#include <gtest/gtest.h>
#include <lzma.h>

#include "clib/lzma_decoder.h"

namespace swivio::clib {
namespace {

std::vector<uint8_t> sampleData(std::size_t size) {
    std::vector<uint8_t> data(size);
    uint32_t x = 777;
    for (std::size_t i = 0; i < size; ++i) {
        x = x * 1664525u + 1013904223u;
        data[i] = (i / 100) % 3 ? uint8_t(i / 100) : uint8_t(x >> 24);
    }
    return data;
}

// Lays the data out as a "ZWS" body: compressed length, 5 property bytes, raw LZMA1 data.
// With endMarker false the raw data ends without an end-of-payload marker, as some movie
// writers leave it.
std::vector<uint8_t> zwsBody(const std::vector<uint8_t>& data, bool endMarker) {
    lzma_options_lzma options;
    lzma_lzma_preset(&options, 6);
    options.dict_size = 1 << 16;
    if (!endMarker) {
        options.ext_flags = 0;
        options.ext_size_low = uint32_t(data.size());
        options.ext_size_high = 0;
    }
    lzma_filter filters[] = {{endMarker ? LZMA_FILTER_LZMA1 : LZMA_FILTER_LZMA1EXT, &options},
                             {LZMA_VLI_UNKNOWN, nullptr}};
    std::vector<uint8_t> raw(data.size() + data.size() / 2 + 1024);
    std::size_t rawSize = 0;
    EXPECT_EQ(lzma_raw_buffer_encode(filters, nullptr, data.data(), data.size(), raw.data(),
                                     &rawSize, raw.size()),
              LZMA_OK);
    raw.resize(rawSize);
    std::vector<uint8_t> body;
    for (int i = 0; i < 4; ++i)
        body.push_back(uint8_t(rawSize >> (8 * i)));
    body.push_back(uint8_t((options.pb * 5 + options.lp) * 9 + options.lc));
    for (int i = 0; i < 4; ++i)
        body.push_back(uint8_t(options.dict_size >> (8 * i)));
    body.insert(body.end(), raw.begin(), raw.end());
    return body;
}

struct Outcome {
    DecodeStatus status;
    std::vector<uint8_t> data;
    std::size_t consumed;
};

Outcome decodeAll(LzmaDecoder& decoder, const std::vector<uint8_t>& in, std::size_t inStep,
                  std::size_t outStep) {
    Outcome outcome{DecodeStatus::Ok, {}, 0};
    std::vector<uint8_t> window(outStep);
    while (true) {
        const std::size_t piece = std::min(inStep, in.size() - outcome.consumed);
        DecodeStep step =
            decoder.decode(in.data() + outcome.consumed, piece, window.data(), window.size());
        outcome.consumed += step.consumed;
        outcome.data.insert(outcome.data.end(), window.begin(),
                            window.begin() + long(step.produced));
        outcome.status = step.status;
        if (step.status == DecodeStatus::OutputFull)
            continue;
        if (step.status == DecodeStatus::Ok && outcome.consumed < in.size())
            continue;
        return outcome;
    }
}

struct SizeCase {
    bool endMarker;
    bool sizeKnown;
    std::size_t inStep;
    std::size_t outStep;
};

class LzmaDecoderRoundTrip : public testing::TestWithParam<SizeCase> {};

TEST_P(LzmaDecoderRoundTrip, DecodesTheWholeBody) {
    const SizeCase c = GetParam();
    const std::vector<uint8_t> data = sampleData(60000);
    const std::vector<uint8_t> body = zwsBody(data, c.endMarker);
    LzmaDecoder decoder(c.sizeKnown ? data.size() : LzmaDecoder::kUnknownSize);
    const Outcome outcome = decodeAll(decoder, body, c.inStep, c.outStep);
    EXPECT_EQ(outcome.data, data);
    EXPECT_EQ(decoder.compressedLength(), body.size() - LzmaDecoder::kPrefixSize);
    if (c.endMarker || c.sizeKnown)
        EXPECT_EQ(outcome.status, DecodeStatus::StreamEnd) << decoder.errorString();
    else // without a marker or a size the end is only known by the input running out
        EXPECT_EQ(outcome.status, DecodeStatus::Ok);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, LzmaDecoderRoundTrip,
    testing::Values(SizeCase{true, false, 1, 1}, SizeCase{true, false, 100000, 100000},
                    // Small input pieces split the end marker after the known size.
                    SizeCase{true, true, 5, 333}, SizeCase{false, true, 100000, 4096},
                    SizeCase{false, false, 64, 100000}));

TEST(LzmaDecoderTest, TruncatedBodyKeepsWhatItDecoded) {
    const std::vector<uint8_t> data = sampleData(60000);
    std::vector<uint8_t> body = zwsBody(data, true);
    body.resize(body.size() / 2);
    LzmaDecoder decoder;
    const Outcome outcome = decodeAll(decoder, body, body.size(), 4096);
    EXPECT_EQ(outcome.status, DecodeStatus::Ok);
    EXPECT_EQ(outcome.consumed, body.size());
    ASSERT_GT(outcome.data.size(), 0u);
    EXPECT_TRUE(std::equal(outcome.data.begin(), outcome.data.end(), data.begin()));
}

TEST(LzmaDecoderTest, DamagedDataIsAStickyError) {
    const std::vector<uint8_t> data = sampleData(60000);
    std::vector<uint8_t> body = zwsBody(data, true);
    body[4] = 250; // lc/lp/pb byte beyond its range
    LzmaDecoder decoder;
    EXPECT_EQ(decodeAll(decoder, body, body.size(), 4096).status, DecodeStatus::Error);
    EXPECT_FALSE(decoder.errorString().empty());
    uint8_t out[4];
    EXPECT_EQ(decoder.decode(body.data(), body.size(), out, sizeof out).status,
              DecodeStatus::Error);

    // Every byte of the raw data flipped in turn at a few places: never a crash, and a
    // result that does not end cleanly with the original data.
    const std::vector<uint8_t> good = zwsBody(data, true);
    for (std::size_t at = LzmaDecoder::kPrefixSize; at < good.size(); at += good.size() / 7) {
        std::vector<uint8_t> bad = good;
        bad[at] ^= 0x5A;
        LzmaDecoder d(data.size());
        const Outcome o = decodeAll(d, bad, bad.size(), 4096);
        EXPECT_FALSE(o.status == DecodeStatus::StreamEnd && o.data == data) << at;
    }
}

TEST(LzmaDecoderTest, EndMarkerBeforeTheKnownSizeIsAnError) {
    const std::vector<uint8_t> data = sampleData(5000);
    const std::vector<uint8_t> body = zwsBody(data, true);
    LzmaDecoder decoder(data.size() + 100);
    EXPECT_EQ(decodeAll(decoder, body, body.size(), 100000).status, DecodeStatus::Error);
}

TEST(LzmaDecoderTest, HugeDictionaryIsRefusedNotAllocated) {
    std::vector<uint8_t> body = zwsBody(sampleData(1000), true);
    for (int i = 0; i < 4; ++i)
        body[5 + std::size_t(i)] = 0xFF; // 4 GiB dictionary
    LzmaDecoder unknownSize(LzmaDecoder::kUnknownSize, 64ull << 20);
    EXPECT_EQ(decodeAll(unknownSize, body, body.size(), 4096).status, DecodeStatus::Error);

    // With a cap for a stream of unknown size, the same.
    LzmaDecoder capped(LzmaDecoder::kUnknownSize, 64ull << 20);
    capped.capDictionary(1000);
    const Outcome cappedOutcome = decodeAll(capped, body, body.size(), 4096);
    EXPECT_EQ(cappedOutcome.status, DecodeStatus::StreamEnd);
    EXPECT_EQ(cappedOutcome.data, sampleData(1000));

    // With the size known the dictionary is capped at it and the body decodes.
    LzmaDecoder knownSize(1000, 64ull << 20);
    const Outcome outcome = decodeAll(knownSize, body, body.size(), 4096);
    EXPECT_EQ(outcome.status, DecodeStatus::StreamEnd);
    EXPECT_EQ(outcome.data, sampleData(1000));
}

} // namespace
} // namespace swivio::clib
