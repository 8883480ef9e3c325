// Buttons' own sounds: DefineButtonSound gives each of four state changes a sound, which
// starts in the movie's mix when the pointer makes that change.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "swf/movie.h"
#include "swf/movie_player.h"
#include "tests/support/swf_movies.h"
#include "tests/support/swf_shapes.h"
#include "tests/support/swf_sounds.h"

namespace swivio::swf {
namespace {

using namespace swivio::testkit;

constexpr uint16_t kDefineSound = 14, kDefineButtonSound = 17;
constexpr uint16_t kHitShape = 1, kButton = 2, kSound = 3;

// The tag's four slots in its order.
enum Slot { RollOut, RollOver, Press, Release };

// A button whose hit area is stage pixels 0..100 square, with a half-second sound in one
// slot of its DefineButtonSound (or, with `cutShort`, a tag that ends inside a SOUNDINFO).
SwfWriter soundButtonMovie(Slot slot, bool cutShort = false) {
    SwfWriter w;
    w.version = 8;
    w.frameCount = 2;
    w.tag(TagCode::DefineShape3, rectangleShape(kHitShape, 0, 0, 2000, 2000, 0, 255, 0));
    const std::vector<int16_t> level(22050, 6000);
    w.tag(kDefineSound, defineSoundBody(kSound, 3, 44100, true, false, uint32_t(level.size()),
                                        littleEndianBytes(level)));
    SwfBits button;
    button.u16(kButton).u8(0).u16(0);
    button.u8(0x0F).u16(kHitShape).u16(1).matrix();
    const int mult[4] = {256, 256, 256, 256};
    const int add[4] = {0, 0, 0, 0};
    button.cxform(true, mult, add);
    button.u8(0);
    w.tag(TagCode::DefineButton2, button.data());
    SwfBits sounds;
    sounds.u16(kButton);
    for (int s = RollOut; s <= Release; ++s) {
        if (s == slot) {
            SoundInfoSpec info;
            info.loops = 2; // a field after the flags, for a tag to be cut short inside
            sounds.bytes(startSoundBody(kSound, info));
        } else
            sounds.u16(0);
    }
    std::vector<uint8_t> body = sounds.data();
    if (cutShort)
        body.resize(2 + 2 * std::size_t(slot) + 3);
    w.tag(kDefineButtonSound, body);
    place(w, Place().at(1).of(kButton));
    w.showFrame().showFrame().end();
    return w;
}

struct Step {
    InputKind kind;
    double x, y;
};

// Plays the movie's first frame with the steps given during it and says whether the frame's
// sound is heard.
bool heard(const SwfWriter& movieWriter, const std::vector<Step>& steps) {
    auto movie = Movie::load(movieWriter.build());
    EXPECT_TRUE(movie.ok()) << movie.message();
    if (!movie)
        return false;
    MoviePlayer player(*movie);
    for (const Step& s : steps) {
        InputEvent e;
        e.kind = s.kind;
        e.x = s.x;
        e.y = s.y;
        player.handleInput(e);
    }
    const std::vector<int16_t> sound = player.takeFrameSound();
    return std::any_of(sound.begin(), sound.end(), [](int16_t v) { return std::abs(v) > 1000; });
}

constexpr Step over{InputKind::MouseMove, 50, 50};
constexpr Step out{InputKind::MouseMove, 300, 300};
constexpr Step down{InputKind::MouseDown, 50, 50};
constexpr Step up{InputKind::MouseUp, 50, 50};

TEST(ButtonSound, EachStateChangePlaysItsOwnSlot) {
    const struct {
        const char* what;
        Slot slot;
        std::vector<Step> steps;
        bool heard;
    } cases[] = {
        {"roll over", RollOver, {over}, true},
        {"roll over, rolled over only", Press, {over}, false},
        {"press", Press, {over, down}, true},
        {"press, no release yet", Release, {over, down}, false},
        {"release", Release, {over, down, up}, true},
        {"roll out", RollOut, {over, out}, true},
        {"roll out, still over", RollOut, {over, down, up}, false},
        {"nothing under the pointer", RollOver, {out, down, up}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(heard(soundButtonMovie(c.slot), c.steps), c.heard) << c.what;
}

TEST(ButtonSound, ADamagedTagIsSkippedWithAWarning) {
    auto movie = Movie::load(soundButtonMovie(Press, /*cutShort=*/true).build());
    ASSERT_TRUE(movie.ok()) << movie.message();
    const auto& warnings = (*movie)->definition()->warnings;
    EXPECT_TRUE(std::any_of(warnings.begin(), warnings.end(), [](const std::string& w) {
        return w.find("DefineButtonSound") != std::string::npos;
    }));
    EXPECT_FALSE(heard(soundButtonMovie(Press, true), {over, down}));
}

} // namespace
} // namespace swivio::swf
