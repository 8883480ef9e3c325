// swivio-cli: converts movies without a display, driving the same core as the desktop program.
#include <cstdio>
#include <cstring>

#include "cli/commands.h"
#include "encode/media_log.h"

namespace {

void printUsage(std::FILE* out) {
    std::fputs("usage: swivio-cli COMMAND [ARGUMENTS]\n"
               "\n"
               "commands:\n"
               "  info MOVIE [--json]             print the movie's signature, version, size,\n"
               "                                  frame rate, frame count, duration and damage\n"
               "  frame MOVIE N OUT [--size WxH] [-y | -n]\n"
               "                                  render what the movie shows after playing N\n"
               "                                  frames (N = 1 is the first) into a picture\n"
               "  convert MOVIE [options]         convert a movie to AVI, MPEG, pictures or an\n"
               "                                  animated GIF (see convert --help)\n"
               "  trace MOVIE [FRAMES] [options]  play the movie with no display and print what\n"
               "                                  its scripts trace(), replaying recorded input\n"
               "                                  (see trace --help)\n"
               "  record MOVIE --seconds N [options]\n"
               "                                  record the movie playing in real time, with\n"
               "                                  scripted clicks (see record --help)\n"
               "  --help                          show this text\n"
               "  --version                       show the version\n",
               out);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        printUsage(stderr);
        return 1;
    }
    swivio::quietMediaLibraryLogs();
    const char* command = argv[1];
    if (!std::strcmp(command, "--help") || !std::strcmp(command, "-h") ||
        !std::strcmp(command, "help")) {
        printUsage(stdout);
        return 0;
    }
    if (!std::strcmp(command, "--version")) {
        std::printf("swivio-cli %s\n", SWIVIO_VERSION);
        return 0;
    }
    if (!std::strcmp(command, "info"))
        return swivio::cli::runInfo(argc - 2, argv + 2);
    if (!std::strcmp(command, "frame"))
        return swivio::cli::runFrame(argc - 2, argv + 2);
    if (!std::strcmp(command, "trace"))
        return swivio::cli::runTrace(argc - 2, argv + 2);
    if (!std::strcmp(command, "convert"))
        return swivio::cli::runConvert(argc - 2, argv + 2);
    if (!std::strcmp(command, "record"))
        return swivio::cli::runRecord(argc - 2, argv + 2);
    std::fprintf(stderr, "swivio-cli: unknown command '%s' (see swivio-cli --help)\n", command);
    return 1;
}
