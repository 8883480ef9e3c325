#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "capture/frame_store_reader.h"
#include "capture/recording_session.h"
#include "settings/settings_rules.h"
#include "tests/support/swf_movies.h"
#include "tests/support/swf_shapes.h"
#include "tests/support/swf_writer.h"
#include "tests/support/temp_dir.h"

namespace swivio::testkit {
namespace {

// Settings for recording `path` frame by frame into AVI frames of the movie's own size.
ConversionSettings settingsFor(const std::string& path, int w, int h, float fps, int frames,
                               const TempDir& dir) {
    ConversionSettings s;
    MovieProperties movie;
    movie.width = w;
    movie.height = h;
    movie.frameRate = fps;
    movie.length = frames;
    resetForMovie(s, path, movie);
    s.conversionMode = ConversionMode::FrameByFrame;
    s.audioSource = AudioSource::None;
    s.tempPath = dir.path().string();
    return s;
}

std::vector<uint32_t> recordedCenters(RecordingSession& session) {
    FrameStoreReader reader(session.fileList(), session.geometry().outputWidth,
                            session.geometry().outputHeight);
    std::vector<uint32_t> colors;
    Frame frame;
    while (reader.advance()) {
        EXPECT_TRUE(reader.decodeInto(frame));
        colors.push_back(frame.pixel(frame.width() / 2, frame.height() / 2));
    }
    return colors;
}

// A root timeline of three identical frames holding a sprite whose own three frames are
// red, green and blue. Played, the movie shows red, green, blue; a plain seek of the root
// would leave the sprite on red.
TEST(RecordingSession, NestedClipsAnimateFromFrameToFrame) {
    TempDir dir;
    SwfWriter w;
    w.xMax = 40 * 20;
    w.yMax = 40 * 20;
    w.frameCount = 3;
    w.tag(TagCode::DefineShape3, rectangleShape(1, 0, 0, 800, 800, 0xFF, 0, 0));
    w.tag(TagCode::DefineShape3, rectangleShape(2, 0, 0, 800, 800, 0, 0xFF, 0));
    w.tag(TagCode::DefineShape3, rectangleShape(3, 0, 0, 800, 800, 0, 0, 0xFF));
    SpriteBuilder sprite;
    sprite.place(Place().at(1).of(1)).showFrame();
    sprite.remove(1).place(Place().at(1).of(2)).showFrame();
    sprite.remove(1).place(Place().at(1).of(3)).showFrame();
    w.tag(TagCode::DefineSprite, sprite.defineSprite(10));
    place(w, Place().at(1).of(10));
    w.showFrame().showFrame().showFrame().end();
    const std::string path = dir.file("clip.swf");
    ASSERT_TRUE(w.writeFile(path));

    RecordingSession session(settingsFor(path, 40, 40, 12, 3, dir));
    ASSERT_TRUE(session.open()) << session.errorString();
    std::vector<std::string> texts;
    session.setProgressCallback([&](const RecordingProgress& p) {
        texts.push_back(p.text);
        return true;
    });
    ASSERT_TRUE(session.runFrameByFrame()) << session.errorString();
    ASSERT_TRUE(session.finish());
    EXPECT_EQ(session.recordCount(), 3);
    EXPECT_EQ(texts, (std::vector<std::string>{"1/3 frames", "2/3 frames", "3/3 frames"}));
    EXPECT_EQ(recordedCenters(session),
              (std::vector<uint32_t>{makeColor(255, 0, 0), makeColor(0, 255, 0),
                                     makeColor(0, 0, 255)}));
    session.discardFrames();
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()) ||
                !std::filesystem::exists(session.fileList().front()));
}

TEST(RecordingSession, StopEndsTheLoopAndEmptyMovieRecordsNothing) {
    TempDir dir;
    SwfWriter w;
    w.xMax = 40 * 20;
    w.yMax = 40 * 20;
    w.frameCount = 5;
    for (int i = 0; i < 5; ++i)
        w.showFrame();
    w.end();
    const std::string path = dir.file("five.swf");
    ASSERT_TRUE(w.writeFile(path));

    RecordingSession stopped(settingsFor(path, 40, 40, 12, 5, dir));
    ASSERT_TRUE(stopped.open());
    stopped.setProgressCallback([](const RecordingProgress& p) { return p.frameIndex < 2; });
    ASSERT_TRUE(stopped.runFrameByFrame());
    EXPECT_EQ(stopped.recordCount(), 2);
    stopped.discardFrames();
    for (const auto& f : stopped.fileList())
        EXPECT_FALSE(std::filesystem::exists(f));

    RecordingSession empty(settingsFor(path, 40, 40, 12, 0, dir));
    ASSERT_TRUE(empty.open());
    ASSERT_TRUE(empty.runFrameByFrame());
    EXPECT_EQ(empty.recordCount(), 0);
    EXPECT_TRUE(empty.fileList().empty());
    EXPECT_EQ(empty.makeJob().frameCount, 0);
}

TEST(RecordingSession, BarsKeepTheBackgroundAndTheJobCarriesTheSound) {
    TempDir dir;
    SwfWriter w;
    w.xMax = 80 * 20;
    w.yMax = 40 * 20;
    w.frameCount = 1;
    w.backgroundColor(0, 0, 0xFF);
    w.tag(TagCode::DefineShape3, rectangleShape(1, 0, 0, 1600, 800, 0xFF, 0xFF, 0));
    place(w, Place().at(1).of(1));
    w.showFrame().end();
    const std::string path = dir.file("wide.swf");
    ASSERT_TRUE(w.writeFile(path));

    // An 80 x 40 movie into 80 x 80 frames: a content area of 80 x 40 with 20-pixel bars
    // above and below.
    ConversionSettings s = settingsFor(path, 80, 40, 12, 1, dir);
    s.aviKeepOriginalSize = false;
    s.aviWidth = 80;
    s.aviHeight = 80;
    s.audioSource = AudioSource::ImportFile;
    s.audioFile = dir.file("song.mp3");
    RecordingSession session(s);
    ASSERT_TRUE(session.open());
    ASSERT_TRUE(session.runFrameByFrame());
    const Frame& f = session.surface();
    EXPECT_EQ(f.pixel(40, 5), makeColor(0, 0, 255));
    EXPECT_EQ(f.pixel(40, 75), makeColor(0, 0, 255));
    EXPECT_EQ(f.pixel(40, 40), makeColor(255, 255, 0));
    EXPECT_EQ(f.pixel(2, 22), makeColor(255, 255, 0));
    const ConversionJob job = session.makeJob();
    EXPECT_EQ(job.audioPath, s.audioFile);
    EXPECT_EQ(job.frameCount, 1);
    EXPECT_EQ(job.geometry.contentHeight, 40);
    session.discardFrames();
}

// Where the frame files go. The working folder chosen for the user (the output's folder)
// gives way to $TMPDIR when it cannot take a file; one the user chose does not.
struct WorkFolderCase {
    const char* name;
    int tempPathIndex;
    bool folderExists;
    const char* landsIn; // "work", "tmpdir", or null when refused
};
class FrameFileFolders : public testing::TestWithParam<WorkFolderCase> {};

TEST_P(FrameFileFolders, FallBackOnlyFromTheChosenForTheUser) {
    const WorkFolderCase& c = GetParam();
    TempDir dir;
    if (c.folderExists)
        std::filesystem::create_directory(dir.file("work"));
    std::filesystem::create_directory(dir.file("tmpdir"));
    const char* oldTmp = std::getenv("TMPDIR");
    const std::string saved = oldTmp ? oldTmp : "";
    setenv("TMPDIR", dir.file("tmpdir").c_str(), 1);
    ConversionSettings s;
    s.tempPathIndex = c.tempPathIndex;
    s.tempPath = dir.file("work");
    const Result<std::string> folder = frameFileFolder(s);
    if (oldTmp)
        setenv("TMPDIR", saved.c_str(), 1);
    else
        unsetenv("TMPDIR");
    if (c.landsIn) {
        ASSERT_TRUE(folder) << folder.message();
        EXPECT_EQ(*folder, dir.file(c.landsIn));
    } else {
        ASSERT_FALSE(folder);
        EXPECT_NE(folder.message().find(dir.file("work")), std::string::npos) << folder.message();
    }
    // The probe leaves nothing behind.
    EXPECT_TRUE(std::filesystem::is_empty(dir.file("tmpdir")));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FrameFileFolders,
    testing::Values(WorkFolderCase{"OutputFolderThatTakesFiles", 0, true, "work"},
                    WorkFolderCase{"OutputFolderThatCannot", 0, false, "tmpdir"},
                    WorkFolderCase{"ChosenFolder", 1, true, "work"},
                    WorkFolderCase{"ChosenFolderThatCannot", 1, false, nullptr}),
    [](const testing::TestParamInfo<WorkFolderCase>& p) { return std::string(p.param.name); });

} // namespace
} // namespace swivio::testkit
