#pragma once

#include <string>

#include "base/result.h"
#include "settings/conversion_settings.h"

// The main window's rules, kept out of the widgets so that they can be checked alone.
namespace swivio::app {

// The five values of the export summary, in the order the window shows them.
struct ExportSummary {
    std::string type;
    std::string videoCodec;
    std::string audioCodec;
    std::string movieSize;
    std::string frameRate;
};
ExportSummary exportSummary(const ConversionSettings& settings);

// "%d x %d".
std::string sizeText(int width, int height);
// "%.2f".
std::string rateText(double rate);
// The caption of the third movie property: seconds for an FLV video, frames for an SWF.
std::string lengthCaption(bool isFlv);
// "%d " (the number with one trailing blank).
std::string lengthText(int length);
// "%d/%d seconds" or "%d/%d frames".
std::string positionText(bool isFlv, int position, int length);

// The seek slider counts frames from 1 (SWF) or seconds from 0 (FLV).
struct SliderRange {
    int minimum = 0;
    int maximum = 0;
};
SliderRange sliderRange(bool isFlv, int length);
// The player's seek position for a slider value: the player counts SWF frames from 0.
int seekPositionForSlider(bool isFlv, int sliderValue);

// Which controls a state of the window enables.
struct ControlStates {
    bool play = false;
    bool pause = false;
    bool stop = false;
    bool slider = false;
    bool settings = false;
    bool convert = false;
};
ControlStates controlStates(bool movieOpen, bool playing);

// Refused before a movie replaces the open one: a movie without a picture.
bool isUsableMovie(int width, int height);

// The message shown when the video compressor the settings name is not installed.
inline constexpr char kCompressorMissingMessage[] =
    "The video compressor chosen in the settings is not installed!";

// What Convert checks before anything is recorded, so that a recording is never wasted on
// something that can only fail at its end; fails with the text to show.
Status checkBeforeRecording(const ConversionSettings& settings);

// Whether Convert must ask before recording uncompressed AVI video.
bool needsUncompressedQuestion(const ConversionSettings& settings);

} // namespace swivio::app
