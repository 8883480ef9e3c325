#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "settings/settings_persistence.h"
#include "settings/settings_store.h"
#include "tests/support/temp_dir.h"

namespace swivio {
namespace {

using Access = MemorySettingsStore::Access;

const std::vector<Access> kGeneralOrder = {
    {"General", "Convert Type"},    {"General", "Temp Path Index"}, {"General", "Temp Path"},
    {"General", "Conversion Mode"}, {"General", "Capture Cursor"},  {"General", "Browse Folder"}};
const std::vector<Access> kAviOrder = {{"AVI", "Codec"},
                                       {"AVI", "FourCC"},
                                       {"AVI", "Audio Format"},
                                       {"AVI", "Audio Channel"},
                                       {"AVI", "Audio Sample Rate"},
                                       {"AVI", "Audio Bit Rate"},
                                       {"AVI", "Quality"}};
const std::vector<Access> kImageOrder = {{"Image", "Type"},
                                         {"Image", "JPEG Quality"},
                                         {"Image", "GIF Dither"},
                                         {"Image", "GIF Palette"}};
const std::vector<Access> kVideoFileOrder = {
    {"Video File", "Container"}, {"Video File", "Codec"},      {"Video File", "Quality"},
    {"Video File", "Speed"},     {"Video File", "Frame Size"}, {"Video File", "Sound"},
    {"Video File", "Sound Bit Rate"}};
const std::vector<Access> kAudioOrder = {{"Common Audio", "Source"}, {"Common Audio", "File"}};

std::vector<Access> concat(std::initializer_list<std::vector<Access>> parts) {
    std::vector<Access> all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

ConversionSettings nonDefaultSettings() {
    ConversionSettings s;
    s.convertType = OutputType::ImageSeries;
    s.tempPathIndex = 1;
    s.tempPath = "/var/tmp/work dir";
    s.conversionMode = ConversionMode::FrameByFrame;
    s.captureCursor = true;
    s.openTargetFolder = false;
    s.aviCodecIndex = 3;
    s.aviFourCC = 0xF0495658; // high bit set: must survive as an unsigned 32-bit code
    s.aviAudioFormat = 1;
    s.aviAudioChannels = 0;
    s.aviAudioSampleRate = 0;
    s.aviAudioBitRate = 5;
    s.aviQuality = 37;
    s.mpegType = MpegType::VcdPal;
    s.audioSource = AudioSource::ImportFile;
    s.audioFile = "/home/u/sound, track \u00e9 @x.mp3"; // a comma, UTF-8 and an @ survive the INI
    s.imageType = ImageType::AnimatedGif;
    s.jpegQuality = 1;
    s.gifDither = false;
    s.gifPalette = GifPalette::Standard; // not the default
    s.videoContainer = VideoContainer::Mkv;
    s.videoCodec = VideoCodec::H265;
    s.videoQuality = 77;
    s.videoSpeed = VideoSpeed::Slow;
    s.videoFrameSize = VideoFrameSize::Hd1080;
    s.videoSound = VideoSound::Opus;
    s.videoSoundBitRate = 5;
    return s;
}

void expectPersistedEqual(const ConversionSettings& a, const ConversionSettings& b) {
    EXPECT_EQ(a.convertType, b.convertType);
    EXPECT_EQ(a.tempPathIndex, b.tempPathIndex);
    EXPECT_EQ(a.tempPath, b.tempPath);
    EXPECT_EQ(a.conversionMode, b.conversionMode);
    EXPECT_EQ(a.captureCursor, b.captureCursor);
    EXPECT_EQ(a.openTargetFolder, b.openTargetFolder);
    EXPECT_EQ(a.aviCodecIndex, b.aviCodecIndex);
    EXPECT_EQ(a.aviFourCC, b.aviFourCC);
    EXPECT_EQ(a.aviAudioFormat, b.aviAudioFormat);
    EXPECT_EQ(a.aviAudioChannels, b.aviAudioChannels);
    EXPECT_EQ(a.aviAudioSampleRate, b.aviAudioSampleRate);
    EXPECT_EQ(a.aviAudioBitRate, b.aviAudioBitRate);
    EXPECT_EQ(a.aviQuality, b.aviQuality);
    EXPECT_EQ(a.mpegType, b.mpegType);
    EXPECT_EQ(a.audioSource, b.audioSource);
    EXPECT_EQ(a.audioFile, b.audioFile);
    EXPECT_EQ(a.imageType, b.imageType);
    EXPECT_EQ(a.jpegQuality, b.jpegQuality);
    EXPECT_EQ(a.gifDither, b.gifDither);
    EXPECT_EQ(a.gifPalette, b.gifPalette);
    EXPECT_EQ(a.videoContainer, b.videoContainer);
    EXPECT_EQ(a.videoCodec, b.videoCodec);
    EXPECT_EQ(a.videoQuality, b.videoQuality);
    EXPECT_EQ(a.videoSpeed, b.videoSpeed);
    EXPECT_EQ(a.videoFrameSize, b.videoFrameSize);
    EXPECT_EQ(a.videoSound, b.videoSound);
    EXPECT_EQ(a.videoSoundBitRate, b.videoSoundBitRate);
}

TEST(SettingsPersistenceTest, FirstRunGivesDefaults) {
    MemorySettingsStore store;
    ConversionSettings s = nonDefaultSettings(); // whatever the record held is replaced
    loadSettings(s, store);
    EXPECT_EQ(s.convertType, OutputType::Avi);
    EXPECT_EQ(s.aviFourCC, 0u);
    EXPECT_EQ(s.aviQuality, 0); // the compressor's usual setting
    EXPECT_EQ(s.audioSource, AudioSource::RecordFromMovie);
    EXPECT_EQ(s.aviAudioFormat, 0);  // MP3
    EXPECT_EQ(s.aviAudioBitRate, 4); // 128 kbps
    EXPECT_EQ(kAviAudioBitRates[std::size_t(s.aviAudioBitRate)].value, 128);
    EXPECT_EQ(kAviAudioSampleRates[std::size_t(s.aviAudioSampleRate)].value, 44100);
    EXPECT_EQ(kAviAudioChannels[std::size_t(s.aviAudioChannels)].value, 2);
    EXPECT_EQ(s.mpegType, MpegType::DvdNtsc);
    EXPECT_EQ(s.imageType, ImageType::Bmp);
    EXPECT_EQ(s.jpegQuality, 80);
    EXPECT_TRUE(s.gifDither);
    EXPECT_EQ(s.gifPalette, GifPalette::Adaptive);
    EXPECT_EQ(s.conversionMode, ConversionMode::Interactive);
    EXPECT_FALSE(s.captureCursor);
    EXPECT_TRUE(s.openTargetFolder);
    EXPECT_EQ(s.tempPathIndex, 0);
    EXPECT_EQ(s.tempPath, "");
    EXPECT_EQ(s.audioFile, "");
    EXPECT_EQ(s.aviCodecIndex, 0);
    EXPECT_EQ(s.videoContainer, VideoContainer::Mp4);
    EXPECT_EQ(s.videoCodec, VideoCodec::H264);
    EXPECT_EQ(s.videoQuality, 0);
    EXPECT_EQ(s.videoSpeed, VideoSpeed::Medium);
    EXPECT_EQ(s.videoFrameSize, VideoFrameSize::Movie);
    EXPECT_EQ(s.videoSound, VideoSound::Aac);
    EXPECT_EQ(kVideoSoundBitRates[std::size_t(s.videoSoundBitRate)].value, 128);
}

TEST(SettingsPersistenceTest, ReadsAndWritesInFixedOrder) {
    MemorySettingsStore store;
    ConversionSettings s;
    loadSettings(s, store);
    EXPECT_EQ(store.reads(),
              concat({kGeneralOrder, kAviOrder, {{"MPEG", "Type"}}, kAudioOrder, kImageOrder,
                      kVideoFileOrder}));
    EXPECT_TRUE(store.writes().empty());

    store.clearLogs();
    saveSettings(s, store);
    EXPECT_EQ(store.writes(),
              concat({kGeneralOrder, kAviOrder, {{"MPEG", "Type"}}, kImageOrder,
                      kVideoFileOrder, kAudioOrder}));
    EXPECT_TRUE(store.reads().empty());
}

TEST(SettingsPersistenceTest, SaveWritesTypedValuesIncludingEmptyText) {
    MemorySettingsStore store;
    ConversionSettings s;
    s.openTargetFolder = false;
    saveSettings(s, store);
    const auto* browse = store.find("General", "Browse Folder");
    ASSERT_NE(browse, nullptr);
    EXPECT_EQ(std::get<int64_t>(*browse), 0);
    const auto* tempPath = store.find("General", "Temp Path");
    ASSERT_NE(tempPath, nullptr);
    ASSERT_TRUE(std::holds_alternative<std::string>(*tempPath));
    EXPECT_EQ(std::get<std::string>(*tempPath), "");
}

TEST(SettingsPersistenceTest, RoundTripsThroughMemoryStore) {
    MemorySettingsStore store;
    const ConversionSettings saved = nonDefaultSettings();
    saveSettings(saved, store);
    ConversionSettings loaded;
    loadSettings(loaded, store);
    expectPersistedEqual(loaded, saved);
}

TEST(SettingsPersistenceTest, MistypedValuesGiveDefaults) {
    MemorySettingsStore store;
    store.set("General", "Convert Type", std::string("1")); // text where a number belongs
    store.set("General", "Temp Path", int64_t(5));          // number where text belongs
    store.set("Image", "JPEG Quality", std::string("50"));
    store.set("Common Audio", "File", int64_t(0));
    ConversionSettings s = nonDefaultSettings();
    loadSettings(s, store);
    EXPECT_EQ(s.convertType, OutputType::Avi);
    EXPECT_EQ(s.tempPath, "");
    EXPECT_EQ(s.jpegQuality, 80);
    EXPECT_EQ(s.audioFile, "");
}

struct OutOfRangeCase {
    const char* section;
    const char* name;
    int64_t stored;
    int64_t (*field)(const ConversionSettings&);
    int64_t expected;
};

class SettingsOutOfRange : public testing::TestWithParam<OutOfRangeCase> {};

// A stored value outside its list comes back as the field's default; the other values load
// as stored.
TEST_P(SettingsOutOfRange, BecomesDefault) {
    const OutOfRangeCase c = GetParam();
    MemorySettingsStore store;
    const ConversionSettings saved = nonDefaultSettings();
    saveSettings(saved, store);
    store.set(c.section, c.name, c.stored);
    ConversionSettings loaded;
    loadSettings(loaded, store);
    EXPECT_EQ(c.field(loaded), c.expected) << c.section << "/" << c.name << " = " << c.stored;
    EXPECT_EQ(loaded.audioFile, saved.audioFile);
    EXPECT_EQ(loaded.tempPath, saved.tempPath);
}

#define FIELD(f) [](const ConversionSettings& s) { return int64_t(s.f); }
INSTANTIATE_TEST_SUITE_P(
    Indexes, SettingsOutOfRange,
    testing::Values(OutOfRangeCase{"General", "Convert Type", 4, FIELD(convertType), 0},
                    OutOfRangeCase{"General", "Convert Type", -1, FIELD(convertType), 0},
                    OutOfRangeCase{"General", "Temp Path Index", 2, FIELD(tempPathIndex), 0},
                    OutOfRangeCase{"General", "Conversion Mode", 2, FIELD(conversionMode), 0},
                    OutOfRangeCase{"General", "Capture Cursor", 7, FIELD(captureCursor), 0},
                    OutOfRangeCase{"General", "Browse Folder", -1, FIELD(openTargetFolder), 1},
                    OutOfRangeCase{"AVI", "Codec", -4, FIELD(aviCodecIndex), 0},
                    OutOfRangeCase{"AVI", "FourCC", int64_t(1) << 33, FIELD(aviFourCC), 0},
                    OutOfRangeCase{"AVI", "Audio Format", 2, FIELD(aviAudioFormat), 0},
                    OutOfRangeCase{"AVI", "Audio Channel", 2, FIELD(aviAudioChannels), 1},
                    OutOfRangeCase{"AVI", "Audio Sample Rate", 3, FIELD(aviAudioSampleRate), 2},
                    OutOfRangeCase{"AVI", "Audio Bit Rate", 6, FIELD(aviAudioBitRate), 4},
                    OutOfRangeCase{"AVI", "Audio Bit Rate", -1, FIELD(aviAudioBitRate), 4},
                    OutOfRangeCase{"AVI", "Quality", 101, FIELD(aviQuality), 0},
                    OutOfRangeCase{"AVI", "Quality", -1, FIELD(aviQuality), 0},
                    OutOfRangeCase{"MPEG", "Type", 6, FIELD(mpegType), 0},
                    OutOfRangeCase{"MPEG", "Type", -2, FIELD(mpegType), 0},
                    OutOfRangeCase{"Common Audio", "Source", 3, FIELD(audioSource), 1},
                    OutOfRangeCase{"Image", "Type", 5, FIELD(imageType), 0},
                    OutOfRangeCase{"Image", "JPEG Quality", 0, FIELD(jpegQuality), 80},
                    OutOfRangeCase{"Image", "JPEG Quality", 101, FIELD(jpegQuality), 80},
                    OutOfRangeCase{"Image", "GIF Dither", 2, FIELD(gifDither), 1},
                    OutOfRangeCase{"Image", "GIF Palette", 2, FIELD(gifPalette), 1},
                    OutOfRangeCase{"Image", "GIF Palette", -1, FIELD(gifPalette), 1},
                    OutOfRangeCase{"Video File", "Container", 3, FIELD(videoContainer), 0},
                    OutOfRangeCase{"Video File", "Codec", 4, FIELD(videoCodec), 0},
                    OutOfRangeCase{"Video File", "Quality", 101, FIELD(videoQuality), 0},
                    OutOfRangeCase{"Video File", "Speed", 3, FIELD(videoSpeed), 1},
                    OutOfRangeCase{"Video File", "Frame Size", -1, FIELD(videoFrameSize), 0},
                    OutOfRangeCase{"Video File", "Sound", 2, FIELD(videoSound), 0},
                    OutOfRangeCase{"Video File", "Sound Bit Rate", 6, FIELD(videoSoundBitRate), 2},
                    // A codec or sound the container cannot hold takes the container's own.
                    OutOfRangeCase{"Video File", "Codec", 2, FIELD(videoCodec), 0},
                    OutOfRangeCase{"Video File", "Container", 2, FIELD(videoCodec), 2},
                    // The last entries of each list are still in range.
                    OutOfRangeCase{"General", "Convert Type", 3, FIELD(convertType), 3},
                    OutOfRangeCase{"Video File", "Quality", 100, FIELD(videoQuality), 100},
                    OutOfRangeCase{"Video File", "Frame Size", 2, FIELD(videoFrameSize), 2},
                    OutOfRangeCase{"Video File", "Codec", 1, FIELD(videoCodec), 1},
                    OutOfRangeCase{"AVI", "Audio Bit Rate", 5, FIELD(aviAudioBitRate), 5},
                    OutOfRangeCase{"MPEG", "Type", 5, FIELD(mpegType), 5},
                    OutOfRangeCase{"Image", "JPEG Quality", 100, FIELD(jpegQuality), 100},
                    OutOfRangeCase{"Image", "GIF Palette", 0, FIELD(gifPalette), 0},
                    OutOfRangeCase{"AVI", "Quality", 100, FIELD(aviQuality), 100},
                    OutOfRangeCase{"AVI", "Codec", 250, FIELD(aviCodecIndex), 250}));
#undef FIELD

TEST(SettingsPersistenceTest, AutofinishDefaultsOnAndPersists) {
    MemorySettingsStore store;
    EXPECT_TRUE(readAutofinish(store));
    writeAutofinish(store, false);
    EXPECT_EQ(store.writes(), (std::vector<Access>{{"General", "Autofinish"}}));
    EXPECT_FALSE(readAutofinish(store));
    writeAutofinish(store, true);
    EXPECT_TRUE(readAutofinish(store));
    store.set("General", "Autofinish", std::string("no"));
    EXPECT_TRUE(readAutofinish(store));
}

std::string readWholeFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(QtSettingsStoreTest, RoundTripsThroughIniFile) {
    testkit::TempDir dir;
    const std::string path = dir.file("swivio.ini");
    const ConversionSettings saved = nonDefaultSettings();
    {
        QtSettingsStore store(path);
        saveSettings(saved, store);
        writeAutofinish(store, false);
        EXPECT_TRUE(store.flush());
    }
    QtSettingsStore store(path);
    ConversionSettings loaded;
    loadSettings(loaded, store);
    expectPersistedEqual(loaded, saved);
    EXPECT_FALSE(readAutofinish(store));
    // One group per section, the value names as given.
    const std::string text = readWholeFile(path);
    EXPECT_NE(text.find("[AVI]"), std::string::npos) << text;
    EXPECT_NE(text.find("[Common%20Audio]"), std::string::npos) << text;
}

TEST(QtSettingsStoreTest, IntegersAreWholeNumbersOnly) {
    testkit::TempDir dir;
    const std::string path = dir.file("hand.ini");
    // Typed by hand: the INI backend hands back every value as text.
    std::ofstream(path) << "[%General]\n"
                           "Convert%20Type=2\n"
                           "Temp%20Path%20Index=1x\n"
                           "Conversion%20Mode=0x1\n"
                           "Capture%20Cursor=\n"
                           "Browse%20Folder=0\n"
                           "Temp%20Path=/tmp/a, b\n"
                           "[Image]\n"
                           "JPEG%20Quality=+55\n"
                           "Type=3.0\n"
                           "[MPEG]\n"
                           "Type=99999999999999999999\n"
                           "[AVI]\n"
                           "FourCC=-1\n";
    QtSettingsStore store(path);
    ConversionSettings s;
    loadSettings(s, store);
    EXPECT_EQ(s.convertType, OutputType::ImageSeries);
    EXPECT_EQ(s.tempPathIndex, 0);                            // "1x"
    EXPECT_EQ(s.conversionMode, ConversionMode::Interactive); // "0x1"
    EXPECT_FALSE(s.captureCursor);                            // empty
    EXPECT_FALSE(s.openTargetFolder);
    EXPECT_EQ(s.tempPath, ""); // a list, not a text
    EXPECT_EQ(s.jpegQuality, 55);
    EXPECT_EQ(s.imageType, ImageType::Bmp);   // "3.0"
    EXPECT_EQ(s.mpegType, MpegType::DvdNtsc); // does not fit
    EXPECT_EQ(s.aviFourCC, 0xFFFFFFFFu);      // the same 32 bits written as signed
}

TEST(QtSettingsStoreTest, UserStoreLivesUnderOrganisationAndApplication) {
    testkit::TempDir dir;
    // QSettings finds the user's configuration folder through XDG_CONFIG_HOME.
    ASSERT_EQ(setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1), 0);
    {
        QtSettingsStore store;
        writeAutofinish(store, false);
        EXPECT_TRUE(store.flush());
    }
    const std::string text = readWholeFile((dir.path() / "Velmora" / "Swivio.conf").string());
    EXPECT_NE(text.find("Autofinish=0"), std::string::npos) << text;
}

} // namespace
} // namespace swivio
