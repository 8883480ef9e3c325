#pragma once

namespace swivio {

// Frames held in memory between the recording and the encoder before they spill to the
// frame store: enough to ride out an uneven frame or two, small enough to keep memory flat.
inline constexpr int kRecordingQueueDepth = 4;

} // namespace swivio
