#include <cstdio>

#include "cli/commands.h"
#include "source/swf_movie_file.h"

namespace swivio::cli {

// swivio-cli info MOVIE: the facts of the movie's header, one per line. The movie is read as
// every other command reads it, so what it accepts the others play.
int runInfo(int argc, char** argv) {
    if (argc != 1) {
        std::fputs("usage: swivio-cli info MOVIE\n", stderr);
        return 1;
    }
    auto file = loadSwfMovieFile(argv[0]);
    if (!file) {
        std::fprintf(stderr, "%s\n", file.message().c_str());
        return 1;
    }
    const MovieHeader& header = file->header;
    std::printf("signature: %s\n"
                "version: %d\n"
                "size: %d x %d pixels\n"
                "frame rate: %.2f\n"
                "frame count: %d\n",
                header.signature.c_str(), header.version, int(header.width), int(header.height),
                double(header.frameRate), int(header.frameCount));
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace swivio::cli
