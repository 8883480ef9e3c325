#include "encode/audio/growing_wav.h"

#include <algorithm>
#include <map>

namespace swivio {

namespace {

// The files being written now, by path. Entries are weak: a file whose writer is gone is
// complete, whatever it holds.
std::mutex g_registryMutex;
std::map<std::string, std::weak_ptr<GrowingWav>>& registry() {
    static std::map<std::string, std::weak_ptr<GrowingWav>> files;
    return files;
}

} // namespace

std::shared_ptr<GrowingWav> GrowingWav::announce(const std::string& path) {
    std::shared_ptr<GrowingWav> file(new GrowingWav(path));
    std::lock_guard lock(g_registryMutex);
    registry()[path] = file;
    return file;
}

std::shared_ptr<GrowingWav> GrowingWav::find(const std::string& path) {
    std::lock_guard lock(g_registryMutex);
    const auto it = registry().find(path);
    return it == registry().end() ? nullptr : it->second.lock();
}

GrowingWav::~GrowingWav() {
    forget();
}

void GrowingWav::forget() {
    std::lock_guard lock(g_registryMutex);
    const auto it = registry().find(m_path);
    // A later announcement of the same path is not this file's to remove.
    if (it != registry().end() && (it->second.expired() || it->second.lock().get() == this))
        registry().erase(it);
}

void GrowingWav::grew(uint64_t dataBytes) {
    std::lock_guard lock(m_mutex);
    m_published = std::max(m_published, dataBytes);
    m_changed.notify_all();
}

void GrowingWav::end() {
    {
        std::lock_guard lock(m_mutex);
        m_complete = true;
        m_changed.notify_all();
    }
    forget();
}

uint64_t GrowingWav::waitFor(uint64_t dataBytes) {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_published >= dataBytes || m_complete; });
    return m_published;
}

} // namespace swivio
