#pragma once

#include <chrono>

namespace swivio {

// Frames held in memory between the recording and the encoder before they spill to the
// frame store: enough to ride out an uneven frame or two, small enough to keep memory flat.
inline constexpr int kRecordingQueueDepth = 4;
// How long the recording waits for the encoder to take a frame from a full queue before
// it spills: the encoder's ordinary pace never reaches it, a stall does.
inline constexpr std::chrono::milliseconds kRecordingQueueWait{250};

} // namespace swivio
