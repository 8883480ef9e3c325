#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/frame.h"
#include "base/result.h"
#include "capture/frame_store.h"
#include "capture/movie_sound_recorder.h"
#include "encode/conversion_job.h"
#include "crop/frame_geometry.h"
#include "settings/conversion_settings.h"
#include "source/movie_source.h"

namespace swivio {

// The folder for a recording's frame files: the settings' working folder (tempPath) when
// a file can be created there. A working folder chosen automatically (tempPathIndex 0, the
// output's folder) that cannot take one gives way to $TMPDIR, else /tmp; one the user chose
// does not. Fails, naming the folder and the cause, when no folder can take a file.
Result<std::string> frameFileFolder(const ConversionSettings& settings);

// The longest play-mode recording, in seconds of movie time: a movie that never comes to
// rest stops there.
inline constexpr int kPlayMaxSeconds = 600;

// Whether the settings' recording choice fits their movie: a timeline range inside the
// movie's frames, first before last; a play limit not negative. Fails saying what is wrong.
Status checkRecordingChoice(const ConversionSettings& settings);

// How many output frames the recording makes at most: the timeline range's length, or the
// play limit within the play bound (kPlayMaxSeconds at the movie's rate).
int plannedRecordCount(const ConversionSettings& settings);

// One report of the frame-by-frame loop, before record `frameIndex` is made (repeated for
// each frame a timeline range plays before its first record).
struct RecordingProgress {
    int frameIndex = 0;  // 0-based, counting records
    int frameCount = 0;  // plannedRecordCount (play mode may end sooner)
    std::string text;    // "%d/%d frames" with frameIndex + 1 and the frame count
};

// Returning false asks the loop to stop before this frame, as requestStop() does.
using RecordingProgressCallback = std::function<bool(const RecordingProgress&)>;

// The recording phase without its window: plays the movie in a source of its own (given, or
// opened from the settings' movie) sized by the frame geometry, grabs each frame into the W x H 24-bit surface (the movie's
// background colour in the bars, drawing clipped to the centred content area and offset by
// the grab origin) and appends it to the frame store. A window or the command line drives
// it; the surface and the block buffer are made once per recording.
class RecordingSession {
public:
    // `source` is the movie to record, on its first frame; without one, open() opens the
    // settings' sourcePath.
    explicit RecordingSession(ConversionSettings settings,
                              std::unique_ptr<MovieSource> source = nullptr);
    ~RecordingSession();
    RecordingSession(const RecordingSession&) = delete;
    RecordingSession& operator=(const RecordingSession&) = delete;

    // Computes the geometry and, without a source, opens the movie. False, with
    // errorString(), when the movie cannot be opened or the frame size is empty.
    bool open();

    // Starts recording: creates the drawing surface and fills it with the movie's
    // background colour. Called by run() for frame-by-frame recording.
    bool start();

    // Appends one record: a picture grabbed now when `isNewPicture` is set or nothing has
    // been recorded yet, otherwise a repeat of the previous picture. False when the frame
    // store cannot write (errorString()).
    bool captureFrame(bool isNewPicture);

    // Frame by frame, as settings.recordingMode says (see RecordingMode). Timeline: the
    // movie restarts and every tick of it up to the range's last root frame is played,
    // those in the range recorded, each showing its own root frame. Play: the movie
    // restarts and plays, a record per tick, until the play limit, the play bound, or one
    // second of movie time at rest (the root halted on its last frame, or a one-frame root,
    // and the picture unchanged). A movie length of 0 records nothing. Ends early,
    // successfully, when a stop is requested; fails when the frame store fails or the
    // recording choice does not fit the movie.
    bool runFrameByFrame();

    // May be called from any thread; the loop stops before its next frame.
    void requestStop() { m_stopRequested.store(true); }
    bool stopRequested() const { return m_stopRequested.load(); }
    void setProgressCallback(RecordingProgressCallback callback) {
        m_progress = std::move(callback);
    }

    // Sends every record to `sink` instead of the frame store (an encoder taking the frames
    // as they are recorded). A sink that returns false fails the recording with `sinkError`.
    // Set before recording starts.
    using RecordSink = std::function<bool(const Frame& picture, bool isNewPicture)>;
    void setRecordSink(RecordSink sink, std::function<std::string()> sinkError) {
        m_sink = std::move(sink);
        m_sinkError = std::move(sinkError);
    }

    // Closes the current frame file; false when data could not be written.
    bool finish();

    // Interactive recording: the player is shared with the thread that drives it, so
    // painting holds `mutex` (not owned; null: no lock), and only for the paint. `filter`
    // then sees each grabbed picture before it is stored (the cursor drawn in).
    void setPaintLock(std::mutex* mutex) { m_paintMutex = mutex; }
    void setPictureFilter(std::function<void(Frame&)> filter) { m_filter = std::move(filter); }
    // Where painting lands in the surface: the clip rectangle and the grab origin.
    const SourceViewport& viewport() const { return m_viewport; }

    const FrameGeometry& geometry() const { return m_geometry; }
    const ConversionSettings& settings() const { return m_settings; }
    MovieSource& player() { return *m_player; }
    const Frame& surface() const { return m_surface; }
    int recordCount() const {
        return m_sink ? m_sinkRecords : m_store ? m_store->recordCount() : 0;
    }
    std::vector<std::string> fileList() const;
    const std::string& errorString() const { return m_error; }
    // True when a play recording ran to the play bound: the movie never came to rest and
    // no smaller limit was set.
    bool reachedPlayBound() const { return m_reachedPlayBound; }

    // What the encoding phase needs after a successful recording. `recordedSoundPath` is
    // the WAV file recorded from the movie, if any.
    ConversionJob makeJob(const std::string& recordedSoundPath = {}) const;

    // The WAV file of the movie's own sound, recorded frame by frame when the settings take
    // the sound from the movie (empty otherwise, or when it could not be written).
    const std::string& recordedSoundPath() const { return m_soundPath; }
    // What the recording went on without (a sound file that could not be made).
    const std::vector<std::string>& warnings() const { return m_warnings; }
    // Deletes every frame file written so far (a recording that will not be encoded).
    void discardFrames();

private:
    bool fail(std::string message);
    // False when the loop should stop before record `index` of `count`.
    bool reportProgress(int index, int count);
    bool recordTimeline();
    bool recordPlay();
    // Opens the WAV file for the movie's sound when the settings want it.
    bool openSound();
    // The sound of the frame just recorded.
    bool recordSound();

    ConversionSettings m_settings;
    FrameGeometry m_geometry;
    std::unique_ptr<MovieSource> m_player;
    std::unique_ptr<FrameStoreWriter> m_store;
    RecordSink m_sink;
    std::function<std::string()> m_sinkError;
    int m_sinkRecords = 0;
    Frame m_surface;
    SourceViewport m_viewport;
    std::atomic<bool> m_stopRequested{false};
    RecordingProgressCallback m_progress;
    std::string m_error;
    bool m_reachedPlayBound = false;
    std::unique_ptr<MovieSoundRecorder> m_sound;
    std::string m_soundPath;
    std::vector<std::string> m_warnings;
    std::mutex* m_paintMutex = nullptr;
    std::function<void(Frame&)> m_filter;
};

} // namespace swivio
