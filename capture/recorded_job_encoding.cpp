// The encoding of a recording made before the task runs (an interactive one).
#include "capture/conversion_task.h"
#include "capture/frame_store_reader.h"
#include "crop/watermark_picture.h"
#include "encode/output_checks.h"
#include "encode/output_choices.h"

namespace swivio {

TaskResult ConversionTask::encodeRecordedJob() {
    using Outcome = ConversionResult::Outcome;
    ConversionJob job = std::move(*m_recordedJob);
    m_recordedJob.reset();
    TaskResult result;
    result.phase = ConversionPhase::Encoding;
    result.framesRecorded = job.frameCount;
    // Whatever stops the encoding before the driver runs, the recording's files go too.
    auto failed = [&result, &job](std::string message) {
        removeTemporaryFiles(job);
        result.outcome = Outcome::Failed;
        result.message = std::move(message);
        return result;
    };
    const ConversionSettings& settings = job.settings;
    if (Status output = prepareOutput(settings); !output)
        return failed(output.message());

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
    static_cast<ConversionResult&>(result) = std::move(encoded);
    return result;
}

} // namespace swivio
