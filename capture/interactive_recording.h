#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/frame.h"
#include "base/result.h"
#include "encode/conversion_job.h"
#include "settings/conversion_settings.h"
#include "source/movie_source.h"

namespace swivio {

// The cursor to draw into the recorded pictures: a picture (BGRA, straight alpha) whose hot
// spot sits at (x, y) in player coordinates (the player's top-left pixel is 0, 0).
struct CursorPicture {
    int x = 0;
    int y = 0;
    int hotX = 0;
    int hotY = 0;
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bgra; // width * height * 4
};

// Draws `cursor` into `frame` (a picture painted through `viewport`) at its position less
// its hot spot, blended by its alpha and clipped to the viewport's clip rectangle.
void drawCursor(Frame& frame, const SourceViewport& viewport, const CursorPicture& cursor);

// How an interactive recording went so far, read at any time from any thread.
struct InteractiveStats {
    int recordCount = 0;     // records in the frame store (pictures and repeats)
    int pictures = 0;        // records that are new pictures
    int repeatedTicks = 0;   // ticks the pacer served late, written as repeats
    int heldBackTicks = 0;   // ticks that took no picture because the sound was behind
    double soundSeconds = 0; // sound written to the WAV so far
};

// The interactive recording: the movie plays in real time in a player that a window (or the
// command line's clock) drives, while the frame pacer grabs its picture at the capture rate
// into the frame store and the sound capture records what the player's audio output plays
// into a temporary WAV file. Everything it made is handed to the encoding as a job, or
// removed on cancel.
//
// Threads: the player is shared with whoever drives it; every use of player() from another
// thread holds playerMutex(). The pacer's worker takes the same lock only to paint into a
// surface of its own, so it never waits on the window's thread.
class InteractiveRecording {
public:
    // `source` is the movie to record; without one, open() opens the settings' sourcePath.
    explicit InteractiveRecording(ConversionSettings settings,
                                  std::unique_ptr<MovieSource> source = nullptr);
    // Stops the pacer (its worker has ended before anything it uses is released), removes
    // the sound capture's hook, and cancels a recording that was neither finished nor
    // cancelled.
    ~InteractiveRecording();
    InteractiveRecording(const InteractiveRecording&) = delete;
    InteractiveRecording& operator=(const InteractiveRecording&) = delete;

    // Before the movie's audio output opens: installs the sound capture when the settings
    // record the movie's sound, computes the geometry, and opens the movie when no source
    // was given. Fails with kInvalidMovieMessage and the cause when the movie cannot be
    // opened (a missing movie is never recorded as background).
    Status open();

    // The player, halted on its first frame after open(). Its owner ticks it in real time
    // and writes its sound to an audio output (audio/audio_output.h), which the capture hears.
    MovieSource& player();
    std::mutex& playerMutex();

    // The capture rate: the output's frame rate (an MPEG rate within 0.001 of 29.97 counts
    // as 30), lowered to the movie's rate when that is not greater.
    double captureRate() const;

    // Record: creates the temporary WAV file (a new file, made atomically in the working
    // folder) when the sound is recorded, starts the pacer and the sound capture. The output
    // file is not touched. A WAV that cannot be made drops the movie's sound with a warning.
    Status start();
    void pause();
    void resume();
    bool isRecording() const;
    bool isPaused() const;

    // Where the mouse is over the player and what it looks like; nullopt when it is outside
    // the player. Drawn into each picture when the settings capture the cursor.
    void setCursor(std::optional<CursorPicture> cursor);

    InteractiveStats stats() const;

    // Stops the pacer (joining its worker) and the sound capture (the WAV completed, ending
    // at this call) and closes the frame store: the job for the encoding, which then owns
    // the temporary files. A recording of the movie's sound that got no WAV gives a job
    // without sound, and a warning says so. Fails, with every file removed, when a frame
    // could not be stored.
    Result<ConversionJob> finish();
    // Stops everything and removes every temporary file it made (frame files and WAV).
    void cancel();

    const std::vector<std::string>& warnings() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace swivio
