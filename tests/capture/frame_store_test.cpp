#include <csignal>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <sys/resource.h>

#include <gtest/gtest.h>

#include "base/frame.h"
#include "capture/frame_store.h"
#include "capture/frame_store_reader.h"
#include "capture/qclz.h"
#include "tests/support/temp_dir.h"

namespace swivio {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kWidth = 32;
constexpr int kHeight = 16;
constexpr std::size_t kFrameBytes = kWidth * kHeight * 3;

// Picture `index`: a flat background with a noisy band whose place depends on the index, so
// every picture differs and compresses to its own block size.
Frame makeFrame(int index) {
    Frame f(kWidth, kHeight);
    f.fill(makeColor(uint8_t(index * 40), 90, 200));
    std::mt19937 rng(uint32_t(index) + 1);
    for (int x = 0; x < kWidth; ++x)
        for (int y = index % 5; y < index % 5 + 4; ++y)
            f.setPixel(x, y, rng() & 0xFFFFFF);
    return f;
}

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

uint32_t le32(const Bytes& b, std::size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

// One record as found by walking a frame file with the layout alone.
struct RawRecord {
    bool newPicture;
    std::size_t bytes; // the whole record
    Bytes block;
};

// Walks a file record by record; fails the test unless it ends exactly after a record.
std::vector<RawRecord> parseRecords(const std::string& path) {
    const Bytes data = readFile(path);
    std::vector<RawRecord> records;
    std::size_t at = 0;
    while (at < data.size()) {
        if (data[at] == 0) {
            records.push_back({false, 1, {}});
            ++at;
            continue;
        }
        EXPECT_EQ(data[at], 1) << path << " at " << at;
        if (data[at] != 1 || at + 5 > data.size())
            break;
        const std::size_t size = le32(data, at + 1);
        EXPECT_LE(at + 5 + size, data.size()) << path << " ends inside a record";
        if (at + 5 + size > data.size())
            break;
        records.push_back({true, 5 + size,
                           Bytes(data.begin() + long(at) + 5, data.begin() + long(at + 5 + size))});
        at += 5 + size;
    }
    return records;
}

Bytes blockOf(const Frame& f) {
    Bytes scratch(qclzScratchSize(f.byteSize()));
    scratch.resize(compressBlock(f.data(), f.byteSize(), scratch.data()));
    return scratch;
}

Bytes newRecord(const Bytes& block) {
    const uint32_t n = uint32_t(block.size());
    Bytes r{1, uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
    r.insert(r.end(), block.begin(), block.end());
    return r;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

bool samePicture(const Frame& a, const Frame& b) {
    return a.width() == b.width() && a.height() == b.height() &&
           std::equal(a.bytes().begin(), a.bytes().end(), b.bytes().begin());
}

class FrameStoreTest : public testing::Test {
protected:
    testkit::TempDir m_dir;
};

// ---------------------------------------------------------------------------------------
// Writer and reader together.

TEST_F(FrameStoreTest, RecordsReadBackInOrderAcrossFileRollOvers) {
    // Which picture each record stands for; a repeat stands for the previous one. The first
    // record is marked as a repeat on purpose: it must carry its picture anyway.
    const std::vector<std::pair<int, bool>> sequence = {
        {0, false}, {0, false}, {1, true},  {2, true}, {2, false}, {2, false}, {3, true},
        {4, true},  {4, false}, {5, true},  {6, true}, {7, true},  {7, false}, {8, true},
        {8, false}, {8, false}, {8, false}, {9, true}, {10, true}, {10, false}};
    // A few records per file, so that repeats also open new files.
    FrameStoreWriter writer(m_dir.path().string(), 2 * int64_t(kFrameBytes));
    for (const auto& [picture, isNew] : sequence)
        ASSERT_TRUE(writer.appendFrame(makeFrame(picture), isNew)) << writer.errorString();
    ASSERT_TRUE(writer.finish()) << writer.errorString();
    EXPECT_EQ(writer.recordCount(), int(sequence.size()));
    ASSERT_GE(writer.fileList().size(), 4u);

    // The files: whole records, named in the folder with the prefix, over the limit except
    // the last, and under it before their last record.
    std::size_t records = 0;
    for (std::size_t i = 0; i < writer.fileList().size(); ++i) {
        const std::filesystem::path path(writer.fileList()[i]);
        EXPECT_EQ(path.parent_path(), m_dir.path());
        EXPECT_EQ(path.filename().string().rfind("vid", 0), 0u) << path;
        const std::vector<RawRecord> raw = parseRecords(path.string());
        ASSERT_FALSE(raw.empty());
        std::size_t bytes = 0;
        for (const RawRecord& r : raw) {
            EXPECT_EQ(r.newPicture, records == 0 || sequence[records].second) << records;
            bytes += r.bytes;
            ++records;
        }
        if (i + 1 < writer.fileList().size()) {
            EXPECT_GT(bytes, 2 * kFrameBytes);
            EXPECT_LE(bytes - raw.back().bytes, 2 * kFrameBytes);
        }
    }
    EXPECT_EQ(records, sequence.size());

    FrameStoreReader reader(writer.fileList(), kWidth, kHeight);
    Frame frame;
    for (std::size_t i = 0; i < sequence.size(); ++i) {
        ASSERT_TRUE(reader.advance()) << i << ": " << reader.errorString();
        ASSERT_TRUE(reader.decodeInto(frame)) << i;
        EXPECT_TRUE(samePicture(frame, makeFrame(sequence[i].first))) << i;
    }
    EXPECT_FALSE(reader.advance());
    EXPECT_EQ(reader.errorString(), "");
    EXPECT_EQ(reader.recordCount(), int(sequence.size()));
}

TEST_F(FrameStoreTest, RecordsReadPastUndecodedStillGiveRepeatsTheirPicture) {
    // A lower output rate reads past records without decoding them: the record landed on,
    // a repeat included, must still give the picture it stands for.
    const std::vector<std::pair<int, bool>> sequence = {
        {0, true}, {1, true},  {1, false}, {2, true}, {2, false}, {2, false},
        {3, true}, {3, false}, {4, true},  {5, true}, {5, false}, {6, true}};
    FrameStoreWriter writer(m_dir.path().string(), 2 * int64_t(kFrameBytes));
    for (const auto& [picture, isNew] : sequence)
        ASSERT_TRUE(writer.appendFrame(makeFrame(picture), isNew)) << writer.errorString();
    ASSERT_TRUE(writer.finish()) << writer.errorString();
    for (std::size_t every : {2u, 3u, 5u}) {
        FrameStoreReader reader(writer.fileList(), kWidth, kHeight);
        Frame frame;
        for (std::size_t i = 0; i < sequence.size(); ++i) {
            ASSERT_TRUE(reader.advance()) << i << ": " << reader.errorString();
            if (i % every != every - 1)
                continue;
            ASSERT_TRUE(reader.decodeInto(frame)) << every << ", " << i;
            EXPECT_TRUE(samePicture(frame, makeFrame(sequence[i].first))) << every << ", " << i;
        }
    }
}

TEST_F(FrameStoreTest, RollOverHappensOnlyWhenTheCountExceedsTheLimit) {
    const Frame f = makeFrame(3);
    const int64_t recordBytes = int64_t(blockOf(f).size()) + 5;
    for (const auto& [limit, filesAfterThree] :
         std::vector<std::pair<int64_t, std::size_t>>{{recordBytes, 2}, {recordBytes - 1, 3}}) {
        FrameStoreWriter writer(m_dir.path().string(), limit);
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(writer.appendFrame(f, true));
        ASSERT_TRUE(writer.finish());
        EXPECT_EQ(writer.fileList().size(), filesAfterThree) << "limit " << limit;
    }
}

TEST_F(FrameStoreTest, RecordLayoutIsKindSizeAndBlock) {
    const Frame f = makeFrame(1);
    FrameStoreWriter writer(m_dir.path().string());
    ASSERT_TRUE(writer.appendFrame(f, true));
    ASSERT_TRUE(writer.appendFrame(f, false));
    ASSERT_TRUE(writer.finish());
    ASSERT_EQ(writer.fileList().size(), 1u);
    EXPECT_EQ(readFile(writer.fileList()[0]), concat({newRecord(blockOf(f)), Bytes{0}}));
}

TEST_F(FrameStoreTest, WriterRefusesAFrameOfAnotherSize) {
    FrameStoreWriter writer(m_dir.path().string());
    ASSERT_TRUE(writer.appendFrame(makeFrame(0), true));
    EXPECT_FALSE(writer.appendFrame(Frame(kWidth, kHeight + 2), true));
    EXPECT_NE(writer.errorString(), "");
    EXPECT_EQ(writer.recordCount(), 1);
}

TEST_F(FrameStoreTest, MissingFolderIsReportedNotRecorded) {
    const std::string folder = m_dir.file("no-such-folder");
    FrameStoreWriter writer(folder);
    EXPECT_FALSE(writer.appendFrame(makeFrame(0), true));
    EXPECT_NE(writer.errorString().find(folder), std::string::npos) << writer.errorString();
    EXPECT_EQ(writer.recordCount(), 0);
    EXPECT_TRUE(writer.fileList().empty());
    // The failure is sticky, also once the folder exists.
    std::filesystem::create_directory(folder);
    EXPECT_FALSE(writer.appendFrame(makeFrame(0), true));
    EXPECT_FALSE(writer.finish());
}

// Limits the size of files this process may write, as a full disk would.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_previous);
        rlimit limited = m_previous;
        limited.rlim_cur = bytes;
        m_active = setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_previousHandler);
    }
    bool active() const { return m_active; }

private:
    rlimit m_previous{};
    void (*m_previousHandler)(int) = nullptr;
    bool m_active = false;
};

TEST_F(FrameStoreTest, FullDiskFailsTheAppendAndKeepsEarlierRecordsReadable) {
    FrameStoreWriter writer(m_dir.path().string());
    int appended = 0;
    {
        FileSizeLimit limit(6000);
        ASSERT_TRUE(limit.active());
        for (int i = 0; i < 50 && writer.appendFrame(makeFrame(i), true); ++i)
            ++appended;
    }
    ASSERT_LT(appended, 50) << "writes beyond the file size limit were reported as done";
    EXPECT_GT(appended, 0);
    EXPECT_NE(writer.errorString().find("Cannot write"), std::string::npos) << writer.errorString();
    EXPECT_EQ(writer.recordCount(), appended);
    EXPECT_FALSE(writer.appendFrame(makeFrame(0), true));
    EXPECT_FALSE(writer.finish());

    // Every record counted is in the file and decodes; the cut one is not taken for a frame.
    FrameStoreReader reader(writer.fileList(), kWidth, kHeight);
    Frame frame;
    for (int i = 0; i < appended; ++i) {
        ASSERT_TRUE(reader.advance()) << i << ": " << reader.errorString();
        ASSERT_TRUE(reader.decodeInto(frame));
        EXPECT_TRUE(samePicture(frame, makeFrame(i))) << i;
    }
    EXPECT_FALSE(reader.advance());
}

// ---------------------------------------------------------------------------------------
// Reader over hand-made files.

TEST_F(FrameStoreTest, ReaderStopsAtAFileThatCannotBeOpened) {
    const std::string first = m_dir.file("a.tmp"), last = m_dir.file("c.tmp");
    writeFile(first, concat({newRecord(blockOf(makeFrame(0))), Bytes{0}}));
    writeFile(last, newRecord(blockOf(makeFrame(1))));
    FrameStoreReader reader({first, m_dir.file("missing.tmp"), last}, kWidth, kHeight);
    EXPECT_TRUE(reader.advance());
    EXPECT_TRUE(reader.advance());
    EXPECT_FALSE(reader.advance());
    EXPECT_NE(reader.errorString().find("missing.tmp"), std::string::npos);
    EXPECT_FALSE(reader.advance());
    EXPECT_EQ(reader.recordCount(), 2);
}

TEST_F(FrameStoreTest, EmptyFilesAreSkippedAndAnEmptyListHasNoRecords) {
    const std::string empty = m_dir.file("empty.tmp"), full = m_dir.file("full.tmp");
    writeFile(empty, {});
    writeFile(full, newRecord(blockOf(makeFrame(4))));
    FrameStoreReader reader({empty, full, empty}, kWidth, kHeight);
    Frame frame;
    ASSERT_TRUE(reader.advance());
    ASSERT_TRUE(reader.decodeInto(frame));
    EXPECT_TRUE(samePicture(frame, makeFrame(4)));
    EXPECT_FALSE(reader.advance());
    EXPECT_EQ(reader.errorString(), "");

    FrameStoreReader none({}, kWidth, kHeight);
    EXPECT_FALSE(none.advance());
    EXPECT_EQ(none.errorString(), "");
}

struct DamagedTail {
    std::string name;
    Bytes bytes;
};

class FrameStoreDamagedRecord : public FrameStoreTest,
                                public testing::WithParamInterface<DamagedTail> {};

TEST_P(FrameStoreDamagedRecord, EndsTheReadingWithAMessage) {
    const std::string path = m_dir.file("damaged.tmp");
    writeFile(path, concat({newRecord(blockOf(makeFrame(0))), GetParam().bytes}));
    FrameStoreReader reader({path}, kWidth, kHeight);
    Frame frame;
    ASSERT_TRUE(reader.advance());
    ASSERT_TRUE(reader.decodeInto(frame));
    EXPECT_FALSE(reader.advance());
    EXPECT_NE(reader.errorString().find("damaged"), std::string::npos) << reader.errorString();
    EXPECT_FALSE(reader.advance());
    EXPECT_EQ(reader.recordCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Tails, FrameStoreDamagedRecord,
    testing::Values(DamagedTail{"UnknownKind", {7}},
                    DamagedTail{"HugeBlockSize", {1, 0xFF, 0xFF, 0xFF, 0xFF}},
                    DamagedTail{"BlockSizeBelowHeader", {1, 10, 0, 0, 0}},
                    DamagedTail{"BlockSizeBeyondAnyValidBlock",
                                {1, uint8_t((kFrameBytes + 36001) & 0xFF),
                                 uint8_t((kFrameBytes + 36001) >> 8), 0, 0}},
                    DamagedTail{"CutInsideTheSize", {1, 0x40, 0x02}},
                    DamagedTail{"CutInsideTheBlock", {1, 0x00, 0x01, 0, 0, 'Q', 'C', 'L', 'Z'}}),
    [](const testing::TestParamInfo<DamagedTail>& param) { return param.param.name; });

TEST_F(FrameStoreTest, UndecodableBlockLeavesTheFrameAndReadingGoesOn) {
    Bytes broken = blockOf(makeFrame(1));
    broken[broken.size() - 1] ^= 0xFF; // the trailer
    const std::string path = m_dir.file("frames.tmp");
    writeFile(path, concat({newRecord(blockOf(makeFrame(0))), newRecord(broken), Bytes{0},
                            newRecord(blockOf(makeFrame(2)))}));
    FrameStoreReader reader({path}, kWidth, kHeight);
    Frame frame;
    ASSERT_TRUE(reader.advance());
    ASSERT_TRUE(reader.decodeInto(frame));
    // The broken block, then a repeat of it: the frame keeps the last good picture.
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(reader.advance());
        EXPECT_FALSE(reader.decodeInto(frame));
        EXPECT_TRUE(samePicture(frame, makeFrame(0)));
    }
    ASSERT_TRUE(reader.advance());
    ASSERT_TRUE(reader.decodeInto(frame));
    EXPECT_TRUE(samePicture(frame, makeFrame(2)));
}

// The reader hands pictures over by exchanging buffers: whichever frames the caller passes,
// each gets the whole current picture, and a frame filled earlier keeps its own.
TEST_F(FrameStoreTest, DecodedPicturesAreWholeAndCallersFramesStayApart) {
    FrameStoreWriter writer(m_dir.path().string());
    ASSERT_TRUE(writer.appendFrame(makeFrame(0), true));
    ASSERT_TRUE(writer.appendFrame(makeFrame(1), true));
    ASSERT_TRUE(writer.appendFrame(makeFrame(1), false));
    ASSERT_TRUE(writer.appendFrame(makeFrame(2), true));
    ASSERT_TRUE(writer.finish()) << writer.errorString();
    FrameStoreReader reader(writer.fileList(), kWidth, kHeight);
    Frame a;
    Frame b = makeFrame(9);

    ASSERT_TRUE(reader.advance());
    ASSERT_TRUE(reader.decodeInto(a));
    EXPECT_TRUE(samePicture(a, makeFrame(0)));
    ASSERT_TRUE(reader.advance());
    ASSERT_TRUE(reader.decodeInto(b));
    EXPECT_TRUE(samePicture(b, makeFrame(1)));
    EXPECT_TRUE(samePicture(a, makeFrame(0)));

    // The repeat, twice, into the frame that held picture 0.
    ASSERT_TRUE(reader.advance());
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(reader.decodeInto(a));
        EXPECT_TRUE(samePicture(a, makeFrame(1)));
    }
    ASSERT_TRUE(reader.advance());
    ASSERT_TRUE(reader.decodeInto(a));
    EXPECT_TRUE(samePicture(a, makeFrame(2)));
    EXPECT_TRUE(samePicture(b, makeFrame(1)));
    EXPECT_FALSE(reader.advance());
    EXPECT_EQ(reader.errorString(), "");
}

TEST_F(FrameStoreTest, BlockOfAnotherFrameSizeDoesNotDecode) {
    Frame small(kWidth, kHeight - 2);
    small.fill(0x123456);
    Frame large(kWidth, kHeight + 2);
    large.fill(0x654321);
    const std::string path = m_dir.file("sizes.tmp");
    writeFile(path, concat({newRecord(blockOf(small)), newRecord(blockOf(large))}));
    FrameStoreReader reader({path}, kWidth, kHeight);
    Frame frame = makeFrame(7);
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(reader.advance());
        EXPECT_FALSE(reader.decodeInto(frame));
        EXPECT_TRUE(samePicture(frame, makeFrame(7)));
    }
}

TEST_F(FrameStoreTest, RepeatBeforeAnyPictureDecodesNothing) {
    const std::string path = m_dir.file("repeat.tmp");
    writeFile(path, concat({Bytes{0}, newRecord(blockOf(makeFrame(3)))}));
    FrameStoreReader reader({path}, kWidth, kHeight);
    Frame frame(4, 2);
    ASSERT_TRUE(reader.advance());
    EXPECT_FALSE(reader.decodeInto(frame));
    EXPECT_EQ(frame.width(), 4);
    ASSERT_TRUE(reader.advance());
    // A frame of another size is given the recorded size.
    ASSERT_TRUE(reader.decodeInto(frame));
    EXPECT_TRUE(samePicture(frame, makeFrame(3)));
}

} // namespace
} // namespace swivio
