#include "audio/audio_hook.h"

#include <atomic>
#include <mutex>

namespace swivio::audio {

namespace {

std::mutex& hookMutex() {
    static std::mutex mutex;
    return mutex;
}

AudioOutputHook* g_hook = nullptr; // guarded by hookMutex()
std::atomic<AudioHandle> g_lastHandle{0};

} // namespace

void setAudioOutputHook(AudioOutputHook* hook) {
    std::lock_guard lock(hookMutex());
    g_hook = hook;
}

AudioHandle nextAudioHandle() {
    return ++g_lastHandle;
}

void notifyDeviceOpened(AudioHandle handle, const AudioFormat& format) {
    std::lock_guard lock(hookMutex());
    if (g_hook)
        g_hook->deviceOpened(handle, format);
}

void notifyBufferWritten(AudioHandle handle, std::span<const int16_t> samples) {
    std::lock_guard lock(hookMutex());
    if (g_hook)
        g_hook->bufferWritten(handle, samples);
}

void notifySoundQueued(AudioHandle handle, std::span<const int16_t> samples) {
    std::lock_guard lock(hookMutex());
    if (g_hook)
        g_hook->soundQueued(handle, samples);
}

void notifyDeviceClosed(AudioHandle handle) {
    std::lock_guard lock(hookMutex());
    if (g_hook)
        g_hook->deviceClosed(handle);
}

} // namespace swivio::audio
