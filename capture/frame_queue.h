#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/frame.h"
#include "encode/recorded_frames.h"

namespace swivio {

// Passes the records of a recording to an encoder running at the same time, in order. Up to
// `depth` records wait in memory; records that come while the memory is full go to a spill
// frame store (qclz frame files in the working folder) and are read back in their turn, so
// memory stays flat however far the encoder falls behind. A spill run ends (its files
// closed and handed to the reader) when the reader reaches it; the records after it go to
// memory again while there is room.
//
// One thread records (push, close), one thread reads (the RecordedFrames side). By default
// the recording never waits for the reader; with setRoomWait(), a push into a full queue
// first waits for the reader to take a record, and spills only when the reader has taken
// none for that long.
class FrameQueue final : public RecordedFrames {
public:
    // `spillFolder`: where spilled records go; `width` x `height`: the frame size;
    // `depth`: pictures held in memory at most (1 or more).
    FrameQueue(std::string spillFolder, int width, int height, int depth);
    // Deletes every spill file left.
    ~FrameQueue() override;
    FrameQueue(const FrameQueue&) = delete;
    FrameQueue& operator=(const FrameQueue&) = delete;

    // Recording side. Appends one record: `picture`, new when `isNewPicture` is set (or for
    // the first record), otherwise a repeat, for which `picture` is still the previous
    // picture (as the recording's surface is): held in memory, a repeat is a copy like any
    // record, so the reader never keeps a picture back for one. False, with errorString(),
    // when a spill file cannot be written; the failure is sticky.
    bool push(const Frame& picture, bool isNewPicture);
    // How long a push into a full queue waits for room before it spills (0: never waits).
    // A frame-by-frame recording loses nothing by waiting, and reading back a spilled
    // record costs the reader more than taking it from memory; the spill is then only for
    // a reader that stalls (a slow disk, an encoder's look-ahead).
    void setRoomWait(std::chrono::milliseconds wait);
    // Ends the records. `abandoned`: the recording failed or was cancelled; the reader stops
    // at once and its tally says the recording failed. Later pushes are refused.
    void close(bool abandoned);

    // Reading side. advance() waits for the next record; false at the end of a closed
    // queue, once abandoned, or when a spill file cannot be read back (errorString()).
    bool advance() override;
    // Hands the current record's picture over by exchanging buffers with `frame` (whose
    // buffer the queue reuses). Once per record: a second call for the same record fails.
    bool decodeInto(Frame& frame) override;
    RecordTally waitForRecords(int seen) override;

    std::string errorString() const;
    // Records pushed so far.
    int recordCount() const;
    // Records that went through the spill store, and the most pictures ever held in memory.
    int spilledCount() const;
    int peakHeld() const;

private:
    struct Spill;
    struct Entry {
        Frame picture; // empty for a repeat or a spill run
        std::shared_ptr<Spill> spill;
    };

    bool fail(const std::string& message);
    // With the lock held: the spill run still being written, if it is the last entry.
    Spill* openSpill();
    // Closes the spill run being written (the lock not held); false when it cannot be.
    bool closeSpill(Spill& spill);
    void discard(Spill& spill);

    const std::string m_folder;
    const int m_width;
    const int m_height;
    const std::size_t m_depth;
    std::chrono::milliseconds m_roomWait{0};

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Entry> m_entries;
    std::vector<Frame> m_pool; // picture buffers to reuse
    std::size_t m_held = 0;    // memory entries queued
    int m_peakHeld = 0;
    int m_count = 0;
    int m_spilled = 0;
    bool m_closed = false;
    bool m_abandoned = false;
    std::string m_error;

    // Reader's own state (one reading thread).
    std::shared_ptr<Spill> m_reading; // the spill run being read back
    bool m_fromSpill = false;         // the current record is m_reading's
    Frame m_current;                  // the current memory record's picture, until handed over
};

} // namespace swivio
