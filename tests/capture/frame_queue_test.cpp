#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>

#include "capture/frame_queue.h"
#include "tests/support/temp_dir.h"

namespace swivio {
namespace {

constexpr int kWidth = 8;
constexpr int kHeight = 4;

// Record n of a test recording: a picture of its own colour, or a repeat of the one before.
uint32_t colorOf(int picture) {
    return makeColor(uint8_t(7 * picture), uint8_t(255 - picture), 99);
}

// Reads a queue on a thread of its own, one record per permit, and notes the colour of
// every record; the test hands out permits so the reader falls behind exactly where a case
// says.
class GatedReader {
public:
    explicit GatedReader(FrameQueue& queue) : m_queue(queue), m_thread([this] { run(); }) {}
    ~GatedReader() {
        allow(1 << 30);
        m_thread.join();
    }
    void allow(int records) {
        std::lock_guard lock(m_mutex);
        m_allowed += records;
        m_changed.notify_all();
    }
    // Waits until `records` were read or the queue ended.
    void waitFor(int records) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return int(m_seen.size()) >= records || m_ended; });
    }
    std::vector<uint32_t> seen() {
        waitForEnd();
        return m_seen;
    }
    void waitForEnd() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_ended; });
    }

private:
    void run() {
        Frame picture;
        for (;;) {
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [&] { return m_allowed > int(m_seen.size()); });
            }
            const bool more = m_queue.advance();
            const bool decoded = more && m_queue.decodeInto(picture);
            std::lock_guard lock(m_mutex);
            if (!more) {
                m_ended = true;
                m_changed.notify_all();
                return;
            }
            m_seen.push_back(decoded ? picture.pixel(1, 1) : 0);
            m_changed.notify_all();
        }
    }

    FrameQueue& m_queue;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_allowed = 0;
    bool m_ended = false;
    std::vector<uint32_t> m_seen;
    std::thread m_thread;
};

int framesFilesIn(const testkit::TempDir& dir) {
    int n = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        n += entry.path().filename().string().rfind("vid", 0) == 0;
    return n;
}

// A recording in steps: push `push` records, then let the reader take `read` more and
// wait until it has. Every third record of a case with repeats is a repeat.
struct Step {
    int push;
    int read;
};
struct QueueCase {
    const char* name;
    int depth;
    bool repeats;
    std::vector<Step> steps;
    int spilled; // records that must have gone through the spill store
};
class FrameQueueOrder : public testing::TestWithParam<QueueCase> {};

TEST_P(FrameQueueOrder, EveryRecordComesOutInOrderWithinTheDepth) {
    const QueueCase& c = GetParam();
    testkit::TempDir dir;
    std::vector<uint32_t> expected;
    {
        FrameQueue queue(dir.path().string(), kWidth, kHeight, c.depth);
        GatedReader reader(queue);
        Frame picture(kWidth, kHeight);
        int pushed = 0, read = 0;
        for (const Step& step : c.steps) {
            for (int k = 0; k < step.push; ++k, ++pushed) {
                const bool isNew = !c.repeats || pushed % 3 != 2;
                if (isNew)
                    picture.fill(colorOf(pushed));
                expected.push_back(picture.pixel(1, 1));
                ASSERT_TRUE(queue.push(picture, isNew)) << queue.errorString();
            }
            reader.allow(step.read);
            read += step.read;
            reader.waitFor(read);
        }
        queue.close(false);
        reader.allow(1 << 20);
        EXPECT_EQ(reader.seen(), expected);
        EXPECT_LE(queue.peakHeld(), c.depth);
        EXPECT_EQ(queue.spilledCount(), c.spilled);
        EXPECT_EQ(queue.errorString(), "");
        EXPECT_EQ(framesFilesIn(dir), 0) << "a spill run read back is deleted";
    }
    EXPECT_EQ(framesFilesIn(dir), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FrameQueueOrder,
    testing::Values(
        // The reader keeps up: nothing spills.
        QueueCase{"ReaderKeepsUp", 2, false, {{1, 1}, {1, 1}, {1, 1}, {1, 1}}, 0},
        // The reader is held until the recording has ended: all but the depth spill.
        QueueCase{"ReaderHeldToTheEnd", 3, false, {{12, 0}}, 9},
        // The reader reaches a spill run while the recording goes on: the run is handed
        // over, later records go to memory again, then spill into a second run.
        QueueCase{"ReaderCatchesUpWithASpill", 2, false, {{8, 4}, {8, 0}}, 12},
        QueueCase{"RepeatsAcrossSpillRuns", 2, true, {{7, 3}, {2, 5}, {9, 2}}, 13}),
    [](const testing::TestParamInfo<QueueCase>& p) { return std::string(p.param.name); });

// An abandoned recording stops the reader at once, with the records still queued, and its
// tally says it failed; the spill files go with the queue.
TEST(FrameQueue, AbandonedRecordingStopsTheReader) {
    testkit::TempDir dir;
    {
        FrameQueue queue(dir.path().string(), kWidth, kHeight, 2);
        Frame picture(kWidth, kHeight);
        for (int i = 0; i < 5; ++i)
            ASSERT_TRUE(queue.push(picture, true));
        EXPECT_GT(framesFilesIn(dir), 0);
        queue.close(true);
        EXPECT_FALSE(queue.advance());
        const RecordTally tally = queue.waitForRecords(0);
        EXPECT_TRUE(tally.final);
        EXPECT_TRUE(tally.failed);
        EXPECT_EQ(tally.count, 5);
        EXPECT_FALSE(queue.push(picture, true)) << "a closed queue takes no more records";
    }
    EXPECT_EQ(framesFilesIn(dir), 0);
}

// With a room wait, a full queue holds the recording back while the reader takes records
// now and then, and spills only once the reader has taken none for the whole wait.
TEST(FrameQueue, RoomWaitHoldsTheRecordingUntilTheReaderStalls) {
    for (const bool stalled : {false, true}) {
        SCOPED_TRACE(stalled ? "stalled reader" : "slow reader");
        testkit::TempDir dir;
        FrameQueue queue(dir.path().string(), kWidth, kHeight, 2);
        queue.setRoomWait(stalled ? std::chrono::milliseconds(20) : std::chrono::seconds(30));
        GatedReader reader(queue);
        std::thread recording([&] {
            Frame picture(kWidth, kHeight);
            for (int i = 0; i < 6; ++i) {
                picture.fill(colorOf(i));
                ASSERT_TRUE(queue.push(picture, true)) << queue.errorString();
            }
        });
        if (!stalled) {
            for (int read = 1; read <= 6; ++read) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                EXPECT_LE(queue.recordCount(), read + 1) << "a push went past a full queue";
                reader.allow(1);
                reader.waitFor(read);
            }
        }
        recording.join();
        queue.close(false);
        reader.allow(1 << 20);
        std::vector<uint32_t> expected;
        for (int i = 0; i < 6; ++i)
            expected.push_back(colorOf(i));
        EXPECT_EQ(reader.seen(), expected);
        EXPECT_EQ(queue.spilledCount(), stalled ? 4 : 0);
        EXPECT_LE(queue.peakHeld(), 2);
    }
}

// A spill that cannot be written fails the push with the store's message, and stays failed.
TEST(FrameQueue, SpillThatCannotBeWrittenFails) {
    testkit::TempDir dir;
    FrameQueue queue(dir.file("gone"), kWidth, kHeight, 1);
    Frame picture(kWidth, kHeight);
    ASSERT_TRUE(queue.push(picture, true));
    EXPECT_FALSE(queue.push(picture, true));
    EXPECT_NE(queue.errorString().find("gone"), std::string::npos) << queue.errorString();
    EXPECT_FALSE(queue.push(picture, true));
}

} // namespace
} // namespace swivio
