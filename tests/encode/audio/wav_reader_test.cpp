#include "encode/audio/wav_reader.h"

#include <gtest/gtest.h>

#include "tests/support/sound_files.h"
#include "tests/support/temp_dir.h"

namespace swivio {
namespace {

using testkit::makeWav;
using testkit::RiffChunk;
using testkit::WavSpec;

std::vector<uint8_t> counting(std::size_t n) {
    std::vector<uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = uint8_t(i * 7 + 1);
    return v;
}

std::vector<uint8_t> readAll(WavReader& reader, std::size_t step = 1000) {
    std::vector<uint8_t> out;
    std::vector<uint8_t> buf(step);
    while (std::size_t n = reader.read(buf.data(), buf.size()))
        out.insert(out.end(), buf.begin(), buf.begin() + long(n));
    return out;
}

struct LayoutCase {
    const char* name;
    WavSpec wavLayout;
    uint64_t dataOffset;
};

class WavLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

// Whatever chunks surround the sound, the fields and the sound bytes come out the same.
TEST_P(WavLayoutTest, FindsFormatAndSoundWhereverTheyAre) {
    testkit::TempDir dir;
    const std::string path = dir.file("a.wav");
    const std::vector<uint8_t> data = counting(10001); // odd: the data chunk is padded
    testkit::writeBytes(path, makeWav(GetParam().wavLayout, data));

    WavReader reader;
    ASSERT_TRUE(reader.open(path)) << reader.errorString();
    EXPECT_EQ(reader.format().formatTag, GetParam().wavLayout.formatTag);
    EXPECT_EQ(reader.format().channels, GetParam().wavLayout.channels);
    EXPECT_EQ(reader.format().sampleRate, GetParam().wavLayout.sampleRate);
    EXPECT_EQ(reader.format().bitsPerSample, GetParam().wavLayout.bitsPerSample);
    EXPECT_EQ(reader.format().blockAlign,
              GetParam().wavLayout.channels * GetParam().wavLayout.bitsPerSample / 8);
    EXPECT_EQ(reader.format().byteRate,
              GetParam().wavLayout.sampleRate * reader.format().blockAlign);
    EXPECT_EQ(reader.dataOffset(), GetParam().dataOffset);
    EXPECT_EQ(reader.dataSize(), data.size());
    EXPECT_EQ(readAll(reader, 333), data);
    EXPECT_TRUE(reader.atEnd());

    ASSERT_TRUE(reader.seekToData());
    EXPECT_EQ(readAll(reader), data);
}

WavSpec withExtras(std::vector<uint8_t> formatExtra, std::vector<RiffChunk> before,
                   std::vector<RiffChunk> after, uint16_t channels = 2, uint16_t bits = 16) {
    WavSpec s;
    s.channels = channels;
    s.bitsPerSample = bits;
    s.sampleRate = 22050;
    s.formatExtra = std::move(formatExtra);
    s.before = std::move(before);
    s.after = std::move(after);
    return s;
}

const RiffChunk kList{"LIST", std::vector<uint8_t>{'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 3, 0, 0,
                                                   0, 'a', 'b', 'c', 0}};
const RiffChunk kOddList{"LIST", {'I', 'N', 'F', 'O', 'x'}}; // odd size: one pad byte follows
const RiffChunk kFact{"fact", {0x10, 0x27, 0, 0}};

INSTANTIATE_TEST_SUITE_P(
    Layouts, WavLayoutTest,
    ::testing::Values(LayoutCase{"Canonical", withExtras({}, {}, {}), 44},
                      LayoutCase{"Mono8Bit", withExtras({}, {}, {}, 1, 8), 44},
                      // WAVE_FORMAT_EXTENSIBLE-sized "fmt " chunk of 40 bytes.
                      LayoutCase{"LongFormatChunk", withExtras(counting(22), {}, {}), 68},
                      LayoutCase{"ListBeforeData", withExtras({}, {kList}, {}), 44 + 24},
                      LayoutCase{"OddChunkBeforeData", withExtras({}, {kOddList, kFact}, {}),
                                 44 + 14 + 12},
                      LayoutCase{"ListAfterData", withExtras({}, {}, {kList}), 44}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(WavReaderTest, DataSizeBeyondTheFileIsCutAtTheEnd) {
    testkit::TempDir dir;
    const std::string path = dir.file("short.wav");
    std::vector<uint8_t> bytes = makeWav(WavSpec{}, counting(4000));
    bytes.resize(44 + 1000); // the writer stopped early; the header still says 4000
    testkit::writeBytes(path, bytes);

    WavReader reader;
    ASSERT_TRUE(reader.open(path)) << reader.errorString();
    EXPECT_EQ(reader.dataSize(), 1000u);
    EXPECT_EQ(readAll(reader).size(), 1000u);
}

TEST(WavReaderTest, RefusesFilesWithoutFormatOrSound) {
    testkit::TempDir dir;
    struct Bad {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    std::vector<uint8_t> noData = makeWav(WavSpec{}, {});
    noData[36] = 'd', noData[37] = 'a', noData[38] = 't', noData[39] = 'x';
    std::vector<uint8_t> shortFmt = makeWav(WavSpec{}, counting(8));
    shortFmt[16] = 12; // "fmt " claims 12 bytes
    std::vector<uint8_t> noFmt = makeWav(WavSpec{}, counting(8));
    noFmt[12] = 'f', noFmt[13] = 'm', noFmt[14] = 'x';
    const std::vector<Bad> cases = {
        {"empty", {}},
        {"riff only", {'R', 'I', 'F', 'F', 4, 0, 0, 0}},
        {"not wave", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'A', 'V', 'I', ' '}},
        {"no data", noData},
        {"short fmt", shortFmt},
        {"no fmt", noFmt},
        {"huge chunk", {'R', 'I', 'F', 'F', 0,   0,   0,    0,    'W',  'A',
                        'V', 'E', 'J', 'U', 'N', 'K', 0xFF, 0xFF, 0xFF, 0xFF}},
    };
    for (const Bad& c : cases) {
        const std::string path = dir.file("bad.wav");
        testkit::writeBytes(path, c.bytes);
        WavReader reader;
        EXPECT_FALSE(reader.open(path)) << c.name;
        EXPECT_FALSE(reader.errorString().empty()) << c.name;
        EXPECT_FALSE(reader.isOpen()) << c.name;
    }
    WavReader reader;
    EXPECT_FALSE(reader.open(dir.file("missing.wav")));
}

TEST(WavReaderTest, TellsSixteenBitFilesApart) {
    testkit::TempDir dir;
    WavSpec eight;
    eight.bitsPerSample = 8;
    testkit::writeBytes(dir.file("16.wav"), makeWav(WavSpec{}, counting(400)));
    testkit::writeBytes(dir.file("8.wav"), makeWav(eight, counting(400)));
    EXPECT_TRUE(isWav16Bit(dir.file("16.wav")));
    EXPECT_FALSE(isWav16Bit(dir.file("8.wav")));
    EXPECT_FALSE(isWav16Bit(dir.file("none.wav")));
}

} // namespace
} // namespace swivio
