#include <cstdio>
#include <string>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "source/movie_trace.h"

namespace swivio::cli {

namespace {

constexpr int kMaxTraceFrames = 1000000;

void printTraceUsage() {
    std::fputs("usage: swivio-cli trace MOVIE [FRAMES]\n"
               "  plays the movie for FRAMES frames (default: its frame count) with no\n"
               "  display, scripts in charge, and prints each trace() line on standard\n"
               "  output and each script error on standard error\n",
               stderr);
}

} // namespace

// swivio-cli trace MOVIE [FRAMES]
int runTrace(int argc, char** argv) {
    if (argc < 1 || argc > 2 || argv[0][0] == '-') {
        printTraceUsage();
        return 1;
    }
    const std::string path = argv[0];
    int frames = 0;
    if (argc == 2) {
        auto n = parseInteger(argv[1], 1, kMaxTraceFrames);
        if (!n) {
            std::fprintf(stderr, "swivio-cli trace: FRAMES must be a whole number from 1 to %d\n",
                         kMaxTraceFrames);
            return 1;
        }
        frames = *n;
    }
    auto onTrace = [](std::string_view line) {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
    };
    auto onError = [](std::string_view message) {
        std::fprintf(stderr, "script: %.*s\n", int(message.size()), message.data());
    };
    Status status = traceMovie(path, frames, onTrace, onError);
    std::fflush(stdout);
    if (!status) {
        std::fprintf(stderr, "swivio-cli trace: %s\n", status.message().c_str());
        return 1;
    }
    return 0;
}

} // namespace swivio::cli
