#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "settings/settings_persistence.h"
#include "settings/settings_rules.h"

namespace swivio {
namespace {

MovieProperties swfMovie(int w = 550, int h = 400, float rate = 12.0f, int frames = 30) {
    MovieProperties m;
    m.width = w;
    m.height = h;
    m.frameRate = rate;
    m.length = frames;
    return m;
}

struct PathCase {
    const char* path;
    OutputType type;
    const char* folder;
    const char* outputFile; // expected; for image series the untouched previous value
};

class ResetForMoviePaths : public testing::TestWithParam<PathCase> {};

TEST_P(ResetForMoviePaths, DerivesFolderAndOutputName) {
    const PathCase c = GetParam();
    ConversionSettings s;
    s.convertType = c.type;
    s.outputFile = "/previous/out.avi";
    resetForMovie(s, c.path, swfMovie());
    EXPECT_EQ(s.sourcePath, c.path);
    EXPECT_EQ(s.sourceFolder, c.folder);
    EXPECT_EQ(s.outputFolder, c.folder);
    EXPECT_EQ(s.tempPath, c.folder); // tempPathIndex 0
    EXPECT_EQ(s.outputFile, c.outputFile);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ResetForMoviePaths,
    testing::Values(
        PathCase{"/home/u/a.b/movie.swf", OutputType::Avi, "/home/u/a.b", "/home/u/a.b/movie.avi"},
        PathCase{"/home/u/a.b/movie.swf", OutputType::Mpeg, "/home/u/a.b", "/home/u/a.b/movie.mpg"},
        PathCase{"/m.swf", OutputType::Avi, "/", "/m.avi"},
        PathCase{"/home/u/v1.2/clip.tar.SWF", OutputType::Avi, "/home/u/v1.2",
                 "/home/u/v1.2/clip.tar.avi"},
        // No extension, and a '.' only in a folder name: the name is not cut.
        PathCase{"/home/u/a.b/movie", OutputType::Avi, "/home/u/a.b", "/home/u/a.b/movie.avi"},
        PathCase{"/home/u/a.b/movie", OutputType::Mpeg, "/home/u/a.b", "/home/u/a.b/movie.mpg"},
        PathCase{"movie.swf", OutputType::Avi, ".", "movie.avi"},
        PathCase{"/home/u/movie.swf", OutputType::ImageSeries, "/home/u", "/previous/out.avi"}));

TEST(ResetForMovieTest, RebuildsMovieDependentFieldsAndKeepsPersistedOnes) {
    ConversionSettings s;
    s.convertType = OutputType::Mpeg;
    s.mpegType = MpegType::SvcdPal;
    s.aviFourCC = 0x44495658;
    s.audioSource = AudioSource::ImportFile;
    s.audioFile = "/m/a.wav";
    resetForMovie(s, "/m/first.swf", swfMovie(800, 600, 25.0f, 100));
    // What the user set for the first movie...
    s.cropX = 10;
    s.cropY = 20;
    s.cropWidth = 30;
    s.cropHeight = 40;
    s.watermarkEnabled = true;
    s.watermarkFile = "/m/logo.png";
    s.watermarkUseTransparentColor = true;
    s.watermarkTransparentColor = 0x00FF00FF;
    s.watermarkUseTransparency = true;
    s.watermarkTransparency = 10;
    s.watermarkX = s.watermarkY = s.watermarkWidth = s.watermarkHeight = 7;
    s.watermarkKeepAspectRatio = false;
    s.aviKeepOriginalSize = s.aviKeepAspectRatio = false;
    s.aviWidth = 1;
    s.imageKeepOriginalSize = s.imageKeepAspectRatio = false;
    s.imageHeight = 2;
    s.mpegWidth = 5;
    // ...does not carry over to the second.
    resetForMovie(s, "/m/second.swf", swfMovie(320, 200, 29.5f, 7));

    EXPECT_EQ(s.movieWidth, 320);
    EXPECT_EQ(s.movieHeight, 200);
    EXPECT_FLOAT_EQ(s.movieFrameRate, 29.5f);
    EXPECT_EQ(s.movieLength, 7);
    EXPECT_EQ(s.cropX, 0);
    EXPECT_EQ(s.cropY, 0);
    EXPECT_EQ(s.cropWidth, 320);
    EXPECT_EQ(s.cropHeight, 200);
    EXPECT_FALSE(s.watermarkEnabled);
    EXPECT_EQ(s.watermarkFile, "");
    EXPECT_FALSE(s.watermarkUseTransparentColor);
    EXPECT_EQ(s.watermarkTransparentColor, 0u);
    EXPECT_FALSE(s.watermarkUseTransparency);
    EXPECT_EQ(s.watermarkTransparency, 50);
    EXPECT_EQ(s.watermarkX + s.watermarkY + s.watermarkWidth + s.watermarkHeight, 0);
    EXPECT_TRUE(s.watermarkKeepAspectRatio);
    EXPECT_TRUE(s.aviKeepOriginalSize && s.aviKeepAspectRatio);
    EXPECT_EQ(s.aviWidth, 320);
    EXPECT_EQ(s.aviHeight, 200);
    EXPECT_FLOAT_EQ(s.aviFrameRate, 29.5f);
    EXPECT_TRUE(s.imageKeepOriginalSize && s.imageKeepAspectRatio);
    EXPECT_EQ(s.imageWidth, 320);
    EXPECT_EQ(s.imageHeight, 200);
    EXPECT_FLOAT_EQ(s.imageFrameRate, 29.5f);
    EXPECT_EQ(s.mpegWidth, 480); // SVCD-PAL preset re-applied
    EXPECT_EQ(s.mpegHeight, 576);
    EXPECT_EQ(s.outputFile, "/m/second.mpg");

    EXPECT_EQ(s.convertType, OutputType::Mpeg);
    EXPECT_EQ(s.mpegType, MpegType::SvcdPal);
    EXPECT_EQ(s.aviFourCC, 0x44495658u);
    EXPECT_EQ(s.audioSource, AudioSource::ImportFile);
    EXPECT_EQ(s.audioFile, "/m/a.wav");
}

TEST(ResetForMovieTest, KeepsChosenWorkingFolder) {
    ConversionSettings s;
    s.tempPathIndex = 1;
    s.tempPath = "/scratch";
    resetForMovie(s, "/m/a.swf", swfMovie());
    EXPECT_EQ(s.tempPath, "/scratch");
}

TEST(ResetForMovieTest, FlvVideoIsRecordedInteractivelyAndSavedSo) {
    ConversionSettings s;
    s.conversionMode = ConversionMode::FrameByFrame;
    MovieProperties video = swfMovie(320, 240, 25.0f, 61);
    video.isFlv = true;
    resetForMovie(s, "/v/clip.flv", video);
    EXPECT_EQ(s.conversionMode, ConversionMode::Interactive);
    EXPECT_EQ(s.movieLength, 61);
    MemorySettingsStore store;
    saveSettings(s, store);
    const auto* mode = store.find("General", "Conversion Mode");
    ASSERT_NE(mode, nullptr);
    EXPECT_EQ(std::get<int64_t>(*mode), 0);

    // An SWF movie leaves the mode alone.
    s.conversionMode = ConversionMode::FrameByFrame;
    resetForMovie(s, "/v/clip.swf", swfMovie());
    EXPECT_EQ(s.conversionMode, ConversionMode::FrameByFrame);
}

TEST(MpegPresetTest, WritesEveryRowAndLeavesUnknownTypeAlone) {
    const int widths[] = {720, 720, 480, 480, 352, 352};
    const int heights[] = {480, 576, 480, 576, 240, 288};
    const float rates[] = {29.97f, 25.0f, 29.97f, 25.0f, 29.97f, 25.0f};
    const int sampleRates[] = {48000, 48000, 44100, 44100, 44100, 44100};
    for (int i = 0; i < 6; ++i) {
        ConversionSettings s;
        s.mpegType = MpegType(i);
        applyMpegPreset(s);
        EXPECT_EQ(s.mpegWidth, widths[i]) << i;
        EXPECT_EQ(s.mpegHeight, heights[i]) << i;
        EXPECT_EQ(s.mpegFrameRate, rates[i]) << i;
        EXPECT_EQ(s.mpegSampleRate, sampleRates[i]) << i;
        EXPECT_EQ(isAc3MpegType(s.mpegType), i < 2) << i;
    }
    for (int bad : {6, -1}) {
        ConversionSettings s;
        s.mpegWidth = 11;
        s.mpegHeight = 12;
        s.mpegFrameRate = 13;
        s.mpegSampleRate = 14;
        s.mpegType = MpegType(bad);
        applyMpegPreset(s);
        EXPECT_EQ(s.mpegWidth, 11);
        EXPECT_EQ(s.mpegHeight, 12);
        EXPECT_EQ(s.mpegFrameRate, 13);
        EXPECT_EQ(s.mpegSampleRate, 14);
    }
}

TEST(SettingsRulesTest, EveryModeKeepsTheSoundChoice) {
    ConversionSettings s;
    s.conversionMode = ConversionMode::FrameByFrame;
    s.audioSource = AudioSource::RecordFromMovie;
    applySettingsRules(s);
    EXPECT_EQ(s.audioSource, AudioSource::RecordFromMovie);

    s.audioSource = AudioSource::ImportFile;
    applySettingsRules(s);
    EXPECT_EQ(s.audioSource, AudioSource::ImportFile);

    s.conversionMode = ConversionMode::Interactive;
    s.audioSource = AudioSource::RecordFromMovie;
    applySettingsRules(s);
    EXPECT_EQ(s.audioSource, AudioSource::RecordFromMovie);
}

TEST(SettingsRulesTest, FlvSourceForcesInteractiveBeforeSoundRule) {
    ConversionSettings s;
    s.sourcePath = "/v/CLIP.FLV";
    s.conversionMode = ConversionMode::FrameByFrame;
    s.audioSource = AudioSource::RecordFromMovie;
    applySettingsRules(s);
    EXPECT_EQ(s.conversionMode, ConversionMode::Interactive);
    EXPECT_EQ(s.audioSource, AudioSource::RecordFromMovie);
}

TEST(SettingsRulesTest, WorkingFolderFollowsTheOutput) {
    ConversionSettings s;
    s.outputFile = "/out/dir/movie.avi";
    s.tempPath = "/old";
    applySettingsRules(s);
    EXPECT_EQ(s.tempPath, "/out/dir");

    s.outputFile = "/movie.avi";
    applySettingsRules(s);
    EXPECT_EQ(s.tempPath, "/");

    s.tempPathIndex = 1;
    s.tempPath = "/chosen";
    applySettingsRules(s);
    EXPECT_EQ(s.tempPath, "/chosen");

    // Pictures keep their frame files in their own folder, not in the movie's.
    s.tempPathIndex = 0;
    s.convertType = OutputType::ImageSeries;
    s.sourcePath = "/movies/m.swf";
    s.outputFolder = "/out/frames";
    applySettingsRules(s);
    EXPECT_EQ(s.tempPath, "/out/frames");
}

TEST(SettingsRulesTest, MpegOutputTakesPresetWhateverWasShown) {
    ConversionSettings s;
    s.convertType = OutputType::Mpeg;
    s.mpegType = MpegType::VcdNtsc;
    s.mpegWidth = 999;
    s.mpegFrameRate = 12;
    applySettingsRules(s);
    EXPECT_EQ(s.mpegWidth, 352);
    EXPECT_EQ(s.mpegHeight, 240);
    EXPECT_EQ(s.mpegFrameRate, 29.97f);
    EXPECT_EQ(s.mpegSampleRate, 44100);
}

} // namespace
} // namespace swivio
