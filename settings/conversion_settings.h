#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace swivio {

enum class OutputType : int32_t { Avi = 0, Mpeg = 1, ImageSeries = 2, VideoFile = 3 };
enum class ConversionMode : int32_t { Interactive = 0, FrameByFrame = 1 };
enum class AudioSource : int32_t { None = 0, RecordFromMovie = 1, ImportFile = 2 };
// Index into MpegPresetTable. A stored value may lie outside the table (see applyMpegPreset).
enum class MpegType : int32_t {
    DvdNtsc = 0,
    DvdPal = 1,
    SvcdNtsc = 2,
    SvcdPal = 3,
    VcdNtsc = 4,
    VcdPal = 5,
};
enum class ImageType : int32_t { Bmp = 0, Png = 1, Jpeg = 2, Gif = 3, AnimatedGif = 4 };
// How the recording plays the movie. Timeline: output frame i shows root frame i, every
// output frame one tick of the whole movie (scripts run, nested clips play) with the root put
// back on frame i where its scripts would move it. Play: the movie plays as a viewer sees
// it, scripts in charge, never seeked; it ends by a frame limit or when it comes to rest.
enum class RecordingMode : int32_t { Timeline = 0, Play = 1 };
// The colours of GIF pictures: the fixed 256-colour palette, or one fitted to each picture.
enum class GifPalette : int32_t { Standard = 0, Adaptive = 1 };
// The video file's container, codec, encoder speed, frame size and sound codec.
enum class VideoContainer : int32_t { Mp4 = 0, Mkv = 1, WebM = 2 };
enum class VideoCodec : int32_t { H264 = 0, H265 = 1, Vp9 = 2, Av1 = 3 };
enum class VideoSpeed : int32_t { Fast = 0, Medium = 1, Slow = 2 };
// Movie: the AVI's frame size (by default the crop's), made even; the HD sizes letterbox
// the crop into 1280 x 720 or 1920 x 1080.
enum class VideoFrameSize : int32_t { Movie = 0, Hd720 = 1, Hd1080 = 2 };
enum class VideoSound : int32_t { Aac = 0, Opus = 1 };

// Every choice that shapes a conversion: plain data, copied whole by value. The watermark
// is named by its file; whoever draws it loads the picture. Paths are UTF-8 with '/' separators. Colours are 0x00BBGGRR.
struct ConversionSettings {
    // The loaded movie (filled by resetForMovie).
    std::string sourcePath;
    std::string sourceFolder;
    int32_t movieWidth = 0;
    int32_t movieHeight = 0;
    float movieFrameRate = 0;
    int32_t movieLength = 0; // frames of an SWF movie, whole seconds of an FLV video

    OutputType convertType = OutputType::Avi;
    std::string outputFile;    // AVI, MPEG and video file target
    std::string outputFolder;  // image-series target
    // The animated GIF's own file name when one was chosen; empty: "<outputFolder>/<movie
    // title>.gif". Not persisted.
    std::string animatedGifFile;
    // How the movie is recorded; not persisted (each conversion chooses).
    RecordingMode recordingMode = RecordingMode::Timeline;
    // Timeline: the root frames recorded, 1-based and inclusive; 0 means the first (or the
    // last) frame. The frames before the first still play, unrecorded.
    int32_t firstRecordedFrame = 0;
    int32_t lastRecordedFrame = 0;
    // Play: at most this many output frames; 0 leaves only the recording's own bound.
    int32_t playFrameLimit = 0;
    int32_t tempPathIndex = 0; // 0: working folder = folder of the output file; 1: tempPath
    std::string tempPath;
    ConversionMode conversionMode = ConversionMode::Interactive;
    bool captureCursor = false;
    bool openTargetFolder = true;
    AudioSource audioSource = AudioSource::RecordFromMovie;
    std::string audioFile; // .wav or .mp3 to import

    int32_t aviCodecIndex = 0;
    uint32_t aviFourCC = 0; // 0: uncompressed
    int32_t aviQuality = 0; // 1 (smallest) to 100 (best) on the compressor's scale; 0: its usual
    bool aviKeepOriginalSize = true;
    bool aviKeepAspectRatio = true;
    int32_t aviWidth = 0;
    int32_t aviHeight = 0;
    float aviFrameRate = 0;
    int32_t aviAudioFormat = 0;     // index into kAviAudioFormats
    int32_t aviAudioChannels = 1;   // index into kAviAudioChannels
    int32_t aviAudioBitRate = 4;    // index into kAviAudioBitRates
    int32_t aviAudioSampleRate = 2; // index into kAviAudioSampleRates

    MpegType mpegType = MpegType::DvdNtsc;
    int32_t mpegWidth = 0; // the four mpeg values follow mpegType (applyMpegPreset)
    int32_t mpegHeight = 0;
    float mpegFrameRate = 0;
    int32_t mpegSampleRate = 0; // Hz

    // The video file takes its frame rate from aviFrameRate and, with VideoFrameSize::Movie,
    // its size from aviWidth x aviHeight.
    VideoContainer videoContainer = VideoContainer::Mp4;
    VideoCodec videoCodec = VideoCodec::H264;
    int32_t videoQuality = 0; // 1 (smallest) to 100 (best); 0: the codec's usual quality
    VideoSpeed videoSpeed = VideoSpeed::Medium;
    VideoFrameSize videoFrameSize = VideoFrameSize::Movie;
    VideoSound videoSound = VideoSound::Aac;
    int32_t videoSoundBitRate = 2; // index into kVideoSoundBitRates

    ImageType imageType = ImageType::Bmp;
    float imageFrameRate = 0;
    bool imageKeepOriginalSize = true;
    bool imageKeepAspectRatio = true;
    int32_t imageWidth = 0;
    int32_t imageHeight = 0;
    int32_t jpegQuality = 80; // 1 to 100
    bool gifDither = true;
    GifPalette gifPalette = GifPalette::Adaptive;

    // Crop rectangle in movie pixels.
    int32_t cropX = 0;
    int32_t cropY = 0;
    int32_t cropWidth = 0;
    int32_t cropHeight = 0;

    bool watermarkEnabled = false;
    std::string watermarkFile;
    bool watermarkUseTransparentColor = false;
    uint32_t watermarkTransparentColor = 0; // 0x00BBGGRR
    bool watermarkUseTransparency = false;
    int32_t watermarkTransparency = 50;
    // Watermark rectangle: offset from the crop rectangle's top-left corner, and size, in
    // movie pixels.
    int32_t watermarkX = 0;
    int32_t watermarkY = 0;
    int32_t watermarkWidth = 0;
    int32_t watermarkHeight = 0;
    bool watermarkKeepAspectRatio = true;
};

// ---- Option tables -------------------------------------------------------------------------

// Conversion-type list, index = OutputType.
inline constexpr std::array<const char*, 4> kOutputTypeNames = {"AVI", "MPEG", "Image series",
                                                               "Video file"};

struct MpegPreset {
    const char* name;
    int32_t width;
    int32_t height;
    float frameRate;
    const char* frameRateText;
    int32_t sampleRate; // Hz
    const char* audioFormatText;
};

// Index = MpegType. Every preset's sound is stereo at kMpegAudioBitRateKbps; indexes 0 and 1
// are the "Dolby AC3" group, the others the "MPEG Audio" group.
inline constexpr std::array<MpegPreset, 6> MpegPresetTable = {{
    {"DVD-NTSC", 720, 480, 29.97f, "29.97", 48000, "Dolby AC3"},
    {"DVD-PAL", 720, 576, 25.0f, "25", 48000, "Dolby AC3"},
    {"SVCD-NTSC", 480, 480, 29.97f, "29.97", 44100, "MPEG Audio"},
    {"SVCD-PAL", 480, 576, 25.0f, "25", 44100, "MPEG Audio"},
    {"VCD-NTSC", 352, 240, 29.97f, "29.97", 44100, "MPEG Audio"},
    {"VCD-PAL", 352, 288, 25.0f, "25", 44100, "MPEG Audio"},
}};
inline constexpr int32_t kMpegAudioBitRateKbps = 224;
inline constexpr const char* kMpegAudioChannelText = "Stereo";

inline constexpr bool isValidMpegType(MpegType type) {
    return static_cast<int32_t>(type) >= 0 &&
           static_cast<std::size_t>(type) < MpegPresetTable.size();
}
// True for the presets whose sound is AC-3 (the DVD ones), false for MPEG audio layer II.
inline constexpr bool isAc3MpegType(MpegType type) {
    return type == MpegType::DvdNtsc || type == MpegType::DvdPal;
}

// Picture-type list, index = ImageType.
inline constexpr std::array<const char*, 5> kImageTypeNames = {"BMP", "PNG", "JPEG", "GIF",
                                                               "Animated GIF"};

// The editable frame-rate list of the AVI and picture panels. "Original" stands for the
// movie's rate truncated to an integer; the other entries are their own values.
inline constexpr std::array<const char*, 8> FrameRateList = {"Original", "5",  "10", "12",
                                                             "15",       "20", "25", "30"};

// AVI sound lists: what the indexes aviAudioFormat, aviAudioChannels, aviAudioSampleRate and
// aviAudioBitRate stand for.
struct AviAudioOption {
    const char* text;
    int32_t value; // format: 0 MP3, 1 PCM; channels: count; sample rate: Hz; bit rate: kbps
};
// The AVI quality's highest value (ConversionSettings::aviQuality).
inline constexpr int32_t kAviQualityMax = 100;

inline constexpr int32_t kAviAudioFormatMp3 = 0;
inline constexpr int32_t kAviAudioFormatPcm = 1;
inline constexpr std::array<AviAudioOption, 2> kAviAudioFormats = {{{"MP3", 0}, {"PCM", 1}}};
inline constexpr std::array<AviAudioOption, 2> kAviAudioChannels = {{{"Mono", 1}, {"Stereo", 2}}};
inline constexpr std::array<AviAudioOption, 3> kAviAudioSampleRates = {
    {{"11025", 11025}, {"22050", 22050}, {"44100", 44100}}};
inline constexpr std::array<AviAudioOption, 6> kAviAudioBitRates = {
    {{"48", 48}, {"64", 64}, {"96", 96}, {"112", 112}, {"128", 128}, {"160", 160}}};

// Video file lists, index = the enumeration's value.
inline constexpr std::array<const char*, 3> kVideoContainerNames = {"MP4", "MKV", "WebM"};
inline constexpr std::array<const char*, 3> kVideoContainerExtensions = {"mp4", "mkv", "webm"};
inline constexpr std::array<const char*, 4> kVideoCodecNames = {"H.264", "H.265", "VP9", "AV1"};
inline constexpr std::array<const char*, 3> kVideoSpeedNames = {"Fast", "Medium", "Slow"};
inline constexpr std::array<const char*, 3> kVideoFrameSizeNames = {"Movie size", "720p",
                                                                    "1080p"};
inline constexpr std::array<const char*, 2> kVideoSoundNames = {"AAC", "Opus"};
inline constexpr std::array<AviAudioOption, 6> kVideoSoundBitRates = {
    {{"64", 64}, {"96", 96}, {"128", 128}, {"160", 160}, {"192", 192}, {"256", 256}}};
inline constexpr int32_t kVideoQualityMax = 100;

// WebM holds VP9 or AV1 with Opus sound; MP4 and MKV hold H.264 or H.265 with AAC or Opus.
inline constexpr bool videoCodecFits(VideoContainer container, VideoCodec codec) {
    const bool web = codec == VideoCodec::Vp9 || codec == VideoCodec::Av1;
    return (container == VideoContainer::WebM) == web;
}
inline constexpr bool videoSoundFits(VideoContainer container, VideoSound sound) {
    return container != VideoContainer::WebM || sound == VideoSound::Opus;
}

inline constexpr int32_t kJpegQualityMin = 1;
inline constexpr int32_t kJpegQualityMax = 100;

} // namespace swivio
