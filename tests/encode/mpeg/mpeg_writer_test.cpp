#include <cmath>
#include <cstdarg>
#include <cstdio>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/log.h>
}

#include "base/frame.h"
#include "encode/mpeg/mpeg_output.h"
#include "encode/mpeg/mpeg_writer.h"
#include "tests/encode/mpeg/mpeg_probe.h"
#include "tests/support/sound_files.h"
#include "tests/support/temp_dir.h"

namespace swivio {
namespace {

using testkit::TempDir;

// libavcodec's notes about every opened encoder would drown the test output.
[[maybe_unused]] const bool kQuietLibraries = [] {
    av_log_set_level(AV_LOG_ERROR);
    return true;
}();

constexpr uint32_t kRed = makeColor(255, 0, 0);
constexpr uint32_t kGreen = makeColor(0, 255, 0);
constexpr uint32_t kBlue = makeColor(0, 0, 255);
constexpr uint32_t kWhite = makeColor(255, 255, 255);

// Red top left, green top right, blue bottom left, white bottom right: a picture turned
// upside down or mirrored cannot pass for itself.
Frame quadrants(int width, int height) {
    Frame frame(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2;
            const bool bottom = y >= height / 2;
            frame.setPixel(x, y, bottom ? (right ? kWhite : kBlue) : (right ? kGreen : kRed));
        }
    return frame;
}

void expectColor(const testkit::DecodedPicture& p, int x, int y, uint32_t color) {
    constexpr int kTolerance = 24;
    SCOPED_TRACE("pixel " + std::to_string(x) + ", " + std::to_string(y));
    EXPECT_NEAR(int(p.red(x, y)), colorRed(color), kTolerance);
    EXPECT_NEAR(int(p.green(x, y)), colorGreen(color), kTolerance);
    EXPECT_NEAR(int(p.blue(x, y)), colorBlue(color), kTolerance);
}

// Pictures like a busy movie's: a soft gradient that moves over a flat background, crossed
// by hard-edged bars of another colour, different in every frame.
std::vector<Frame> busyFrames(int width, int height, int count) {
    std::vector<Frame> frames;
    for (int f = 0; f < count; ++f) {
        Frame frame(width, height);
        frame.fill(makeColor(30, 60, 110));
        const double cx = width * (0.3 + 0.05 * f);
        const double cy = height * 0.5;
        const double radius = height * 0.35;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const double d = std::hypot(x - cx, y - cy) / radius;
                if (d < 1.0) {
                    const auto v = uint8_t(255 * (1.0 - d));
                    frame.setPixel(x, y, makeColor(v, uint8_t(v / 2 + 60), 40));
                }
                if (((x + 8 * f) / 24 + y / 24) % 3 == 0)
                    frame.setPixel(x, y, makeColor(240, 220, uint8_t(20 * f)));
            }
        frames.push_back(std::move(frame));
    }
    return frames;
}

// Collects what the FFmpeg libraries report as errors while it lives (the multiplexer, for
// one, reports a decoder buffer that would run dry).
class LibraryErrors {
public:
    LibraryErrors() {
        s_errors = &m_errors;
        av_log_set_callback(&LibraryErrors::record);
    }
    ~LibraryErrors() {
        av_log_set_callback(av_log_default_callback);
        s_errors = nullptr;
    }
    const std::vector<std::string>& errors() const { return m_errors; }

private:
    static void record(void*, int level, const char* format, va_list args) {
        if (level > AV_LOG_ERROR || !s_errors)
            return;
        char text[512];
        std::vsnprintf(text, sizeof text, format, args);
        s_errors->push_back(text);
    }
    static inline std::vector<std::string>* s_errors = nullptr;
    std::vector<std::string> m_errors;
};

bool writeFrames(MpegWriter& writer, const Frame& frame, int count) {
    for (int i = 0; i < count; ++i)
        if (!writer.writeFrame(frame.bytes()))
            return false;
    return true;
}

int openDescriptors() {
    int n = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        (void)entry;
        ++n;
    }
    return n;
}

// --- Every preset: streams, sizes, rates, intra pictures, the picture itself ---------------

struct PresetCase {
    int mpegType;
    const char* videoCodec;
    const char* audioCodec;
    int width;
    int height;
    int rateNum; // frames per second, exactly: rateNum / rateDen
    int rateDen;
    int sampleRate;
    int videoBitRate;
    int packSize;     // a disc sector's payload
    int gopSize;      // pictures from one intra picture to the next, at most
    bool soundAlways; // a VCD carries a sound stream, silent when none is given
    double frameRate() const { return double(rateNum) / rateDen; }
};

void PrintTo(const PresetCase& c, std::ostream* os) {
    *os << "mpegType " << c.mpegType;
}

class MpegPresetTest : public ::testing::TestWithParam<PresetCase> {};

TEST_P(MpegPresetTest, WritesPicturesOfThePresetThatDecodeToTheFrame) {
    const PresetCase& c = GetParam();
    TempDir dir;
    const std::string path = dir.file("out.mpg");
    MpegWriter writer;
    ASSERT_TRUE(writer.selectPreset(c.mpegType));
    ASSERT_TRUE(writer.open(path, "")) << writer.errorString();
    constexpr int kFrames = 12;
    ASSERT_TRUE(writeFrames(writer, quadrants(c.width, c.height), kFrames));
    EXPECT_EQ(writer.framesWritten(), kFrames);
    ASSERT_TRUE(writer.close()) << writer.errorString();

    const testkit::ProbedFile probed = testkit::probeMpeg(path);
    ASSERT_TRUE(probed.opened) << probed.error;
    ASSERT_EQ(probed.streams.size(), c.soundAlways ? 2u : 1u);
    const testkit::ProbedStream* v = probed.video();
    ASSERT_NE(v, nullptr);
    if (c.soundAlways) {
        ASSERT_NE(probed.audio(), nullptr);
        EXPECT_NEAR(probed.audio()->end, v->end, 0.05) << "silence as long as the pictures";
        const testkit::DecodedSound sound = testkit::decodeSound(path);
        ASSERT_FALSE(sound.left.empty());
        for (const float sample : sound.left)
            ASSERT_NEAR(sample, 0.0f, 0.001f);
    }
    EXPECT_EQ(v->codec, c.videoCodec);
    EXPECT_EQ(v->width, c.width);
    EXPECT_EQ(v->height, c.height);
    EXPECT_DOUBLE_EQ(v->frameRate, c.frameRate());
    EXPECT_EQ(v->packets, kFrames);
    EXPECT_NEAR(v->duration(), kFrames / c.frameRate(), 0.5 / c.frameRate());

    const auto pictures = testkit::decodePictures(path, 3);
    ASSERT_EQ(pictures.size(), 3u);
    for (const auto& p : pictures) {
        ASSERT_EQ(p.width, c.width);
        ASSERT_EQ(p.height, c.height);
        expectColor(p, c.width / 4, c.height / 4, kRed);
        expectColor(p, 3 * c.width / 4, c.height / 4, kGreen);
        expectColor(p, c.width / 4, 3 * c.height / 4, kBlue);
        expectColor(p, 3 * c.width / 4, 3 * c.height / 4, kWhite);
        // The edge rows too: the first and last rows stay where they were.
        expectColor(p, 8, 1, kRed);
        expectColor(p, c.width - 8, c.height - 2, kWhite);
    }
}

TEST_P(MpegPresetTest, SoundStreamHasThePresetCodecAndStereoRate) {
    const PresetCase& c = GetParam();
    TempDir dir;
    const std::string wav = dir.file("tone.wav");
    testkit::writeBytes(wav, testkit::makeWav({}, testkit::sinePcm16(44100, 2, 44100)));
    const std::string path = dir.file("out.mpg");
    MpegWriter writer;
    ASSERT_TRUE(writer.selectPreset(c.mpegType));
    ASSERT_TRUE(writer.open(path, wav)) << writer.errorString();
    ASSERT_TRUE(writeFrames(writer, quadrants(c.width, c.height), int(c.frameRate() / 2)));
    ASSERT_TRUE(writer.close()) << writer.errorString();

    const testkit::ProbedFile probed = testkit::probeMpeg(path);
    ASSERT_TRUE(probed.opened) << probed.error;
    ASSERT_EQ(probed.streams.size(), 2u);
    const testkit::ProbedStream* a = probed.audio();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->codec, c.audioCodec);
    EXPECT_EQ(a->sampleRate, c.sampleRate);
    EXPECT_EQ(a->channels, 2);
    EXPECT_GT(a->packets, 0);
}

TEST_P(MpegPresetTest, MultiplexesBusyPicturesWithinTheDecoderBuffer) {
    const PresetCase& c = GetParam();
    TempDir dir;
    const std::string wav = dir.file("tone.wav");
    testkit::writeBytes(wav, testkit::makeWav({}, testkit::sinePcm16(44100, 2, 3 * 44100)));
    const std::vector<Frame> frames = busyFrames(c.width, c.height, 4);
    const int count = int(c.frameRate() * 2);
    for (const std::string& sound : {std::string(), wav}) {
        SCOPED_TRACE(sound.empty() ? "no sound" : "with sound");
        const std::string path = dir.file("busy.mpg");
        {
            LibraryErrors log;
            MpegWriter writer;
            ASSERT_TRUE(writer.selectPreset(c.mpegType));
            ASSERT_TRUE(writer.open(path, sound)) << writer.errorString();
            for (int i = 0; i < count; ++i)
                ASSERT_TRUE(writer.writeFrame(frames[std::size_t(i) % frames.size()].bytes()));
            ASSERT_TRUE(writer.close()) << writer.errorString();
            EXPECT_TRUE(log.errors().empty()) << log.errors().front();
        }
        const testkit::ProbedFile probed = testkit::probeMpeg(path);
        ASSERT_TRUE(probed.opened) << probed.error;
        ASSERT_NE(probed.video(), nullptr);
        EXPECT_EQ(probed.video()->packets, count);
        if (!sound.empty()) {
            ASSERT_NE(probed.audio(), nullptr);
            EXPECT_NEAR(probed.audio()->duration(), 2.0, 0.05);
        }
        // The rate control keeps near the type's bit rate.
        const double bits = double(std::filesystem::file_size(path)) * 8;
        EXPECT_LT(bits / 2.0, 1.5 * (c.videoBitRate + 224000));
    }
}

// What an authoring tool needs of a disc's stream: whole sectors ending with the program end
// code, the norm's exact rate, a 4:3 picture, predicted pictures between intra pictures at
// least every group, and every frame handed over (the encoder holds B pictures back).
TEST_P(MpegPresetTest, WritesAStreamADiscCanPlay) {
    const PresetCase& c = GetParam();
    TempDir dir;
    const std::string wav = dir.file("tone.wav");
    testkit::writeBytes(wav, testkit::makeWav({}, testkit::sinePcm16(44100, 2, 3 * 44100)));
    const std::vector<Frame> frames = busyFrames(c.width, c.height, 4);
    // Three groups and a bit: the last pictures are B pictures the encoder holds back.
    const int count = 3 * c.gopSize + 2;
    const std::string path = dir.file("disc.mpg");
    MpegWriter writer;
    ASSERT_TRUE(writer.selectPreset(c.mpegType));
    ASSERT_TRUE(writer.open(path, wav)) << writer.errorString();
    for (int i = 0; i < count; ++i)
        ASSERT_TRUE(writer.writeFrame(frames[std::size_t(i / 3) % frames.size()].bytes()));
    ASSERT_TRUE(writer.close()) << writer.errorString();

    const std::vector<uint8_t> bytes = testkit::readBytes(path);
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(bytes.size() % std::size_t(c.packSize), 0u) << bytes.size() << " bytes";
    EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 4, bytes.end()),
              (std::vector<uint8_t>{0x00, 0x00, 0x01, 0xB9}));

    const testkit::ProbedFile probed = testkit::probeMpeg(path);
    ASSERT_TRUE(probed.opened) << probed.error;
    const testkit::ProbedStream* v = probed.video();
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->frameRateNum, c.rateNum);
    EXPECT_EQ(v->frameRateDen, c.rateDen);
    // MPEG-1 has pixel shapes rather than display aspects: 4:3 within their rounding.
    EXPECT_NEAR(v->displayAspect, 4.0 / 3.0, 0.01);
    EXPECT_EQ(v->packets, count);
    EXPECT_LT(v->keyPackets, count / 2) << "predicted pictures between the intra ones";
    EXPECT_GE(v->keyPackets, count / c.gopSize) << "an intra picture at least every group";
    ASSERT_NE(probed.audio(), nullptr);
    EXPECT_NEAR(probed.audio()->end, v->end, 0.05) << "sound and pictures end together";
}

INSTANTIATE_TEST_SUITE_P(
    AllTypes, MpegPresetTest,
    ::testing::Values(
        PresetCase{0, "mpeg2video", "ac3", 720, 480, 30000, 1001, 48000, 8000000, 2048, 18, false},
        PresetCase{1, "mpeg2video", "ac3", 720, 576, 25, 1, 48000, 8000000, 2048, 15, false},
        PresetCase{2, "mpeg2video", "mp2", 480, 480, 30000, 1001, 44100, 2000000, 2324, 18, false},
        PresetCase{3, "mpeg2video", "mp2", 480, 576, 25, 1, 44100, 2000000, 2324, 15, false},
        PresetCase{4, "mpeg1video", "mp2", 352, 240, 30000, 1001, 44100, 1150000, 2324, 18, true},
        PresetCase{5, "mpeg1video", "mp2", 352, 288, 25, 1, 44100, 1150000, 2324, 15, true}),
    [](const auto& row) { return "Type" + std::to_string(row.param.mpegType); });

// --- Sound sources: length and content after conversion ------------------------------------

enum class SoundKind { Wav16, Wav8, Mp3 };

struct SoundCase {
    const char* name;
    int mpegType;
    SoundKind kind;
    uint32_t rate;
    uint16_t channels;
    double soundSeconds;
    double videoSeconds;
};

void PrintTo(const SoundCase& c, std::ostream* os) {
    *os << c.name;
}

class MpegSoundTest : public ::testing::TestWithParam<SoundCase> {};

std::string makeSoundFile(const TempDir& dir, const SoundCase& c) {
    const auto frames = uint32_t(c.soundSeconds * c.rate);
    switch (c.kind) {
    case SoundKind::Wav16: {
        const std::string path = dir.file("sound.WAV");
        testkit::WavSpec wavLayout;
        wavLayout.channels = c.channels;
        wavLayout.sampleRate = c.rate;
        testkit::writeBytes(
            path, testkit::makeWav(wavLayout, testkit::sinePcm16(c.rate, c.channels, frames)));
        return path;
    }
    case SoundKind::Wav8: {
        const std::string path = dir.file("sound.wav");
        const std::vector<uint8_t> pcm16 = testkit::sinePcm16(c.rate, c.channels, frames);
        std::vector<uint8_t> pcm8;
        for (std::size_t i = 0; i + 1 < pcm16.size(); i += 2)
            pcm8.push_back(uint8_t((int8_t(pcm16[i + 1]) + 128)));
        testkit::WavSpec wavLayout;
        wavLayout.channels = c.channels;
        wavLayout.sampleRate = c.rate;
        wavLayout.bitsPerSample = 8;
        testkit::writeBytes(path, testkit::makeWav(wavLayout, pcm8));
        return path;
    }
    case SoundKind::Mp3: {
        const std::string path = dir.file("sound.mp3");
        testkit::writeBytes(path, testkit::makeMp3(c.rate, c.channels, 64, c.soundSeconds));
        return path;
    }
    }
    return {};
}

TEST_P(MpegSoundTest, SoundLastsAsLongAsTheShorterOfSoundAndVideo) {
    const SoundCase& c = GetParam();
    TempDir dir;
    const std::string sound = makeSoundFile(dir, c);
    const std::string path = dir.file("out.mpg");
    MpegWriter writer;
    ASSERT_TRUE(writer.selectPreset(c.mpegType));
    const MpegOutputPreset& preset = *writer.preset();
    ASSERT_TRUE(writer.open(path, sound)) << writer.errorString();
    EXPECT_TRUE(writer.hasSound());
    const int frames = int(c.videoSeconds * preset.frameRate() + 0.5);
    ASSERT_TRUE(writeFrames(writer, quadrants(preset.width, preset.height), frames));
    ASSERT_TRUE(writer.close()) << writer.errorString();

    const testkit::ProbedFile probed = testkit::probeMpeg(path);
    ASSERT_TRUE(probed.opened) << probed.error;
    const testkit::ProbedStream* v = probed.video();
    const testkit::ProbedStream* a = probed.audio();
    ASSERT_NE(v, nullptr);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(v->packets, frames);
    EXPECT_EQ(a->sampleRate, preset.sampleRate);

    // Sound may run up to one coded frame past its source or past the last picture; an MP3
    // also carries its encoder's delay and padding.
    const double audioFrame =
        (preset.audioCodec == MpegAudioCodec::Ac3 ? 1536.0 : 1152.0) / preset.sampleRate;
    const double slack = audioFrame + (c.kind == SoundKind::Mp3 ? 0.1 : 0.01);
    const double expected = std::min(c.soundSeconds, double(frames) / preset.frameRate());
    EXPECT_GE(a->duration(), expected - slack);
    EXPECT_LE(a->duration(), expected + slack);
    // The sound starts with the pictures and never runs past them by more than a frame.
    EXPECT_NEAR(a->start, v->start, audioFrame + 0.05);
    EXPECT_LE(a->end, v->end + audioFrame);

    // The first channel is still the 440 Hz tone, not the samples read in the wrong width.
    const testkit::DecodedSound decoded = testkit::decodeSound(path);
    ASSERT_EQ(decoded.sampleRate, preset.sampleRate);
    const std::size_t middle = decoded.left.size() / 2;
    const auto window = std::size_t(decoded.sampleRate / 5);
    ASSERT_GT(decoded.left.size(), window * 2);
    EXPECT_NEAR(
        testkit::toneFrequency(decoded.left, decoded.sampleRate, middle - window / 2, window),
        440.0, 25.0);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, MpegSoundTest,
    ::testing::Values(SoundCase{"WavLongerThanVideo", 5, SoundKind::Wav16, 44100, 2, 2.0, 1.0},
                      SoundCase{"WavShorterThanVideo", 5, SoundKind::Wav16, 44100, 2, 0.6, 2.0},
                      SoundCase{"WavMono22050IntoDvd", 1, SoundKind::Wav16, 22050, 1, 1.0, 1.5},
                      SoundCase{"Wav8BitMonoIntoSvcd", 2, SoundKind::Wav8, 11025, 1, 1.0, 1.5},
                      SoundCase{"Wav8BitStereoIntoVcd", 4, SoundKind::Wav8, 44100, 2, 1.5, 1.0},
                      SoundCase{"Mp3Stereo48000IntoVcd", 5, SoundKind::Mp3, 48000, 2, 1.0, 2.0},
                      SoundCase{"Mp3Mono22050IntoDvdNtsc", 0, SoundKind::Mp3, 22050, 1, 1.0, 2.0},
                      SoundCase{"Mp3LongerThanVideo", 3, SoundKind::Mp3, 44100, 2, 3.0, 1.0}),
    [](const auto& row) { return std::string(row.param.name); });

// --- Files with no pictures -----------------------------------------------------------------

TEST(MpegWriterTest, ZeroFramesStillGiveACompleteFile) {
    TempDir dir;
    const std::string wav = dir.file("tone.wav");
    testkit::writeBytes(wav, testkit::makeWav({}, testkit::sinePcm16(44100, 2, 4410)));
    for (const std::string& sound : {std::string(), wav}) {
        SCOPED_TRACE(sound.empty() ? "no sound" : "with sound");
        const std::string path = dir.file("empty.mpg");
        MpegWriter writer;
        ASSERT_TRUE(writer.selectPreset(5));
        ASSERT_TRUE(writer.open(path, sound)) << writer.errorString();
        ASSERT_TRUE(writer.close()) << writer.errorString();
        EXPECT_EQ(writer.framesWritten(), 0);
        ASSERT_TRUE(std::filesystem::exists(path));
        const std::vector<uint8_t> bytes = testkit::readBytes(path);
        // One whole VCD sector, ending with the program end code 00 00 01 B9.
        ASSERT_EQ(bytes.size(), 2324u);
        EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 4, bytes.end()),
                  (std::vector<uint8_t>{0x00, 0x00, 0x01, 0xB9}));
        std::filesystem::remove(path);
    }
}

// --- Refusals -------------------------------------------------------------------------------

TEST(MpegWriterTest, OpenFailsCleanlyOnAnUnwritablePath) {
    const int descriptorsBefore = openDescriptors();
    TempDir dir;
    const std::string wav = dir.file("tone.wav");
    testkit::writeBytes(wav, testkit::makeWav({}, testkit::sinePcm16(44100, 2, 4410)));
    MpegWriter writer;
    ASSERT_TRUE(writer.selectPreset(0));
    EXPECT_FALSE(writer.open(dir.file("missing/folder/out.mpg"), wav));
    EXPECT_FALSE(writer.isOpen());
    EXPECT_FALSE(writer.errorString().empty());
    // Frames after a failed open are refused, and close has nothing to complete.
    EXPECT_FALSE(writer.writeFrame(quadrants(720, 480).bytes()));
    EXPECT_EQ(writer.framesWritten(), 0);
    writer.close();
    EXPECT_EQ(openDescriptors(), descriptorsBefore + 0);
}

TEST(MpegWriterTest, OpenFailsWithoutCreatingTheFileWhenTheSoundCannotBeUsed) {
    TempDir dir;
    testkit::WavSpec spec24;
    spec24.bitsPerSample = 24;
    const std::string wav24 = dir.file("deep.wav");
    testkit::writeBytes(wav24, testkit::makeWav(spec24, std::vector<uint8_t>(6000, 1)));
    const std::string notMp3 = dir.file("noise.mp3");
    testkit::writeBytes(notMp3, std::vector<uint8_t>(5000, 0x42));
    for (const std::string& sound :
         {dir.file("absent.wav"), dir.file("absent.mp3"), wav24, notMp3}) {
        SCOPED_TRACE(sound);
        const std::string path = dir.file("out.mpg");
        MpegWriter writer;
        ASSERT_TRUE(writer.selectPreset(5));
        EXPECT_FALSE(writer.open(path, sound));
        EXPECT_FALSE(writer.errorString().empty());
        EXPECT_FALSE(std::filesystem::exists(path));
    }
}

TEST(MpegWriterTest, PresetsOutsideTheTableAndWrongFrameSizesAreRefused) {
    MpegWriter writer;
    EXPECT_FALSE(writer.selectPreset(-1));
    EXPECT_FALSE(writer.selectPreset(6));
    EXPECT_EQ(writer.preset(), nullptr);
    TempDir dir;
    EXPECT_FALSE(writer.open(dir.file("out.mpg"), "")) << "no preset selected yet";

    ASSERT_TRUE(writer.selectPreset(4));
    ASSERT_TRUE(writer.open(dir.file("out.mpg"), "")) << writer.errorString();
    EXPECT_FALSE(writer.selectPreset(5)) << "the preset cannot change while a file is open";
    EXPECT_FALSE(writer.writeFrame(quadrants(352, 288).bytes()));
    EXPECT_TRUE(writer.writeFrame(quadrants(352, 240).bytes()));
    EXPECT_EQ(writer.framesWritten(), 1);
    EXPECT_FALSE(writer.close()) << "the refused frame is reported when the file is closed";
    EXPECT_EQ(testkit::probeMpeg(dir.file("out.mpg")).video()->packets, 1);
}

TEST(MpegWriterTest, NamesThatLookLikeAddressesAreWrittenAsPlainFiles) {
    TempDir dir;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    MpegWriter writer;
    ASSERT_TRUE(writer.selectPreset(5));
    const bool opened = writer.open("pipe:1", "");
    if (opened) {
        writer.writeFrame(quadrants(352, 288).bytes());
        writer.close();
    }
    std::filesystem::current_path(previous);
    ASSERT_TRUE(opened) << writer.errorString();
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "pipe:1"));
}

// --- Damaged sound files --------------------------------------------------------------------

// Whether the damaged file must be refused by open, must still give sound, or may do either.
enum class Outcome { Refused, Sound, Either };

struct DamageCase {
    const char* name;
    const char* fileName;
    Outcome outcome;
    std::vector<uint8_t> (*make)();
};

std::vector<uint8_t> mp3Bytes() {
    return testkit::makeMp3(44100, 2, 128, 1.0);
}

const DamageCase kDamage[] = {
    {"Mp3CutInsideAFrame", "cut.mp3", Outcome::Sound,
     [] {
         auto b = mp3Bytes();
         b.resize(b.size() / 2 + 77);
         return b;
     }},
    {"Mp3WithGarbageInTheMiddle", "garbage.mp3", Outcome::Sound,
     [] {
         auto b = mp3Bytes();
         for (std::size_t i = b.size() / 3; i < b.size() / 2; ++i)
             b[i] = uint8_t(i * 131 + 7);
         return b;
     }},
    {"Mp3WithEveryHeaderByteFlipped", "flipped.mp3", Outcome::Either,
     [] {
         auto b = mp3Bytes();
         for (std::size_t i = 0; i + 3 < b.size(); ++i)
             if (b[i] == 0xFF && (b[i + 1] & 0xE0) == 0xE0)
                 b[i + 2] ^= 0xF0;
         return b;
     }},
    {"Mp3WithAnId3TagLongerThanTheFile", "tag.mp3", Outcome::Refused,
     [] {
         auto b = testkit::makeId3Tag(100000);
         b.resize(500);
         auto m = mp3Bytes();
         b.insert(b.end(), m.begin(), m.end());
         return b;
     }},
    {"EmptyMp3", "empty.mp3", Outcome::Refused, [] { return std::vector<uint8_t>{}; }},
    {"WavCutInsideTheHeader", "cut.wav", Outcome::Refused,
     [] {
         auto b = testkit::makeWav({}, testkit::sinePcm16(44100, 2, 1000));
         b.resize(30);
         return b;
     }},
    {"WavDataLongerThanTheFile", "long.wav", Outcome::Sound,
     [] {
         auto b = testkit::makeWav({}, testkit::sinePcm16(44100, 2, 1000));
         b[40] = b[41] = b[42] = b[43] = 0xFF;
         b.resize(b.size() - 3);
         return b;
     }},
    {"WavWithZeroChannels", "zero.wav", Outcome::Refused,
     [] {
         testkit::WavSpec wavLayout;
         wavLayout.channels = 0;
         return testkit::makeWav(wavLayout, std::vector<uint8_t>(1000, 0));
     }},
    {"WavWithAbsurdRate", "rate.wav", Outcome::Refused,
     [] {
         testkit::WavSpec wavLayout;
         wavLayout.sampleRate = 1;
         return testkit::makeWav(wavLayout, std::vector<uint8_t>(4000, 0));
     }},
    {"WavWithOddBlockAlign", "align.wav", Outcome::Refused,
     [] {
         auto b = testkit::makeWav({}, testkit::sinePcm16(44100, 2, 1000));
         b[32] = 3;
         return b;
     }},
};

void PrintTo(const DamageCase& c, std::ostream* os) {
    *os << c.name;
}

class MpegDamagedSoundTest : public ::testing::TestWithParam<DamageCase> {};

TEST_P(MpegDamagedSoundTest, IsRefusedOrEndsTheSoundWhileTheVideoCompletes) {
    TempDir dir;
    const std::string sound = dir.file(GetParam().fileName);
    testkit::writeBytes(sound, GetParam().make());
    const std::string path = dir.file("out.mpg");
    MpegWriter writer;
    ASSERT_TRUE(writer.selectPreset(5));
    const Outcome outcome = GetParam().outcome;
    if (!writer.open(path, sound)) {
        EXPECT_NE(outcome, Outcome::Sound) << writer.errorString();
        EXPECT_FALSE(writer.errorString().empty());
        EXPECT_FALSE(std::filesystem::exists(path));
        return;
    }
    EXPECT_NE(outcome, Outcome::Refused);
    ASSERT_TRUE(writeFrames(writer, quadrants(352, 288), 40));
    ASSERT_TRUE(writer.close()) << writer.errorString();
    const testkit::ProbedFile probed = testkit::probeMpeg(path);
    ASSERT_TRUE(probed.opened) << probed.error;
    ASSERT_NE(probed.video(), nullptr);
    EXPECT_EQ(probed.video()->packets, 40);
    if (outcome == Outcome::Sound) {
        ASSERT_NE(probed.audio(), nullptr);
        EXPECT_GT(probed.audio()->packets, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, MpegDamagedSoundTest, ::testing::ValuesIn(kDamage),
                         [](const auto& row) { return std::string(row.param.name); });

// --- The encoding loop's view ---------------------------------------------------------------

TEST(MpegOutputTest, FrameWriterCompletesTheFileAndReportsMisfitFrames) {
    TempDir dir;
    auto opened = openMpegOutput(dir.file("a.mpg"), 4, "");
    ASSERT_TRUE(opened) << opened.message();
    FrameWriter& writer = **opened;
    EXPECT_TRUE(writer.writeFrame(quadrants(352, 240), 0));
    EXPECT_TRUE(writer.writeFrame(quadrants(352, 240), 1));
    EXPECT_TRUE(writer.finish()) << writer.errorString();
    EXPECT_EQ(testkit::probeMpeg(dir.file("a.mpg")).video()->packets, 2);

    auto misfit = openMpegOutput(dir.file("b.mpg"), 4, "");
    ASSERT_TRUE(misfit);
    (*misfit)->writeFrame(quadrants(320, 240), 0);
    EXPECT_FALSE((*misfit)->finish());
    EXPECT_NE((*misfit)->errorString().find("320 x 240"), std::string::npos);

    EXPECT_FALSE(openMpegOutput(dir.file("c.mpg"), 7, ""));
    auto unwritable = openMpegOutput(dir.file("no/such/d.mpg"), 0, "");
    ASSERT_FALSE(unwritable);
    EXPECT_FALSE(unwritable.message().empty());
}

} // namespace
} // namespace swivio
