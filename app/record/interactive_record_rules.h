#pragma once

#include <string>

#include "app/record/view_fit.h"

namespace swivio {
struct InteractiveStats;
}

namespace swivio::app {

// Auto-finish, judged at each progress poll: the movie has to come to its last frame (SWF)
// or second (FLV) after having been seen before it, so that a movie resting on its only
// frame, or halted on its last one, never ends the window the moment it is shown. A video
// that has played out (its end latch) counts as arrived even when its position never
// reaches the whole last second.
class AutoFinishWatch {
public:
    // The movie starts playing (again): what was seen before counts no more.
    void restart() { m_seenBefore = false; }
    // Whether this poll ends the window: `position` counts frames from 1 (SWF) or whole
    // seconds (FLV), `length` is the movie's length in the same unit.
    bool arrived(bool flv, int position, int length, bool atEnd);

private:
    bool m_seenBefore = false;
};

// The status line of a recording: the time recorded at the capture rate, the pictures and
// the seconds of sound, e.g. "Recorded 0:12.5 (300 pictures, 12.4 s of sound, 2 late)";
// "Paused at ..." while paused. The sound part only when the movie's sound is recorded, the
// late ticks only when there were any.
std::string recordingStatusText(const InteractiveStats& stats, double captureRate, bool paused,
                                bool withSound);

// A point of the view (as fitted by `fit`) in the pixels of the recording's player, which
// shows the whole movie at playerWidth x playerHeight; false outside the movie's picture.
bool viewToPlayer(const FitRect& fit, int movieWidth, int movieHeight, int playerWidth,
                  int playerHeight, double x, double y, int& px, int& py);

} // namespace swivio::app
