#include "encode/conversion_driver.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <filesystem>
#include <system_error>
#include <utility>

#include "crop/watermark.h"
#include "crop/watermark_picture.h"
#include "encode/output_writer.h"

namespace swivio {

double outputFrameRate(const ConversionSettings& settings) {
    switch (settings.convertType) {
    case OutputType::Avi:
    case OutputType::VideoFile:
        return settings.aviFrameRate;
    case OutputType::Mpeg: {
        const double rate = settings.mpegFrameRate;
        // Discs play NTSC at exactly 30000/1001 frames per second, as the MPEG writer codes it.
        return std::fabs(rate - 29.97) < 0.001 ? 30000.0 / 1001.0 : rate;
    }
    case OutputType::ImageSeries:
        return settings.imageFrameRate;
    }
    return settings.imageFrameRate;
}

FrameRatePlan planFrameRate(const ConversionSettings& settings, int frameCount) {
    FrameRatePlan plan;
    plan.outputFrameCount = std::max(frameCount, 0);
    const double rate = outputFrameRate(settings);
    const double movieRate = settings.movieFrameRate;
    // A rate of 0 (or not a number) would divide by zero: keep every record once.
    if (!(movieRate > 0) || !std::isfinite(movieRate) || !(rate > 0) || !std::isfinite(rate) ||
        rate == movieRate)
        return plan;
    const double count = std::floor(double(plan.outputFrameCount) * rate / movieRate);
    plan.outputFrameCount = count >= double(std::numeric_limits<int>::max())
                                ? std::numeric_limits<int>::max()
                                : int(count);
    // A movie shorter than one output frame still shows its first record rather than
    // giving an empty output.
    if (frameCount > 0 && plan.outputFrameCount < 1)
        plan.outputFrameCount = 1;
    plan.step = movieRate / rate;
    return plan;
}

ConversionDriver::ConversionDriver(ConversionJob job)
    : m_job(std::move(job)), m_plan(planFrameRate(m_job.settings, m_job.frameCount)),
      m_writerFactory(openOutputWriter) {}

ConversionResult ConversionDriver::run(RecordedFrames& frames) {
    ConversionResult result = encode(frames);
    removeTemporaryFiles(m_job);
    return result;
}

ConversionResult ConversionDriver::encode(RecordedFrames& frames) {
    using Outcome = ConversionResult::Outcome;
    ConversionResult result;
    const int width = m_job.geometry.outputWidth;
    const int height = m_job.geometry.outputHeight;
    if (width <= 0 || height <= 0) {
        result.outcome = Outcome::Failed;
        result.message = "The output frame size " + std::to_string(width) + " x " +
                         std::to_string(height) + " is empty.";
        return result;
    }
    std::shared_ptr<const PictureImage> picture = m_watermarkPicture;
    const ConversionSettings& settings = m_job.settings;
    if (!picture && settings.watermarkEnabled && !settings.watermarkFile.empty()) {
        WatermarkPictureResult loaded = loadWatermarkPicture(settings.watermarkFile);
        if (!loaded) {
            result.outcome = Outcome::Failed;
            result.message = loaded.report(settings.watermarkFile);
            return result;
        }
        picture = std::move(*loaded);
    }
    Result<std::unique_ptr<FrameWriter>> opened = m_writerFactory(m_job);
    if (!opened || !*opened) {
        result.outcome = Outcome::Failed;
        result.message = opened ? "The output could not be opened." : opened.message();
        return result;
    }
    FrameWriter& writer = **opened;
    result.warn(opened);

    const WatermarkStamp watermark(settings, m_job.geometry, picture.get(), width, height);
    // `decoded` holds the picture of the record read last, without the watermark, so that
    // a repeated frame, or one whose block does not decode, gets the watermark once only.
    // `output` is only needed, and only allocated, when a watermark is drawn.
    Frame decoded(width, height);
    Frame output = watermark.isActive() ? Frame(width, height) : Frame();
    const Frame& handed = watermark.isActive() ? output : decoded;

    // Frames read while they are recorded learn their count as the recording goes on: output
    // frame i is made once enough records exist that it belongs to the output whatever
    // follows (the count only grows with the records), or once the recording has ended.
    RecordTally tally = frames.waitForRecords(-1);
    const bool live = tally.count >= 0;
    int count = live ? planFrameRate(settings, tally.count).outputFrameCount
                     : m_plan.outputFrameCount;
    const bool dropping = m_plan.step > 1.0;
    const double movieRate = settings.movieFrameRate;
    const double outputRate = outputFrameRate(settings);
    double accumulator = 1.0;
    int lastPercent = -1;
    std::string failure;
    for (int i = 0;; ++i) {
        if (m_cancel.load())
            break;
        while (live && i >= count && !tally.final) {
            tally = frames.waitForRecords(tally.count);
            count = planFrameRate(settings, tally.count).outputFrameCount;
        }
        if (tally.failed) {
            failure = "The recording stopped before its end.";
            break;
        }
        if (i >= count)
            break;
        // How many records must have been read when output frame i is shown. Below the
        // movie's rate it shows the record its time i / output rate falls on (rates
        // multiplied before dividing, so whole-number rates land exactly on a record).
        // Otherwise the accumulator moves to the next record once a whole record's time
        // has passed, and a frame that reaches none repeats the picture.
        int64_t wanted = result.recordsRead;
        if (dropping) {
            wanted = int64_t(std::floor(double(i) * movieRate / outputRate)) + 1;
        } else if (accumulator >= 1.0) {
            wanted = result.recordsRead + 1;
            accumulator -= 1.0;
        }
        accumulator += m_plan.step;
        // Records passed over are dropped: read past, never decoded.
        const bool reached = wanted > result.recordsRead;
        bool ended = false;
        while (result.recordsRead < wanted && !ended) {
            ended = !frames.advance();
            if (!ended)
                ++result.recordsRead;
        }
        if (ended) {
            int expected = m_job.frameCount;
            if (live) {
                tally = frames.waitForRecords(result.recordsRead);
                expected = tally.count;
            }
            if (tally.failed)
                failure = "The recording stopped before its end.";
            else if (result.recordsRead < expected)
                failure = "The recorded frames ended after " + std::to_string(result.recordsRead) +
                          " of " + std::to_string(expected) + " records.";
            break;
        }
        if (reached) {
            // A block that does not decode leaves the previous picture in place.
            if (frames.decodeInto(decoded) &&
                (decoded.width() != width || decoded.height() != height)) {
                failure = "A recorded frame is " + std::to_string(decoded.width()) + " x " +
                          std::to_string(decoded.height()) + " instead of " +
                          std::to_string(width) + " x " + std::to_string(height) + ".";
                break;
            }
        }

        if (watermark.isActive()) {
            std::memcpy(output.data(), decoded.data(), decoded.byteSize());
            watermark.apply(output);
        }
        if (!writer.writeFrame(handed, i)) {
            failure = writer.errorString();
            if (failure.empty())
                failure = "Output frame " + std::to_string(i) + " could not be written.";
            break;
        }
        ++result.framesWritten;

        ConversionProgress progress;
        progress.frameIndex = i;
        progress.outputFrameCount = count;
        progress.percent = int(int64_t(100) * (i + 1) / count);
        progress.percentChanged = progress.percent != lastPercent;
        lastPercent = progress.percent;
        if (m_progress && !m_progress(progress))
            m_cancel.store(true);
    }

    // A failed run never leaves a half output under the destination's name; a cancelled
    // one completes what it has, which then is the output.
    if (!failure.empty()) {
        writer.abandon();
    } else if (!writer.finish()) {
        failure = writer.errorString();
        if (failure.empty())
            failure = "The output could not be completed.";
    }
    opened->reset();
    result.message = failure;
    if (m_cancel.load())
        result.outcome = Outcome::Cancelled;
    else if (!failure.empty())
        result.outcome = Outcome::Failed;
    return result;
}

void removeTemporaryFiles(const ConversionJob& job) {
    std::error_code ignored;
    for (const std::string& path : job.frameFiles) {
        if (!path.empty())
            std::filesystem::remove(path, ignored);
    }
    if (job.settings.audioSource == AudioSource::RecordFromMovie && !job.audioPath.empty())
        std::filesystem::remove(job.audioPath, ignored);
}

} // namespace swivio
