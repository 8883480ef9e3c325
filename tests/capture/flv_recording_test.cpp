#include <filesystem>

#include <gtest/gtest.h>

#include "capture/conversion_task.h"
#include "capture/recording_session.h"
#include "settings/settings_rules.h"
#include "tests/support/flv_files.h"
#include "tests/support/temp_dir.h"

namespace swivio::testkit {
namespace {

// Whatever recording mode the windows left in the settings, a video records whole: one
// record per frame of its own clock, and its sound, 4410 sample frames a frame at 10 a
// second, beside them.
TEST(FlvRecording, AVideoRecordsFromItsStartToItsEndInEitherMode) {
    TempDir dir;
    FlvRecipe recipe;
    recipe.frames = 23;
    recipe.sound = true;
    const std::string path = dir.file("clip.flv");
    ASSERT_TRUE(writeFlv(path, recipe));
    for (RecordingMode mode : {RecordingMode::Timeline, RecordingMode::Play}) {
        auto source = openMovieSource(path);
        ASSERT_TRUE(source) << source.message();
        ConversionSettings s;
        resetForMovie(s, path, movieProperties(**source));
        s.recordingMode = mode;
        s.audioSource = AudioSource::RecordFromMovie;
        s.tempPath = dir.path().string();
        applySettingsRules(s);
        RecordingSession session(s, std::move(*source));
        ASSERT_TRUE(session.open()) << session.errorString();
        ASSERT_TRUE(session.runFrameByFrame()) << session.errorString();
        ASSERT_TRUE(session.finish());
        EXPECT_EQ(session.recordCount(), 23);
        EXPECT_FALSE(session.reachedPlayBound());
        std::error_code ec;
        const auto wavBytes = std::filesystem::file_size(session.recordedSoundPath(), ec);
        ASSERT_FALSE(ec);
        EXPECT_EQ(wavBytes, 44u + 23u * 4410u * 4u);
        session.discardFrames();
    }
}

} // namespace
} // namespace swivio::testkit
