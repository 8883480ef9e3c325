#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace swivio {

// A WAV file that is read while it is still being written (the movie's sound, recorded as
// the frames are encoded). Its writer announces the path, publishes how many bytes of sound
// its data chunk holds on disk so far, and says when the file is complete. A WavReader that
// opens an announced path reads only what is published, waiting for more until the file is
// complete, so an encoder never takes the header's provisional sizes or a half-written
// sample for the sound.
//
// Thread safe: one writing thread, any number of readers.
class GrowingWav {
public:
    // Announces `path` until end() or until the last holder lets go.
    static std::shared_ptr<GrowingWav> announce(const std::string& path);
    // The growing file at `path`, or null when the file is complete (or was never announced).
    static std::shared_ptr<GrowingWav> find(const std::string& path);

    ~GrowingWav();
    GrowingWav(const GrowingWav&) = delete;
    GrowingWav& operator=(const GrowingWav&) = delete;

    // Writer: `dataBytes` of sound are in the file, flushed.
    void grew(uint64_t dataBytes);
    // Writer: the file is complete (or will grow no more because its writing failed).
    void end();

    // Reader: waits until at least `dataBytes` are published or the file is complete, and
    // returns the bytes published then.
    uint64_t waitFor(uint64_t dataBytes);

private:
    explicit GrowingWav(std::string path) : m_path(std::move(path)) {}
    void forget();

    const std::string m_path;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    uint64_t m_published = 0;
    bool m_complete = false;
};

} // namespace swivio
