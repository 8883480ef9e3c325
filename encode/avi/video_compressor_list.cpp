#include "encode/avi/video_compressor_list.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "encode/avi/libav_video_encoder.h"

extern "C" {
#include <libavutil/log.h>
}

namespace swivio {

namespace {

// The size the compressor list tests every encoder with.
constexpr int kProbeWidth = 320;
constexpr int kProbeHeight = 160;

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
            libav::openVideoEncoder(codec, kProbeWidth, kProbeHeight, 1, 25);
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
        taken.insert(tableFourCC);
        taken.insert(fourCC);
        found.push_back(VideoCompressorInfo{codec->name, fourCC, codec->name});
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.name < b.name; });
    found.insert(found.begin(), VideoCompressorInfo{"Uncompressed", 0, {}});
    return found;
}

} // namespace

const std::vector<VideoCompressorInfo>& videoCompressors() {
    // A function-local static is initialised once, also when several threads ask at once.
    static const std::vector<VideoCompressorInfo> list = probeCompressors();
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

bool videoCompressorHasConfiguration(uint32_t) {
    return false;
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
