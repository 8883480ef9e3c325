#include <cstdio>

#include "cli/commands.h"
#include "source/movie_header.h"

namespace swivio::cli {

// swivio-cli info MOVIE: the facts the header reader finds, one per line.
int runInfo(int argc, char** argv) {
    if (argc != 1) {
        std::fputs("usage: swivio-cli info MOVIE\n", stderr);
        return 1;
    }
    MovieHeader header;
    if (!header.read(argv[0])) {
        std::fputs("This is not a valid Adobe flash movie file!\n", stderr);
        return 1;
    }
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
