#pragma once

#include <string>
#include <vector>

#include "crop/frame_geometry.h"
#include "settings/conversion_settings.h"

namespace swivio {

// What a finished recording hands to the encoding phase.
struct ConversionJob {
    ConversionSettings settings;
    // Frame records written by the recording (pictures and repeat records alike).
    int frameCount = 0;
    // The frame store's files in creation order; all are deleted when the encoding ends.
    std::vector<std::string> frameFiles;
    // The sound to add: the recorded WAV file (audioSource RecordFromMovie, deleted when the
    // encoding ends), the imported file (ImportFile, never deleted), or empty (None).
    std::string audioPath;
    FrameGeometry geometry;
};

} // namespace swivio
