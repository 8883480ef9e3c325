#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/input_options.h"
#include "source/movie_trace.h"
#include "source/recorded_input.h"

namespace swivio::cli {

namespace {

constexpr int kMaxTraceFrames = 1000000;

void printTraceUsage() {
    std::fputs("usage: swivio-cli trace MOVIE [FRAMES] [--input FILE] [--click X,Y@T] [--key NAME@T]\n"
               "  plays the movie for FRAMES frames (default: its frame count) with no\n"
               "  display, scripts in charge, and prints each trace() line on standard\n"
               "  output and each script error on standard error\n"
               "  --input FILE        replay the recorded input in FILE (a JSON array of\n"
               "                      events; \"Wait\" ends a frame's events); without it,\n"
               "                      input.json beside the movie is replayed when present\n",
               stderr);
    std::fputs(inputOptionsUsage(), stderr);
}

} // namespace

// swivio-cli trace MOVIE [FRAMES] [options]
int runTrace(int argc, char** argv) {
    std::vector<std::string> positional;
    std::optional<std::string> inputPath;
    std::vector<TimedInput> scripted;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        Status status;
        if (arg == "--help" || arg == "-h") {
            printTraceUsage();
            return 0;
        } else if (arg == "--input" && hasValue) {
            inputPath = argv[++i];
        } else if (arg == "--click" && hasValue) {
            status = parseClickOption(argv[++i], scripted);
        } else if (arg == "--key" && hasValue) {
            status = parseKeyOption(argv[++i], scripted);
        } else if (!arg.empty() && arg[0] == '-') {
            printTraceUsage();
            return 1;
        } else {
            positional.push_back(arg);
        }
        if (!status) {
            std::fprintf(stderr, "swivio-cli trace: %s\n", status.message().c_str());
            return 1;
        }
    }
    if (positional.empty() || positional.size() > 2) {
        printTraceUsage();
        return 1;
    }
    const std::string path = positional[0];
    int frames = 0;
    if (positional.size() == 2) {
        auto n = parseInteger(positional[1], 1, kMaxTraceFrames);
        if (!n) {
            std::fprintf(stderr, "swivio-cli trace: FRAMES must be a whole number from 1 to %d\n",
                         kMaxTraceFrames);
            return 1;
        }
        frames = *n;
    }
    // Input recorded with the movie lies beside it as input.json.
    if (!inputPath) {
        std::error_code error;
        const auto beside = std::filesystem::path(path).parent_path() / "input.json";
        if (std::filesystem::is_regular_file(beside, error))
            inputPath = beside.string();
    }
    std::vector<std::vector<UserInput>> steps;
    if (inputPath) {
        auto recorded = readRecordedInput(*inputPath);
        if (!recorded) {
            std::fprintf(stderr, "swivio-cli trace: %s\n", recorded.message().c_str());
            return 1;
        }
        steps = std::move(recorded->steps);
    }
    mergeInputSteps(steps, scripted);

    auto onTrace = [](std::string_view line) {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
    };
    auto onError = [](std::string_view message) {
        std::fprintf(stderr, "script: %.*s\n", int(message.size()), message.data());
    };
    Status status = traceMovie(path, frames, steps, onTrace, onError);
    std::fflush(stdout);
    if (!status) {
        std::fprintf(stderr, "swivio-cli trace: %s\n", status.message().c_str());
        return 1;
    }
    return 0;
}

} // namespace swivio::cli
