#pragma once

#include <functional>
#include <vector>

#include "audio/audio_output.h"
#include "capture/interactive_recording.h"

namespace swivio {

// A click given ahead of time: stage pixel (x, y), `seconds` after the playing began.
struct ScriptedClick {
    double x = 0;
    double y = 0;
    double seconds = 0;
};

struct RealTimePlayStats {
    int64_t ticks = 0;            // movie frames played
    int64_t lateTicks = 0;        // ticks played more than a period after they were due
    double longestLockWaitMs = 0; // the longest wait for the player's mutex
    int64_t longLockWaits = 0;    // waits for it of more than 20 ms
};

// Plays an open recording's movie in real time on the calling thread for `seconds`, as a
// window's timer would: a tick at the movie's rate from the steady clock (catching up when
// late), each frame's sound written to `output` (which the sound capture hears), each click
// (mouse move, press and release) delivered once its time has come. Every use of the player
// holds its mutex. `keepGoing` is asked before each tick; false ends the playing at once.
// Returns whether the whole time was played.
bool playInRealTime(InteractiveRecording& recording, audio::AudioOutput& output,
                    double seconds, std::vector<ScriptedClick> clicks,
                    const std::function<bool(double elapsedSeconds)>& keepGoing,
                    RealTimePlayStats* stats = nullptr);

} // namespace swivio
