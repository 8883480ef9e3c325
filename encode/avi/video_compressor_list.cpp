#include "encode/avi/video_compressor_list.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <iterator>
#include <optional>
#include <set>
#include <strings.h>

#include "encode/avi/libav_video_encoder.h"
#include "encode/avi/video_compressor_cache.h"

extern "C" {
#include <libavutil/log.h>
}

namespace swivio {

namespace {

// The size every encoder is first tested at: a multiple of every size rule probed.
constexpr int kProbeSide = 128;
// A second, smaller size the rule found is checked at.
constexpr int kSmallSide = 64;
// The size rules probed: a frame side must be a multiple of one of these.
constexpr int kSideMultiples[] = {1, 2, 4, 8, 16, 32, 64};

bool isIndeo5(uint32_t fourCC) {
    const std::string text = fourCcText(fourCC);
    std::string lower;
    for (char ch : text)
        lower += char(std::tolower(static_cast<unsigned char>(ch)));
    return lower == "iv50";
}

// Trying encoders that refuse the probe size makes them complain at error level; those
// complaints mean nothing to the user, so the library's log is silenced while probing.
class QuietLibavLog {
public:
    QuietLibavLog() : m_level(av_log_get_level()) { av_log_set_level(AV_LOG_QUIET); }
    ~QuietLibavLog() { av_log_set_level(m_level); }
    QuietLibavLog(const QuietLibavLog&) = delete;
    QuietLibavLog& operator=(const QuietLibavLog&) = delete;

private:
    int m_level;
};

// The smallest of kSideMultiples whose odd multiple the encoder takes as its frame width
// (or height), the other side kept at kProbeSide; 0 when it takes none of them.
int sideMultiple(const AVCodec* codec, bool width) {
    for (int multiple : kSideMultiples) {
        const int side = kProbeSide + multiple; // an odd multiple of `multiple`
        if (libav::roundTripTestPicture(codec, width ? side : kProbeSide,
                                        width ? kProbeSide : side))
            return multiple;
    }
    return 0;
}

// Finds the multiples of width and height the encoder needs, each side on its own, then
// checks the two together (an encoder can need more when both sides are odd multiples):
// while they fail, both are doubled. False when no rule up to the largest probed works.
bool findSizeRule(const AVCodec* codec, VideoCompressorInfo& info) {
    int width = sideMultiple(codec, true);
    int height = sideMultiple(codec, false);
    constexpr int kLargest = kSideMultiples[std::size(kSideMultiples) - 1];
    while (width != 0 && height != 0 &&
           !libav::roundTripTestPicture(codec, kProbeSide + width, kProbeSide + height)) {
        if (width == kLargest && height == kLargest)
            return false;
        width = std::min(width * 2, kLargest);
        height = std::min(height * 2, kLargest);
    }
    if (width == 0 || height == 0)
        return false;
    // The rule must hold at a smaller size too: an encoder whose pictures depend on the
    // size in ways beyond a rule of multiples (VC-2 at some sizes turns every picture grey)
    // cannot be offered for every size.
    if (!libav::roundTripTestPicture(codec, kSmallSide + width, kSmallSide + height))
        return false;
    info.widthMultiple = width;
    info.heightMultiple = height;
    return true;
}

std::vector<VideoCompressorInfo> probeCompressors() {
    QuietLibavLog quiet;
    std::vector<VideoCompressorInfo> found;
    std::set<uint32_t> taken;
    void* state = nullptr;
    while (const AVCodec* codec = av_codec_iterate(&state)) {
        if (codec->type != AVMEDIA_TYPE_VIDEO || !av_codec_is_encoder(codec))
            continue;
        const uint32_t tableFourCC = libav::aviFourCcOf(codec->id);
        if (tableFourCC == 0 || taken.count(tableFourCC))
            continue;
        // Encoders that need hardware frames cannot take converted software frames.
        if (codec->capabilities & AV_CODEC_CAP_HARDWARE)
            continue;
        Result<clib::AvCodecContext> opened =
            libav::openVideoEncoder(codec, kProbeSide, kProbeSide, 1, 25);
        if (!opened)
            continue;
        clib::AvCodecContext& context = *opened;
        const uint32_t fourCC = context->codec_tag;
        // Some encoder libraries (SVT-AV1) wait forever when closed before the end of their
        // stream was signalled.
        libav::drainEncoder(context.get());
        context.reset();
        if (fourCC == 0 || isIndeo5(fourCC) || taken.count(fourCC))
            continue;
        // An encoder whose pictures do not decode would write a file of noise.
        if (!libav::roundTripTestPicture(codec, kProbeSide, kProbeSide))
            continue;
        VideoCompressorInfo info{codec->name, fourCC, codec->name};
        if (!findSizeRule(codec, info))
            continue;
        info.hasQuality = libav::qualityScaleOf(codec) != libav::QualityScale::None;
        taken.insert(tableFourCC);
        taken.insert(fourCC);
        found.push_back(std::move(info));
    }
    return found;
}

// What the probe's outcome depends on: the cache format, libavcodec's version and build.
// The number after "compressors" changes whenever the probe or the file's lines change.
std::string cacheKey() {
    // FNV-1a, the same in every build, of the library's configuration (its external
    // encoders).
    uint64_t hash = 0xcbf29ce484222325ull;
    for (const char* p = avcodec_configuration(); p && *p; ++p)
        hash = (hash ^ uint8_t(*p)) * 0x100000001b3ull;
    return "swivio video compressors 1 libavcodec " + std::to_string(avcodec_version()) + " " +
           std::to_string(hash);
}

bool isProbedMultiple(int multiple) {
    return std::find(std::begin(kSideMultiples), std::end(kSideMultiples), multiple) !=
           std::end(kSideMultiples);
}

// A cached entry stands only for an encoder this process has, of the kind the probe takes,
// with a rule the probe can find.
bool acceptCached(VideoCompressorInfo& info) {
    const AVCodec* codec = avcodec_find_encoder_by_name(info.encoderName.c_str());
    if (!codec || codec->type != AVMEDIA_TYPE_VIDEO ||
        (codec->capabilities & AV_CODEC_CAP_HARDWARE) || libav::aviFourCcOf(codec->id) == 0 ||
        isIndeo5(info.fourCC) || !isProbedMultiple(info.widthMultiple) ||
        !isProbedMultiple(info.heightMultiple))
        return false;
    info.hasQuality = libav::qualityScaleOf(codec) != libav::QualityScale::None;
    return true;
}

// The cached list when the cache file is sound, else the probe's (then cached).
std::vector<VideoCompressorInfo> loadOrProbeCompressors() {
    const std::string path = videoCompressorCachePath();
    const std::string key = cacheKey();
    std::optional<std::vector<VideoCompressorInfo>> list;
    if (!path.empty()) {
        if (std::optional<std::string> text = readVideoCompressorCache(path))
            list = parseVideoCompressorCache(*text, key, acceptCached);
    }
    if (!list) {
        list = probeCompressors();
        if (!path.empty()) // a cache that cannot be written is only a slower next start
            (void)writeVideoCompressorCache(path, videoCompressorCacheText(*list, key));
    }
    std::sort(list->begin(), list->end(),
              [](const auto& a, const auto& b) { return a.name < b.name; });
    list->insert(list->begin(), VideoCompressorInfo{"Uncompressed", 0, {}});
    return std::move(*list);
}

} // namespace

const std::vector<VideoCompressorInfo>& videoCompressors() {
    // A function-local static is initialised once, also when several threads ask at once.
    static const std::vector<VideoCompressorInfo> list = loadOrProbeCompressors();
    return list;
}

const VideoCompressorInfo* findVideoCompressor(uint32_t fourCC) {
    for (const VideoCompressorInfo& info : videoCompressors())
        if (info.fourCC == fourCC)
            return &info;
    return nullptr;
}

std::string videoCompressorName(uint32_t fourCC) {
    const VideoCompressorInfo* info = findVideoCompressor(fourCC);
    return info ? info->name : std::string();
}

std::string videoCompressorKey(const VideoCompressorInfo& info) {
    if (info.fourCC == 0)
        return "0";
    std::string text = fourCcText(info.fourCC);
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

const VideoCompressorInfo* findVideoCompressorByName(const std::string& name) {
    const auto same = [&name](const std::string& other) {
        return strcasecmp(name.c_str(), other.c_str()) == 0;
    };
    for (const VideoCompressorInfo& info : videoCompressors())
        if (same(videoCompressorKey(info)) || same(info.name) ||
            (info.fourCC == 0 && same("uncompressed")))
            return &info;
    return nullptr;
}

Status checkVideoCompressorSize(uint32_t fourCC, int width, int height) {
    const VideoCompressorInfo* info = findVideoCompressor(fourCC);
    if (!info)
        return Status::failure("No video compressor with FourCC " + fourCcText(fourCC) +
                               " is installed.");
    const auto rule = [&](const char* side, int multiple) {
        const int w = width / info->widthMultiple * info->widthMultiple;
        const int h = height / info->heightMultiple * info->heightMultiple;
        std::string text = "The " + info->name + " video compressor needs a frame " + side +
                           " that is a multiple of " + std::to_string(multiple) + ", and " +
                           std::to_string(width) + " x " + std::to_string(height) + " is not";
        if (w > 0 && h > 0)
            text += "; " + std::to_string(w) + " x " + std::to_string(h) + " would do";
        return Status::failure(text + ".");
    };
    if (width % info->widthMultiple != 0)
        return rule("width", info->widthMultiple);
    if (height % info->heightMultiple != 0)
        return rule("height", info->heightMultiple);
    return {};
}

bool videoCompressorHasConfiguration(uint32_t fourCC) {
    const VideoCompressorInfo* info = findVideoCompressor(fourCC);
    return info && info->hasQuality;
}

bool videoCompressorHasAbout(uint32_t fourCC) {
    const VideoCompressorInfo* info = findVideoCompressor(fourCC);
    return info && !info->encoderName.empty();
}

std::string videoCompressorAbout(uint32_t fourCC) {
    const VideoCompressorInfo* info = findVideoCompressor(fourCC);
    if (!info || info->encoderName.empty())
        return {};
    const AVCodec* codec = avcodec_find_encoder_by_name(info->encoderName.c_str());
    std::string text = info->name;
    if (codec && codec->long_name)
        text += " - " + std::string(codec->long_name);
    const unsigned version = avcodec_version();
    text += "\nFourCC: " + fourCcText(fourCC) + "\nlibavcodec " + std::to_string(version >> 16) +
            "." + std::to_string((version >> 8) & 0xFF) + "." + std::to_string(version & 0xFF);
    return text;
}

std::string fourCcText(uint32_t fourCC) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const auto ch = static_cast<unsigned char>(fourCC >> (8 * i));
        text += std::isprint(ch) ? char(ch) : '?';
    }
    return text;
}

} // namespace swivio
