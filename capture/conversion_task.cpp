#include "capture/conversion_task.h"

#include "capture/frame_store_reader.h"
#include "capture/recording_session.h"
#include "crop/watermark_picture.h"
#include "encode/output_checks.h"
#include "encode/output_choices.h"
#include "settings/settings_checks.h"

namespace swivio {

MovieProperties movieProperties(const MovieSource& source) {
    MovieProperties movie;
    movie.isFlv = source.isFlv();
    movie.width = source.movieWidth();
    movie.height = source.movieHeight();
    movie.frameRate = source.movieFrameRate();
    movie.length = source.movieLength();
    return movie;
}

ConversionTask::ConversionTask(ConversionSettings settings, std::unique_ptr<MovieSource> source)
    : m_settings(std::move(settings)), m_source(std::move(source)) {}

ConversionTask::~ConversionTask() = default;

Status ConversionTask::prepareOutput(const ConversionSettings& settings) {
    // An output that is not a regular file, or is one of the files the conversion reads,
    // is never written; one that exists only when allowed.
    if (Status output = checkConversionOutput(settings, m_overwriteAllowed); !output)
        return output;
    if (Status sound = checkImportedSound(settings); !sound)
        return sound;
    if (Status fits = checkVideoCompressorForOutput(settings); !fits)
        return fits;
    if (!m_watermark && settings.watermarkEnabled && !settings.watermarkFile.empty()) {
        WatermarkPictureResult picture = loadWatermarkPicture(settings.watermarkFile);
        if (!picture)
            return Status::failure(picture.report(settings.watermarkFile));
        m_watermark = std::move(*picture);
    }
    return Status();
}

void ConversionTask::addRecordingWarnings(RecordingSession& recording, TaskResult& result) {
    for (const std::string& warning : recording.warnings())
        result.warn(warning);
    if (recording.settings().audioSource == AudioSource::RecordFromMovie)
        for (const std::string& warning : recording.player().soundWarnings())
            result.warn("The movie's sound: " + warning);
    result.framesRecorded = recording.recordCount();
    if (recording.reachedPlayBound())
        result.warn("The movie never came to rest: the recording stopped after " +
                    std::to_string(kPlayMaxSeconds / 60) +
                    " minutes of movie time; a duration or a frame count ends it sooner.");
}

bool ConversionTask::keepGoing(const TaskProgress& progress) {
    if (m_progress && !m_progress(progress))
        m_cancel.store(true);
    return !m_cancel.load();
}

TaskResult ConversionTask::run() {
    if (m_recordedJob)
        return encodeRecordedJob();
    using Outcome = ConversionResult::Outcome;
    TaskResult result;
    auto failed = [&result](std::string message) {
        result.outcome = Outcome::Failed;
        result.message = std::move(message);
        return result;
    };
    // Everything that can be known wrong before recording is checked first, so that no
    // recording is wasted.
    if (!m_source)
        return failed("No movie is open.");
    if (Status movie = checkMovieForConversion(m_settings); !movie)
        return failed(movie.message());
    if (Status output = prepareOutput(m_settings); !output)
        return failed(output.message());
    if (Status choice = checkRecordingChoice(m_settings); !choice)
        return failed(choice.message());

    // What the movie's reading found damaged is said whatever happens next.
    for (const std::string& warning : m_source->warnings())
        result.warn(warning);
    if (m_settings.audioSource == AudioSource::RecordFromMovie &&
        m_settings.convertType != OutputType::ImageSeries && !m_source->hasSound())
        result.warn("The movie has no sound of its own: the output's sound is silence.");

    if (m_recordWhileEncoding)
        return recordWhileEncoding(std::move(result));

    // Recording: the movie's frames, as the recording mode chooses them, into the frame store.
    RecordingSession recording(m_settings, std::move(m_source));
    if (!recording.open())
        return failed(recording.errorString());
    recording.setProgressCallback([this](const RecordingProgress& p) {
        if (m_finishRecording.load())
            return false;
        return keepGoing({ConversionPhase::Recording, p.frameIndex, p.frameCount});
    });
    const bool recorded = !m_cancel.load() && recording.runFrameByFrame();
    const bool closed = recording.finish();
    addRecordingWarnings(recording, result);
    if (m_cancel.load() || !recorded || !closed) {
        recording.discardFrames();
        if (m_cancel.load()) {
            result.outcome = Outcome::Cancelled;
            return result;
        }
        return failed("Recording failed: " + recording.errorString());
    }

    // Encoding: the recorded frames into the output; the driver deletes the frame files.
    result.phase = ConversionPhase::Encoding;
    ConversionJob job = recording.makeJob(recording.recordedSoundPath());
    FrameStoreReader frames(job.frameFiles, job.geometry.outputWidth, job.geometry.outputHeight);
    ConversionDriver driver(std::move(job));
    driver.setWatermarkPicture(m_watermark);
    if (m_writerFactory)
        driver.setWriterFactory(m_writerFactory);
    driver.setProgressCallback([this](const ConversionProgress& p) {
        return keepGoing({ConversionPhase::Encoding, p.frameIndex, p.outputFrameCount});
    });
    if (m_cancel.load())
        driver.requestCancel();
    ConversionResult encoded = driver.run(frames);
    const Warnings movieWarnings = result;
    static_cast<ConversionResult&>(result) = std::move(encoded);
    Warnings all = movieWarnings;
    all.warn(result);
    static_cast<Warnings&>(result) = all;
    return result;
}

} // namespace swivio
