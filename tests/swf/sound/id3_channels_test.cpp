// ID3 tags from damaged and hostile files, and channels on the movie's clock.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "swf/sound/id3_tags.h"
#include "swf/sound/sound_channels.h"

namespace swivio::swf::sound {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes syncsafe(uint32_t n) {
    return {uint8_t((n >> 21) & 0x7F), uint8_t((n >> 14) & 0x7F), uint8_t((n >> 7) & 0x7F),
            uint8_t(n & 0x7F)};
}

// An ID3v2 tag: header (version, flags, declared size) then the body as given.
Bytes id3v2(uint8_t major, uint8_t flags, uint32_t declared, const Bytes& body) {
    Bytes tag = {'I', 'D', '3', major, 0, flags};
    const Bytes size = syncsafe(declared);
    tag.insert(tag.end(), size.begin(), size.end());
    tag.insert(tag.end(), body.begin(), body.end());
    return tag;
}

// A v2.3 frame with a plain 32-bit size.
Bytes frame23(const std::string& id, const Bytes& content, uint32_t declared = ~0u) {
    const uint32_t n = declared == ~0u ? uint32_t(content.size()) : declared;
    Bytes f(id.begin(), id.end());
    f.insert(f.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n), 0, 0});
    f.insert(f.end(), content.begin(), content.end());
    return f;
}

Bytes text(uint8_t encoding, const Bytes& bytes) {
    Bytes t = {encoding};
    t.insert(t.end(), bytes.begin(), bytes.end());
    return t;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

struct TagCase {
    const char* what;
    Bytes file;
    const char* field;    // a field to look for, or null for none at all
    const char* expected; // its value
};

class Id3Cases : public testing::TestWithParam<TagCase> {};

TEST_P(Id3Cases, ReadWhatIsThereAndNothingBeyond) {
    const TagCase& c = GetParam();
    const Id3Tags tags = readId3Tags(c.file);
    if (!c.field) {
        EXPECT_TRUE(tags.empty());
        return;
    }
    const std::string* value = tags.find(c.field);
    ASSERT_NE(value, nullptr) << c.field;
    EXPECT_EQ(*value, c.expected);
    EXPECT_LE(tags.fields.size(), kMaxId3Fields);
}

const Bytes kTitle = frame23("TIT2", text(0, {'H', 'i'}));

INSTANTIATE_TEST_SUITE_P(
    Hostile, Id3Cases,
    testing::Values(
        TagCase{"plain v2.3", id3v2(3, 0, 13, kTitle), "songname", "Hi"},
        TagCase{"frame id kept too", id3v2(3, 0, 13, kTitle), "TIT2", "Hi"},
        TagCase{"tag larger than the file", id3v2(3, 0, 100000, kTitle), "songname", "Hi"},
        TagCase{"frame larger than the tag",
                id3v2(3, 0, 14, frame23("TIT2", text(0, {'H', 'i'}), 0x7FFFFFFF)), nullptr, ""},
        TagCase{"UTF-16 with a lone surrogate and an odd byte",
                id3v2(3, 0, 18, frame23("TPE1", text(1, {0xFF, 0xFE, 'A', 0, 0x00, 0xD8, 'B'}))),
                "artist", "A\xEF\xBF\xBD"},
        TagCase{"UTF-16 big-endian pair",
                id3v2(3, 0, 16, frame23("TALB", text(2, {0xD8, 0x3D, 0xDE, 0x00}))), "album",
                "\xF0\x9F\x98\x80"},
        TagCase{"Latin-1 turned to UTF-8", id3v2(3, 0, 13, frame23("TYER", text(0, {0xE9, 0}))),
                "year", "\xC3\xA9"},
        TagCase{"unsynchronised",
                id3v2(3, 0x80, 14, frame23("TIT2", text(0, {0xFF, 0x00, 'x'}), 3)), "songname",
                "\xC3\xBFx"},
        TagCase{"v2.2 short frame",
                id3v2(2, 0, 9, {'T', 'T', '2', 0, 0, 3, 0, 'O', 'k'}), "songname", "Ok"},
        TagCase{"v2.4 comment after its description",
                id3v2(4, 0, 19,
                      concat({{'C', 'O', 'M', 'M'}, syncsafe(9), {0, 0},
                              text(3, {'e', 'n', 'g', 'd', 0, 'c', 'o', 'm'})})),
                "comment", "com"},
        TagCase{"extended header past the end", id3v2(3, 0x40, 4, {0x7F, 0xFF, 0xFF, 0xFF}),
                nullptr, ""},
        TagCase{"bad major version", id3v2(9, 0, 12, kTitle), nullptr, ""},
        TagCase{"garbage frame id stops reading",
                id3v2(3, 0, 25, concat({frame23("T\x01T2", text(0, {'a'})), kTitle})), nullptr,
                ""},
        TagCase{"only a header", Bytes{'I', 'D', '3', 3, 0}, nullptr, ""}));

TEST(Id3, ManyTinyFramesAreBounded) {
    Bytes body;
    for (int i = 0; i < 2000; ++i) {
        const std::string id = "T" + std::string(1, char('A' + i % 26)) +
                               std::string(1, char('A' + (i / 26) % 26)) + std::string(1, char('0' + i / 676));
        const Bytes f = frame23(id, text(0, {'v'}));
        body.insert(body.end(), f.begin(), f.end());
    }
    const Id3Tags tags = readId3Tags(id3v2(3, 0, uint32_t(body.size()), body));
    EXPECT_EQ(tags.fields.size(), kMaxId3Fields);
}

TEST(Id3, Version1AtTheEnd) {
    Bytes file(300, 0xAA);
    Bytes v1(128, ' ');
    v1[0] = 'T', v1[1] = 'A', v1[2] = 'G';
    v1[3] = 'S', v1[33] = 'A';
    v1[125] = 0, v1[126] = 12, v1[127] = 17;
    file.insert(file.end(), v1.begin(), v1.end());
    const Id3Tags tags = readId3Tags(file);
    ASSERT_NE(tags.find("songname"), nullptr);
    EXPECT_EQ(*tags.find("songname"), "S");
    EXPECT_EQ(*tags.find("artist"), "A");
    EXPECT_EQ(*tags.find("track"), "12");
    EXPECT_EQ(*tags.find("genre"), "17");
    // Version 2 wins over version 1 for the same name.
    Bytes both = id3v2(3, 0, 13, kTitle);
    both.insert(both.end(), file.begin(), file.end());
    EXPECT_EQ(*readId3Tags(both).find("songname"), "Hi");
}

struct ChannelCase {
    double durationMs, offsetMs;
    int loops;
    double nowMs;
    double position;
    bool finished;
};

class ChannelClock : public testing::TestWithParam<ChannelCase> {};

// Started at 1000 ms of movie time.
TEST_P(ChannelClock, PositionAndEnd) {
    const ChannelCase& c = GetParam();
    SoundChannels channels;
    const uint64_t id = channels.start(1, 2, 1000, c.durationMs, c.offsetMs, c.loops);
    ASSERT_NE(id, 0u);
    const VirtualChannel* channel = channels.find(id);
    ASSERT_NE(channel, nullptr);
    EXPECT_DOUBLE_EQ(channel->positionAt(c.nowMs), c.position);
    EXPECT_EQ(channel->finishedAt(c.nowMs), c.finished);
    EXPECT_EQ(channels.takeFinished(c.nowMs).size(), c.finished ? 1u : 0u);
    EXPECT_EQ(channels.playing().size(), c.finished ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Ticks, ChannelClock,
    testing::Values(ChannelCase{500, 0, 1, 1000, 0, false}, ChannelCase{500, 0, 1, 1499, 499, false},
                    ChannelCase{500, 0, 1, 1500, 500, true}, ChannelCase{500, 0, 3, 2200, 200, false},
                    ChannelCase{500, 0, 3, 2500, 500, true}, ChannelCase{500, 200, 2, 1400, 300, false},
                    ChannelCase{500, 200, 2, 1500, 400, false}, ChannelCase{500, 200, 2, 1600, 500, true},
                    ChannelCase{500, 900, 1, 1000, 500, true},   // offset past the end
                    ChannelCase{500, -50, 0, 1100, 100, false},  // clamped to a start, one loop
                    ChannelCase{0, 0, 1, 1000, 0, true}));

TEST(Channels, StopByOwnerSoundAndBound) {
    SoundChannels channels;
    channels.start(1, 5, 0, 100, 0, 1);
    channels.start(2, 5, 0, 100, 0, 1);
    channels.start(2, 6, 0, 100, 0, 1);
    EXPECT_EQ(channels.stopSound(5), 2u);
    EXPECT_EQ(channels.stopOwner(2), 1u);
    EXPECT_TRUE(channels.playing().empty());
    for (std::size_t i = 0; i < SoundChannels::kMaxChannels; ++i)
        EXPECT_NE(channels.start(3, 1, 0, 100, 0, 1), 0u);
    EXPECT_EQ(channels.start(3, 1, 0, 100, 0, 1), 0u);
    // Finished channels come out earliest end first.
    SoundChannels two;
    two.start(1, 1, 0, 300, 0, 1);
    two.start(1, 1, 0, 100, 0, 1);
    const auto done = two.takeFinished(1000);
    ASSERT_EQ(done.size(), 2u);
    EXPECT_EQ(done[0].durationMs, 100);
}

} // namespace
} // namespace swivio::swf::sound
