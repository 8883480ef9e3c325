#pragma once

#include <cstdint>
#include <string>

#include "base/result.h"
#include "clib/c_handle.h"

namespace swivio {

// Header facts of an MP3 file, taken from its first frame. All zero before parsing.
struct Mp3FileInfo {
    int32_t sampleRate = 0;  // Hz
    int32_t bitRate = 0;     // kbit/s; 0 for a free-format file
    int32_t versionBits = 0; // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5, 1 reserved
    int32_t layerBits = 0;   // 3 Layer I, 2 Layer II, 1 Layer III, 0 reserved
    int32_t channels = 0;    // 1 or 2
    int32_t frameLength = 0; // bytes of the first frame (Layer III rule)
};

// The messages openMp3File gives, for callers that tell them apart.
inline constexpr const char* kMp3OpenFailed = "Failed to open the mp3 file!";
inline constexpr const char* kMp3TagUnreadable = "Failed to read the mp3 tag!";
inline constexpr const char* kMp3NoFrame = "No frame is found, wrong mp3 file format!";
inline constexpr const char* kMp3VbrRefused = "Mp3 with VBR is not supported for AVI!";

// Decodes a frame header given as the big-endian value of its four bytes. The bit-rate
// index 15 is not judged here.
Mp3FileInfo parseMp3FrameHeader(uint32_t header);

// An MP3 file opened by openMp3File.
struct OpenedMp3 {
    clib::File file;  // positioned at the first frame
    Mp3FileInfo info; // from the first frame's header
};

// Opens an MP3 file for copying its frames unchanged: skips a leading ID3v2 tag, finds the
// first frame sync, refuses a first frame that carries a Xing VBR header (the AVI sound is
// declared with one constant bit rate), and reads that frame's header. On failure the file
// is closed and the message is one of the texts above.
Result<OpenedMp3> openMp3File(const std::string& path);

} // namespace swivio
