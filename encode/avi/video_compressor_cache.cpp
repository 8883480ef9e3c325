#include "encode/avi/video_compressor_cache.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <system_error>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace swivio {

namespace {

constexpr std::uintmax_t kMaxCacheBytes = 1 << 20;

// A whole-number field of 1 to 8 decimal digits, or 8 hexadecimal ones.
std::optional<uint32_t> parseNumber(const std::string& text, int base) {
    if (text.empty() || text.size() > 8)
        return std::nullopt;
    for (char ch : text)
        if (!(base == 16 ? std::isxdigit(static_cast<unsigned char>(ch))
                         : std::isdigit(static_cast<unsigned char>(ch))))
            return std::nullopt;
    return uint32_t(std::strtoul(text.c_str(), nullptr, base));
}

} // namespace

std::string videoCompressorCachePath() {
    std::filesystem::path folder;
    const char* cache = std::getenv("XDG_CACHE_HOME");
    const char* home = std::getenv("HOME");
    if (cache && std::filesystem::path(cache).is_absolute())
        folder = cache;
    else if (home && std::filesystem::path(home).is_absolute())
        folder = std::filesystem::path(home) / ".cache";
    else
        return {};
    const unsigned version = avcodec_version();
    return (folder / "swivio" /
            ("video-compressors-" + std::to_string(version >> 16) + "." +
             std::to_string((version >> 8) & 0xFF) + "." + std::to_string(version & 0xFF) + ".txt"))
        .string();
}

std::string videoCompressorCacheText(const std::vector<VideoCompressorInfo>& list,
                                     const std::string& key) {
    std::string text = key + "\n";
    char fourCC[16];
    for (const VideoCompressorInfo& info : list) {
        if (info.fourCC == 0)
            continue;
        std::snprintf(fourCC, sizeof fourCC, "%08x", info.fourCC);
        text += info.encoderName + " " + fourCC + " " + std::to_string(info.widthMultiple) + " " +
                std::to_string(info.heightMultiple) + "\n";
    }
    return text;
}

std::optional<std::vector<VideoCompressorInfo>>
parseVideoCompressorCache(const std::string& text, const std::string& key,
                          const std::function<bool(VideoCompressorInfo&)>& accept) {
    std::istringstream lines(text);
    std::string line;
    if (!std::getline(lines, line) || line != key)
        return std::nullopt;
    std::vector<VideoCompressorInfo> list;
    std::set<uint32_t> fourCCs;
    std::set<std::string> names;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string name, fourCC, width, height, extra;
        if (!(fields >> name >> fourCC >> width >> height) || (fields >> extra))
            return std::nullopt;
        const auto code = parseNumber(fourCC, 16);
        const auto w = parseNumber(width, 10);
        const auto h = parseNumber(height, 10);
        if (!code || *code == 0 || !w || !h || *w == 0 || *h == 0)
            return std::nullopt;
        VideoCompressorInfo info{name, *code, name};
        info.widthMultiple = int(*w);
        info.heightMultiple = int(*h);
        if (!fourCCs.insert(*code).second || !names.insert(name).second || !accept(info))
            return std::nullopt;
        list.push_back(std::move(info));
    }
    if (list.empty())
        return std::nullopt;
    return list;
}

std::optional<std::string> readVideoCompressorCache(const std::string& path) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || size > kMaxCacheBytes)
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
        return std::nullopt;
    return text.str();
}

bool writeVideoCompressorCache(const std::string& path, const std::string& text) {
    std::error_code ec;
    const std::filesystem::path target(path);
    std::filesystem::create_directories(target.parent_path(), ec);
    if (ec)
        return false;
    // Each process writes a file of its own and renames it: readers see a whole file.
    const std::filesystem::path temporary =
        target.parent_path() / (target.filename().string() + "." + std::to_string(getpid()));
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            std::filesystem::remove(temporary, ec);
            return false;
        }
    }
    std::filesystem::rename(temporary, target, ec);
    if (ec) {
        std::filesystem::remove(temporary, ec);
        return false;
    }
    return true;
}

} // namespace swivio
