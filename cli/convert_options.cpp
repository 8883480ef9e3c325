#include "cli/convert_options.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>

#include "capture/recording_session.h"
#include "cli/arguments.h"
#include "cli/input_options.h"
#include "crop/watermark_rules.h"
#include "encode/output_choices.h"
#include "settings/settings_checks.h"
#include "settings/settings_rules.h"
#include "settings/video_file_rules.h"

namespace swivio::cli {

namespace {

Status badValue(const std::string& option, const std::string& value, const char* expected) {
    return Status::failure("Invalid value '" + value + "' for " + option + " (expected " +
                           expected + ").");
}

using OptionSetter = std::function<Status(ConvertOptions&, const std::string& option,
                                          const std::string& value)>;
using Options = ConvertOptions;

// An option whose value is stored as given.
OptionSetter text(std::optional<std::string> Options::*field) {
    return [field](Options& o, const std::string&, const std::string& v) {
        o.*field = v;
        return Status();
    };
}

// An option whose value `parse` reads; `expected` says what it takes when it cannot.
template <typename T, typename Parse>
OptionSetter parsed(std::optional<T> Options::*field, Parse parse, const char* expected) {
    return [=](Options& o, const std::string& option, const std::string& v) {
        std::optional<T> value = parse(v);
        if (!value)
            return badValue(option, v, expected);
        o.*field = value;
        return Status();
    };
}

// A choice among names, stored as its index or its enumeration.
template <typename T, std::size_t N>
OptionSetter named(std::optional<T> Options::*field, const std::array<const char*, N>& names,
                   const char* expected) {
    return parsed(
        field,
        [&names](const std::string& v) -> std::optional<T> {
            const auto i = parseName(v, names);
            return i ? std::optional<T>(T(*i)) : std::nullopt;
        },
        expected);
}

template <std::size_t N>
std::array<const char*, N> namesOf(const std::array<AviAudioOption, N>& table) {
    std::array<const char*, N> names{};
    for (std::size_t i = 0; i < N; ++i)
        names[i] = table[i].text;
    return names;
}

std::optional<int> parseQuality(const std::string& v) {
    return parseInteger(v, kJpegQualityMin, kJpegQualityMax);
}
std::optional<int> parseVideoQuality(const std::string& v) {
    return parseInteger(v, 1, kAviQualityMax);
}
std::optional<int> parseOpacity(const std::string& v) { return parseInteger(v, 0, 255); }
std::optional<std::array<int, 4>> parseMarkRect(const std::string& v) {
    auto r = parseRect(v);
    return r && (*r)[2] > 0 && (*r)[3] > 0 ? r : std::nullopt;
}

Status parseRate(Options& o, const std::string&, const std::string& v) {
    char* end = nullptr;
    const double r = std::strtod(v.c_str(), &end);
    if (v == "original")
        o.rateOriginal = true;
    else if (v.empty() || *end != '\0' || !(r > 0) || !std::isfinite(r) || r > 1000)
        return Status::failure(kInvalidFrameRateMessage);
    else
        o.rate = float(r);
    return {};
}

// --frames: "A-B" (a range of root frames, 1-based) or "N" (a number of output frames).
Status parseFrames(Options& o, const std::string& option, const std::string& v) {
    constexpr int kMost = 100000000;
    const auto dash = v.find('-');
    if (dash == std::string::npos) {
        o.frameLimit = parseInteger(v, 1, kMost);
        o.frameRange.reset();
        if (!o.frameLimit)
            return badValue(option, v, "A-B or N, frames counted from 1");
        return {};
    }
    const auto first = parseInteger(v.substr(0, dash), 1, kMost);
    const auto last = parseInteger(v.substr(dash + 1), 1, kMost);
    if (!first || !last || *first > *last)
        return badValue(option, v, "A-B with 1 <= A <= B, or N");
    o.frameRange = std::array<int, 2>{*first, *last};
    o.frameLimit.reset();
    return {};
}

Status parseDuration(Options& o, const std::string& option, const std::string& v) {
    char* end = nullptr;
    const double seconds = std::strtod(v.c_str(), &end);
    if (v.empty() || *end != '\0' || !(seconds > 0) || !std::isfinite(seconds))
        return badValue(option, v, "a number of seconds above 0");
    o.duration = seconds;
    return {};
}

Status parseTimeout(Options& o, const std::string& option, const std::string& v) {
    char* end = nullptr;
    const double seconds = std::strtod(v.c_str(), &end);
    // A year bounds it, so that the deadline's arithmetic stays in range.
    if (v.empty() || *end != '\0' || !(seconds > 0) || !(seconds <= 366.0 * 24 * 3600))
        return badValue(option, v, "a number of seconds above 0");
    o.timeout = seconds;
    return {};
}

std::optional<int> parseJobs(const std::string& v) { return parseInteger(v, 1, 256); }

// --type: an output type, or a video file's container, which makes the type a video file.
Status parseType(Options& o, const std::string& option, const std::string& v) {
    static const std::array<const char*, 6> kTypes = {"avi", "mpeg", "images", "mp4", "mkv", "webm"};
    const auto i = parseName(v, kTypes);
    if (!i)
        return badValue(option, v, "avi, mpeg, images, mp4, mkv or webm");
    o.type = *i < 3 ? OutputType(*i) : OutputType::VideoFile;
    o.container.reset();
    if (*i >= 3)
        o.container = VideoContainer(*i - 3);
    return {};
}

// The options that take a value, each with what it does with it.
const std::map<std::string, OptionSetter>& valueOptions() {
    static const std::array<const char*, 4> kVideoCodecs = {"h264", "h265", "vp9", "av1"};
    static const std::array<const char*, 3> kPresets = {"fast", "medium", "slow"};
    static const std::array<const char*, 3> kHdSizes = {"movie", "720", "1080"};
    static const std::array<const char*, 2> kSoundCodecs = {"aac", "opus"};
    static const std::array<const char*, 6> kMpegTypes = {
        MpegPresetTable[0].name, MpegPresetTable[1].name, MpegPresetTable[2].name,
        MpegPresetTable[3].name, MpegPresetTable[4].name, MpegPresetTable[5].name};
    static const auto kFormats = namesOf(kAviAudioFormats);
    static const auto kChannels = namesOf(kAviAudioChannels);
    static const auto kRates = namesOf(kAviAudioSampleRates);
    static const auto kBitRates = namesOf(kAviAudioBitRates);
    static const std::array<const char*, 2> kGifPalettes = {"standard", "adaptive"};
    using O = Options;
    static const std::map<std::string, OptionSetter> options = {
        {"-o", text(&O::output)},
        {"--output", text(&O::output)},
        {"--codec", text(&O::codec)},
        {"--audio", text(&O::audio)},
        {"--watermark", text(&O::watermark)},
        {"--work-dir", text(&O::workDir)},
        {"--output-dir", text(&O::outputDir)},
        {"-j", parsed(&O::jobs, parseJobs, "1 to 256")},
        {"--jobs", parsed(&O::jobs, parseJobs, "1 to 256")},
        {"--timeout", parseTimeout},
        {"--type", parseType},
        {"--video-codec", named(&O::videoCodec, kVideoCodecs, "h264, h265, vp9 or av1")},
        {"--preset", named(&O::preset, kPresets, "fast, medium or slow")},
        {"--hd", named(&O::hd, kHdSizes, "720 or 1080")},
        {"--audio-codec", named(&O::audioCodec, kSoundCodecs, "aac or opus")},
        {"--image-type",
         named(&O::imageType, kImageTypeNames, "bmp, png, jpeg, gif or animated-gif")},
        {"--mpeg-type", named(&O::mpegType, kMpegTypes,
                              "dvd-ntsc, dvd-pal, svcd-ntsc, svcd-pal, vcd-ntsc or vcd-pal")},
        {"--size", parsed(&O::size, parseSize, "WIDTHxHEIGHT, each 1 to 8192")},
        {"--rate", parseRate},
        {"--frames", parseFrames},
        {"--duration", parseDuration},
        {"--crop", parsed(&O::crop, parseRect, "X,Y,WIDTH,HEIGHT")},
        {"--jpeg-quality", parsed(&O::jpegQuality, parseQuality, "1 to 100")},
        {"--gif-palette", named(&O::gifPalette, kGifPalettes, "standard or adaptive")},
        {"--quality", parsed(&O::quality, parseVideoQuality, "1 to 100")},
        {"--audio-format", named(&O::audioFormat, kFormats, "mp3 or pcm")},
        {"--audio-channels", named(&O::audioChannels, kChannels, "mono or stereo")},
        {"--audio-rate", named(&O::audioRate, kRates, "11025, 22050 or 44100")},
        {"--audio-bitrate", named(&O::audioBitrate, kBitRates, "48, 64, 96, 112, 128 or 160")},
        {"--watermark-rect",
         parsed(&O::watermarkRect, parseMarkRect, "X,Y,WIDTH,HEIGHT with a positive size")},
        {"--watermark-key", parsed(&O::watermarkKey, parseColor, "RRGGBB in hexadecimal")},
        {"--watermark-opacity", parsed(&O::watermarkOpacity, parseOpacity, "0 to 255")},
        {"--click",
         [](O& o, const std::string&, const std::string& v) {
             return parseClickOption(v, o.scriptedInput);
         }},
        {"--key",
         [](O& o, const std::string&, const std::string& v) {
             return parseKeyOption(v, o.scriptedInput);
         }},
    };
    return options;
}

enum class OutputKind { Avi, Mpeg, AnimatedGif, Picture, VideoFile };

struct OutputName {
    OutputKind kind;
    ImageType picture = ImageType::Bmp; // for Picture
    std::string stem;                   // the name without its extension
};

std::optional<OutputName> outputKindOfName(const std::string& path) {
    const std::size_t slash = path.rfind('/'), dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::nullopt;
    const std::string stem = path.substr(0, dot);
    if (videoContainerOfName(path.substr(dot + 1)) >= 0)
        return OutputName{OutputKind::VideoFile, ImageType::Bmp, stem};
    static const std::array<const char*, 9> kNames = {"avi", "mpg", "mpeg", "vob", "gif",
                                                      "png", "bmp", "jpg", "jpeg"};
    const auto i = parseName(path.substr(dot + 1), kNames);
    if (!i)
        return std::nullopt;
    if (*i >= 5) {
        const ImageType picture = *i == 5 ? ImageType::Png : *i == 6 ? ImageType::Bmp : ImageType::Jpeg;
        return OutputName{OutputKind::Picture, picture, stem};
    }
    const OutputKind kind =
        *i == 0 ? OutputKind::Avi : *i == 4 ? OutputKind::AnimatedGif : OutputKind::Mpeg;
    return OutputName{kind, ImageType::Bmp, stem};
}

// A picture's name ("shots/f.png", or "f.gif" with --image-type gif) stands for a series of
// such pictures in the folder of its stem ("shots/f/0.png", "1.png", ...): the series' own
// names carry no prefix, and a folder named "f.png" would look like one picture.
Status choosePictureSeries(const ConvertOptions& o, const OutputName& name, ConversionSettings& s,
                           std::string& target) {
    const std::size_t slash = name.stem.rfind('/');
    if (name.stem.size() == (slash == std::string::npos ? 0 : slash + 1))
        return Status::failure("The output name " + *o.output +
                               " has no name before its extension to make the pictures' "
                               "folder of.");
    if ((o.type && *o.type != OutputType::ImageSeries) ||
        (o.imageType && *o.imageType != name.picture))
        return Status::failure("The output name " + *o.output +
                               " does not fit the output type asked for.");
    s.convertType = OutputType::ImageSeries;
    s.imageType = name.picture;
    target = name.stem;
    return {};
}

// Options given for an output they do not shape are said, not silently dropped.
Status notApplying(const ConvertOptions& o, const ConversionSettings& s) {
    Status result;
    const bool images = s.convertType == OutputType::ImageSeries;
    auto unused = [&](bool given, bool applies, const char* option, const char* where) {
        if (given && !applies)
            result.warn(std::string(option) + " applies to " + where + " only; it is ignored.");
    };
    unused(o.mpegType.has_value(), s.convertType == OutputType::Mpeg, "--mpeg-type", "MPEG output");
    unused(o.imageType.has_value(), images, "--image-type", "picture output");
    const bool video = s.convertType == OutputType::VideoFile;
    unused(o.videoCodec.has_value(), video, "--video-codec", "MP4, MKV and WebM output");
    unused(o.preset.has_value(), video, "--preset", "MP4, MKV and WebM output");
    unused(o.hd.has_value(), video, "--hd", "MP4, MKV and WebM output");
    unused(o.audioCodec.has_value(), video, "--audio-codec", "MP4, MKV and WebM output");
    unused(o.jpegQuality.has_value(), images && s.imageType == ImageType::Jpeg, "--jpeg-quality",
           "JPEG pictures");
    unused(o.dither.has_value(),
           images && (s.imageType == ImageType::Gif || s.imageType == ImageType::AnimatedGif),
           "--dither", "GIF pictures");
    const bool audioOptions =
        o.audioFormat || o.audioChannels || o.audioRate || o.audioBitrate;
    unused(audioOptions,
           s.audioSource == AudioSource::RecordFromMovie && s.convertType == OutputType::Avi,
           "--audio-format, --audio-channels, --audio-rate and --audio-bitrate",
           "sound recorded from the movie (an imported sound is stored as it is)");
    return result;
}

// The video file's codec, speed, frame size and sound; a codec or sound its container cannot
// hold is refused rather than replaced.
Status setVideoFileChoices(const ConvertOptions& o, ConversionSettings& s) {
    const std::string container = kVideoContainerNames[std::size_t(s.videoContainer)];
    if (o.videoCodec && !videoCodecFits(s.videoContainer, *o.videoCodec))
        return Status::failure(std::string(kVideoCodecNames[std::size_t(*o.videoCodec)]) +
                               " video does not go in a " + container +
                               " file (WebM takes VP9 or AV1, MP4 and MKV H.264 or H.265).");
    if (o.audioCodec && !videoSoundFits(s.videoContainer, *o.audioCodec))
        return Status::failure(std::string(kVideoSoundNames[std::size_t(*o.audioCodec)]) +
                               " sound does not go in a " + container + " file (WebM takes Opus).");
    if (o.hd && *o.hd != VideoFrameSize::Movie && o.size)
        return Status::failure("--hd and --size cannot be given together.");
    if (o.videoCodec)
        s.videoCodec = *o.videoCodec;
    if (o.audioCodec)
        s.videoSound = *o.audioCodec;
    if (o.preset)
        s.videoSpeed = *o.preset;
    if (o.hd)
        s.videoFrameSize = *o.hd;
    fitVideoFileChoices(s);
    return {};
}

// The recording mode and its limits, checked against the movie.
Status setRecordingMode(const ConvertOptions& o, ConversionSettings& s) {
    // A video has no timeline to step: it plays from its start to its end.
    const bool video = isFlvPath(s.sourcePath);
    const bool play = o.play || video;
    s.recordingMode = play ? RecordingMode::Play : RecordingMode::Timeline;
    s.firstRecordedFrame = 0;
    s.lastRecordedFrame = 0;
    s.playFrameLimit = 0;
    if (play) {
        if (o.frameRange && video)
            return Status::failure("An FLV video plays from its start: --frames takes a number "
                                   "of output frames, not a range.");
        if (o.frameRange)
            return Status::failure("With --play, --frames takes a number of output frames, "
                                   "not a range.");
        const double rate = s.movieFrameRate > 0 ? s.movieFrameRate : 12.0;
        // The bound keeps the product in range; the recording applies its own anyway.
        const double most =
            (video ? std::max<double>(kPlayMaxSeconds, s.movieLength + 2.0) : kPlayMaxSeconds) *
            rate;
        int limit = o.frameLimit.value_or(0);
        if (o.duration) {
            const int frames = int(std::ceil(std::min(*o.duration * rate, most)));
            limit = limit > 0 ? std::min(limit, frames) : frames;
        }
        s.playFrameLimit = std::max(limit, 0);
    } else {
        if (o.duration)
            return Status::failure("--duration needs --play.");
        if (o.frameLimit)
            return Status::failure("Without --play, --frames takes a range A-B of frames.");
        if (o.frameRange) {
            s.firstRecordedFrame = (*o.frameRange)[0];
            s.lastRecordedFrame = (*o.frameRange)[1];
        }
    }
    return checkRecordingChoice(s);
}

} // namespace

const char* convertUsage() {
    return "usage: swivio-cli convert MOVIE [options]\n"
           "       swivio-cli convert MOVIE|FOLDER... --output-dir DIR [--recursive] [-j N]\n"
           "                          [--timeout SECONDS] [--json] [options]\n"
           "       swivio-cli convert --list-codecs\n"
           "\n"
           "Records MOVIE frame by frame and writes an AVI file, an MPEG file, an MP4, MKV or\n"
           "WebM video, a series of pictures or an animated GIF.\n"
           "\n"
           "Recording modes (the movie's ActionScript runs in both):\n"
           "  timeline (default)      output frame i shows the movie's main timeline on frame i;\n"
           "                          every output frame is one tick of the whole movie, so\n"
           "                          scripts run and nested clips play, but where a script\n"
           "                          would stop the main timeline or send it elsewhere it is\n"
           "                          put back on frame i. Records every frame, or:\n"
           "  --frames A-B            main-timeline frames A to B only (from 1, inclusive); the\n"
           "                          frames before A still play, unrecorded\n"
           "  --play                  play mode: the movie plays as a viewer sees it, scripts in\n"
           "                          charge, never seeked (movies driven by scripts, such as\n"
           "                          one-frame movies animated in onEnterFrame, need this). It\n"
           "                          ends when the main timeline is halted on its last frame\n"
           "                          (or has one frame) and the picture has not changed for one\n"
           "                          second of movie time, or after:\n"
           "  --duration SECONDS      seconds of movie time (with --play)\n"
           "  --frames N              N output frames (with --play)\n"
           "                          whichever comes first, and never after 10 minutes of\n"
           "                          movie time\n"
           "An FLV video always plays from its start to its end (--duration and --frames N\n"
           "shorten it), its pictures at their own times and its sound alongside.\n"
           "\n"
           "  -o PATH                 output file (AVI, MPEG, MP4, MKV, WebM, animated GIF) or\n"
           "                          folder (pictures); by default beside the movie. A name\n"
           "                          ending in .avi, .mpg, .mpeg, .vob, .mp4, .mkv, .webm or\n"
           "                          .gif also chooses the output type; a picture's name\n"
           "                          (.png, .bmp, .jpg, .jpeg, or .gif with --image-type gif)\n"
           "                          chooses a series of such pictures in the folder of its\n"
           "                          name: -o shots/f.png writes shots/f/0.png, 1.png, ...\n"
           "  -y                      overwrite an output file that exists\n"
           "  -n                      never overwrite: stop when the output file exists\n"
           "                          (without -y or -n the question is asked on a terminal;\n"
           "                          a picture series replaces its own numbered pictures)\n"
           "  --type avi|mpeg|images|mp4|mkv|webm\n"
           "                          output type (default avi)\n"
           "  --codec FOURCC|NAME|uncompressed\n"
           "                          AVI video compressor (default uncompressed)\n"
           "  --list-codecs           list the AVI video compressors and exit\n"
           "  --quality N             video quality, 1 (smallest) to 100 (best), on the AVI\n"
           "                          compressor's own scale or as the MP4/MKV/WebM encoder's\n"
           "                          constant quality (default: its usual setting)\n"
           "  --video-codec h264|h265|vp9|av1\n"
           "                          MP4/MKV: h264 (default) or h265; WebM: vp9 (default) or av1\n"
           "  --preset fast|medium|slow  MP4/MKV/WebM encoder speed (default medium)\n"
           "  --hd 720|1080           MP4/MKV/WebM frame of 1280 x 720 or 1920 x 1080, the crop\n"
           "                          letterboxed into it (default: the crop's size, made even)\n"
           "  --audio-codec aac|opus  MP4/MKV sound (default aac); WebM always has Opus\n"
           "  --size WxH              frame size (default: the crop's size)\n"
           "  --keep-aspect           with --size: the height follows the width by the crop's\n"
           "                          aspect ratio\n"
           "  --rate FPS|original     output frame rate (AVI, MP4/MKV/WebM and pictures)\n"
           "  --crop X,Y,W,H          crop rectangle in movie pixels\n"
           "  --image-type bmp|png|jpeg|gif|animated-gif\n"
           "  --jpeg-quality N        1 to 100 (default 80)\n"
           "  --dither, --no-dither   GIF dithering (default on)\n"
           "  --gif-palette standard|adaptive\n"
           "                          GIF colours: the fixed palette or one fitted to the\n"
           "                          pictures (default adaptive)\n"
           "  --mpeg-type dvd-ntsc|dvd-pal|svcd-ntsc|svcd-pal|vcd-ntsc|vcd-pal\n"
           "  --audio movie|none|FILE the movie's own sound, no sound, or a WAV or MP3 file to\n"
           "                          add (default: the movie's own sound when it has any)\n"
           "  --audio-format mp3|pcm  --audio-channels mono|stereo\n"
           "  --audio-rate 11025|22050|44100  --audio-bitrate 48|64|96|112|128|160\n"
           "                          AVI sound recorded from the movie (interactive mode)\n"
           "  --watermark FILE        a BMP, PNG, JPEG or GIF picture drawn on every frame (a\n"
           "                          PNG's or GIF's transparency is kept)\n"
           "  --watermark-rect X,Y,W,H  its place in movie pixels from the crop's corner\n"
           "  --watermark-key RRGGBB  colour of the picture left transparent\n"
           "  --watermark-opacity N   0 (invisible) to 255 (opaque); applies on top of the\n"
           "                          picture's own transparency and the --watermark-key\n"
           "  --work-dir DIR          folder for the temporary frame files\n"
           "\n"
           "Several movies (each movie converts in a process of its own, with the same\n"
           "options; a movie that fails, crashes or hangs does not stop the others):\n"
           "  --output-dir DIR        write each output into DIR, named after its movie with\n"
           "                          the output type's extension (a picture series gets a\n"
           "                          folder of the movie's name); also takes a single movie.\n"
           "                          A FOLDER given as input stands for its .swf and .flv\n"
           "                          files, in sorted order\n"
           "  --recursive             FOLDER's sub-folders too; their outputs keep the\n"
           "                          sub-folder under DIR\n"
           "  -j N, --jobs N          convert N movies at once (default 1)\n"
           "  --timeout SECONDS       stop a movie's conversion that takes longer (default:\n"
           "                          no limit)\n"
           "  --json                  one JSON object a line per movie (input, output, status,\n"
           "                          frames, seconds, warnings, error) instead of the summary\n"
           "                          lines\n"
           "One line per movie, in the order of the inputs: its status (ok, failed, crashed,\n"
           "timeout or cancelled), input -> output, frames, seconds, warnings and the error.\n"
           "-y and -n apply to each movie; two movies that would write one output are refused\n"
           "before anything runs. Ctrl-C stops the running movies (a second Ctrl-C kills\n"
           "them) and starts no more. Exit status: 0 when every movie converted, 2 when some\n"
           "did not, 1 for bad arguments, 130 when interrupted.\n"
           "\n"
           "Input for movies that wait for a click or a key (T counts the frames played since\n"
           "the recording started; the first is 1):\n"
           "  --click X,Y@T           after frame T, move the mouse to movie pixel X,Y and click\n"
           "                          the left button there; repeatable\n"
           "  --key NAME@T            after frame T, press and release a key: a character (a, 7,\n"
           "                          ;) or Enter, Tab, Space, Escape, Backspace, Delete, Up,\n"
           "                          Down, Left, Right, Home, End, PageUp, PageDown, Insert,\n"
           "                          Shift, Control, Alt, CapsLock, F1..F12; repeatable\n";
}

Result<ConvertOptions> parseConvertOptions(int argc, char** argv) {
    ConvertOptions o;
    bool optionsEnded = false;
    for (int i = 0; i < argc; ++i) {
        std::string arg = argv[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            if (o.movies.empty())
                o.movie = arg;
            o.movies.push_back(arg);
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--list-codecs") {
            o.listCodecs = true;
        } else if (arg == "--play") {
            o.play = true;
        } else if (arg == "--recursive") {
            o.recursive = true;
        } else if (arg == "--json") {
            o.json = true;
        } else if (arg == "--keep-aspect") {
            o.keepAspect = true;
        } else if (arg == "--dither" || arg == "--no-dither") {
            o.dither = arg == "--dither";
        } else if (arg == "-y" || arg == "-n") {
            const OverwriteChoice choice =
                arg == "-y" ? OverwriteChoice::Always : OverwriteChoice::Never;
            if (o.overwrite != OverwriteChoice::Ask && o.overwrite != choice)
                return Status::failure("-y and -n cannot be given together.");
            o.overwrite = choice;
        } else {
            // "--size=640x480" is "--size 640x480".
            std::optional<std::string> value;
            const auto equals = arg.find('=');
            if (arg.rfind("--", 0) == 0 && equals != std::string::npos) {
                value = arg.substr(equals + 1);
                arg.resize(equals);
            }
            // "-j4" is "-j 4", as make and parallel take it.
            if (arg.size() > 2 && arg.rfind("-j", 0) == 0) {
                value = arg.substr(2);
                arg.resize(2);
            }
            const auto option = valueOptions().find(arg);
            if (option == valueOptions().end())
                return Status::failure("Unknown option " + arg +
                                       " (see swivio-cli convert --help).");
            if (!value && i + 1 >= argc)
                return Status::failure("Option " + arg + " needs a value.");
            const std::string given = value ? *value : argv[++i];
            if (Status set = option->second(o, arg, given); !set)
                return set;
            o.movieArguments.push_back({arg, given});
            continue;
        }
        o.movieArguments.push_back({arg});
    }
    if (o.movie.empty() && !o.listCodecs && !o.help)
        return Status::failure("No movie given (see swivio-cli convert --help).");
    return o;
}

Status applyConvertOptions(const ConvertOptions& o, ConversionSettings& s,
                           std::shared_ptr<PictureImage>& watermark) {
    // Only frame-by-frame recording exists without a display. The movie's own sound is
    // recorded when it has any, unless --audio says otherwise.
    s.conversionMode = ConversionMode::FrameByFrame;
    s.audioSource = AudioSource::None;
    if (o.type)
        s.convertType = *o.type;
    if (o.imageType)
        s.imageType = *o.imageType;
    // The output's name may say the type: an AVI, an MPEG, one animated GIF, a video file
    // or a series of pictures.
    auto named = o.output ? outputKindOfName(*o.output) : std::nullopt;
    std::string target = o.output.value_or("");
    if (named && named->kind == OutputKind::AnimatedGif && o.imageType == ImageType::Gif)
        named->kind = OutputKind::Picture, named->picture = ImageType::Gif;
    if (named && named->kind == OutputKind::Picture) {
        if (Status st = choosePictureSeries(o, *named, s, target); !st)
            return st;
    }
    if (o.container)
        s.videoContainer = *o.container;
    if (named && named->kind != OutputKind::Picture) {
        const bool gif = named->kind == OutputKind::AnimatedGif;
        const OutputType type = gif                                   ? OutputType::ImageSeries
                                : named->kind == OutputKind::Avi       ? OutputType::Avi
                                : named->kind == OutputKind::VideoFile ? OutputType::VideoFile
                                                                       : OutputType::Mpeg;
        const std::string extension = o.output->substr(o.output->rfind('.') + 1);
        const auto container = VideoContainer(std::max(videoContainerOfName(extension), 0));
        if ((o.type && *o.type != type) || (gif && o.imageType && *o.imageType != ImageType::AnimatedGif) ||
            (type == OutputType::VideoFile && o.container && *o.container != container))
            return Status::failure("The output name " + *o.output +
                                   " does not fit the output type asked for.");
        s.convertType = type;
        if (gif)
            s.imageType = ImageType::AnimatedGif;
        if (type == OutputType::VideoFile)
            s.videoContainer = container;
    }
    if (s.convertType == OutputType::Avi)
        s.outputFile = replaceExtension(s.sourcePath, "avi");
    else if (s.convertType == OutputType::Mpeg)
        s.outputFile = replaceExtension(s.sourcePath, "mpg");
    else if (s.convertType == OutputType::VideoFile)
        s.outputFile = replaceExtension(s.sourcePath, videoFileExtension(s.videoContainer));
    if (Status st = setVideoFileChoices(o, s); !st)
        return st;
    if (o.mpegType)
        s.mpegType = *o.mpegType;
    if (o.jpegQuality)
        s.jpegQuality = *o.jpegQuality;
    if (o.dither)
        s.gifDither = *o.dither;
    if (o.gifPalette)
        s.gifPalette = *o.gifPalette;
    if (o.audioFormat)
        s.aviAudioFormat = *o.audioFormat;
    if (o.audioChannels)
        s.aviAudioChannels = *o.audioChannels;
    if (o.audioRate)
        s.aviAudioSampleRate = *o.audioRate;
    if (o.audioBitrate)
        s.aviAudioBitRate = *o.audioBitrate;

    if (Status st = setOutputTarget(s, target); !st)
        return st;
    if (Status st = setWorkingFolder(s, o.workDir.value_or("")); !st)
        return st;
    if (o.codec) {
        if (Status st = setVideoCompressor(s, *o.codec); !st)
            return Status::failure(st.message() + " (see swivio-cli convert --list-codecs)");
    }
    if (o.quality && s.convertType == OutputType::VideoFile) {
        s.videoQuality = *o.quality;
    } else if (o.quality) {
        if (Status st = setVideoQuality(s, *o.quality); !st)
            return st;
    }
    if (o.crop) {
        const auto& c = *o.crop;
        if (Status st = setCropRectangle(s, c[0], c[1], c[2], c[3]); !st)
            return st;
    }
    std::optional<FrameSize> size;
    if (o.size)
        size = FrameSize{(*o.size)[0], (*o.size)[1]};
    if (Status st = setFrameSize(s, size, o.keepAspect); !st)
        return st;
    if (Status st = setFrameRate(s, o.rate, o.rateOriginal); !st)
        return st;
    if (Status st = checkMovieForConversion(s); !st)
        return st;
    if (Status st = setRecordingMode(o, s); !st)
        return st;
    if (o.audio && *o.audio == "movie") {
        if (s.convertType == OutputType::ImageSeries)
            return Status::failure(kNoAudioForImagesMessage);
        s.audioSource = AudioSource::RecordFromMovie;
    } else if (o.audio) {
        if (Status st = setImportedSound(s, *o.audio); !st)
            return st;
    } else if (o.movieHasSound && s.convertType != OutputType::ImageSeries) {
        s.audioSource = AudioSource::RecordFromMovie;
    }
    if (o.watermark) {
        WatermarkChoice choice;
        choice.file = *o.watermark;
        if (o.watermarkRect)
            choice.rect = WatermarkRect{(*o.watermarkRect)[0], (*o.watermarkRect)[1],
                                        (*o.watermarkRect)[2], (*o.watermarkRect)[3]};
        choice.transparentColor = o.watermarkKey;
        choice.opacity = o.watermarkOpacity;
        auto picture = setWatermark(s, choice);
        if (!picture)
            return Status::failure(picture.message());
        watermark = std::move(*picture);
    } else if (o.watermarkRect || o.watermarkKey || o.watermarkOpacity) {
        return Status::failure("--watermark-rect, --watermark-key and --watermark-opacity need "
                               "--watermark FILE.");
    }

    applySettingsRules(s);
    return notApplying(o, s);
}

} // namespace swivio::cli
