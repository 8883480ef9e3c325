#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "audio/audio_format.h"

namespace swivio::audio {

// A place sound goes: a sound card, or nothing at the pace of one. An output makes every
// call to its device on the output's own thread, from open() to close().
//
// Required: open, write, close. Optional: discard (a device that cannot drop what it holds
// plays it out).
class AudioDevice {
public:
    virtual ~AudioDevice() = default;

    // Opens the device for `format`; false (with errorString()) when it cannot play it.
    virtual bool open(const AudioFormat& format) = 0;
    // Hands whole sample frames to the device and returns once it has taken them all: a
    // device holds only a little sound ahead of what it plays, so writing paces the writer
    // at real time. False when the device failed; it takes nothing more after that.
    virtual bool write(std::span<const int16_t> samples) = 0;
    // Drops what was written but not yet played.
    virtual void discard() {}
    virtual void close() = 0;

    virtual std::string errorString() const { return {}; }
};

} // namespace swivio::audio
