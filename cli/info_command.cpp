#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/flv_info.h"
#include "source/movie_source.h"
#include "source/swf_movie_file.h"

namespace swivio::cli {

namespace {

// A JSON string literal: quotes, backslashes and control characters escaped.
std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (const unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

} // namespace

// swivio-cli info MOVIE [--json]: the facts of the movie's header, one per line (or one
// JSON object), and what is damaged in it. The movie is read as every other command reads
// it, so what it accepts the others play.
int runInfo(int argc, char** argv) {
    const bool json = argc == 2 && std::strcmp(argv[1], "--json") == 0;
    if (argc != 1 && !json) {
        std::fputs("usage: swivio-cli info MOVIE [--json]\n", stderr);
        return 1;
    }
    if (hasFlvExtension(argv[0]))
        return printFlvInfo(argv[0], json);
    auto file = loadSwfMovieFile(argv[0]);
    if (!file) {
        std::fprintf(stderr, "%s\n", file.message().c_str());
        return 1;
    }
    const MovieHeader& h = file->header;
    const double duration = h.frameRate > 0 ? h.frameCount / double(h.frameRate) : 0.0;
    const std::vector<std::string> warnings = movieFileWarnings(*file);
    const std::string scripts = movieScripts(*file);
    const std::vector<MovieSoundEntry> sounds = movieSounds(*file);
    if (json) {
        std::string list;
        for (const std::string& w : warnings)
            list += (list.empty() ? "" : ", ") + jsonString(w);
        std::string soundList;
        for (const MovieSoundEntry& s : sounds) {
            char item[256];
            std::snprintf(item, sizeof item,
                          "{\"kind\": \"%s\", \"id\": %d, \"format\": %s, \"rate\": %d, "
                          "\"channels\": %d, \"duration\": %.3f}",
                          s.stream ? "stream" : "event", s.characterId, jsonString(s.format).c_str(),
                          s.rate, s.channels, s.seconds);
            soundList += (soundList.empty() ? "" : ", ") + std::string(item);
        }
        std::printf("{\"signature\": %s, \"version\": %d, \"width\": %d, \"height\": %d, "
                    "\"frameRate\": %.2f, \"frames\": %d, \"duration\": %.3f, "
                    "\"compressed\": %s, \"scripts\": %s, \"sounds\": [%s], \"damaged\": %s, "
                    "\"warnings\": [%s]}\n",
                    jsonString(h.signature).c_str(), h.version, int(h.width), int(h.height),
                    double(h.frameRate), int(h.frameCount), duration,
                    h.signature == "FWS" ? "false" : "true", jsonString(scripts).c_str(),
                    soundList.c_str(), warnings.empty() ? "false" : "true", list.c_str());
    } else {
        std::printf("signature: %s\n"
                    "version: %d\n"
                    "size: %d x %d pixels\n"
                    "frame rate: %.2f\n"
                    "frame count: %d\n"
                    "duration: %.2f s\n"
                    "scripts: %s\n",
                    h.signature.c_str(), h.version, int(h.width), int(h.height),
                    double(h.frameRate), int(h.frameCount), duration, scripts.c_str());
        if (!sounds.empty()) {
            int streams = 0;
            double seconds = 0;
            for (const MovieSoundEntry& s : sounds) {
                streams += s.stream ? 1 : 0;
                seconds += s.seconds;
            }
            std::printf("sounds: %d (%d event, %d stream), %.2f s in all\n", int(sounds.size()),
                        int(sounds.size()) - streams, streams, seconds);
            for (const MovieSoundEntry& s : sounds) {
                const std::string what = s.stream ? std::string("stream") : "event sound " + std::to_string(s.characterId);
                std::printf("  %s: %s, %d Hz, %s, %.2f s\n", what.c_str(), s.format.c_str(), s.rate,
                            s.channels == 2 ? "stereo" : "mono", s.seconds);
            }
        }
        if (!warnings.empty())
            std::printf("damaged: %s\n", warnings.front().c_str());
        for (std::size_t i = 1; i < warnings.size(); ++i)
            std::fprintf(stderr, "swivio-cli info: warning: %s\n", warnings[i].c_str());
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace swivio::cli
