#include "capture/recording_session.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "base/temp_file.h"

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
    if (!m_store) {
        Result<std::string> folder = frameFileFolder(m_settings);
        if (!folder)
            return fail(folder.message());
        m_store = std::make_unique<FrameStoreWriter>(*folder);
    }
    return true;
}

bool RecordingSession::captureFrame(bool isNewPicture) {
    if (!m_store && !start())
        return false;
    const bool grab = isNewPicture || m_store->recordCount() < 1;
    if (grab) {
        m_player->paint(m_surface, m_viewport);
    }
    if (!m_store->appendFrame(m_surface, grab))
        return fail(m_store->errorString());
    return true;
}

bool RecordingSession::runFrameByFrame() {
    m_stopRequested.store(false);
    if (!start())
        return false;
    const int length = m_settings.movieLength;
    for (int i = 0; i < length && !m_stopRequested.load(); ++i) {
        if (m_progress) {
            RecordingProgress progress;
            progress.frameIndex = i;
            progress.frameCount = length;
            char text[64];
            std::snprintf(text, sizeof text, "%d/%d frames", i + 1, length);
            progress.text = text;
            if (!m_progress(progress)) {
                m_stopRequested.store(true);
                break;
            }
        }
        // Seeking alone would leave nested clips frozen on the frame they showed when
        // placed, which is not what the movie looks like when it plays. So the first frame
        // is a seek and every later one a full tick of the movie (every clip advances,
        // the root stays halted) followed by the seek of the root to frame i.
        if (i > 0)
            m_player->tick();
        m_player->gotoFrame(i);
        if (!captureFrame(true))
            return false;
    }
    return true;
}

bool RecordingSession::finish() {
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
}

} // namespace swivio
