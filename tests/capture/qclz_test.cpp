#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "capture/qclz.h"

namespace swivio {
namespace {

using Bytes = std::vector<uint8_t>;

uint32_t readLe32(const Bytes& b, std::size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

void writeLe32(Bytes& b, std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = uint8_t(v >> (8 * i));
}

bool hasTag(const Bytes& b, std::size_t at) {
    return std::memcmp(b.data() + at, "QCLZ", 4) == 0;
}

// Compresses with a scratch area of exactly the documented size, so that the sanitizer build
// reports any write past it, and returns the block alone.
Bytes compress(const Bytes& source, std::size_t rowBytes = 0) {
    Bytes scratch(qclzScratchSize(source.size()));
    const std::size_t size =
        compressBlock(source.data(), source.size(), scratch.data(), rowBytes);
    EXPECT_GE(size, 36u);
    EXPECT_LE(size, scratch.size());
    scratch.resize(size);
    return scratch;
}

// Guard bytes after the destination show writes past its capacity in any build.
constexpr std::size_t kGuard = 64;
constexpr uint8_t kGuardByte = 0xE5;

struct Decoded {
    std::size_t result = 0;
    Bytes bytes;
    bool guardIntact = true;
};

Decoded decompress(const Bytes& block, std::size_t capacity) {
    Bytes out(capacity + kGuard, kGuardByte);
    Decoded d;
    d.result = decompressBlock(block.data(), block.size(), out.data(), capacity);
    for (std::size_t i = capacity; i < out.size(); ++i)
        d.guardIntact = d.guardIntact && out[i] == kGuardByte;
    out.resize(capacity);
    d.bytes = std::move(out);
    return d;
}

Bytes noise(std::size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& x : b)
        x = uint8_t(rng());
    return b;
}

// A 24-bit picture, rows of `width` pixels, built by a colour function of (x, y).
Bytes picture(int width, int height, const std::function<uint32_t(int, int)>& color) {
    Bytes b;
    b.reserve(std::size_t(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint32_t c = color(x, y);
            b.push_back(uint8_t(c >> 16));
            b.push_back(uint8_t(c >> 8));
            b.push_back(uint8_t(c));
        }
    return b;
}

// ---------------------------------------------------------------------------------------
// Round trips over many shapes and sizes.

struct Shape {
    std::string name;
    std::function<Bytes()> make;
};

class QclzRoundTrip : public testing::TestWithParam<Shape> {};

TEST_P(QclzRoundTrip, DecodesToTheSourceExactly) {
    const Bytes source = GetParam().make();
    const Bytes block = compress(source);
    ASSERT_TRUE(hasTag(block, 0));
    ASSERT_TRUE(hasTag(block, block.size() - 4));
    EXPECT_EQ(readLe32(block, 4), 3u);
    EXPECT_EQ(readLe32(block, 8), block.size());
    EXPECT_EQ(readLe32(block, 12), source.size());

    const Decoded d = decompress(block, source.size());
    EXPECT_EQ(d.result, source.size());
    EXPECT_TRUE(d.bytes == source);
    EXPECT_TRUE(d.guardIntact);

    // A destination larger than needed changes nothing; one byte short is refused.
    EXPECT_EQ(decompress(block, source.size() + 100).result, source.size());
    if (!source.empty()) {
        EXPECT_EQ(decompress(block, source.size() - 1).result, 0u);
    }
}

Bytes repeated(std::size_t n, uint8_t value) {
    return Bytes(n, value);
}

Bytes flatColour(int w, int h) {
    return picture(w, h, [](int, int) { return 0x3366CCu; });
}

Bytes gradient(int w, int h) {
    return picture(w, h, [w, h](int x, int y) {
        return uint32_t(x * 255 / w) | uint32_t(y * 255 / h) << 8 | 0x800000u;
    });
}

// Flat shapes on a gradient with a noisy block, like a vector picture with a photo in it.
Bytes mixture(int w, int h) {
    std::mt19937 rng(7);
    return picture(w, h, [&](int x, int y) -> uint32_t {
        if (x > w / 2 && y > h / 2)
            return rng() & 0xFFFFFF;
        const int dx = x - w / 4, dy = y - h / 4;
        if (dx * dx + dy * dy < (w / 6) * (w / 6))
            return 0x00FF00;
        if (x > w / 3 && x < w / 2 && y > h / 2)
            return 0x0000FF;
        return uint32_t(y * 255 / h) << 16;
    });
}

// A run of `runLength` equal bytes between noise, so its exact length matters.
Bytes runInNoise(std::size_t runLength) {
    Bytes b = noise(3000, 11);
    b.insert(b.begin() + 1000, runLength, uint8_t(0x42));
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, QclzRoundTrip,
    testing::Values(Shape{"OneByte", [] { return Bytes{9}; }},
                    Shape{"FourBytes", [] { return noise(4, 1); }},
                    Shape{"FiveBytes", [] { return noise(5, 2); }},
                    Shape{"ShortNoise", [] { return noise(100, 3); }},
                    Shape{"TailOnly2067", [] { return repeated(2067, 1); }},
                    Shape{"TailOnly2068", [] { return repeated(2068, 1); }},
                    Shape{"OneLoopStep2069", [] { return repeated(2069, 1); }},
                    Shape{"NoiseNearTail2070", [] { return noise(2070, 4); }},
                    Shape{"Zeros2072", [] { return repeated(2072, 0); }},
                    Shape{"Zeros4117", [] { return repeated(4117, 0); }},
                    Shape{"Zeros640x480", [] { return repeated(640 * 480 * 3, 0); }},
                    Shape{"Run2048", [] { return runInNoise(2048); }},
                    Shape{"Run2049", [] { return runInNoise(2049); }},
                    Shape{"Run2050", [] { return runInNoise(2050); }},
                    Shape{"Run4098", [] { return runInNoise(4098); }},
                    Shape{"Run5000", [] { return runInNoise(5000); }},
                    Shape{"FlatColour", [] { return flatColour(640, 480); }},
                    Shape{"FlatColourSmall", [] { return flatColour(32, 30); }},
                    Shape{"Gradient", [] { return gradient(640, 480); }},
                    Shape{"GradientOddSize", [] { return gradient(212, 77); }},
                    Shape{"Noise", [] { return noise(640 * 480 * 3, 5); }},
                    Shape{"NoiseSmallFrame", [] { return noise(8 * 300 * 3, 6); }},
                    Shape{"Mixture", [] { return mixture(640, 480); }},
                    Shape{"MixtureSmall", [] { return mixture(64, 48); }},
                    Shape{"NoiseThenFlat",
                          [] {
                              Bytes b = noise(50000, 8);
                              b.resize(400000, 0x7F);
                              return b;
                          }},
                    Shape{"FlatThenNoise",
                          [] {
                              Bytes b(300000, 0x10);
                              const Bytes n = noise(200000, 9);
                              b.insert(b.end(), n.begin(), n.end());
                              return b;
                          }},
                    Shape{"LowEntropyNoise",
                          [] {
                              Bytes b = noise(200000, 10);
                              for (auto& x : b)
                                  x &= 0x03;
                              return b;
                          }},
                    Shape{"RepeatedRowsFarApart",
                          [] {
                              // Rows 70000 bytes apart: matches beyond the 3-byte token's 65535
                              // offset.
                              const Bytes row = noise(70000, 12);
                              Bytes b;
                              for (int i = 0; i < 3; ++i)
                                  b.insert(b.end(), row.begin(), row.end());
                              return b;
                          }}),
    [](const testing::TestParamInfo<Shape>& param) { return param.param.name; });

// ---------------------------------------------------------------------------------------
// Exact encodings, computed by hand from the block layout.

TEST(QclzEncoding, OneRepeatedByteBecomesRunsThenTheLiteralTail) {
    const Bytes source(10000, 0xAB);
    const Bytes block = compress(source);
    // Item 0 is the literal first byte; runs of 2049 follow while the input is before
    // 10000 - 2067 = 7933: from 1, 2050, 4099 and 6148, ending at 8197. The remaining 1803
    // bytes are literals: 26 fill the first group, 1777 need 58 more groups.
    EXPECT_EQ(readLe32(block, 16), 1u);
    EXPECT_EQ(block[36], 0xAB);
    EXPECT_EQ(readLe32(block, 32), 0x8000001Eu);
    for (int i = 0; i < 4; ++i) {
        const std::size_t at = 37 + 3 * i;
        EXPECT_EQ(block[at], 0x1F) << i;
        EXPECT_EQ(block[at + 1], 0x80) << i;
        EXPECT_EQ(block[at + 2], 0xAB) << i;
    }
    EXPECT_EQ(block.size(), 36u + 1 + 12 + 26 + 58 * 4 + 1777 + 7);
    EXPECT_EQ(readLe32(block, 49 + 26), 0x80000000u);
}

TEST(QclzEncoding, FirstRepeatBecomesOneLongMatchAgainstTheFirstByte) {
    // Bytes i * 5 repeat every 256 bytes; no earlier position shares the hash of position 0,
    // which the table starts with, so position 256 matches it: offset 256, length capped at
    // 2050, a 4-byte long match. Positions 0 to 255 are literals in 8 full groups and 9 items
    // of the ninth; the input ends at 2306, past 4000 - 2067, so 1694 literals follow.
    Bytes source(4000);
    for (std::size_t i = 0; i < source.size(); ++i)
        source[i] = uint8_t(i * 5);
    const Bytes block = compress(source);
    for (int g = 0; g < 8; ++g)
        EXPECT_EQ(readLe32(block, 32 + 35 * g), 0x80000000u) << g;
    EXPECT_EQ(readLe32(block, 312), 0x80000100u);
    EXPECT_EQ(readLe32(block, 324), (2047u << 4) | (256u << 15) | 7u);
    // 9 + 54 control words, 256 + 1694 literals and the 4-byte token.
    EXPECT_EQ(block.size(), 32u + 4 * 63 + 256 + 1694 + 4 + 7);
}

TEST(QclzEncoding, ShortDataIsAllLiteralsInGroupsOf31) {
    const Bytes source = noise(1000, 21);
    const Bytes block = compress(source);
    EXPECT_EQ(readLe32(block, 16), 1u);
    // 1000 items need 33 control words.
    EXPECT_EQ(block.size(), 32u + 33 * 4 + 1000 + 7);
    EXPECT_TRUE(std::equal(source.begin(), source.begin() + 31, block.begin() + 36));
    EXPECT_EQ(readLe32(block, 67), 0x80000000u);
}

TEST(QclzEncoding, RandomFramesAreStored) {
    const Bytes source = noise(640 * 480 * 3, 31);
    const Bytes block = compress(source);
    ASSERT_EQ(block.size(), source.size() + 36);
    EXPECT_EQ(readLe32(block, 8), source.size() + 36);
    EXPECT_EQ(readLe32(block, 16), 0u);
    EXPECT_TRUE(std::equal(source.begin(), source.end(), block.begin() + 32));
    EXPECT_TRUE(hasTag(block, 32 + source.size()));
}

TEST(QclzEncoding, OutputDependsOnlyOnTheSource) {
    const Bytes source = mixture(320, 240);
    // Dirty scratch areas must not change the block: the table is reset per call.
    Bytes a(qclzScratchSize(source.size()), 0x00), b(qclzScratchSize(source.size()), 0xFF);
    const std::size_t na = compressBlock(source.data(), source.size(), a.data());
    const std::size_t nb = compressBlock(source.data(), source.size(), b.data());
    ASSERT_EQ(na, nb);
    EXPECT_EQ(std::memcmp(a.data(), b.data(), na), 0);
}

// ---------------------------------------------------------------------------------------
// Hand-made blocks: each token kind at its limits, decoded against its meaning.

// Builds a compressed block item by item and the output it stands for.
class BlockBuilder {
public:
    void literal(uint8_t b) {
        item(false);
        m_body.push_back(b);
        m_expected.push_back(b);
    }
    void literals(const Bytes& bytes) {
        for (uint8_t b : bytes)
            literal(b);
    }
    // A raw token of `size` bytes; `len`/`offset` say what it copies (offset 0: a run of
    // `value`).
    void token(uint32_t bits, int size, uint32_t len, uint32_t offset, uint8_t value = 0) {
        item(true);
        for (int i = 0; i < size; ++i)
            m_body.push_back(uint8_t(bits >> (8 * i)));
        for (uint32_t i = 0; i < len; ++i)
            m_expected.push_back(offset && offset <= m_expected.size()
                                     ? m_expected[m_expected.size() - offset]
                                     : value);
    }
    void shortMatch(uint32_t offset) { token(offset << 2, 1, 3, offset); }
    void nearMatch(uint32_t offset) { token(offset << 2 | 1, 2, 3, offset); }
    void match2(uint32_t len, uint32_t offset) {
        token((len - 3) << 2 | offset << 6 | 2, 2, len, offset);
    }
    void match3(uint32_t len, uint32_t offset) {
        token((len - 3) << 3 | offset << 8 | 3, 3, len, offset);
    }
    void longMatch(uint32_t len, uint32_t offset) {
        token((len - 3) << 4 | offset << 15 | 7, 4, len, offset);
    }
    void run(uint32_t len, uint8_t value) { token(len << 4 | 0xF | value << 16, 3, len, 0, value); }

    const Bytes& expected() const { return m_expected; }

    Bytes block() const {
        Bytes b(32, 0);
        std::memcpy(b.data(), "QCLZ", 4);
        writeLe32(b, 4, 3);
        writeLe32(b, 12, uint32_t(m_expected.size()));
        writeLe32(b, 16, 1);
        Bytes body = m_body;
        for (std::size_t i = 0; i < m_controlAt.size(); ++i)
            writeLe32(body, m_controlAt[i], m_controls[i] | 0x80000000u);
        b.insert(b.end(), body.begin(), body.end());
        b.insert(b.end(), {0, 0, 0, 'Q', 'C', 'L', 'Z'});
        writeLe32(b, 8, uint32_t(b.size()));
        return b;
    }

private:
    void item(bool isToken) {
        if (m_items % 31 == 0) {
            m_controlAt.push_back(m_body.size());
            m_controls.push_back(0);
            m_body.insert(m_body.end(), 4, 0);
        }
        if (isToken)
            m_controls.back() |= 1u << (m_items % 31);
        ++m_items;
    }

    Bytes m_body;
    Bytes m_expected;
    std::vector<std::size_t> m_controlAt;
    std::vector<uint32_t> m_controls;
    std::size_t m_items = 0;
};

Bytes counting(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = uint8_t(i * 7 + i / 256);
    return b;
}

struct TokenCase {
    std::string name;
    std::function<void(BlockBuilder&)> tokens;
};

class QclzTokens : public testing::TestWithParam<TokenCase> {};

TEST_P(QclzTokens, DecodeAsTheTableSays) {
    BlockBuilder builder;
    builder.literals(counting(5));
    GetParam().tokens(builder);
    // Every block ends with literals, as the compressor's do.
    builder.literals(counting(9));
    const Decoded d = decompress(builder.block(), builder.expected().size());
    EXPECT_EQ(d.result, builder.expected().size());
    EXPECT_TRUE(d.bytes == builder.expected());
    EXPECT_TRUE(d.guardIntact);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, QclzTokens,
    testing::Values(TokenCase{"ShortMatchOffset4", [](BlockBuilder& b) { b.shortMatch(4); }},
                    TokenCase{"ShortMatchOffset63",
                              [](BlockBuilder& b) {
                                  b.literals(counting(60));
                                  b.shortMatch(63);
                              }},
                    TokenCase{"NearMatchOffset16383",
                              [](BlockBuilder& b) {
                                  b.literals(counting(16400));
                                  b.nearMatch(16383);
                              }},
                    TokenCase{"Match2Longest",
                              [](BlockBuilder& b) {
                                  b.literals(counting(1030));
                                  b.match2(18, 1023);
                                  b.match2(3, 4);
                              }},
                    TokenCase{"Match3Longest",
                              [](BlockBuilder& b) {
                                  b.literals(counting(100));
                                  for (int i = 0; i < 16; ++i)
                                      b.run(4095, uint8_t(i));
                                  b.match3(34, 65535);
                                  b.match3(3, 4);
                              }},
                    TokenCase{"LongMatchLongest",
                              [](BlockBuilder& b) {
                                  b.literals(counting(300));
                                  for (int i = 0; i < 32; ++i)
                                      b.run(4095, uint8_t(i * 3));
                                  b.longMatch(2050, 131071);
                              }},
                    // A match longer than its offset repeats the pattern, whatever the copy width.
                    TokenCase{"OverlappingMatches",
                              [](BlockBuilder& b) {
                                  b.longMatch(1000, 4);
                                  b.longMatch(999, 5);
                                  b.longMatch(2050, 9);
                                  b.longMatch(77, 17);
                                  b.match3(34, 6);
                              }},
                    TokenCase{"RunsOfAllLengths",
                              [](BlockBuilder& b) {
                                  b.run(0, 1);
                                  b.run(1, 2);
                                  b.run(4095, 0xFF);
                              }},
                    TokenCase{"FourLiteralsAfterTokens",
                              [](BlockBuilder& b) {
                                  for (int i = 0; i < 40; ++i) {
                                      b.shortMatch(5);
                                      b.literals(counting(4 + i % 3));
                                  }
                              }}),
    [](const testing::TestParamInfo<TokenCase>& param) { return param.param.name; });

TEST(QclzDecoding, LastBytesAreLiteralsWhateverTheirItemBits) {
    // The decoder copies the last bytes as literals: a token bit there is not a token.
    BlockBuilder builder;
    builder.literals(counting(40));
    Bytes block = builder.block();
    // Items 36 to 39 are in the second group, whose control word sits after 31 literals.
    const std::size_t control = 32 + 4 + 31;
    writeLe32(block, control, 0x80000000u | 0x1E0u);
    const Decoded d = decompress(block, 40);
    EXPECT_EQ(d.result, 40u);
    EXPECT_TRUE(d.bytes == counting(40));
}

// ---------------------------------------------------------------------------------------
// Damaged and hostile blocks: refused, nothing written outside the destination.

struct Damage {
    std::string name;
    std::function<Bytes()> make;
    std::size_t capacity;
};

Bytes validBlock() {
    return compress(mixture(64, 48));
}
constexpr std::size_t kValidSize = 64 * 48 * 3;

Bytes withBlockSize(Bytes b, std::size_t size) {
    b.resize(size);
    writeLe32(b, 8, uint32_t(size));
    std::memcpy(b.data() + size - 4, "QCLZ", 4);
    return b;
}

Bytes withUncompressedSize(Bytes b, uint32_t size) {
    writeLe32(b, 12, size);
    return b;
}

Bytes built(const std::function<void(BlockBuilder&)>& tokens, std::size_t literalsAfter = 9) {
    BlockBuilder b;
    b.literals(counting(8));
    tokens(b);
    b.literals(counting(literalsAfter));
    return b.block();
}

class QclzDamage : public testing::TestWithParam<Damage> {};

TEST_P(QclzDamage, IsRefusedWithinTheBuffers) {
    const Bytes block = GetParam().make();
    const Decoded d = decompress(block, GetParam().capacity);
    EXPECT_EQ(d.result, 0u);
    EXPECT_TRUE(d.guardIntact);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, QclzDamage,
    testing::Values(
        Damage{"Trailer",
               [] {
                   Bytes b = validBlock();
                   b[b.size() - 2] ^= 1;
                   return b;
               },
               kValidSize},
        Damage{"Magic",
               [] {
                   Bytes b = validBlock();
                   b[0] = 'q';
                   return b;
               },
               kValidSize},
        Damage{"Format2",
               [] {
                   Bytes b = validBlock();
                   writeLe32(b, 4, 2);
                   return b;
               },
               kValidSize},
        Damage{"CompressedFlag2",
               [] {
                   Bytes b = validBlock();
                   writeLe32(b, 16, 2);
                   return b;
               },
               kValidSize},
        Damage{"BlockSizeBeyondData",
               [] {
                   Bytes b = validBlock();
                   writeLe32(b, 8, uint32_t(b.size() + 4));
                   return b;
               },
               kValidSize},
        Damage{"BlockSizeBelowHeader",
               [] {
                   Bytes b = validBlock();
                   writeLe32(b, 8, 8);
                   return b;
               },
               kValidSize},
        Damage{"ShorterThanAHeader", [] { return Bytes{'Q', 'C', 'L', 'Z', 3, 0, 0, 0}; }, 100},
        Damage{"UncompressedSizeBeyondDestination", [] { return validBlock(); }, kValidSize - 1},
        Damage{"UncompressedSizeHuge",
               [] {
                   Bytes b = validBlock();
                   writeLe32(b, 12, 0xFFFFFFFFu);
                   return b;
               },
               kValidSize},
        Damage{"TruncatedBody", [] { return withBlockSize(validBlock(), 400); }, kValidSize},
        Damage{"BodyCutInsideLastGroup",
               [] {
                   const Bytes b = validBlock();
                   return withBlockSize(b, b.size() - 5);
               },
               kValidSize},
        Damage{"StoredBodyShorterThanItsSize",
               [] {
                   Bytes b = withBlockSize(noise(500, 3), 500);
                   std::memcpy(b.data(), "QCLZ", 4);
                   writeLe32(b, 4, 3);
                   writeLe32(b, 12, 470);
                   writeLe32(b, 16, 0);
                   return b;
               },
               1000},
        Damage{"MatchBeforeTheStart",
               [] { return built([](BlockBuilder& b) { b.shortMatch(9); }); }, 100},
        Damage{"LongMatchFarBeforeTheStart",
               [] { return built([](BlockBuilder& b) { b.longMatch(10, 131071); }); }, 100},
        Damage{"OffsetBelowFour",
               [] { return built([](BlockBuilder& b) { b.token(1 << 2, 1, 0, 0); }); }, 100},
        Damage{"MatchPastTheEnd",
               [] {
                   return withUncompressedSize(built([](BlockBuilder& b) { b.longMatch(2050, 4); }),
                                               100);
               },
               1000},
        Damage{"RunPastTheEnd",
               [] {
                   return withUncompressedSize(built([](BlockBuilder& b) { b.run(4095, 1); }), 100);
               },
               1000},
        Damage{"TokenInThePadding",
               [] {
                   Bytes b = built([](BlockBuilder&) {}, 0);
                   // A fifth item marked as a token: its bytes would be the padding.
                   writeLe32(b, 32, 0x80000000u | 0x100u);
                   writeLe32(b, 12, 20);
                   return b;
               },
               100},
        Damage{"ControlWordWithoutItsFlag",
               [] {
                   Bytes b = validBlock();
                   writeLe32(b, 32, readLe32(b, 32) & 0x7FFFFFFFu);
                   return b;
               },
               kValidSize},
        Damage{"OutputShortOfTheSize",
               [] {
                   Bytes b = built([](BlockBuilder& bb) { bb.run(50, 1); });
                   writeLe32(b, 12, readLe32(b, 12) + 100);
                   return b;
               },
               1000}),
    [](const testing::TestParamInfo<Damage>& param) { return param.param.name; });

TEST(QclzDamage, RandomBodyBytesNeverEscapeTheBuffers) {
    const Bytes good = validBlock();
    std::mt19937 rng(99);
    for (int round = 0; round < 3000; ++round) {
        Bytes b = good;
        const int flips = 1 + int(rng() % 8);
        for (int i = 0; i < flips; ++i)
            b[32 + rng() % (b.size() - 36)] = uint8_t(rng());
        const std::size_t capacity = kValidSize - 200 + rng() % 400;
        const Decoded d = decompress(b, capacity);
        ASSERT_TRUE(d.result == 0 || d.result == kValidSize) << round;
        ASSERT_TRUE(d.guardIntact) << round;
    }
}

} // namespace
// ---------------------------------------------------------------------------------------
// Pictures compressed knowing their row length.

TEST(QclzRows, PicturesDecodeExactlyWhateverTheRowLengthGiven) {
    const int w = 640, h = 120;
    // Colour changes across the picture but not down it, in steps too fine for the
    // neighbouring pixels to repeat four bytes: only the row above matches.
    const Bytes across = picture(w, h, [](int x, int) {
        return uint32_t(x) * 0x010307u ^ 0x5A0000u;
    });
    const std::size_t row = std::size_t(w) * 3;
    const Bytes plain = compress(across);
    const Bytes hinted = compress(across, row);
    EXPECT_EQ(decompress(hinted, across.size()).bytes, across);
    EXPECT_LT(hinted.size() * 20, plain.size()) << hinted.size() << " vs " << plain.size();

    // Colour changing down the picture only: every row one flat colour, unlike the row
    // above; runs of a pixel repeated are found two pixels back.
    const Bytes down = picture(w, h, [](int, int y) { return uint32_t(y) * 0x020103u + 0x103050u; });
    const Bytes downPlain = compress(down);
    const Bytes downHinted = compress(down, row);
    EXPECT_EQ(decompress(downHinted, down.size()).bytes, down);
    EXPECT_LT(downHinted.size() * 10, downPlain.size())
        << downHinted.size() << " vs " << downPlain.size();

    for (const Bytes& source :
         {across, down, mixture(w, h), noise(row * 40, 3), gradient(w, h), flatColour(w, h)}) {
        for (std::size_t rowBytes : {std::size_t(1), std::size_t(3), std::size_t(4), row - 1,
                                     row, std::size_t(131071), std::size_t(131072),
                                     source.size() + 5}) {
            const Bytes block = compress(source, rowBytes);
            const Decoded d = decompress(block, source.size());
            ASSERT_EQ(d.result, source.size()) << rowBytes;
            ASSERT_TRUE(d.bytes == source) << rowBytes;
        }
    }
}

} // namespace swivio
