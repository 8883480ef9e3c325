#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "audio/null_audio_device.h"

namespace swivio::audio {
namespace {

using namespace std::chrono_literals;

// Time that passes only when the device sleeps, or when the test says so.
class FakeClock final : public PacingClock {
public:
    TimePoint now() override { return m_now; }
    void sleepUntil(TimePoint when) override {
        if (when > m_now)
            m_now = when;
    }
    void advance(std::chrono::milliseconds d) { m_now += d; }
    std::chrono::milliseconds elapsed() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(m_now - TimePoint{});
    }

private:
    TimePoint m_now{};
};

// Writes `ms` of stereo sound in buffers of `frames` sample frames.
void writeSound(NullAudioDevice& device, int ms, int frames) {
    const std::vector<int16_t> buffer(size_t(frames) * 2);
    for (int64_t done = 0; done < int64_t(ms) * 44100 / 1000; done += frames)
        ASSERT_TRUE(device.write(buffer));
}

class NullDevicePace : public testing::TestWithParam<int> {};

// However the sound is cut into buffers, a second of it takes a second to play: the writer
// is held back to within the device's little lead of real time.
TEST_P(NullDevicePace, OneSecondTakesASecond) {
    FakeClock clock;
    NullAudioDevice device(clock);
    ASSERT_TRUE(device.open(kOutputFormat));
    writeSound(device, 1000, GetParam());
    EXPECT_GE(clock.elapsed(), 1000ms - std::chrono::milliseconds(NullAudioDevice::kHeldMs) - 1ms);
    EXPECT_LE(clock.elapsed(), 1000ms);
    EXPECT_EQ(device.framesWritten() % GetParam(), 0);
}

INSTANTIATE_TEST_SUITE_P(BufferSizes, NullDevicePace, testing::Values(441, 882, 1024, 44100));

TEST(NullAudioDevice, AfterAStallPlaysOnAtRealTimeInsteadOfCatchingUp) {
    FakeClock clock;
    NullAudioDevice device(clock);
    ASSERT_TRUE(device.open(kOutputFormat));
    writeSound(device, 500, 882);
    clock.advance(5000ms); // the writer was held up; the card ran dry
    const auto before = clock.elapsed();
    writeSound(device, 1000, 882);
    EXPECT_GE(clock.elapsed() - before,
              1000ms - std::chrono::milliseconds(NullAudioDevice::kHeldMs) - 1ms);
}

TEST(NullAudioDevice, DiscardEmptiesWhatItHeld) {
    FakeClock clock;
    NullAudioDevice device(clock);
    ASSERT_TRUE(device.open(kOutputFormat));
    writeSound(device, 1000, 882);
    device.discard();
    // An empty card takes its whole lead at once.
    const auto before = clock.elapsed();
    writeSound(device, NullAudioDevice::kHeldMs - 20, 882);
    EXPECT_EQ(clock.elapsed(), before);
}

TEST(NullAudioDevice, TakesNothingWhenClosed) {
    FakeClock clock;
    NullAudioDevice device(clock);
    const std::vector<int16_t> buffer(1764);
    EXPECT_FALSE(device.write(buffer));
    ASSERT_TRUE(device.open(kOutputFormat));
    device.close();
    EXPECT_FALSE(device.write(buffer));
}

} // namespace
} // namespace swivio::audio
