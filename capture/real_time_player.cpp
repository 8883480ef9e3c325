#include "capture/real_time_player.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace swivio {

namespace {

using Clock = std::chrono::steady_clock;

void click(MovieSource& player, const ScriptedClick& at) {
    for (UserInputKind kind :
         {UserInputKind::MouseMove, UserInputKind::MouseDown, UserInputKind::MouseUp}) {
        UserInput input;
        input.kind = kind;
        input.x = at.x;
        input.y = at.y;
        player.handleInput(input);
    }
}

double secondsBetween(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

} // namespace

bool playInRealTime(InteractiveRecording& recording, audio::AudioOutput& output,
                    double seconds, std::vector<ScriptedClick> clicks,
                    const std::function<bool(double)>& keepGoing, RealTimePlayStats* stats) {
    RealTimePlayStats local;
    RealTimePlayStats& s = stats ? *stats : local;
    std::stable_sort(clicks.begin(), clicks.end(),
                     [](const ScriptedClick& a, const ScriptedClick& b) {
                         return a.seconds < b.seconds;
                     });
    // The time starts now, even when the pacer's first picture keeps the player a while.
    const Clock::time_point begin = Clock::now();
    MovieSource& player = recording.player();
    double rate = 12;
    {
        std::lock_guard lock(recording.playerMutex());
        if (player.movieFrameRate() > 0)
            rate = player.movieFrameRate();
        player.play();
    }
    const auto period = std::chrono::duration<double>(1.0 / rate);
    const auto length = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(seconds));
    std::size_t nextClick = 0;
    std::vector<int16_t> sound;
    for (int64_t k = 0;; ++k) {
        const Clock::time_point due =
            begin + std::chrono::duration_cast<Clock::duration>(period * double(k));
        if (due - begin >= length)
            break;
        std::this_thread::sleep_until(due);
        if (keepGoing && !keepGoing(secondsBetween(begin, Clock::now())))
            return false;
        const Clock::time_point asked = Clock::now();
        if (asked - due > period)
            ++s.lateTicks;
        {
            std::lock_guard lock(recording.playerMutex());
            const double waitedMs = secondsBetween(asked, Clock::now()) * 1000;
            s.longestLockWaitMs = std::max(s.longestLockWaitMs, waitedMs);
            if (waitedMs > 20)
                ++s.longLockWaits;
            if (k > 0)
                player.tick();
            sound = player.takeFrameSound(0);
            const double elapsed = secondsBetween(begin, Clock::now());
            for (; nextClick < clicks.size() && clicks[nextClick].seconds <= elapsed; ++nextClick)
                click(player, clicks[nextClick]);
        }
        ++s.ticks;
        output.write(sound);
    }
    // The recording ends at its length, not at the last tick before it.
    std::this_thread::sleep_until(begin + length);
    return !keepGoing || keepGoing(seconds);
}

} // namespace swivio
