#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "base/result.h"
#include "encode/conversion_job.h"
#include "encode/frame_writer.h"
#include "encode/recorded_frames.h"

namespace swivio {

class PictureImage;

// The output frame rate of a conversion: aviFrameRate, mpegFrameRate or imageFrameRate by
// convertType, an MPEG rate within 0.001 of 29.97 counting as NTSC's exact 30000/1001.
double outputFrameRate(const ConversionSettings& settings);

// How recorded frames become output frames, so that the output lasts as long as the movie:
// outputFrameCount = frameCount x output rate / movie rate (truncated) and step = movie rate /
// output rate, the records that pass per output frame. Output frame i shows the record its
// time falls on, about i x step: a higher output rate repeats records, a lower one drops
// them. At equal rates every record is used once (step 1). One record or more gives at
// least one output frame. A movie rate that is not positive, or an output rate that is not
// a positive finite number, counts as equal.
struct FrameRatePlan {
    int outputFrameCount = 0;
    double step = 1.0;
};
FrameRatePlan planFrameRate(const ConversionSettings& settings, int frameCount);

// One progress report, after output frame `frameIndex` was handed to the writer.
struct ConversionProgress {
    int frameIndex = 0;
    int outputFrameCount = 0;
    // 100 x (frameIndex + 1) / outputFrameCount, whole number.
    int percent = 0;
    // True when `percent` differs from the last report's (always on the first).
    bool percentChanged = false;
};
// Called once per output frame on the thread that runs the conversion; returning false asks
// to cancel, as requestCancel() does.
using ProgressCallback = std::function<bool(const ConversionProgress&)>;

using WriterFactory = std::function<Result<std::unique_ptr<FrameWriter>>(const ConversionJob&)>;

struct ConversionResult : Warnings {
    enum class Outcome { Completed, Cancelled, Failed };
    Outcome outcome = Outcome::Completed;
    // Why it failed (also set for a cancelled run whose output could not be completed).
    std::string message;
    int framesWritten = 0;
    int recordsRead = 0;
};

// The encoding phase without its window: opens the writer, reads the recorded frames in
// order, repeats or drops them to keep time at the output frame rate, draws the watermark
// onto each output frame and hands it to the writer, then finishes the writer and deletes
// the temporary files. After a cancel the frames written so far are completed into the
// output, which replaces the destination; after a failure the writer is abandoned, so the
// destination keeps what it had (a picture series keeps the pictures already written). What the
// writer reports without failing (a sound it could not add) comes back as warnings.
class ConversionDriver {
public:
    explicit ConversionDriver(ConversionJob job);

    const ConversionJob& job() const { return m_job; }
    int outputFrameCount() const { return m_plan.outputFrameCount; }
    double step() const { return m_plan.step; }

    void setProgressCallback(ProgressCallback callback) { m_progress = std::move(callback); }
    // Replaces openOutputWriter (tests, or a caller with a writer of its own).
    void setWriterFactory(WriterFactory factory) { m_writerFactory = std::move(factory); }
    // The watermark picture to draw, as loadWatermarkPicture gives it. Without one, run()
    // loads the settings' watermarkFile itself when the watermark is on, and fails before
    // opening the writer when it cannot.
    void setWatermarkPicture(std::shared_ptr<const PictureImage> picture) {
        m_watermarkPicture = std::move(picture);
    }

    // May be called from any thread; the flag is read at the top of each output frame.
    void requestCancel() { m_cancel.store(true); }
    bool cancelRequested() const { return m_cancel.load(); }

    // Runs the whole conversion once over `frames`. Whatever happens, the writer (when it
    // opened) is finished or abandoned and the temporary files are deleted
    // (removeTemporaryFiles). A writer that cannot be opened: no frame is read and the run
    // fails with its message. Frames that end early or a writer that fails also fail the
    // run, and the writer is abandoned. A dropped record is read past without being decoded.
    ConversionResult run(RecordedFrames& frames);

private:
    ConversionResult encode(RecordedFrames& frames);

    ConversionJob m_job;
    FrameRatePlan m_plan;
    ProgressCallback m_progress;
    WriterFactory m_writerFactory;
    std::shared_ptr<const PictureImage> m_watermarkPicture;
    std::atomic<bool> m_cancel{false};
};

// Deletes every frame file of the job that exists and, when audioSource is RecordFromMovie,
// the recorded WAV file. An imported sound file is never touched.
void removeTemporaryFiles(const ConversionJob& job);

} // namespace swivio
