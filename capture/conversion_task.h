#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/result.h"
#include "capture/recording_session.h"
#include "encode/conversion_driver.h"
#include "encode/conversion_job.h"
#include "settings/conversion_settings.h"
#include "settings/settings_rules.h"
#include "source/movie_source.h"

namespace swivio {

class PictureImage;

// What a movie source reports, as the settings take it (resetForMovie).
MovieProperties movieProperties(const MovieSource& source);

enum class ConversionPhase { Recording, Encoding };

// One report of a running conversion: before record `index` of the recording (index from
// 0, of `count` planned records; a play recording may end sooner), or after output frame `index` of the encoding (of `count`
// output frames).
struct TaskProgress {
    ConversionPhase phase = ConversionPhase::Recording;
    int index = 0;
    int count = 0;
};
// Called on the thread that runs the task; returning false asks it to stop, as
// requestCancel() does.
using TaskProgressCallback = std::function<bool(const TaskProgress&)>;

// How a conversion ended. `phase` is where it ended; `framesRecorded` counts the records of
// the recording phase and framesWritten (of ConversionResult) the output frames. A
// cancelled or failed recording writes nothing; a cancelled encoding completes the frames
// it wrote into the output; a failed one leaves the destination as it was (a picture
// series keeps the pictures it wrote, also those of a recording that encoded as it went).
// Warnings say what went wrong without stopping the conversion.
struct TaskResult : ConversionResult {
    ConversionPhase phase = ConversionPhase::Recording;
    int framesRecorded = 0;
};

// One whole frame-by-frame conversion, as the command line and the windows run it: checks
// what must hold before recording (the movie, the output as checkConversionOutput does, the
// imported sound, the watermark picture, the video compressor's size rule, the recording
// choice), records the movie as its recording mode says into temporary frame files, encodes
// them into the output, and deletes the temporary files whatever happens.
class ConversionTask {
public:
    // `settings` are complete (applySettingsRules has run); `source` is the movie they were
    // made for, on its first frame.
    ConversionTask(ConversionSettings settings, std::unique_ptr<MovieSource> source);
    ~ConversionTask();
    ConversionTask(const ConversionTask&) = delete;
    ConversionTask& operator=(const ConversionTask&) = delete;

    void setProgressCallback(TaskProgressCallback callback) { m_progress = std::move(callback); }
    // The watermark picture when the caller has it loaded already (as setWatermark gives
    // it); otherwise run() loads the settings' watermark file.
    void setWatermarkPicture(std::shared_ptr<const PictureImage> picture) {
        m_watermark = std::move(picture);
    }
    // Whether an output file that exists already may be replaced (the front end asks the
    // user); without it such a conversion fails before recording. Off by default. A
    // picture series replaces its own numbered pictures either way.
    void setOverwriteAllowed(bool allowed) { m_overwriteAllowed = allowed; }
    // Replaces the output writer (tests, or a caller with a writer of its own).
    void setWriterFactory(WriterFactory factory) { m_writerFactory = std::move(factory); }

    // Whether the conversion encodes its frames while it records them, on a thread of its
    // own (on by default); off, the recording is stored whole and encoded after.
    void setRecordWhileEncoding(bool on) { m_recordWhileEncoding = on; }

    // May be called from any thread: the running phase stops before its next frame.
    void requestCancel() { m_cancel.store(true); }
    // May be called from any thread: the recording ends before its next frame and what it
    // recorded is encoded (a window's Finish).
    void requestFinishRecording() { m_finishRecording.store(true); }

    // Encodes a recording made already (an interactive one) instead of recording: run()
    // checks the output, encodes the job and deletes its temporary files whatever happens.
    // The task then needs no movie.
    void setRecordedJob(ConversionJob job) { m_recordedJob = std::move(job); }

    // Runs the conversion once.
    TaskResult run();

private:
    TaskResult encodeRecordedJob();
    bool keepGoing(const TaskProgress& progress);
    // The recording and the encoding at once, from the point where run() starts recording.
    TaskResult recordWhileEncoding(TaskResult result);
    // What must hold of the output before anything is made (the output file, the imported
    // sound, the compressor's size rule), and the watermark picture loaded when not given.
    Status prepareOutput(const ConversionSettings& settings);
    // What the recording went on without, and what ended it, said in the result.
    static void addRecordingWarnings(RecordingSession& recording, TaskResult& result);

    ConversionSettings m_settings;
    std::unique_ptr<MovieSource> m_source;
    std::shared_ptr<const PictureImage> m_watermark;
    TaskProgressCallback m_progress;
    WriterFactory m_writerFactory;
    bool m_overwriteAllowed = false;
    bool m_recordWhileEncoding = true;
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_finishRecording{false};
    std::optional<ConversionJob> m_recordedJob;
};

} // namespace swivio
