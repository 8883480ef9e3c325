#include "cli/convert_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <strings.h>

#include "crop/watermark_rules.h"
#include "encode/output_choices.h"
#include "settings/settings_checks.h"
#include "settings/settings_rules.h"

namespace swivio::cli {

namespace {

bool equalsNoCase(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

// A whole decimal number, nothing else around it.
std::optional<long> parseInteger(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < INT32_MIN || v > INT32_MAX)
        return std::nullopt;
    return v;
}

std::optional<std::array<int, 2>> parseSize(const std::string& text) {
    const auto x = text.find_first_of("xX");
    if (x == std::string::npos)
        return std::nullopt;
    auto w = parseInteger(text.substr(0, x));
    auto h = parseInteger(text.substr(x + 1));
    if (!w || !h || *w <= 0 || *h <= 0 || *w > 8192 || *h > 8192)
        return std::nullopt;
    return std::array<int, 2>{int(*w), int(*h)};
}

std::optional<std::array<int, 4>> parseRect(const std::string& text) {
    std::array<int, 4> out{};
    std::size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        const std::size_t comma = text.find(',', start);
        if ((i < 3) != (comma != std::string::npos))
            return std::nullopt;
        auto v = parseInteger(text.substr(start, i < 3 ? comma - start : std::string::npos));
        if (!v)
            return std::nullopt;
        out[i] = int(*v);
        start = comma + 1;
    }
    return out;
}

// RRGGBB (an optional leading '#') into 0x00BBGGRR.
std::optional<uint32_t> parseColor(std::string text) {
    if (!text.empty() && text[0] == '#')
        text.erase(0, 1);
    if (text.size() != 6 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return std::nullopt;
    const uint32_t rgb = uint32_t(std::strtoul(text.c_str(), nullptr, 16));
    return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
}

template <std::size_t N>
std::optional<int> indexOfOption(const std::array<AviAudioOption, N>& table,
                                 const std::string& text) {
    for (std::size_t i = 0; i < N; ++i)
        if (equalsNoCase(text, table[i].text))
            return int(i);
    return std::nullopt;
}

Status badValue(const std::string& option, const std::string& value, const char* expected) {
    return Status::failure("Invalid value '" + value + "' for " + option + " (expected " +
                           expected + ").");
}

} // namespace

const char* convertUsage() {
    return "usage: swivio-cli convert MOVIE [options]\n"
           "       swivio-cli convert --list-codecs\n"
           "\n"
           "Records MOVIE frame by frame and writes an AVI file, an MPEG file, a series of\n"
           "pictures or an animated GIF.\n"
           "\n"
           "  -o PATH                 output file (AVI, MPEG) or folder (pictures); by default\n"
           "                          beside the movie\n"
           "  --type avi|mpeg|images  output type (default avi)\n"
           "  --codec FOURCC|NAME|uncompressed\n"
           "                          AVI video compressor (default uncompressed)\n"
           "  --list-codecs           list the AVI video compressors and exit\n"
           "  --size WxH              frame size (default: the crop's size)\n"
           "  --keep-aspect           with --size: the height follows the width by the crop's\n"
           "                          aspect ratio\n"
           "  --rate FPS|original     output frame rate (AVI and pictures)\n"
           "  --crop X,Y,W,H          crop rectangle in movie pixels\n"
           "  --image-type bmp|png|jpeg|gif|animated-gif\n"
           "  --jpeg-quality N        1 to 100 (default 80)\n"
           "  --dither, --no-dither   GIF dithering (default on)\n"
           "  --mpeg-type dvd-ntsc|dvd-pal|svcd-ntsc|svcd-pal|vcd-ntsc|vcd-pal\n"
           "  --audio none|FILE       no sound, or a WAV or MP3 file to add (default none)\n"
           "  --audio-format mp3|pcm  --audio-channels mono|stereo\n"
           "  --audio-rate 11025|22050|44100  --audio-bitrate 48|64|96|112|128|160\n"
           "                          AVI sound recorded from the movie (interactive mode)\n"
           "  --watermark FILE        a BMP, PNG, JPEG or GIF picture drawn on every frame\n"
           "  --watermark-rect X,Y,W,H  its place in movie pixels from the crop's corner\n"
           "  --watermark-key RRGGBB  colour of the picture left transparent\n"
           "  --watermark-opacity N   0 (invisible) to 255 (opaque)\n"
           "  --work-dir DIR          folder for the temporary frame files\n";
}

Result<ConvertOptions> parseConvertOptions(int argc, char** argv) {
    ConvertOptions o;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& out) -> bool {
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--list-codecs") {
            o.listCodecs = true;
        } else if (arg == "--keep-aspect") {
            o.keepAspect = true;
        } else if (arg == "--dither") {
            o.dither = true;
        } else if (arg == "--no-dither") {
            o.dither = false;
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            static const char* const kValueOptions[] = {
                "-o", "--output", "--type", "--codec", "--size", "--rate", "--crop",
                "--image-type", "--jpeg-quality", "--mpeg-type", "--audio", "--audio-format",
                "--audio-channels", "--audio-rate", "--audio-bitrate", "--watermark",
                "--watermark-rect", "--watermark-key", "--watermark-opacity", "--work-dir"};
            bool known = false;
            for (const char* name : kValueOptions)
                known = known || arg == name;
            if (!known)
                return Status::failure("Unknown option " + arg +
                                       " (see swivio-cli convert --help).");
            if (!value(v))
                return Status::failure("Option " + arg + " needs a value.");
            if (arg == "-o" || arg == "--output") {
                o.output = v;
            } else if (arg == "--type") {
                if (v == "avi")
                    o.type = OutputType::Avi;
                else if (v == "mpeg")
                    o.type = OutputType::Mpeg;
                else if (v == "images")
                    o.type = OutputType::ImageSeries;
                else
                    return badValue(arg, v, "avi, mpeg or images");
            } else if (arg == "--codec") {
                o.codec = v;
            } else if (arg == "--size") {
                o.size = parseSize(v);
                if (!o.size)
                    return badValue(arg, v, "WIDTHxHEIGHT, each 1 to 8192");
            } else if (arg == "--rate") {
                if (v == "original") {
                    o.rateOriginal = true;
                } else {
                    char* end = nullptr;
                    const double r = std::strtod(v.c_str(), &end);
                    if (v.empty() || *end != '\0' || !(r > 0) || !std::isfinite(r) || r > 1000)
                        return Status::failure(kInvalidFrameRateMessage);
                    o.rate = float(r);
                }
            } else if (arg == "--crop") {
                o.crop = parseRect(v);
                if (!o.crop)
                    return badValue(arg, v, "X,Y,WIDTH,HEIGHT");
            } else if (arg == "--image-type") {
                static const char* names[] = {"bmp", "png", "jpeg", "gif", "animated-gif"};
                for (int t = 0; t < 5; ++t)
                    if (v == names[t])
                        o.imageType = ImageType(t);
                if (!o.imageType)
                    return badValue(arg, v, "bmp, png, jpeg, gif or animated-gif");
            } else if (arg == "--jpeg-quality") {
                auto q = parseInteger(v);
                if (!q || *q < kJpegQualityMin || *q > kJpegQualityMax)
                    return badValue(arg, v, "1 to 100");
                o.jpegQuality = int(*q);
            } else if (arg == "--mpeg-type") {
                static const char* names[] = {"dvd-ntsc", "dvd-pal",  "svcd-ntsc",
                                              "svcd-pal", "vcd-ntsc", "vcd-pal"};
                for (int t = 0; t < 6; ++t)
                    if (v == names[t])
                        o.mpegType = MpegType(t);
                if (!o.mpegType)
                    return badValue(arg, v, "dvd-ntsc, dvd-pal, svcd-ntsc, svcd-pal, "
                                            "vcd-ntsc or vcd-pal");
            } else if (arg == "--audio") {
                o.audio = v;
            } else if (arg == "--audio-format") {
                o.audioFormat = indexOfOption(kAviAudioFormats, v);
                if (!o.audioFormat)
                    return badValue(arg, v, "mp3 or pcm");
            } else if (arg == "--audio-channels") {
                o.audioChannels = indexOfOption(kAviAudioChannels, v);
                if (!o.audioChannels)
                    return badValue(arg, v, "mono or stereo");
            } else if (arg == "--audio-rate") {
                o.audioRate = indexOfOption(kAviAudioSampleRates, v);
                if (!o.audioRate)
                    return badValue(arg, v, "11025, 22050 or 44100");
            } else if (arg == "--audio-bitrate") {
                o.audioBitrate = indexOfOption(kAviAudioBitRates, v);
                if (!o.audioBitrate)
                    return badValue(arg, v, "48, 64, 96, 112, 128 or 160");
            } else if (arg == "--watermark") {
                o.watermark = v;
            } else if (arg == "--watermark-rect") {
                o.watermarkRect = parseRect(v);
                if (!o.watermarkRect || (*o.watermarkRect)[2] <= 0 || (*o.watermarkRect)[3] <= 0)
                    return badValue(arg, v, "X,Y,WIDTH,HEIGHT with a positive size");
            } else if (arg == "--watermark-key") {
                o.watermarkKey = parseColor(v);
                if (!o.watermarkKey)
                    return badValue(arg, v, "RRGGBB in hexadecimal");
            } else if (arg == "--watermark-opacity") {
                auto a = parseInteger(v);
                if (!a || *a < 0 || *a > 255)
                    return badValue(arg, v, "0 to 255");
                o.watermarkOpacity = int(*a);
            } else if (arg == "--work-dir") {
                o.workDir = v;
            }
        } else if (o.movie.empty()) {
            o.movie = arg;
        } else {
            return Status::failure("Unexpected argument '" + arg + "': only one movie is converted.");
        }
    }
    if (o.movie.empty() && !o.listCodecs && !o.help)
        return Status::failure("No movie given (see swivio-cli convert --help).");
    return o;
}

Status applyConvertOptions(const ConvertOptions& o, ConversionSettings& s,
                           std::shared_ptr<PictureImage>& watermark) {
    // Only frame-by-frame recording exists without a display; the sound comes from a file
    // or not at all.
    s.conversionMode = ConversionMode::FrameByFrame;
    s.audioSource = AudioSource::None;
    if (o.type)
        s.convertType = *o.type;
    if (s.convertType == OutputType::Avi)
        s.outputFile = replaceExtension(s.sourcePath, "avi");
    else if (s.convertType == OutputType::Mpeg)
        s.outputFile = replaceExtension(s.sourcePath, "mpg");
    if (o.mpegType)
        s.mpegType = *o.mpegType;
    if (o.imageType)
        s.imageType = *o.imageType;
    if (o.jpegQuality)
        s.jpegQuality = *o.jpegQuality;
    if (o.dither)
        s.gifDither = *o.dither;
    if (o.audioFormat)
        s.aviAudioFormat = *o.audioFormat;
    if (o.audioChannels)
        s.aviAudioChannels = *o.audioChannels;
    if (o.audioRate)
        s.aviAudioSampleRate = *o.audioRate;
    if (o.audioBitrate)
        s.aviAudioBitRate = *o.audioBitrate;

    if (Status st = setOutputTarget(s, o.output.value_or("")); !st)
        return st;
    if (Status st = setWorkingFolder(s, o.workDir.value_or("")); !st)
        return st;
    if (o.codec) {
        if (Status st = setVideoCompressor(s, *o.codec); !st)
            return Status::failure(st.message() + " (see swivio-cli convert --list-codecs)");
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
    if (o.audio) {
        if (Status st = setImportedSound(s, *o.audio); !st)
            return st;
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
    return {};
}

} // namespace swivio::cli
