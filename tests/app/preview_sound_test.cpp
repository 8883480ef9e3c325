// The preview's sound: a loaded movie has an output of its own that writes silence while
// the movie stands still and the movie's sound while it plays, and closes with the movie.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <functional>
#include <mutex>
#include <vector>

#include "app/record/player_view.h"
#include "audio/audio_hook.h"
#include "audio/audio_output.h"
#include "source/movie_source.h"
#include "tests/app/app_test_support.h"
#include "tests/support/swf_movies.h"
#include "tests/support/swf_sounds.h"
#include "tests/support/temp_dir.h"

namespace swivio::app {
namespace {

using namespace std::chrono_literals;

constexpr uint16_t kStreamHead = 18, kStreamBlock = 19;
constexpr int16_t kLevel = 3000;

// A movie of `frames` frames at 12 a second whose stream sound is a constant level.
bool writeSoundMovie(const std::string& path, int frames) {
    testkit::SwfWriter w;
    w.frameCount = uint16_t(frames);
    w.tag(kStreamHead, testkit::soundStreamHeadBody(3, 44100, true, false, 3675));
    for (int f = 0; f < frames; ++f) {
        const std::vector<int16_t> block(3675, kLevel);
        w.tag(kStreamBlock, testkit::littleEndianBytes(block)).showFrame();
    }
    w.end();
    return w.writeFile(path);
}

// What each output wrote, per handle, and which handles opened and closed.
class Listener final : public audio::AudioOutputHook {
public:
    void deviceOpened(audio::AudioHandle handle, const audio::AudioFormat&) override {
        std::lock_guard lock(m_mutex);
        m_opened.push_back(handle);
    }
    void bufferWritten(audio::AudioHandle handle, std::span<const int16_t> samples) override {
        std::lock_guard lock(m_mutex);
        if (handle == m_watched)
            m_sound.insert(m_sound.end(), samples.begin(), samples.end());
    }
    void deviceClosed(audio::AudioHandle handle) override {
        std::lock_guard lock(m_mutex);
        m_closed.push_back(handle);
    }

    void watch(audio::AudioHandle handle) {
        std::lock_guard lock(m_mutex);
        m_watched = handle;
        m_sound.clear();
    }
    std::vector<int16_t> sound() const {
        std::lock_guard lock(m_mutex);
        return m_sound;
    }
    bool opened(audio::AudioHandle h) const { return has(m_opened, h); }
    bool closed(audio::AudioHandle h) const { return has(m_closed, h); }

private:
    bool has(const std::vector<audio::AudioHandle>& list, audio::AudioHandle h) const {
        std::lock_guard lock(m_mutex);
        return std::find(list.begin(), list.end(), h) != list.end();
    }
    mutable std::mutex m_mutex;
    audio::AudioHandle m_watched = 0;
    std::vector<int16_t> m_sound;
    std::vector<audio::AudioHandle> m_opened, m_closed;
};

// Runs the event loop (the view's clock) until `done` holds, generously.
bool runUntil(const std::function<bool()>& done) {
    const auto limit = std::chrono::steady_clock::now() + 20s;
    while (std::chrono::steady_clock::now() < limit) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (done())
            return true;
    }
    return false;
}

size_t countOf(const std::vector<int16_t>& s, int16_t v) {
    return size_t(std::count(s.begin(), s.end(), v));
}

constexpr size_t kBuffer = size_t(audio::AudioOutput::kBufferFrames) * 2;

TEST(PreviewSound, SilentWhileStillTheMoviesSoundWhilePlayingClosedWithTheMovie) {
    testkit::testApplication();
    testkit::TempDir dir;
    const std::string path = dir.file("sound.swf");
    ASSERT_TRUE(writeSoundMovie(path, 48));
    auto movie = openMovieSource(path);
    ASSERT_TRUE(movie.ok()) << movie.message();
    MovieSource& source = **movie;

    Listener listener;
    audio::setAudioOutputHook(&listener);
    PlayerView view;
    view.setSource(&source);
    ASSERT_NE(view.soundOutput(), nullptr);
    const audio::AudioHandle handle = view.soundOutput()->handle();
    EXPECT_TRUE(listener.opened(handle));
    listener.watch(handle);

    // Loaded and still: silence, at real-time pace, without the event loop's help.
    ASSERT_TRUE(runUntil([&] { return listener.sound().size() >= 5 * kBuffer; }));
    EXPECT_EQ(countOf(listener.sound(), 0), listener.sound().size());

    source.play();
    view.setAnimating(true);
    ASSERT_TRUE(runUntil([&] { return countOf(listener.sound(), kLevel) >= 2 * 3675 * 2; }));

    // Paused: what was not yet heard is dropped and silence follows.
    source.pause();
    view.setAnimating(false);
    listener.watch(handle);
    ASSERT_TRUE(runUntil([&] { return listener.sound().size() >= 10 * kBuffer; }));
    const std::vector<int16_t> paused = listener.sound();
    EXPECT_TRUE(std::all_of(paused.end() - std::ptrdiff_t(5 * kBuffer), paused.end(),
                            [](int16_t v) { return v == 0; }));

    view.setSource(nullptr);
    EXPECT_EQ(view.soundOutput(), nullptr);
    EXPECT_TRUE(listener.closed(handle));
    audio::setAudioOutputHook(nullptr);
}

} // namespace
} // namespace swivio::app
