#include "capture/streaming_conversion.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "capture/conversion_task.h"
#include "capture/frame_queue.h"
#include "capture/recording_session.h"

namespace swivio {

namespace {

// What the encoding thread tells the recording thread: its last output frame and whether
// it has ended.
class EncoderState {
public:
    void report(const ConversionProgress& p) {
        std::lock_guard lock(m_mutex);
        m_index = p.frameIndex;
        m_count = p.outputFrameCount;
        m_changed.notify_all();
    }
    void end() {
        std::lock_guard lock(m_mutex);
        m_done = true;
        m_changed.notify_all();
    }
    bool done() const {
        std::lock_guard lock(m_mutex);
        return m_done;
    }
    // Waits up to `timeout` for a frame after `shown` or the end; false once ended and
    // nothing new is left to show.
    bool next(int& shown, int& count, std::chrono::milliseconds timeout) {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, timeout, [&] { return m_index != shown || m_done; });
        if (m_index == shown)
            return !m_done;
        shown = m_index;
        count = m_count;
        return true;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_index = -1;
    int m_count = 0;
    bool m_done = false;
};

} // namespace

TaskResult ConversionTask::recordWhileEncoding(TaskResult result) {
    using Outcome = ConversionResult::Outcome;
    auto failed = [&result](std::string message) {
        result.outcome = Outcome::Failed;
        result.message = std::move(message);
        return result;
    };
    RecordingSession recording(m_settings, std::move(m_source));
    if (!recording.open())
        return failed(recording.errorString());
    Result<std::string> folder = frameFileFolder(m_settings);
    if (!folder)
        return failed("Recording failed: " + folder.message());
    const FrameGeometry& geometry = recording.geometry();
    FrameQueue queue(*folder, geometry.outputWidth, geometry.outputHeight, kRecordingQueueDepth);
    queue.setRoomWait(kRecordingQueueWait);

    // The encoder starts with the first record, when the recording has opened its sound
    // file, and learns the frame count from the queue as the recording goes on. It reads
    // the movie's sound as the recording writes it.
    std::optional<ConversionDriver> driver;
    EncoderState encoderState;
    // A cancel stops the encoder by itself once the recording is complete; before, the
    // recording thread abandons the output instead.
    std::atomic<bool> recordingComplete{false};
    ConversionResult encoded;
    std::thread encoder;
    auto startEncoder = [&] {
        if (driver)
            return;
        driver.emplace(recording.makeJob(recording.recordedSoundPath()));
        driver->setWatermarkPicture(m_watermark);
        if (m_writerFactory)
            driver->setWriterFactory(m_writerFactory);
        driver->setProgressCallback([&](const ConversionProgress& p) {
            encoderState.report(p);
            return !(recordingComplete.load() && m_cancel.load());
        });
        encoder = std::thread([&] {
            encoded = driver->run(queue);
            encoderState.end();
        });
    };
    recording.setRecordSink(
        [&](const Frame& picture, bool isNew) {
            startEncoder();
            return queue.push(picture, isNew);
        },
        [&queue] { return queue.errorString(); });

    // Recording on this thread; an encoder that has ended (it failed) stops it, since
    // nothing more can be written.
    recording.setProgressCallback([&](const RecordingProgress& p) {
        if (m_finishRecording.load() || encoderState.done())
            return false;
        return keepGoing({ConversionPhase::Recording, p.frameIndex, p.frameCount});
    });
    const bool recorded = !m_cancel.load() && recording.runFrameByFrame();
    const bool closed = recording.finish();
    const bool cancelled = m_cancel.load();
    // A cancelled or failed recording is abandoned by the encoder too: the destination
    // stays as it was.
    queue.close(cancelled || !recorded || !closed);

    addRecordingWarnings(recording, result);

    if (cancelled || !recorded || !closed) {
        // Not a cancel of the encoder, which would complete the output: the abandoned queue
        // fails it, and it deletes the sound file; without it, the recording does.
        if (encoder.joinable())
            encoder.join();
        else
            recording.discardFrames();
        result.framesWritten = encoded.framesWritten;
        if (cancelled) {
            result.outcome = Outcome::Cancelled;
            return result;
        }
        return failed("Recording failed: " + recording.errorString());
    }

    // The recording is complete; what the encoder has left is reported as the encoding.
    result.phase = ConversionPhase::Encoding;
    recordingComplete.store(true);
    // A recording of no frames still opens and finishes the output.
    startEncoder();
    int shown = -1;
    int count = 0;
    while (encoderState.next(shown, count, std::chrono::milliseconds(50))) {
        if (m_cancel.load() ||
            (shown >= 0 && !keepGoing({ConversionPhase::Encoding, shown, count})))
            driver->requestCancel();
    }
    encoder.join();
    const Warnings movieWarnings = result;
    static_cast<ConversionResult&>(result) = std::move(encoded);
    Warnings all = movieWarnings;
    all.warn(result);
    static_cast<Warnings&>(result) = all;
    return result;
}

} // namespace swivio
