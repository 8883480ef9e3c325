#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "settings/settings_page_rules.h"

namespace swivio {
namespace {

std::string tempFolder() {
    const auto folder = std::filesystem::temp_directory_path() / "swivio-page-rules";
    std::filesystem::create_directories(folder);
    return folder.string();
}

TEST(OutputFileForTypeTest, RewritesOnlyTheFileNamesExtension) {
    struct Case {
        const char* text;
        OutputType type;
        const char* expected;
    } cases[] = {
        {"/out/clip.avi", OutputType::Mpeg, "/out/clip.mpg"},
        {"/out/clip.mpg", OutputType::Avi, "/out/clip.avi"},
        {"/out/clip.avi", OutputType::ImageSeries, "/out/clip.avi"},
        {"", OutputType::Avi, ""},
        {"/out.d/clip", OutputType::Mpeg, "/out.d/clip"},
        {"/out.d/clip.x.avi", OutputType::Mpeg, "/out.d/clip.x.mpg"},
        {"/out/clip.avi", OutputType::VideoFile, "/out/clip.mp4"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(outputFileForType(c.text, c.type), c.expected) << c.text;
    // A video file's name follows its container.
    EXPECT_EQ(outputFileForType("/out/clip.mp4", OutputType::VideoFile, VideoContainer::WebM),
              "/out/clip.webm");
    EXPECT_EQ(outputFileForType("/out/clip.webm", OutputType::VideoFile, VideoContainer::Mkv),
              "/out/clip.mkv");
}

TEST(GeneralPageTest, ChecksGiveTheirMessagesAndFields) {
    const std::string dir = tempFolder();
    struct Case {
        OutputType type;
        std::string folder, file;
        int choice;
        std::string work;
        const char* message; // nullptr: passes
        GeneralField field;
    } cases[] = {
        {OutputType::ImageSeries, "", "", 0, "", "The output path name should not be empty!",
         GeneralField::OutputFolder},
        {OutputType::ImageSeries, dir + "/none", "", 1, "", "The output path does not exist!",
         GeneralField::OutputFolder},
        {OutputType::ImageSeries, dir, "", 1, "", nullptr, GeneralField::OutputFolder},
        {OutputType::Avi, "", "", 0, "", "Please input a file name!", GeneralField::OutputFile},
        {OutputType::Mpeg, "", dir + "/none/a.mpg", 0, "", "The output path does not exist!",
         GeneralField::OutputFile},
        {OutputType::Avi, "", dir + "/a.avi", 1, "",
         "The temporary folder name should not be empty!", GeneralField::WorkFolder},
        {OutputType::Avi, "", dir + "/a.avi", 1, dir + "/none",
         "The specified temporary folder does not exist!", GeneralField::WorkFolder},
        {OutputType::Avi, "", "a.avi", 1, dir, nullptr, GeneralField::OutputFile},
    };
    for (const Case& c : cases) {
        GeneralPageValues v;
        v.type = c.type;
        v.outputFolder = c.folder;
        v.outputFile = c.file;
        v.workFolderChoice = c.choice;
        v.workFolder = c.work;
        const auto problem = checkGeneralPage(v, dir);
        if (!c.message) {
            EXPECT_FALSE(problem) << problem->message;
            continue;
        }
        ASSERT_TRUE(problem) << c.message;
        EXPECT_EQ(problem->message, c.message);
        EXPECT_EQ(problem->field, static_cast<int>(c.field)) << c.message;
    }
}

TEST(GeneralPageTest, RelativeOutputNameLandsInTheMoviesFolder) {
    const std::string dir = tempFolder();
    GeneralPageValues v;
    v.outputFile = "clip.avi";
    EXPECT_FALSE(checkGeneralPage(v, dir));
    EXPECT_EQ(v.outputFile, dir + "/clip.avi");
}

TEST(GeneralPageTest, CommitKeepsMovieSoundInFrameByFrameAndSetsWorkFolder) {
    ConversionSettings s;
    s.audioSource = AudioSource::RecordFromMovie;
    s.tempPathIndex = 1;
    s.tempPath = "/keep";
    GeneralPageValues v = generalPageValues(s);
    v.type = OutputType::ImageSeries;
    v.mode = ConversionMode::FrameByFrame;
    commitGeneralPage(v, s);
    EXPECT_EQ(s.audioSource, AudioSource::RecordFromMovie);
    EXPECT_EQ(s.tempPath, "/keep"); // pictures leave the working folder alone

    v.type = OutputType::Avi;
    v.outputFile = "/out/clip.avi";
    v.workFolderChoice = 0;
    commitGeneralPage(v, s);
    EXPECT_EQ(s.tempPathIndex, 0);
    EXPECT_EQ(s.tempPath, "/out");
    v.outputFile = "/clip.avi";
    commitGeneralPage(v, s);
    EXPECT_EQ(s.tempPath, "/");
}

TEST(VideoRulesTest, KeepAspectArithmetic) {
    EXPECT_EQ(heightForWidth(200, 400, 300), 150);
    EXPECT_EQ(widthForHeight(150, 400, 300), 200);
    EXPECT_EQ(heightForWidth(100, 3, 2), 66); // truncates
    EXPECT_EQ(heightForWidth(200, 0, 300), std::nullopt);
    EXPECT_EQ(widthForHeight(200, 400, 0), std::nullopt);
    EXPECT_EQ(heightForWidth(8192, 1, 8192), 8192 * 8192); // no 32-bit overflow inside
}

TEST(VideoRulesTest, IntegerEditsAreRangeCheckedWithoutOverflow) {
    EXPECT_EQ(readIntegerInRange("640", 4, 8192), 640);
    EXPECT_EQ(readIntegerInRange("3", 4, 8192), std::nullopt);
    EXPECT_EQ(readIntegerInRange("", 4, 8192), std::nullopt);
    EXPECT_EQ(readIntegerInRange("99999999999999999999", 4, 8192), std::nullopt);
    EXPECT_EQ(readIntegerInRange("4294967936", 4, 8192), std::nullopt); // 640 mod 2^32
    EXPECT_EQ(integerRangeMessage(4, 8192), "Please enter an integer between 4 and 8192.");
}

TEST(VideoRulesTest, CropMustLieInsideTheMovieAndNotBeEmpty) {
    struct Case {
        std::string texts[4];
        bool ok;
        int edit;
        const char* message;
    } cases[] = {
        {{"0", "0", "400", "300"}, true, 0, ""},
        {{"100", "50", "300", "250"}, true, 0, ""},
        {{"400", "0", "1", "1"}, false, 0, "Please enter an integer between 0 and 399."},
        {{"100", "0", "301", "300"}, false, 2, "Please enter an integer between 1 and 300."},
        {{"0", "0", "400", "0"}, false, 3, "Please enter an integer between 1 and 300."},
        {{"0", "", "400", "300"}, false, 1, "Please enter an integer between 0 and 299."},
    };
    for (const Case& c : cases) {
        CropProblem problem;
        const auto rect = readCropRect(c.texts, 400, 300, &problem);
        EXPECT_EQ(rect.has_value(), c.ok) << c.texts[0] << "," << c.texts[2];
        if (!c.ok) {
            EXPECT_EQ(problem.edit, c.edit);
            EXPECT_EQ(problem.message, c.message);
        }
    }
}

TEST(VideoRulesTest, FrameRateTexts) {
    EXPECT_EQ(frameRateText(12.5), "12.50");
    EXPECT_EQ(frameRateText(12.0), "12");
    EXPECT_EQ(originalFrameRateText(12.5f), "12");
    EXPECT_EQ(lockedFrameRateText(23.976f), "23.976");
    EXPECT_EQ(lockedFrameRateText(25.0f), "25");
    EXPECT_NEAR(*readFrameRate(lockedFrameRateText(23.976f)), 23.976f, 1e-4);
    EXPECT_EQ(readFrameRate("abc"), std::nullopt);
    EXPECT_EQ(readFrameRate("0"), std::nullopt);
    EXPECT_EQ(readFrameRate("12x"), std::nullopt);
}

TEST(VideoRulesTest, StoredCodecIsFoundByFourCC) {
    const std::vector<uint32_t> list = {0, 0x47504A4D, 0x34504D46};
    EXPECT_EQ(codecListIndex(list, 0x34504D46, 1), 2); // the list order changed
    EXPECT_EQ(codecListIndex(list, 0x31637661, 2), 0); // uninstalled: uncompressed
    EXPECT_EQ(codecListIndex(list, 0, 1), 1);          // an older record: index only
    EXPECT_EQ(codecListIndex(list, 0, 7), 0);
}

TEST(AudioRulesTest, ListsPerOutputType) {
    ConversionSettings s;
    s.aviAudioBitRate = 9; // out of range: the default
    const AudioLists avi = audioLists(s, OutputType::Avi, MpegType::DvdNtsc);
    EXPECT_EQ(avi.formats, (std::vector<std::string>{"MP3", "PCM"}));
    EXPECT_EQ(avi.bitRates.size(), 6u);
    EXPECT_EQ(avi.bitRate, 4);
    const AudioLists svcd = audioLists(s, OutputType::Mpeg, MpegType::SvcdPal);
    EXPECT_EQ(svcd.formats, (std::vector<std::string>{"MPEG Audio"}));
    EXPECT_EQ(svcd.sampleRates, (std::vector<std::string>{"44100"}));
    EXPECT_EQ(svcd.channels, (std::vector<std::string>{"Stereo"}));
    EXPECT_EQ(svcd.bitRates, (std::vector<std::string>{"224"}));
    const AudioLists dvd = audioLists(s, OutputType::Mpeg, MpegType::DvdNtsc);
    EXPECT_EQ(dvd.formats, (std::vector<std::string>{"Dolby AC3"}));
    EXPECT_EQ(dvd.sampleRates, (std::vector<std::string>{"48000"}));

    // A video file: AAC or Opus, Opus alone in WebM; the list's entry maps back to the sound.
    s.videoSound = VideoSound::Opus;
    s.videoSoundBitRate = 4;
    const AudioLists mp4 = audioLists(s, OutputType::VideoFile, MpegType::DvdNtsc);
    EXPECT_EQ(mp4.formats, (std::vector<std::string>{"AAC", "Opus"}));
    EXPECT_EQ(mp4.format, 1);
    EXPECT_EQ(mp4.bitRates[std::size_t(mp4.bitRate)], "192");
    EXPECT_EQ(mp4.sampleRates, (std::vector<std::string>{"48000"}));
    EXPECT_EQ(videoSoundOfList(s, 0), VideoSound::Aac);
    s.videoContainer = VideoContainer::WebM;
    const AudioLists webm = audioLists(s, OutputType::VideoFile, MpegType::DvdNtsc);
    EXPECT_EQ(webm.formats, (std::vector<std::string>{"Opus"}));
    EXPECT_EQ(webm.format, 0);
    EXPECT_EQ(videoSoundOfList(s, 0), VideoSound::Opus);
}

TEST(AudioRulesTest, ControlStatesPerSourceTypeAndFormat) {
    struct Case {
        AudioSource source;
        OutputType type;
        int format;
        bool file, lists, bitRate;
    } cases[] = {
        {AudioSource::None, OutputType::Avi, 0, false, false, false},
        {AudioSource::RecordFromMovie, OutputType::Avi, 0, false, true, true},
        {AudioSource::RecordFromMovie, OutputType::Avi, 1, false, true, false},
        {AudioSource::RecordFromMovie, OutputType::Mpeg, 0, false, true, true},
        {AudioSource::ImportFile, OutputType::Avi, 0, true, false, false},
        {AudioSource::ImportFile, OutputType::Mpeg, 0, true, true, true},
        // A video file codes any sound anew, imported or recorded.
        {AudioSource::ImportFile, OutputType::VideoFile, 0, true, true, true},
        {AudioSource::RecordFromMovie, OutputType::VideoFile, 1, false, true, true},
    };
    for (const Case& c : cases) {
        const AudioControlStates s = audioControlStates(c.source, c.type, c.format);
        EXPECT_EQ(s.file, c.file);
        EXPECT_EQ(s.lists, c.lists);
        EXPECT_EQ(s.bitRate, c.bitRate);
    }
    EXPECT_TRUE(canRecordMovieSound(ConversionMode::FrameByFrame));
    EXPECT_TRUE(canRecordMovieSound(ConversionMode::Interactive));
}

TEST(AudioRulesTest, ImportChecks) {
    const std::string dir = tempFolder();
    const std::string mp3 = dir + "/SONG.MP3", ogg = dir + "/song.ogg";
    std::ofstream(mp3) << "x";
    std::ofstream(ogg) << "x";
    EXPECT_EQ(checkAudioImport(mp3), std::nullopt);
    EXPECT_EQ(checkAudioImport(""), kNoAudioFileMessage);
    EXPECT_EQ(checkAudioImport(dir + "/none.wav"), kAudioFileMissingMessage);
    EXPECT_EQ(checkAudioImport(ogg), kAudioFileTypeMessage);
    EXPECT_FALSE(isImportableSoundName("/a.wav/song"));
}

} // namespace
} // namespace swivio
