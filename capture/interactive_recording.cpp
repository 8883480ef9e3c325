#include "capture/interactive_recording.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "capture/frame_pacer.h"
#include "capture/recording_session.h"
#include "capture/sound_capture.h"
#include "capture/temp_wave_file.h"
#include "settings/conversion_settings.h"

namespace swivio {

namespace {

// The WAV's format: the AVI's chosen rate and channels; stereo at the MPEG rate; 48000
// stereo for a video file, whose sound codecs take that rate.
void waveFormat(const ConversionSettings& s, int& rate, int& channels) {
    rate = 44100;
    channels = 2;
    if (s.convertType == OutputType::Avi) {
        const auto index = std::size_t(s.aviAudioSampleRate);
        rate = index < kAviAudioSampleRates.size() ? kAviAudioSampleRates[index].value : 44100;
        const auto c = std::size_t(s.aviAudioChannels);
        channels = c < kAviAudioChannels.size() ? kAviAudioChannels[c].value : 2;
    } else if (s.convertType == OutputType::VideoFile) {
        rate = 48000;
    } else if (s.mpegSampleRate > 0) {
        rate = s.mpegSampleRate;
    }
}

bool recordsMovieSound(const ConversionSettings& s) {
    return s.audioSource == AudioSource::RecordFromMovie &&
           s.convertType != OutputType::ImageSeries;
}

} // namespace

void drawCursor(Frame& frame, const SourceViewport& viewport, const CursorPicture& cursor) {
    if (cursor.width <= 0 || cursor.height <= 0 ||
        cursor.bgra.size() < std::size_t(cursor.width) * std::size_t(cursor.height) * 4)
        return;
    // The cursor's top-left pixel in the frame: player pixel (px, py) lands at
    // (px - originX, py - originY).
    const int64_t left = int64_t(cursor.x) - cursor.hotX - viewport.originX;
    const int64_t top = int64_t(cursor.y) - cursor.hotY - viewport.originY;
    const int64_t clipLeft = std::max(viewport.clipX, 0);
    const int64_t clipTop = std::max(viewport.clipY, 0);
    const int64_t clipRight =
        std::min<int64_t>(int64_t(viewport.clipX) + viewport.clipWidth, frame.width());
    const int64_t clipBottom =
        std::min<int64_t>(int64_t(viewport.clipY) + viewport.clipHeight, frame.height());
    const int64_t x0 = std::max(left, clipLeft);
    const int64_t x1 = std::min(left + cursor.width, clipRight);
    const int64_t y0 = std::max(top, clipTop);
    const int64_t y1 = std::min(top + cursor.height, clipBottom);
    for (int64_t y = y0; y < y1; ++y) {
        uint8_t* row = frame.topRow(int(y));
        const uint8_t* src =
            cursor.bgra.data() + (std::size_t(y - top) * std::size_t(cursor.width)) * 4;
        for (int64_t x = x0; x < x1; ++x) {
            const uint8_t* s = src + std::size_t(x - left) * 4;
            uint8_t* d = row + std::size_t(x) * 3;
            const unsigned a = s[3];
            for (int c = 0; c < 3; ++c)
                d[c] = uint8_t((s[c] * a + d[c] * (255 - a) + 127) / 255);
        }
    }
}

struct InteractiveRecording::State {
    ConversionSettings settings;
    std::unique_ptr<MovieSource> givenSource;
    std::mutex playerMutex;
    std::unique_ptr<RecordingSession> session;
    std::unique_ptr<SoundCapture> sound;
    std::unique_ptr<FramePacer> pacer;
    std::string wavePath;
    bool soundRecorded = false; // a WAV was made and recorded into
    std::mutex cursorMutex;
    std::optional<CursorPicture> cursor;
    std::vector<std::string> warnings;
    bool opened = false;
    bool started = false;
    bool ended = false; // finished or cancelled
    std::atomic<bool> paused{false};

    void stopAll() {
        // The sound ends when the recording was asked to end, however long the pacer's
        // last capture keeps it.
        const auto end = audio::steadyPacingClock().now();
        if (pacer)
            pacer->stop();
        if (sound) {
            const Status stopped = sound->stop(end);
            if (!stopped && soundRecorded)
                warnings.push_back(stopped.message());
        }
    }
    void removeFiles() {
        if (session)
            session->discardFrames();
        std::error_code ec;
        if (!wavePath.empty())
            std::filesystem::remove(wavePath, ec);
        wavePath.clear();
    }
};

InteractiveRecording::InteractiveRecording(ConversionSettings settings,
                                           std::unique_ptr<MovieSource> source)
    : m_state(std::make_unique<State>()) {
    m_state->settings = std::move(settings);
    m_state->givenSource = std::move(source);
}

InteractiveRecording::~InteractiveRecording() {
    State& s = *m_state;
    // The worker ends before the frame store and the surface it uses go, and the hook is
    // removed before the capture is freed.
    if (s.pacer)
        s.pacer->stop();
    if (!s.ended)
        cancel();
    s.pacer.reset();
    s.sound.reset();
}

Status InteractiveRecording::open() {
    State& s = *m_state;
    if (s.opened)
        return {};
    // The capture must hear the player's output open, so it exists before the movie.
    if (recordsMovieSound(s.settings))
        s.sound = std::make_unique<SoundCapture>();
    std::unique_ptr<MovieSource> source = std::move(s.givenSource);
    if (!source) {
        auto opened = openMovieSource(s.settings.sourcePath);
        if (!opened) {
            s.sound.reset();
            return Status::failure(opened.message());
        }
        source = std::move(*opened);
    }
    s.session = std::make_unique<RecordingSession>(s.settings, std::move(source));
    if (!s.session->open()) {
        const std::string message = s.session->errorString();
        s.session.reset();
        s.sound.reset();
        return Status::failure(message);
    }
    s.session->setPaintLock(&s.playerMutex);
    if (s.settings.captureCursor) {
        State* state = m_state.get();
        s.session->setPictureFilter([state](Frame& frame) {
            std::lock_guard lock(state->cursorMutex);
            if (state->cursor)
                drawCursor(frame, state->session->viewport(), *state->cursor);
        });
    }
    s.opened = true;
    return {};
}

MovieSource& InteractiveRecording::player() {
    return m_state->session->player();
}

std::mutex& InteractiveRecording::playerMutex() {
    return m_state->playerMutex;
}

double InteractiveRecording::captureRate() const {
    const ConversionSettings& s = m_state->settings;
    double rate = 0;
    switch (s.convertType) {
    case OutputType::Avi:
    case OutputType::VideoFile:
        rate = s.aviFrameRate;
        break;
    case OutputType::Mpeg:
        rate = std::fabs(s.mpegFrameRate - 29.97) < 0.001 ? 30.0 : s.mpegFrameRate;
        break;
    case OutputType::ImageSeries:
        rate = s.imageFrameRate;
        break;
    }
    if (s.movieFrameRate > 0 && (rate <= 0 || s.movieFrameRate <= rate))
        rate = s.movieFrameRate;
    return rate > 0 ? rate : 12.0;
}

Status InteractiveRecording::start() {
    State& s = *m_state;
    if (!s.opened)
        return Status::failure("The movie is not open.");
    if (s.started || s.ended)
        return Status::failure("The recording has started already.");
    if (!s.session->start())
        return Status::failure(s.session->errorString());
    if (s.sound) {
        int rate = 44100, channels = 2;
        waveFormat(s.settings, rate, channels);
        Result<std::string> folder = frameFileFolder(s.settings);
        Result<TempWaveFile> wave =
            folder ? createTempWaveFile(*folder) : Result<TempWaveFile>::failure(folder.message());
        Status opened = wave ? Status() : Status::failure(wave.message());
        if (wave) {
            s.wavePath = wave->path;
            opened = s.sound->openWaveFile(std::move(wave->file), wave->path, rate, channels);
        }
        if (!opened) {
            // The recording goes on silent; the capture goes at once.
            s.warnings.push_back("Failed to create the wave file! (" + opened.message() + ")");
            s.sound.reset();
            std::error_code ec;
            if (!s.wavePath.empty())
                std::filesystem::remove(s.wavePath, ec);
            s.wavePath.clear();
        }
    }
    s.pacer = std::make_unique<FramePacer>();
    RecordingSession* session = s.session.get();
    FramePacer::SoundPosition soundPosition;
    if (s.sound) {
        SoundCapture* sound = s.sound.get();
        soundPosition = [sound] { return sound->soundMs(); };
    }
    s.started = true;
    s.pacer->start(
        1000.0 / captureRate(),
        [session](bool isNewPicture) { return session->captureFrame(isNewPicture); },
        std::move(soundPosition));
    if (s.sound)
        s.soundRecorded = s.sound->start();
    return {};
}

void InteractiveRecording::pause() {
    State& s = *m_state;
    if (!s.started || s.ended || s.paused.exchange(true))
        return;
    s.pacer->pause();
    if (s.sound)
        s.sound->pause();
}

void InteractiveRecording::resume() {
    State& s = *m_state;
    if (!s.started || s.ended || !s.paused.exchange(false))
        return;
    if (s.sound)
        s.sound->resume();
    s.pacer->resume();
}

bool InteractiveRecording::isRecording() const {
    return m_state->started && !m_state->ended;
}

bool InteractiveRecording::isPaused() const {
    return isRecording() && m_state->paused.load();
}

void InteractiveRecording::setCursor(std::optional<CursorPicture> cursor) {
    std::lock_guard lock(m_state->cursorMutex);
    m_state->cursor = std::move(cursor);
}

InteractiveStats InteractiveRecording::stats() const {
    const State& s = *m_state;
    InteractiveStats stats;
    if (s.pacer) {
        stats.recordCount = s.pacer->records();
        stats.pictures = s.pacer->pictures();
        stats.repeatedTicks = s.pacer->repeats();
        stats.heldBackTicks = s.pacer->heldBack();
    }
    if (s.sound)
        stats.soundSeconds = s.sound->writtenMs() / 1000.0;
    return stats;
}

Result<ConversionJob> InteractiveRecording::finish() {
    State& s = *m_state;
    if (!s.started || s.ended)
        return Result<ConversionJob>::failure("The recording has not started.");
    s.stopAll();
    s.ended = true;
    const bool captured = !s.pacer->failed();
    const bool closed = s.session->finish();
    if (!captured || !closed) {
        const std::string message = "Recording failed: " + s.session->errorString();
        s.removeFiles();
        return Result<ConversionJob>::failure(message);
    }
    ConversionJob job = s.session->makeJob(s.soundRecorded ? s.wavePath : std::string());
    // The records were taken at the capture rate, not at the movie's: the encoding repeats
    // or drops from that rate, or a recording below the movie's rate would come out short.
    job.settings.movieFrameRate = float(captureRate());
    if (job.settings.audioSource == AudioSource::RecordFromMovie && job.audioPath.empty()) {
        // Without a WAV the output has no sound rather than a missing file.
        job.settings.audioSource = AudioSource::None;
        s.warnings.push_back("The movie's sound could not be recorded: the output has no sound.");
        std::error_code ec;
        if (!s.wavePath.empty())
            std::filesystem::remove(s.wavePath, ec);
    }
    s.wavePath.clear();
    return job;
}

void InteractiveRecording::cancel() {
    State& s = *m_state;
    if (s.ended)
        return;
    s.stopAll();
    s.ended = true;
    s.removeFiles();
}

const std::vector<std::string>& InteractiveRecording::warnings() const {
    return m_state->warnings;
}

} // namespace swivio
