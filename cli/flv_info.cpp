#include "cli/flv_info.h"

#include <cstdio>

#include "source/flv_player.h"

namespace swivio::cli {

namespace {

std::string jsonText(const std::string& text) {
    std::string out = "\"";
    for (const unsigned char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (c < 0x20)
            continue;
        out += char(c);
    }
    return out + "\"";
}

} // namespace

int printFlvInfo(const std::string& path, bool json) {
    FlvPlayer player;
    if (!player.open(path)) {
        std::fprintf(stderr, "%s (%s)\n", kInvalidMovieMessage, player.errorString().c_str());
        return 1;
    }
    const FlvStreamInfo info = player.mediaInfo();
    const std::string audio = info.audioCodec.empty() ? "none" : info.audioCodec;
    if (json) {
        std::printf("{\"signature\": \"FLV\", \"width\": %d, \"height\": %d, \"frameRate\": %.2f, "
                    "\"duration\": %.3f, \"seconds\": %d, \"video\": %s, \"audio\": %s, "
                    "\"sound\": %s}\n",
                    info.width, info.height, info.frameRate, info.duration,
                    int(player.movieLength()), jsonText(info.videoCodec).c_str(),
                    info.audioCodec.empty() ? "null" : jsonText(info.audioCodec).c_str(),
                    info.hasSound ? "true" : "false");
    } else {
        std::printf("signature: FLV\n"
                    "size: %d x %d pixels\n"
                    "frame rate: %.2f\n",
                    info.width, info.height, info.frameRate);
        if (info.duration > 0)
            std::printf("duration: %.2f s\n", info.duration);
        else
            std::printf("duration: unknown\n");
        std::printf("video: %s\n"
                    "audio: %s%s\n",
                    info.videoCodec.c_str(), audio.c_str(),
                    !info.audioCodec.empty() && !info.hasSound ? " (cannot be played)" : "");
    }
    for (const std::string& warning : player.warnings())
        std::fprintf(stderr, "swivio-cli info: warning: %s\n", warning.c_str());
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace swivio::cli
