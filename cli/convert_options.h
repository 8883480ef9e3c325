#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/result.h"
#include "cli/overwrite_question.h"
#include "settings/conversion_settings.h"
#include "settings/settings_checks.h"
#include "source/user_input.h"

namespace swivio {
class PictureImage;
} // namespace swivio

namespace swivio::cli {

// What `swivio-cli convert` was asked for, parsed and checked for form; nothing here knows
// the movie yet. Unset options keep the settings' own values.
struct ConvertOptions {
    std::string movie;               // the first movie named
    std::vector<std::string> movies; // every movie or folder named, in order
    bool listCodecs = false;
    bool help = false;
    OverwriteChoice overwrite = OverwriteChoice::Ask; // -y, -n

    std::optional<std::string> output;
    std::optional<OutputType> type;
    std::optional<std::string> codec;
    std::optional<int> quality; // AVI or video file quality, 1 to 100
    std::optional<std::array<int, 2>> size;
    bool keepAspect = false;
    std::optional<float> rate;
    bool rateOriginal = false;
    std::optional<std::array<int, 4>> crop;
    std::optional<ImageType> imageType;
    std::optional<int> jpegQuality;
    std::optional<bool> dither;
    std::optional<GifPalette> gifPalette;
    std::optional<MpegType> mpegType;
    std::optional<VideoContainer> container; // --type mp4|mkv|webm, or the output's name
    std::optional<VideoCodec> videoCodec;
    std::optional<VideoSpeed> preset;
    std::optional<VideoFrameSize> hd;
    std::optional<VideoSound> audioCodec;
    std::optional<std::string> audio; // "movie", "none" or a file to import
    // Whether the movie has sound of its own: without --audio its sound is then recorded.
    bool movieHasSound = false;
    std::optional<int> audioFormat;   // index into the AVI audio formats
    std::optional<int> audioChannels; // index into the channel list
    std::optional<int> audioRate;     // index into the sample-rate list
    std::optional<int> audioBitrate;  // index into the bit-rate list
    std::optional<std::string> watermark;
    std::optional<std::array<int, 4>> watermarkRect;
    std::optional<uint32_t> watermarkKey; // 0x00BBGGRR
    std::optional<int> watermarkOpacity;  // 0..255
    std::optional<std::string> workDir;
    bool play = false;                            // --play: record as the movie plays
    std::optional<std::array<int, 2>> frameRange; // --frames A-B: root frames, 1-based
    std::optional<int> frameLimit;                // --frames N: output frames (--play)
    std::optional<double> duration;               // --duration SECONDS (--play)
    std::vector<TimedInput> scriptedInput;        // --click X,Y@T, --key NAME@T

    // Several movies, folders of them, or --output-dir: each movie converts in a process of
    // its own (cli/batch_convert.h).
    std::optional<std::string> outputDir; // --output-dir DIR
    bool recursive = false;               // --recursive: the sub-folders of folders too
    std::optional<int> jobs;              // -j N: movies converted at once
    bool json = false;                    // --json: one JSON object per movie
    std::optional<double> timeout;        // --timeout SECONDS: per movie
    // Every option as given, each with its value ("--size", "640x480"), for the processes
    // that convert one movie each.
    std::vector<std::vector<std::string>> movieArguments;

    bool isBatch() const { return outputDir || movies.size() > 1; }
};

// Parses the arguments after "convert". Fails with a message naming the bad argument.
Result<ConvertOptions> parseConvertOptions(int argc, char** argv);

// The help text of the convert command.
const char* convertUsage();

// Fills `settings` (already reset for the opened movie) from the options through the same
// checks and choices the settings sheet uses, then applies the rules that tie the options
// together. `watermark` receives the loaded watermark picture, if any. Fails with the
// message to print.
Status applyConvertOptions(const ConvertOptions& options, ConversionSettings& settings,
                           std::shared_ptr<PictureImage>& watermark);

} // namespace swivio::cli
