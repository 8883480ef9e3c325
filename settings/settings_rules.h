#pragma once

#include <cstdint>
#include <string>

#include "settings/conversion_settings.h"

namespace swivio {

// What the player host reports about a movie it has opened.
struct MovieProperties {
    bool isFlv = false;
    int32_t width = 0;
    int32_t height = 0;
    float frameRate = 0;
    int32_t length = 0; // frames of an SWF movie, whole seconds of an FLV video
};

// The folder part of a '/'-separated path: the text before its last '/'. The root keeps its
// slash ("/m.swf" gives "/"); a bare file name gives "." (the current folder).
std::string folderOf(const std::string& path);

// The path with the extension of its file name replaced: the text after the last '.' of the
// file name (a '.' in a folder name does not count). A name without '.' gets one appended.
// `extension` is given without its dot ("avi", "mpg").
std::string replaceExtension(const std::string& path, const std::string& extension);

// True when the path's file name ends in ".flv", compared without regard to case.
bool isFlvPath(const std::string& path);

// Writes mpegWidth, mpegHeight, mpegFrameRate and mpegSampleRate from MpegPresetTable.
// An mpegType outside the table leaves the four fields unchanged (loadSettings never
// produces one).
void applyMpegPreset(ConversionSettings& settings);

// After a movie has been opened: fills the movie fields and rebuilds every movie-dependent
// field (output name, frame sizes and rates, crop rectangle, watermark choice), so that
// nothing carries over from the previous movie; the persisted choices stay. An FLV video is
// always recorded interactively. With image-series output the output file keeps its value.
void resetForMovie(ConversionSettings& settings, const std::string& path,
                   const MovieProperties& movie);

// The rules that tie the options together, applied when the settings are confirmed (the
// settings sheet's OK, and the command line before it converts):
//  - an FLV source is recorded interactively;
//  - frame-by-frame recording cannot record the movie's sound: RecordFromMovie becomes None;
//  - with tempPathIndex 0 the working folder is the output's folder: the output file's
//    for AVI and MPEG, the output folder for pictures (the recording falls back to the
//    system's temporary folder when no file can be created there);
//  - MPEG output takes its frame size, rate and sample rate from the preset;
//  - the video file's codec and sound fit its container (fitVideoFileChoices).
void applySettingsRules(ConversionSettings& settings);

} // namespace swivio
