#include "app/record/interactive_record_rules.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "capture/interactive_recording.h"

namespace swivio::app {

bool AutoFinishWatch::arrived(bool flv, int position, int length, bool atEnd) {
    const bool atLast = position == length || (flv && atEnd);
    if (!atLast) {
        m_seenBefore = true;
        return false;
    }
    return m_seenBefore;
}

std::string recordingStatusText(const InteractiveStats& stats, double captureRate, bool paused,
                                bool withSound) {
    const double seconds = captureRate > 0 ? stats.recordCount / captureRate : 0.0;
    // Tenths, truncated: the time shown is never ahead of what was recorded.
    const long long tenths = static_cast<long long>(std::floor(seconds * 10 + 1e-9));
    char time[48];
    std::snprintf(time, sizeof time, "%lld:%02lld.%lld", tenths / 600, tenths / 10 % 60,
                  tenths % 10);
    std::string text = std::string(paused ? "Paused at " : "Recorded ") + time + " (" +
                       std::to_string(stats.pictures) +
                       (stats.pictures == 1 ? " picture" : " pictures");
    if (withSound) {
        char sound[48];
        std::snprintf(sound, sizeof sound, ", %.1f s of sound", stats.soundSeconds);
        text += sound;
    }
    // Ticks the machine could not serve in time repeat the picture before them.
    if (stats.repeatedTicks > 0)
        text += ", " + std::to_string(stats.repeatedTicks) + " late";
    return text + ")";
}

bool viewToPlayer(const FitRect& fit, int movieWidth, int movieHeight, int playerWidth,
                  int playerHeight, double x, double y, int& px, int& py) {
    double sx = 0;
    double sy = 0;
    if (!areaToStage(fit, movieWidth, movieHeight, x, y, sx, sy))
        return false;
    px = static_cast<int>(std::floor(sx * playerWidth / movieWidth));
    py = static_cast<int>(std::floor(sy * playerHeight / movieHeight));
    return true;
}

} // namespace swivio::app
