#include <cmath>
#include <cstdio>
#include <fstream>

#include <gtest/gtest.h>

#include "source/flv_player.h"
#include "source/flv_request.h"
#include "source/player_host.h"
#include "tests/support/flv_files.h"
#include "tests/support/temp_dir.h"

namespace swivio::testkit {
namespace {

std::string makeFlv(const TempDir& dir, const FlvRecipe& recipe, const std::string& name = "v.flv") {
    const std::string path = dir.file(name);
    EXPECT_TRUE(writeFlv(path, recipe));
    return path;
}

// Which of the ten grey pictures the frame shows at (x, y); -1 for none (white or other).
int pictureShown(const Frame& frame, int x, int y) {
    const uint32_t c = frame.pixel(x, y);
    const int g = colorGreen(c);
    if (colorRed(c) == 255 && g == 255 && colorBlue(c) == 255)
        return -1;
    for (int i = 0; i < 10; ++i) {
        // Studio-range grey, as the decoder turns it into full range.
        const double expected = (flvGrey(i) - 16) * 255.0 / 219.0;
        if (std::abs(g - expected) < 10)
            return i;
    }
    return -1;
}

int shownNow(MovieSource& player, int width = 64, int height = 48) {
    Frame frame(width, height);
    player.paint(frame, SourceViewport{width, height, 0, 0, 0, 0, width, height});
    return pictureShown(frame, width / 2, height / 2);
}

std::string request(const std::string& name, std::vector<FlvRequest::Argument> args = {}) {
    return makeFlvRequest(name, args);
}

// --- Requests -----------------------------------------------------------------------------

struct RequestCase {
    const char* text;
    bool valid;
    const char* name;
    std::vector<FlvRequest::Argument> arguments;
};

class FlvRequestParse : public testing::TestWithParam<RequestCase> {};

TEST_P(FlvRequestParse, ReadsTheNameAndArgumentsOrNothing) {
    const RequestCase& c = GetParam();
    const auto parsed = parseFlvRequest(c.text);
    ASSERT_EQ(parsed.has_value(), c.valid) << c.text;
    if (!parsed)
        return;
    EXPECT_EQ(parsed->name, c.name);
    EXPECT_EQ(parsed->arguments, c.arguments);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, FlvRequestParse,
    testing::Values(
        RequestCase{R"(<invoke name="Play" returntype="xml"><arguments></arguments></invoke>)",
                    true, "Play", {}},
        RequestCase{R"(<invoke name="OpenFile" returntype="xml"><arguments><string>/a/b &amp; c&lt;d&gt;.flv</string><number>550</number><number>400</number></arguments></invoke>)",
                    true, "OpenFile", {std::string("/a/b & c<d>.flv"), 550.0, 400.0}},
        // Entities are decoded once only.
        RequestCase{R"(<invoke name="OpenFile" returntype="xml"><arguments><string>&amp;lt;</string></arguments></invoke>)",
                    true, "OpenFile", {std::string("&lt;")}},
        RequestCase{R"(<invoke name="Seek" returntype="xml"><arguments><number>-3</number></arguments></invoke>)",
                    true, "Seek", {-3.0}},
        RequestCase{R"(<invoke name="Seek" returntype="xml"><arguments><number>ten</number></arguments></invoke>)",
                    false, "", {}},
        RequestCase{R"(<invoke name="OpenFile" returntype="xml"><arguments><string>a & b</string></arguments></invoke>)",
                    false, "", {}},
        RequestCase{R"(<invoke name="Play" returntype="xml"><arguments><true/></arguments></invoke>)",
                    false, "", {}},
        RequestCase{R"(<invoke name="Play" returntype="xml"><arguments></arguments>)", false, "", {}},
        RequestCase{R"(<invoke name="Play" returntype="xml"><arguments></arguments></invoke>x)",
                    false, "", {}},
        RequestCase{R"(<invoke name="" returntype="xml"><arguments></arguments></invoke>)", false,
                    "", {}},
        RequestCase{"", false, "", {}}));

TEST(FlvRequest, MadeRequestsReadBack) {
    const std::string text = makeFlvRequest("OpenFile", {std::string("x&<>.flv"), 320.0});
    EXPECT_NE(text.find("<string>x&amp;&lt;&gt;.flv</string><number>320</number>"),
              std::string::npos);
    const auto parsed = parseFlvRequest(text);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(std::get<std::string>(parsed->arguments[0]), "x&<>.flv");
}

// --- Fit ----------------------------------------------------------------------------------

struct FitCase {
    double vw, vh, sw, sh;
    FlvFit expected;
};

class FlvFitTest : public testing::TestWithParam<FitCase> {};

TEST_P(FlvFitTest, KeepsTheAspectRatioAndCentres) {
    const FitCase& c = GetParam();
    const FlvFit fit = fitVideo(c.vw, c.vh, c.sw, c.sh);
    EXPECT_NEAR(fit.x, c.expected.x, 1e-9);
    EXPECT_NEAR(fit.y, c.expected.y, 1e-9);
    EXPECT_NEAR(fit.width, c.expected.width, 1e-9);
    EXPECT_NEAR(fit.height, c.expected.height, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Fits, FlvFitTest,
                         testing::Values(FitCase{320, 240, 320, 240, {0, 0, 320, 240}},
                                         FitCase{320, 240, 550, 400, {25.0 / 3, 0, 1600.0 / 3, 400}},
                                         FitCase{160, 120, 400, 400, {0, 50, 400, 300}},
                                         FitCase{100, 200, 400, 200, {150, 0, 100, 200}},
                                         FitCase{0, 200, 400, 200, {0, 0, 0, 0}}));

// --- Playing ------------------------------------------------------------------------------

TEST(FlvPlayer, ReportsTheVideoAndWaitsOnItsFirstPicture) {
    TempDir dir;
    FlvRecipe recipe;
    recipe.rate = 2;
    recipe.frames = 25; // 12.5 seconds
    FlvPlayer player;
    ASSERT_TRUE(player.open(makeFlv(dir, recipe))) << player.errorString();
    EXPECT_TRUE(player.isFlv());
    EXPECT_EQ(player.movieWidth(), 64);
    EXPECT_EQ(player.movieHeight(), 48);
    EXPECT_FLOAT_EQ(player.movieFrameRate(), 2.0f);
    EXPECT_EQ(player.movieLength(), 13);
    EXPECT_FALSE(player.isPlaying());
    EXPECT_EQ(player.position(), 0);
    EXPECT_EQ(shownNow(player), 0);
    EXPECT_EQ(player.getVariable("g_loaded"), "true");
    EXPECT_EQ(player.getVariable("g_width"), "64");
    EXPECT_EQ(player.getVariable("g_frameRate"), "2");
    EXPECT_EQ(player.getVariable("g_totalTime"), "12.5");
    EXPECT_EQ(player.getVariable("g_nothing"), "");
}

TEST(FlvPlayer, EachFrameShowsThePictureItsTimeCovers) {
    TempDir dir;
    FlvRecipe recipe;
    recipe.rate = 10;
    recipe.frames = 4;
    recipe.timesMs = {0, 100, 500, 600};
    FlvPlayer player;
    ASSERT_TRUE(player.open(makeFlv(dir, recipe)));
    const int expected[] = {0, 1, 1, 1, 1, 2, 3};
    // Forwards by the clock, then backwards by seeking.
    for (int f = 0; f < 7; ++f) {
        player.gotoFrame(f);
        EXPECT_EQ(shownNow(player), expected[f]) << "frame " << f;
    }
    for (int f = 6; f >= 0; f -= 3) {
        player.gotoFrame(f);
        EXPECT_EQ(shownNow(player), expected[f]) << "frame " << f;
    }
}

// Another player of the video reads the bytes the first one opened (the file's name may be
// gone by then) and keeps its own place: seeking one leaves the other's picture alone.
TEST(FlvPlayer, AnotherPlayerSharesTheFileAndSeeksOnItsOwn) {
    TempDir dir;
    FlvRecipe recipe;
    recipe.frames = 10;
    recipe.sound = true;
    const std::string path = makeFlv(dir, recipe);
    FlvPlayer first;
    ASSERT_TRUE(first.open(path)) << first.errorString();
    first.gotoFrame(3);
    ASSERT_EQ(shownNow(first), 3);
    std::remove(path.c_str());
    const std::unique_ptr<MovieSource> second = first.openAnother();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->movieLength(), 1);
    EXPECT_EQ(shownNow(*second), 0);
    second->gotoFrame(8);
    EXPECT_EQ(shownNow(*second), 8);
    EXPECT_EQ(shownNow(first), 3);
    first.gotoFrame(5);
    EXPECT_EQ(shownNow(first), 5);
    EXPECT_EQ(shownNow(*second), 8);
    // Each plays its own sound: the second's frame 8 share is frame 8's level.
    second->play();
    const std::vector<int16_t> sound = second->takeFrameSound(0);
    ASSERT_FALSE(sound.empty());
    EXPECT_EQ(sound[sound.size() / 2], flvSoundLevel(8));
}

TEST(FlvPlayer, PaintsTheFittedVideoOnAWhiteStage) {
    TempDir dir;
    FlvRecipe recipe;
    recipe.frames = 2;
    FlvPlayer player;
    ASSERT_TRUE(player.open(makeFlv(dir, recipe)));
    // A 64 x 48 video on a 128 x 128 stage: 128 x 96 in the middle, white above and below.
    Frame frame(128, 128);
    frame.fill(0);
    player.paint(frame, SourceViewport{128, 128, 0, 0, 0, 0, 128, 128});
    EXPECT_EQ(pictureShown(frame, 64, 5), -1);
    EXPECT_EQ(frame.pixel(64, 5), makeColor(255, 255, 255));
    EXPECT_EQ(pictureShown(frame, 64, 64), 0);
    EXPECT_EQ(pictureShown(frame, 2, 20), 0);
    EXPECT_EQ(frame.pixel(64, 122), makeColor(255, 255, 255));
    // Only the clip rectangle is touched, offset by the origin.
    Frame part(32, 32);
    part.fill(0);
    player.paint(part, SourceViewport{128, 128, 48, 0, 8, 8, 16, 16});
    EXPECT_EQ(part.pixel(0, 0), 0u);
    EXPECT_EQ(part.pixel(10, 10), makeColor(255, 255, 255)); // stage row 10: above the video
    EXPECT_EQ(part.pixel(30, 30), 0u);
}

TEST(FlvPlayer, EachFrameGetsExactlyItsOwnSound) {
    TempDir dir;
    FlvRecipe recipe;
    recipe.rate = 10;
    recipe.frames = 12;
    recipe.sound = true;
    FlvPlayer player;
    ASSERT_TRUE(player.open(makeFlv(dir, recipe)));
    ASSERT_TRUE(player.hasSound());
    player.restart();
    for (int f = 0; f < 12; ++f) {
        if (f > 0)
            player.tick();
        const std::vector<int16_t> sound = player.takeFrameSound(0);
        ASSERT_EQ(sound.size(), 4410u * 2) << "frame " << f;
        int wrong = 0;
        for (int16_t s : sound)
            wrong += s != flvSoundLevel(f);
        EXPECT_EQ(wrong, 0) << "frame " << f;
        EXPECT_TRUE(player.takeFrameSound(0).empty());
    }
    // After a seek the sound follows the new place.
    player.gotoFrame(3);
    const std::vector<int16_t> sound = player.takeFrameSound(0);
    ASSERT_FALSE(sound.empty());
    EXPECT_EQ(sound.front(), flvSoundLevel(3));
    EXPECT_EQ(sound.back(), flvSoundLevel(3));
}

// Speex tags of two or three 20 ms frames each play every frame: the tone lasts the video.
class FlvSpeex : public testing::TestWithParam<int> {};

TEST_P(FlvSpeex, EveryFrameOfAPacketPlays) {
    TempDir dir;
    FlvRecipe recipe;
    recipe.frames = 10;
    recipe.speexFramesPerPacket = GetParam();
    const std::string path = dir.file("speex.flv");
    if (!writeFlv(path, recipe))
        GTEST_SKIP() << "libspeex's encoder is not available";
    FlvPlayer player;
    ASSERT_TRUE(player.open(path)) << player.errorString();
    ASSERT_TRUE(player.hasSound());
    player.restart();
    // The first and last frames' shares hold the codec's delay and the cut.
    for (int f = 0; f < 9; ++f) {
        if (f > 0)
            player.tick();
        const std::vector<int16_t> sound = player.takeFrameSound(0);
        if (f == 0)
            continue;
        ASSERT_EQ(sound.size(), 4410u * 2);
        // No 10 ms of the frame's share falls silent.
        for (std::size_t window = 0; window < 10; ++window) {
            double squares = 0;
            for (std::size_t i = window * 441; i < (window + 1) * 441; ++i)
                squares += double(sound[2 * i]) * sound[2 * i];
            EXPECT_GT(std::sqrt(squares / 441), 1000.0) << "frame " << f << " window " << window;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(FramesPerPacket, FlvSpeex, testing::Values(1, 2, 3));

// With metadata and without (the length then comes from the last tag).
class FlvEnd : public testing::TestWithParam<bool> {};

TEST_P(FlvEnd, PlaysToItsEndThenRewindsAndLatchesTheEnd) {
    TempDir dir;
    FlvRecipe recipe;
    recipe.frames = 7;
    recipe.metadata = GetParam();
    FlvPlayer player;
    ASSERT_TRUE(player.open(makeFlv(dir, recipe)));
    player.play();
    int frames = 1;
    while (!player.atEnd() && frames < 100) {
        player.tick();
        if (!player.atEnd())
            ++frames;
    }
    EXPECT_EQ(frames, 7);
    EXPECT_FALSE(player.isPlaying());
    EXPECT_EQ(player.currentFrame(), 0);
    EXPECT_EQ(player.getVariable("g_playing"), "false");
    player.play();
    EXPECT_FALSE(player.atEnd());
}

INSTANTIATE_TEST_SUITE_P(Metadata, FlvEnd, testing::Bool());

TEST(FlvPlayer, ADamagedTimestampDoesNotStretchTheVideo) {
    TempDir dir;
    FlvRecipe recipe;
    recipe.frames = 5;
    recipe.sound = true;
    recipe.timesMs = {0, 100, 200, 300, 4000000};
    FlvPlayer player;
    ASSERT_TRUE(player.open(makeFlv(dir, recipe)));
    player.restart();
    int frames = 1;
    while (frames < 100) {
        player.tick();
        player.takeFrameSound(0);
        if (player.atEnd())
            break;
        ++frames;
    }
    EXPECT_EQ(frames, 5);
}

TEST(FlvPlayer, WithoutMetadataTheRateAndLengthAreMeasured) {
    TempDir dir;
    FlvRecipe recipe;
    recipe.rate = 15;
    recipe.frames = 45;
    recipe.metadata = false;
    FlvPlayer player;
    ASSERT_TRUE(player.open(makeFlv(dir, recipe)));
    EXPECT_NEAR(player.movieFrameRate(), 15.0, 0.5);
    EXPECT_EQ(player.movieLength(), 3);
}

TEST(FlvPlayer, RequestsDriveItAndVariablesReportIt) {
    TempDir dir;
    FlvRecipe recipe;
    recipe.frames = 30; // 3 seconds at 10 a second
    const std::string path = makeFlv(dir, recipe, "a & <b>.flv");
    FlvPlayer player;
    EXPECT_EQ(player.getVariable("g_loaded"), "false");
    EXPECT_EQ(player.getVariable("g_width"), "");
    EXPECT_EQ(player.callFunction(request("OpenFile", {path, 550.0, 400.0})), "<undefined/>");
    EXPECT_EQ(player.getVariable("g_loaded"), "true");
    EXPECT_EQ(player.getVariable("g_playing"), "false");
    player.callFunction(request("Play"));
    EXPECT_EQ(player.getVariable("g_playing"), "true");
    for (int i = 0; i < 5; ++i)
        player.tick();
    EXPECT_EQ(player.getVariable("g_curTime"), "0.5");
    EXPECT_EQ(player.position(), 1); // 0.5 rounds up
    player.callFunction(request("Pause"));
    player.tick();
    EXPECT_EQ(player.getVariable("g_curTime"), "0.5");
    player.callFunction(request("Seek", {2.0}));
    EXPECT_EQ(player.position(), 2);
    EXPECT_EQ(shownNow(player), 0); // picture 20 is grey level 0 again
    // Unknown or malformed requests change nothing.
    EXPECT_EQ(player.callFunction(request("Rewind")), "");
    EXPECT_EQ(player.callFunction(request("Seek", {std::string("1")})), "");
    EXPECT_EQ(player.callFunction(request("OpenFile", {1.0})), "");
    EXPECT_EQ(player.callFunction("<invoke name=\"Stop\">"), "");
    EXPECT_EQ(player.position(), 2);
    EXPECT_EQ(player.getVariable("g_loaded"), "true");
    player.callFunction(request("Play"));
    player.callFunction(request("Stop"));
    EXPECT_EQ(player.position(), 0);
    EXPECT_EQ(player.getVariable("g_playing"), "false");
}

// --- Refusals -----------------------------------------------------------------------------

// An FLV file of the given tags (type, timestamp in ms, body).
struct RawTag {
    uint8_t type;
    uint32_t ms;
    std::vector<uint8_t> body;
};

std::string writeRawFlv(const TempDir& dir, const std::string& name, uint8_t flags,
                        const std::vector<RawTag>& tags) {
    std::vector<uint8_t> bytes = {'F', 'L', 'V', 1, flags, 0, 0, 0, 9, 0, 0, 0, 0};
    for (const RawTag& t : tags) {
        const uint32_t n = uint32_t(t.body.size());
        const uint8_t head[11] = {t.type, uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n),
                                  uint8_t(t.ms >> 16), uint8_t(t.ms >> 8), uint8_t(t.ms),
                                  uint8_t(t.ms >> 24), 0, 0, 0};
        bytes.insert(bytes.end(), head, head + 11);
        bytes.insert(bytes.end(), t.body.begin(), t.body.end());
        const uint32_t size = n + 11;
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes.push_back(uint8_t(size >> shift));
    }
    const std::string path = dir.file(name);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                std::streamsize(bytes.size()));
    return path;
}

// A Sorenson H.263 key picture header with an explicit 16-bit size, then filler.
std::vector<uint8_t> h263Picture(int width, int height) {
    std::vector<uint8_t> bits;
    auto put = [&bits](uint32_t v, int n) {
        for (int i = n - 1; i >= 0; --i)
            bits.push_back(uint8_t((v >> i) & 1));
    };
    put(1, 17);      // start code
    put(0, 5);       // version
    put(0, 8);       // temporal reference
    put(1, 3);       // 16-bit width and height follow
    put(uint32_t(width), 16);
    put(uint32_t(height), 16);
    put(0, 2);       // key picture
    put(0, 1);       // deblocking
    put(2, 5);       // quantiser
    put(0, 1);       // no extra information
    std::vector<uint8_t> body = {0x12}; // key frame, codec 2
    for (std::size_t i = 0; i < bits.size(); i += 8) {
        uint8_t b = 0;
        for (std::size_t j = 0; j < 8; ++j)
            b = uint8_t(b << 1 | (i + j < bits.size() ? bits[i + j] : 0));
        body.push_back(b);
    }
    body.resize(body.size() + 64, 0);
    return body;
}

TEST(FlvPlayer, RefusesWhatItCannotPlayQuickly) {
    TempDir dir;
    const std::vector<uint8_t> mp3Silence = {0x2E, 0xFF, 0xFB, 0x90, 0x00};
    const std::vector<std::string> refused = {
        writeRawFlv(dir, "sound.flv", 0x04, {{8, 0, mp3Silence}, {8, 26, mp3Silence}}),
        writeRawFlv(dir, "huge.flv", 0x01, {{9, 0, h263Picture(60000, 60000)}}),
        writeRawFlv(dir, "empty.flv", 0x01, {{9, 0, h263Picture(0, 0)}}),
        writeRawFlv(dir, "none.flv", 0x05, {}),
        dir.file("missing.flv"),
    };
    {
        std::ofstream(dir.file("swf.flv")) << "FWS\x08 not a video";
    }
    for (const std::string& path : refused) {
        FlvPlayer player;
        EXPECT_FALSE(player.open(path)) << path;
        EXPECT_FALSE(player.errorString().empty());
        EXPECT_EQ(player.getVariable("g_loaded"), "false");
        EXPECT_EQ(player.movieLength(), 0);
    }
    FlvPlayer other;
    EXPECT_FALSE(other.open(dir.file("swf.flv")));
}

TEST(FlvPlayer, PlaysPastDamagedAndCutShortData) {
    TempDir dir;
    FlvRecipe recipe;
    recipe.frames = 20;
    recipe.sound = true;
    const std::string path = makeFlv(dir, recipe);
    std::string bytes;
    {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    // Garbage over the middle, and the last quarter cut away.
    for (std::size_t i = bytes.size() / 3; i < bytes.size() / 2; i += 7)
        bytes[i] = char(bytes[i] ^ 0x5A);
    bytes.resize(bytes.size() * 3 / 4);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    FlvPlayer player;
    ASSERT_TRUE(player.open(path)) << player.errorString();
    player.restart();
    int frames = 1;
    while (!player.atEnd() && frames < 1000) {
        player.tick();
        Frame frame(64, 48);
        player.paint(frame, SourceViewport{64, 48, 0, 0, 0, 0, 64, 48});
        player.takeFrameSound(0);
        ++frames;
    }
    EXPECT_LT(frames, 1000);
}

TEST(PlayerHost, PlaysAnFlvInSeconds) {
    TempDir dir;
    FlvRecipe recipe;
    recipe.frames = 25;
    PlayerHost host;
    ASSERT_TRUE(host.load(makeFlv(dir, recipe, "V.FLV"))) << host.errorString();
    EXPECT_TRUE(host.isFlv());
    EXPECT_EQ(host.movieLength(), 3); // 2.5 seconds
    EXPECT_EQ(host.readyState(), 4);
    host.seek(2);
    EXPECT_EQ(host.position(), 2);
    EXPECT_EQ(host.currentFrame(), 20);
    host.play();
    EXPECT_TRUE(host.isPlaying());
    host.stop();
    EXPECT_EQ(host.position(), 0);
    EXPECT_FALSE(host.isPlaying());
    auto opened = openMovieSource(dir.file("V.FLV"));
    ASSERT_TRUE(opened);
    EXPECT_TRUE((*opened)->isFlv());
    EXPECT_FALSE(host.load(dir.file("V.flv.bak")));
}

} // namespace
} // namespace swivio::testkit
