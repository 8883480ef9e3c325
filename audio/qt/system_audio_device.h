#pragma once

#include <memory>

#include "audio/audio_device.h"

namespace swivio::audio {

// The sound card: the system's default audio output through Qt Multimedia when a sound
// server runs and its output plays 44100 Hz stereo 16-bit, else a NullAudioDevice (no card,
// a headless server, CI), chosen without a word. Call on a thread where a QCoreApplication exists,
// if any does.
std::unique_ptr<AudioDevice> makeSystemAudioDevice();

} // namespace swivio::audio
