#pragma once

#include "settings/conversion_settings.h"

namespace swivio {

// Frames held in memory between the recording and the encoder before they spill to the
// frame store: enough to ride out an uneven frame or two, small enough to keep memory flat.
inline constexpr int kRecordingQueueDepth = 4;

// Whether a frame-by-frame conversion with these settings can encode while it records. The
// movie's own sound is written to its WAV file as the recording goes, and the writers take
// the whole file when they open, so a conversion that records it encodes afterwards.
bool canRecordWhileEncoding(const ConversionSettings& settings);

} // namespace swivio
