#pragma once

#include <cstdint>
#include <span>

#include "audio/audio_format.h"

namespace swivio::audio {

// Names one opening of an output; never 0, never reused within the process.
using AudioHandle = uint64_t;

// Hears every output of the process: each opening with its format, each buffer as it is
// handed to the device, each closing, and (optionally) the sound a player hands to an output
// at the moment it hands it over. A listener (the sound capture) records what the movies
// play from these alone.
//
// deviceOpened, bufferWritten and deviceClosed come on the outputs' own threads,
// soundQueued on the thread that writes to the output (the player's); all come one at a
// time (they are serialised with each other and with setAudioOutputHook). A hook must not
// call setAudioOutputHook itself.
class AudioOutputHook {
public:
    virtual ~AudioOutputHook() = default;
    virtual void deviceOpened(AudioHandle handle, const AudioFormat& format) = 0;
    // `samples`: 16-bit interleaved sample frames in the format the device was opened with,
    // valid during the call only. A buffer reaches the device after what the output held
    // back, so it is heard some time after the player handed its sound over.
    virtual void bufferWritten(AudioHandle handle, std::span<const int16_t> samples) = 0;
    virtual void deviceClosed(AudioHandle handle) = 0;
    // Sound the player hands over now (the sound of the frame it shows now), before the
    // output queues it: what bufferWritten brings later (unless a flush drops it), without
    // the silence the output plays between sounds. Valid during the call only.
    virtual void soundQueued(AudioHandle handle, std::span<const int16_t> samples) {
        (void)handle;
        (void)samples;
    }
};

// Installs the process-wide hook; null removes it. The hook is not owned. Once this returns,
// the previous hook is not called again, so it may be destroyed.
void setAudioOutputHook(AudioOutputHook* hook);

// What the outputs call; each reaches the installed hook, if any.
AudioHandle nextAudioHandle();
void notifyDeviceOpened(AudioHandle handle, const AudioFormat& format);
void notifyBufferWritten(AudioHandle handle, std::span<const int16_t> samples);
void notifySoundQueued(AudioHandle handle, std::span<const int16_t> samples);
void notifyDeviceClosed(AudioHandle handle);

} // namespace swivio::audio
