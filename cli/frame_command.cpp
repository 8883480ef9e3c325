#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "base/frame.h"
#include "cli/commands.h"
#include "encode/image/png_file.h"
#include "source/movie_source.h"

namespace swivio::cli {

namespace {

constexpr int kMaxFrameNumber = 1000000;
constexpr int kMaxSide = 8192;

void printFrameUsage() {
    std::fputs("usage: swivio-cli frame MOVIE N OUT.png [--size WxH]\n"
               "  N counts from 1 (the first frame); WxH defaults to the stage size\n",
               stderr);
}

// A whole decimal number in [low, high], nothing else.
bool parseInt(std::string_view text, int low, int high, int& value) {
    int v = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, v);
    if (ec != std::errc() || ptr != end || v < low || v > high)
        return false;
    value = v;
    return true;
}

bool parseSize(std::string_view text, int& width, int& height) {
    const std::size_t x = text.find_first_of("xX");
    return x != std::string_view::npos && parseInt(text.substr(0, x), 1, kMaxSide, width) &&
           parseInt(text.substr(x + 1), 1, kMaxSide, height);
}

} // namespace

// swivio-cli frame MOVIE N OUT.png [--size WxH]: plays the movie for N frames (every clip
// advancing, as playback does) and writes what it then shows as a PNG.
int runFrame(int argc, char** argv) {
    if (argc != 3 && argc != 5) {
        printFrameUsage();
        return 1;
    }
    const std::string moviePath = argv[0];
    const std::string outPath = argv[2];
    int frameNumber = 0;
    if (!parseInt(argv[1], 1, kMaxFrameNumber, frameNumber)) {
        std::fprintf(stderr, "swivio-cli frame: N must be a whole number from 1 to %d, not '%s'\n",
                     kMaxFrameNumber, argv[1]);
        return 1;
    }
    int width = 0, height = 0;
    if (argc == 5) {
        if (std::strcmp(argv[3], "--size") != 0) {
            std::fprintf(stderr, "swivio-cli frame: unknown option '%s'\n", argv[3]);
            printFrameUsage();
            return 1;
        }
        if (!parseSize(argv[4], width, height)) {
            std::fprintf(stderr,
                         "swivio-cli frame: the size must be WxH with each side from 1 to %d, "
                         "not '%s'\n",
                         kMaxSide, argv[4]);
            return 1;
        }
    }

    auto source = openMovieSource(moviePath);
    if (!source) {
        std::fprintf(stderr, "swivio-cli frame: %s\n", source.message().c_str());
        return 1;
    }
    MovieSource& movie = **source;
    for (const std::string& warning : movie.warnings())
        std::fprintf(stderr, "swivio-cli frame: warning: %s\n", warning.c_str());
    if (width == 0) {
        width = movie.movieWidth();
        height = movie.movieHeight();
        if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) {
            std::fprintf(stderr,
                         "swivio-cli frame: the movie's stage is %d x %d pixels; give a size "
                         "with --size WxH\n",
                         width, height);
            return 1;
        }
    }

    // The movie plays for N frames, every clip advancing, as it does on screen.
    movie.play();
    for (int i = 1; i < frameNumber; ++i)
        movie.tick();
    Frame frame(width, height);
    movie.paint(frame, SourceViewport{width, height, 0, 0, 0, 0, width, height});
    std::string error;
    if (!writePngFile(frame, outPath, &error)) {
        std::fprintf(stderr, "swivio-cli frame: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

} // namespace swivio::cli
