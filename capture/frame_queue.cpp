#include "capture/frame_queue.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#include "capture/frame_store.h"
#include "capture/frame_store_reader.h"

namespace swivio {

// A run of records that went to the spill store. The recording thread appends to `writer`
// while the run is open; once closed, only the reading thread touches it.
struct FrameQueue::Spill {
    std::unique_ptr<FrameStoreWriter> writer;
    std::unique_ptr<FrameStoreReader> reader;
    std::vector<std::string> files;
    int records = 0;
    int read = 0;
    bool writing = false;     // the recording thread is appending, outside the lock
    bool closeWanted = false; // the reader has reached this run
    bool closed = false;
};

FrameQueue::FrameQueue(std::string spillFolder, int width, int height, int depth)
    : m_folder(std::move(spillFolder)), m_width(width), m_height(height),
      m_depth(std::size_t(std::max(depth, 1))) {}

FrameQueue::~FrameQueue() {
    for (Entry& entry : m_entries)
        if (entry.spill)
            discard(*entry.spill);
    if (m_reading)
        discard(*m_reading);
}

bool FrameQueue::fail(const std::string& message) {
    if (m_error.empty())
        m_error = message;
    m_changed.notify_all();
    return false;
}

FrameQueue::Spill* FrameQueue::openSpill() {
    if (m_entries.empty() || !m_entries.back().spill || m_entries.back().spill->closed)
        return nullptr;
    return m_entries.back().spill.get();
}

bool FrameQueue::closeSpill(Spill& spill) {
    const bool ok = spill.writer->finish();
    spill.files = spill.writer->fileList();
    const std::string error = spill.writer->errorString();
    spill.writer.reset();
    spill.closed = true;
    m_changed.notify_all();
    return ok || fail(error.empty() ? "The spilled frames could not be closed." : error);
}

void FrameQueue::discard(Spill& spill) {
    if (spill.writer) {
        (void)spill.writer->finish();
        spill.files = spill.writer->fileList();
        spill.writer.reset();
    }
    spill.reader.reset();
    std::error_code ignored;
    for (const std::string& path : spill.files)
        std::filesystem::remove(path, ignored);
    spill.files.clear();
}

bool FrameQueue::push(const Frame& picture, bool isNewPicture) {
    std::unique_lock lock(m_mutex);
    if (m_closed || !m_error.empty())
        return false;
    if (picture.width() != m_width || picture.height() != m_height)
        return fail("A recorded frame is " + std::to_string(picture.width()) + " x " +
                    std::to_string(picture.height()) + " instead of " + std::to_string(m_width) +
                    " x " + std::to_string(m_height) + ".");
    const bool carries = isNewPicture || m_count == 0;
    if (m_roomWait.count() > 0 && m_held >= m_depth && !openSpill())
        m_changed.wait_for(lock, m_roomWait,
                           [this] { return m_held < m_depth || m_abandoned || !m_error.empty(); });
    if (!m_error.empty())
        return false;
    Spill* spill = openSpill();
    if (!spill && m_held < m_depth) {
        ++m_held;
        m_peakHeld = std::max(m_peakHeld, int(m_held));
        Frame buffer;
        if (!m_pool.empty()) {
            buffer = std::move(m_pool.back());
            m_pool.pop_back();
        }
        // The copy is made outside the lock, so that the reader is never held up by it.
        lock.unlock();
        if (buffer.byteSize() != picture.byteSize())
            buffer = Frame(m_width, m_height);
        std::memcpy(buffer.data(), picture.data(), picture.byteSize());
        lock.lock();
        m_entries.push_back({std::move(buffer), nullptr});
        ++m_count;
        m_changed.notify_all();
        return true;
    }
    if (!spill) {
        auto opened = std::make_shared<Spill>();
        opened->writer = std::make_unique<FrameStoreWriter>(m_folder);
        m_entries.push_back({Frame(), opened});
        spill = opened.get();
    }
    spill->writing = true;
    lock.unlock();
    const bool written = spill->writer->appendFrame(picture, carries);
    lock.lock();
    spill->writing = false;
    if (!written)
        return fail(spill->writer->errorString());
    ++spill->records;
    ++m_count;
    ++m_spilled;
    // A reader waiting for this run gets it at once rather than after the next record.
    if (spill->closeWanted && !closeSpill(*spill))
        return false;
    m_changed.notify_all();
    return true;
}

void FrameQueue::setRoomWait(std::chrono::milliseconds wait) {
    std::lock_guard lock(m_mutex);
    m_roomWait = wait;
}

void FrameQueue::close(bool abandoned) {
    std::lock_guard lock(m_mutex);
    if (Spill* spill = openSpill(); spill && !spill->writing)
        (void)closeSpill(*spill);
    m_closed = true;
    m_abandoned = m_abandoned || abandoned;
    m_changed.notify_all();
}

bool FrameQueue::advance() {
    std::unique_lock lock(m_mutex);
    // A record read past without being decoded gives its buffer back.
    if (m_current.byteSize() == std::size_t(m_width) * std::size_t(m_height) * 3 &&
        m_pool.size() <= m_depth)
        m_pool.push_back(std::move(m_current));
    m_current = Frame();
    m_fromSpill = false;
    for (;;) {
        if (m_abandoned || !m_error.empty())
            return false;
        if (m_reading) {
            Spill& spill = *m_reading;
            if (spill.read < spill.records) {
                lock.unlock();
                const bool ok = spill.reader->advance();
                lock.lock();
                if (!ok)
                    return fail("The spilled frames could not be read back: " +
                                spill.reader->errorString());
                ++spill.read;
                m_fromSpill = true;
                return true;
            }
            discard(spill);
            m_reading.reset();
            continue;
        }
        if (m_entries.empty()) {
            if (m_closed)
                return false;
            m_changed.wait(lock);
            continue;
        }
        Entry& front = m_entries.front();
        if (front.spill) {
            Spill& spill = *front.spill;
            if (!spill.closed) {
                if (spill.writing) {
                    spill.closeWanted = true;
                    m_changed.wait(lock);
                    continue;
                }
                if (!closeSpill(spill))
                    return false;
            }
            m_reading = std::move(front.spill);
            m_entries.pop_front();
            m_reading->reader =
                std::make_unique<FrameStoreReader>(m_reading->files, m_width, m_height);
            continue;
        }
        m_current = std::move(front.picture);
        m_entries.pop_front();
        --m_held;
        m_changed.notify_all();
        return true;
    }
}

bool FrameQueue::decodeInto(Frame& frame) {
    // A spilled repeat record decodes its run's picture before it again.
    if (m_fromSpill)
        return m_reading && m_reading->reader->decodeInto(frame);
    if (m_current.byteSize() == 0)
        return false;
    std::swap(frame, m_current);
    std::lock_guard lock(m_mutex);
    if (m_current.byteSize() == std::size_t(m_width) * std::size_t(m_height) * 3 &&
        m_pool.size() <= m_depth)
        m_pool.push_back(std::move(m_current));
    m_current = Frame();
    return true;
}

RecordTally FrameQueue::waitForRecords(int seen) {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_count > seen || m_closed; });
    RecordTally tally;
    tally.count = m_count;
    tally.final = m_closed;
    tally.failed = m_abandoned;
    return tally;
}

std::string FrameQueue::errorString() const {
    std::lock_guard lock(m_mutex);
    return m_error;
}

int FrameQueue::recordCount() const {
    std::lock_guard lock(m_mutex);
    return m_count;
}

int FrameQueue::spilledCount() const {
    std::lock_guard lock(m_mutex);
    return m_spilled;
}

int FrameQueue::peakHeld() const {
    std::lock_guard lock(m_mutex);
    return m_peakHeld;
}

} // namespace swivio
