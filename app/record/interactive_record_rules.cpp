#include "app/record/interactive_record_rules.h"

#include <cmath>
#include <cstdio>

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
    char text[160];
    const int written =
        std::snprintf(text, sizeof text, "%s %lld:%02lld.%lld (%d picture%s",
                      paused ? "Paused at" : "Recorded", tenths / 600, tenths / 10 % 60,
                      tenths % 10, stats.pictures, stats.pictures == 1 ? "" : "s");
    std::string result(text, written > 0 ? static_cast<std::size_t>(written) : 0);
    if (withSound) {
        std::snprintf(text, sizeof text, ", %.1f s of sound", stats.soundSeconds);
        result += text;
    }
    return result + ")";
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
