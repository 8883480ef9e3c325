#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "base/frame.h"
#include "cli/arguments.h"
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
    const std::optional<int> frameNumber = parseInteger(argv[1], 1, kMaxFrameNumber);
    if (!frameNumber) {
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
        const auto size = parseSize(argv[4]);
        if (!size) {
            std::fprintf(stderr,
                         "swivio-cli frame: the size must be WxH with each side from 1 to %d, "
                         "not '%s'\n",
                         kMaxSide, argv[4]);
            return 1;
        }
        width = (*size)[0];
        height = (*size)[1];
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
    for (int i = 1; i < *frameNumber; ++i)
        movie.tick();
    Frame frame(width, height);
    movie.paint(frame, SourceViewport{width, height, 0, 0, 0, 0, width, height});
    if (Status written = writePngFile(frame, outPath); !written) {
        std::fprintf(stderr, "swivio-cli frame: %s\n", written.message().c_str());
        return 1;
    }
    return 0;
}

} // namespace swivio::cli
