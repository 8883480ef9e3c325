#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "encode/avi/avi_sound.h"
#include "encode/frame_writer.h"

namespace swivio {

// The sound of an AVI output. An empty path means no sound.
struct AviSoundOptions {
    std::string path;
    AviSoundMode mode = AviSoundMode::Pcm;
    int bitRate = 128000; // bits per second, for AviSoundMode::Mp3Encode
};

// Opens an AVI output for the conversion driver (the AVI writer behind the FrameWriter
// interface): deletes `path` if it exists, creates it for width x height frames at
// frameRate with the compressor of fourCC (0 = uncompressed), then adds the sound.
//
// Returns null when the file cannot be opened; `error` then holds the message for the user
// (one of the writer's texts, or a description when the failure has no text of its own).
// A sound that cannot be added does not stop the output: the file is written without sound
// and `soundError` (when given) holds the reason: the user's message when there is one
// (the MP3 reader's texts, "Can't create audio stream!"), else a description.
//
// writeFrame ignores the index (frames arrive in order); finish() completes the file.
std::unique_ptr<FrameWriter> openAviOutput(const std::string& path, int width, int height,
                                           double frameRate, uint32_t fourCC,
                                           const AviSoundOptions& sound, std::string* error,
                                           std::string* soundError = nullptr);

} // namespace swivio
