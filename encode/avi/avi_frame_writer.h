#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/result.h"
#include "encode/avi/avi_sound.h"
#include "encode/frame_writer.h"

namespace swivio {

// The sound of an AVI output. An empty path means no sound.
struct AviSoundOptions {
    std::string path;
    AviSoundMode mode = AviSoundMode::Pcm;
    int bitRate = 128000; // bits per second, for AviSoundMode::Mp3Encode
    // Each frame takes its own share of the samples (the movie's recorded sound, as long as
    // the video), rather than a fixed chunk.
    bool exactPace = false;
};

// Opens an AVI output for the conversion driver (the AVI writer behind the FrameWriter
// interface) for width x height frames at frameRate with the compressor of fourCC
// (0 = uncompressed) at `quality` (1 to 100; 0: the compressor's usual setting), then adds
// the sound. The file is written beside `path` (an OutputFile) and renamed over it by a
// successful finish(); until then a file at `path` is untouched, and abandon() or a failed
// finish() leaves it so. A `path` that is not a regular file (a folder, a device, a FIFO) is
// refused; a symbolic link's target file gets the output.
//
// Fails when the file cannot be opened, with the message for the user (one of the writer's
// texts, or a description when the failure has no text of its own; a destination that
// cannot be written gives "Failed to create the AVI file!" followed by the reason). A sound that cannot be
// added does not stop the output: the file is written without sound and the result carries
// one warning, the user's message when there is one (the MP3 reader's texts, "Can't create
// audio stream!"), else a description.
//
// writeFrame ignores the index (frames arrive in order); finish() completes the file.
Result<std::unique_ptr<FrameWriter>> openAviOutput(const std::string& path, int width, int height,
                                                   double frameRate, uint32_t fourCC,
                                                   const AviSoundOptions& sound, int quality = 0);

} // namespace swivio
