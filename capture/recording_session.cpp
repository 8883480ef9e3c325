#include "capture/recording_session.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "base/temp_file.h"
#include "capture/temp_wave_file.h"
#include "settings/settings_rules.h"

namespace swivio {

Result<std::string> frameFileFolder(const ConversionSettings& settings) {
    std::vector<std::string> folders = {settings.tempPath};
    if (settings.tempPathIndex == 0) {
        const char* system = std::getenv("TMPDIR");
        folders.push_back(system && *system ? system : "/tmp");
    }
    Status first;
    for (const std::string& folder : folders) {
        // A file is created and removed again: only that proves the folder takes one.
        Result<std::string> probe = createTempFile(folder, "vid");
        if (probe) {
            std::remove(probe->c_str());
            return folder;
        }
        if (first)
            first = Status::failure(probe.message());
    }
    return Result<std::string>(first);
}

namespace {

// The timeline range as 0-based root frames, inclusive.
struct TimelineRange {
    int first = 0;
    int last = -1;
};

TimelineRange timelineRange(const ConversionSettings& s) {
    TimelineRange range;
    range.first = s.firstRecordedFrame > 0 ? s.firstRecordedFrame - 1 : 0;
    range.last = s.lastRecordedFrame > 0 ? s.lastRecordedFrame - 1 : s.movieLength - 1;
    return range;
}

// A video plays to its own end, however long; only a movie that may never rest is bounded.
int playBound(const ConversionSettings& s) {
    const double rate = s.movieFrameRate > 0 ? s.movieFrameRate : 12.0;
    const double seconds = isFlvPath(s.sourcePath)
                               ? std::max<double>(kPlayMaxSeconds, double(s.movieLength) + 2)
                               : kPlayMaxSeconds;
    return std::max(1, int(std::min(std::ceil(rate * seconds), 2e9)));
}

// A video has no timeline to step: it always plays, from its start to its end.
bool recordsPlaying(const ConversionSettings& s) {
    return s.recordingMode == RecordingMode::Play || isFlvPath(s.sourcePath);
}

// A video whose length is not known still plays to its end.
bool nothingToRecord(const ConversionSettings& s) {
    return s.movieLength <= 0 && !isFlvPath(s.sourcePath);
}

} // namespace

Status checkRecordingChoice(const ConversionSettings& s) {
    if (recordsPlaying(s)) {
        if (s.playFrameLimit < 0)
            return Status::failure("The number of frames to record cannot be negative.");
        return {};
    }
    const int length = std::max(s.movieLength, 0);
    const auto bad = [length](int frame) { return frame < 0 || frame > length; };
    if (bad(s.firstRecordedFrame) || bad(s.lastRecordedFrame)) {
        return Status::failure("The frames to record must lie within the movie's frames (1 to " +
                               std::to_string(length) + ").");
    }
    const TimelineRange range = timelineRange(s);
    if (length > 0 && range.first > range.last) {
        return Status::failure("The first frame to record (" + std::to_string(range.first + 1) +
                               ") comes after the last (" + std::to_string(range.last + 1) +
                               ").");
    }
    return {};
}

int plannedRecordCount(const ConversionSettings& s) {
    if (nothingToRecord(s))
        return 0;
    if (recordsPlaying(s)) {
        const int bound = playBound(s);
        return s.playFrameLimit > 0 ? std::min(s.playFrameLimit, bound) : bound;
    }
    const TimelineRange range = timelineRange(s);
    return std::max(range.last - range.first + 1, 0);
}

RecordingSession::RecordingSession(ConversionSettings settings,
                                   std::unique_ptr<MovieSource> source)
    : m_settings(std::move(settings)), m_player(std::move(source)) {}

RecordingSession::~RecordingSession() = default;

bool RecordingSession::fail(std::string message) {
    if (m_error.empty())
        m_error = std::move(message);
    return false;
}

bool RecordingSession::open() {
    m_geometry = computeFrameGeometry(m_settings);
    if (m_geometry.outputWidth <= 0 || m_geometry.outputHeight <= 0)
        return fail("The output frame size is empty.");
    if (!m_player) {
        auto opened = openMovieSource(m_settings.sourcePath);
        if (!opened)
            return fail(opened.message());
        m_player = std::move(*opened);
    }
    return true;
}

bool RecordingSession::start() {
    if (!m_player)
        return fail("The movie is not open.");
    const int w = m_geometry.outputWidth;
    const int h = m_geometry.outputHeight;
    if (m_surface.width() != w || m_surface.height() != h)
        m_surface = Frame(w, h);
    // The bars around the content area keep this colour in every frame: painting is
    // clipped to the content area.
    m_surface.fill(m_player->backgroundColor());
    m_viewport.playerWidth = m_geometry.playerWidth;
    m_viewport.playerHeight = m_geometry.playerHeight;
    m_viewport.originX = m_geometry.grabOriginX;
    m_viewport.originY = m_geometry.grabOriginY;
    m_viewport.clipX = (w - m_geometry.contentWidth) / 2;
    m_viewport.clipY = (h - m_geometry.contentHeight) / 2;
    m_viewport.clipWidth = m_geometry.contentWidth;
    m_viewport.clipHeight = m_geometry.contentHeight;
    if (!m_store && !m_sink) {
        Result<std::string> folder = frameFileFolder(m_settings);
        if (!folder)
            return fail(folder.message());
        m_store = std::make_unique<FrameStoreWriter>(*folder);
    }
    return true;
}

bool RecordingSession::captureFrame(bool isNewPicture) {
    const bool started = m_sink ? m_surface.byteSize() > 0 : m_store != nullptr;
    if (!started && !start())
        return false;
    const bool grab = isNewPicture || recordCount() < 1;
    if (grab) {
        if (m_paintMutex) {
            std::lock_guard lock(*m_paintMutex);
            m_player->paint(m_surface, m_viewport);
        } else {
            m_player->paint(m_surface, m_viewport);
        }
        if (m_filter)
            m_filter(m_surface);
    }
    if (m_sink) {
        if (!m_sink(m_surface, grab))
            return fail(m_sinkError ? m_sinkError() : "The frame could not be passed on.");
        ++m_sinkRecords;
        return true;
    }
    if (!m_store->appendFrame(m_surface, grab))
        return fail(m_store->errorString());
    return true;
}

bool RecordingSession::reportProgress(int index, int count) {
    if (m_stopRequested.load())
        return false;
    if (!m_progress)
        return true;
    RecordingProgress progress;
    progress.frameIndex = index;
    progress.frameCount = count;
    char text[64];
    std::snprintf(text, sizeof text, "%d/%d frames", index + 1, count);
    progress.text = text;
    if (m_progress(progress))
        return true;
    m_stopRequested.store(true);
    return false;
}

bool RecordingSession::runFrameByFrame() {
    m_stopRequested.store(false);
    if (Status fits = checkRecordingChoice(m_settings); !fits)
        return fail(fits.message());
    if (!start() || !openSound())
        return false;
    if (nothingToRecord(m_settings))
        return true;
    return recordsPlaying(m_settings) ? recordPlay() : recordTimeline();
}

bool RecordingSession::recordTimeline() {
    const TimelineRange range = timelineRange(m_settings);
    const int count = range.last - range.first + 1;
    m_player->restart();
    for (int i = 0; i <= range.last; ++i) {
        const bool recorded = i >= range.first;
        // The frames played before the range report as the wait for the first record, so a
        // long run-up can still be cancelled.
        if (!reportProgress(std::max(i - range.first, 0), count))
            break;
        // Every output frame is one tick of the whole movie, so scripts run and nested
        // clips play; the root is put back where its scripts would take it off frame i.
        if (i > 0)
            m_player->tick();
        m_player->forceFrame(i);
        if (recorded && (!captureFrame(true) || !recordSound()))
            return false;
    }
    return true;
}

bool RecordingSession::recordPlay() {
    const int limit = plannedRecordCount(m_settings);
    const float rate = m_settings.movieFrameRate > 0 ? m_settings.movieFrameRate : 12.0f;
    // One second of movie time, in ticks.
    const int restTicks = std::max(1, int(std::ceil(rate)));
    m_player->restart();
    uint64_t previous = 0;
    int still = 0;
    m_reachedPlayBound = false;
    for (int n = 0; n < limit; ++n) {
        if (!reportProgress(n, limit))
            break;
        m_reachedPlayBound = n + 1 == playBound(m_settings);
        if (n > 0)
            m_player->tick();
        // A video's end is latched as it rewinds: the picture now shown is its start again.
        if (m_player->isFlv() && m_player->atEnd()) {
            m_reachedPlayBound = false;
            break;
        }
        if (!captureFrame(true) || !recordSound())
            return false;
        // A video rests only at its end.
        if (m_player->isFlv())
            continue;
        // A one-frame root never moves on by itself, playing or not.
        const bool rootAtRest = m_player->atEnd() || m_player->movieLength() <= 1;
        const uint64_t signature = m_player->displaySignature();
        still = n > 0 && rootAtRest && signature == previous ? still + 1 : 0;
        previous = signature;
        if (still >= restTicks) {
            m_reachedPlayBound = false;
            break;
        }
    }
    return true;
}

bool RecordingSession::openSound() {
    if (m_settings.audioSource != AudioSource::RecordFromMovie ||
        m_settings.convertType == OutputType::ImageSeries || m_sound)
        return true;
    int rate = 44100, channels = 2;
    if (m_settings.convertType == OutputType::Avi) {
        const auto index = std::size_t(m_settings.aviAudioSampleRate);
        rate = index < kAviAudioSampleRates.size() ? kAviAudioSampleRates[index].value : 44100;
        channels = std::size_t(m_settings.aviAudioChannels) < kAviAudioChannels.size()
                       ? kAviAudioChannels[std::size_t(m_settings.aviAudioChannels)].value
                       : 2;
    } else if (m_settings.convertType == OutputType::VideoFile) {
        rate = 48000; // the rate AAC and Opus are coded at: no resampling
    } else if (m_settings.mpegSampleRate > 0) {
        rate = m_settings.mpegSampleRate;
    }
    // Without a WAV file the recording goes on, silent.
    Result<std::string> folder = frameFileFolder(m_settings);
    // The name is taken with the file, at once, so no other file is ever written over.
    Result<TempWaveFile> temp = folder ? createTempWaveFile(*folder)
                                       : Result<TempWaveFile>::failure(folder.message());
    if (!temp) {
        m_warnings.push_back("Failed to create the wave file! (" + temp.message() + ")");
        return true;
    }
    const std::string wavePath = temp->path;
    temp->file.reset();
    auto recorder = MovieSoundRecorder::create(wavePath, rate, channels);
    if (!recorder) {
        std::error_code ec;
        std::filesystem::remove(wavePath, ec);
        m_warnings.push_back("Failed to create the wave file! (" + recorder.message() + ")");
        return true;
    }
    m_sound = std::move(*recorder);
    m_soundPath = wavePath;
    return true;
}

bool RecordingSession::recordSound() {
    if (!m_sound)
        return true;
    if (!m_sound->append(m_player->takeFrameSound(0)))
        return fail(m_sound->errorString());
    return true;
}

bool RecordingSession::finish() {
    if (m_sound && !m_sound->finish())
        return fail(m_sound->errorString());
    if (m_store && !m_store->finish())
        return fail(m_store->errorString());
    return true;
}

std::vector<std::string> RecordingSession::fileList() const {
    return m_store ? m_store->fileList() : std::vector<std::string>{};
}

ConversionJob RecordingSession::makeJob(const std::string& recordedSoundPath) const {
    ConversionJob job;
    job.settings = m_settings;
    job.frameCount = recordCount();
    job.frameFiles = fileList();
    switch (m_settings.audioSource) {
    case AudioSource::RecordFromMovie:
        job.audioPath = recordedSoundPath;
        break;
    case AudioSource::ImportFile:
        job.audioPath = m_settings.audioFile;
        break;
    case AudioSource::None:
        break;
    }
    job.geometry = m_geometry;
    return job;
}

void RecordingSession::discardFrames() {
    if (m_store)
        m_store->finish();
    std::error_code ec;
    for (const auto& path : fileList())
        std::filesystem::remove(path, ec);
    if (!m_soundPath.empty())
        std::filesystem::remove(m_soundPath, ec);
}

} // namespace swivio
