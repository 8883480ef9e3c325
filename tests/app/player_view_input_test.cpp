#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QTest>

#include <memory>
#include <vector>

#include "app/record/player_view.h"
#include "app/record/view_input.h"
#include "source/movie_source.h"
#include "tests/app/app_test_support.h"

namespace swivio::app {
namespace {

// A movie of a given size that only remembers the input it was handed.
class InputProbe : public MovieSource {
public:
    InputProbe(int w, int h) : m_w(w), m_h(h) {}
    bool isFlv() const override { return false; }
    int32_t movieWidth() const override { return m_w; }
    int32_t movieHeight() const override { return m_h; }
    int32_t movieLength() const override { return 1; }
    float movieFrameRate() const override { return 12; }
    const std::vector<std::string>& warnings() const override { return m_warnings; }
    void play() override {}
    void pause() override {}
    void stop() override {}
    void seek(int) override {}
    int position() const override { return 0; }
    bool isPlaying() const override { return false; }
    void tick() override {}
    void gotoFrame(int) override {}
    int currentFrame() const override { return 0; }
    bool atEnd() const override { return true; }
    void restart() override {}
    void forceFrame(int) override {}
    uint64_t displaySignature() override { return 0; }
    uint32_t backgroundColor() const override { return 0xffffff; }
    void paint(Frame&, const SourceViewport&) override {}
    std::unique_ptr<MovieSource> openAnother() const override {
        return std::make_unique<InputProbe>(m_w, m_h);
    }
    void handleInput(const UserInput& input) override { received.push_back(input); }
    UserCursor cursor() const override { return shown; }
    bool pointerHidden() const override { return hidden; }

    std::vector<UserInput> received;
    UserCursor shown = UserCursor::Arrow;
    bool hidden = false;

private:
    int m_w;
    int m_h;
    std::vector<std::string> m_warnings;
};

struct ClickCase {
    const char* name;
    int movieW, movieH;
    QPoint at;
    double stageX, stageY;
};

TEST(PlayerViewInputTest, AClickLandsOnTheStagePointUnderItWhateverTheFit) {
    testkit::testApplication();
    // The view is 400 x 300: a wide movie is letterboxed, a tall one pillarboxed, and both
    // are scaled.
    const ClickCase cases[] = {
        {"same size", 400, 300, {10, 20}, 10, 20},
        {"letterboxed, half scale", 800, 200, {200, 150}, 400, 100},
        {"letterboxed, below the picture", 800, 200, {0, 260}, 0, 320},
        {"pillarboxed, double scale", 100, 150, {150, 0}, 25, 0},
        {"pillarboxed, at the right edge", 100, 150, {299, 298}, 99.5, 149},
    };
    for (const ClickCase& c : cases) {
        SCOPED_TRACE(c.name);
        InputProbe movie(c.movieW, c.movieH);
        PlayerView view;
        view.resize(400, 300);
        view.setSource(&movie);
        QTest::mousePress(&view, Qt::LeftButton, {}, c.at);
        QTest::mouseRelease(&view, Qt::LeftButton, {}, c.at);
        std::vector<UserInput> clicks;
        for (const UserInput& in : movie.received)
            if (in.kind == UserInputKind::MouseDown || in.kind == UserInputKind::MouseUp)
                clicks.push_back(in);
        ASSERT_EQ(clicks.size(), 2u);
        EXPECT_EQ(clicks[0].kind, UserInputKind::MouseDown);
        EXPECT_EQ(clicks[1].kind, UserInputKind::MouseUp);
        for (const UserInput& in : clicks) {
            EXPECT_DOUBLE_EQ(in.x, c.stageX);
            EXPECT_DOUBLE_EQ(in.y, c.stageY);
            EXPECT_EQ(in.button, UserMouseButton::Left);
        }
        view.setSource(nullptr);
    }
}

TEST(PlayerViewInputTest, TheMovieChoosesThePointerAndInputCanBeTurnedOff) {
    testkit::testApplication();
    InputProbe movie(400, 300);
    PlayerView view;
    view.resize(400, 300);
    view.setSource(&movie);
    movie.shown = UserCursor::Hand;
    QTest::mouseMove(&view, {50, 50});
    QTest::mousePress(&view, Qt::LeftButton, {}, {50, 50});
    EXPECT_EQ(view.cursor().shape(), Qt::PointingHandCursor);
    movie.hidden = true;
    QTest::mouseRelease(&view, Qt::LeftButton, {}, {50, 50});
    EXPECT_EQ(view.cursor().shape(), Qt::BlankCursor);

    // Tab is the movie's (it walks its buttons and fields), not the window's focus chain.
    movie.received.clear();
    QTest::keyClick(&view, Qt::Key_Tab);
    ASSERT_FALSE(movie.received.empty());
    EXPECT_EQ(movie.received.front().kind, UserInputKind::KeyDown);
    EXPECT_EQ(movie.received.front().keyCode, 9);

    view.setInputEnabled(false);
    EXPECT_EQ(view.cursor().shape(), Qt::ArrowCursor);
    const size_t before = movie.received.size();
    QTest::mouseClick(&view, Qt::LeftButton, {}, {60, 60});
    QTest::keyClick(&view, Qt::Key_A);
    EXPECT_EQ(movie.received.size(), before);
    view.setSource(nullptr);
}

struct KeyCase {
    const char* name;
    int qtKey;
    Qt::KeyboardModifiers modifiers;
    QString text;
    // What the press gives: the key's code and character, then what follows it.
    int keyCode;
    char32_t character;
    std::vector<UserInputKind> after;
    UserTextControl control;
};

TEST(PlayerViewInputTest, KeysReachTheMovieWithFlashCodesAndWhatTheyType) {
    using K = UserInputKind;
    using C = UserTextControl;
    const KeyCase cases[] = {
        {"letter", Qt::Key_A, Qt::NoModifier, "a", 65, 'a', {K::TextInput}, C::Enter},
        {"shifted digit", Qt::Key_1, Qt::ShiftModifier, "!", 49, '!', {K::TextInput}, C::Enter},
        {"punctuation", Qt::Key_Semicolon, Qt::NoModifier, ";", 186, ';', {K::TextInput},
         C::Enter},
        {"other layout", 0x00e9, Qt::NoModifier, QString(QChar(0x00e9)), 0, 0x00e9,
         {K::TextInput}, C::Enter},
        {"enter", Qt::Key_Return, Qt::NoModifier, "\r", 13, 13, {K::TextControl}, C::Enter},
        {"backspace", Qt::Key_Backspace, Qt::NoModifier, "\b", 8, 8, {K::TextControl},
         C::Backspace},
        {"arrow", Qt::Key_Left, Qt::NoModifier, "", 37, 0, {K::TextControl}, C::MoveLeft},
        {"word left", Qt::Key_Left, Qt::ControlModifier, "", 37, 0, {K::TextControl},
         C::MoveLeftWord},
        {"select to end", Qt::Key_End, Qt::ShiftModifier, "", 35, 0, {K::TextControl},
         C::SelectEnd},
        {"paste", Qt::Key_V, Qt::ControlModifier, "\x16", 86, 0,
         {K::ClipboardText, K::TextControl}, C::Paste},
        {"shortcut types nothing", Qt::Key_Q, Qt::ControlModifier, "\x11", 81, 0, {}, C::Enter},
        {"keypad digit", Qt::Key_7, Qt::KeypadModifier, "7", 103, '7', {K::TextInput}, C::Enter},
        {"keypad minus", Qt::Key_Minus, Qt::KeypadModifier, "-", 109, '-', {K::TextInput},
         C::Enter},
        {"function key", Qt::Key_F5, Qt::NoModifier, "", 116, 0, {}, C::Enter},
        {"tab", Qt::Key_Tab, Qt::NoModifier, "\t", 9, 9, {}, C::Enter},
        {"shift", Qt::Key_Shift, Qt::ShiftModifier, "", 16, 0, {}, C::Enter},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.name);
        const QKeyEvent press(QEvent::KeyPress, c.qtKey, c.modifiers, c.text);
        const std::vector<UserInput> got = keyInputs(press, true);
        ASSERT_EQ(got.size(), 1 + c.after.size());
        EXPECT_EQ(got[0].kind, K::KeyDown);
        EXPECT_EQ(got[0].keyCode, c.keyCode);
        EXPECT_EQ(got[0].character, c.character);
        for (size_t i = 0; i < c.after.size(); ++i)
            EXPECT_EQ(got[i + 1].kind, c.after[i]);
        if (!c.after.empty() && c.after.back() == K::TextInput) {
            EXPECT_EQ(got.back().codepoint, c.character);
        }
        if (!c.after.empty() && c.after.back() == K::TextControl) {
            EXPECT_EQ(got.back().control, c.control);
        }

        const QKeyEvent release(QEvent::KeyRelease, c.qtKey, c.modifiers, c.text);
        const std::vector<UserInput> up = keyInputs(release, false);
        ASSERT_EQ(up.size(), 1u);
        EXPECT_EQ(up[0].kind, K::KeyUp);
        EXPECT_EQ(up[0].keyCode, c.keyCode);
    }
    // A held key repeats its press but is let go once.
    const QKeyEvent repeated(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, "a", true);
    EXPECT_TRUE(keyInputs(repeated, false).empty());
    // Keys a movie has no code for are not heard.
    const QKeyEvent media(QEvent::KeyPress, Qt::Key_VolumeUp, Qt::NoModifier);
    EXPECT_TRUE(keyInputs(media, true).empty());
}

TEST(PlayerViewInputTest, WheelTurnsBecomeWholeLines) {
    int pending = 0;
    // Three lines a notch; a fine wheel's eighth-notch steps add up to the same.
    EXPECT_EQ(wheelLines(120, 3, pending), 3);
    EXPECT_EQ(wheelLines(-240, 3, pending), -6);
    int fine = 0;
    int total = 0;
    for (int i = 0; i < 8; ++i)
        total += wheelLines(15, 3, fine);
    EXPECT_EQ(total, 3);
    EXPECT_EQ(fine, 0);
}

} // namespace
} // namespace swivio::app
