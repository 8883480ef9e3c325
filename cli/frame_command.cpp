#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "base/frame.h"
#include "base/output_file.h"
#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/overwrite_question.h"
#include "encode/image/frame_picture.h"
#include "encode/output_checks.h"
#include "source/movie_source.h"

namespace swivio::cli {

namespace {

constexpr int kMaxFrameNumber = 1000000;
constexpr int kMaxSide = 8192;

void printFrameUsage() {
    std::fputs("usage: swivio-cli frame MOVIE N OUT [--size WxH] [-y | -n]\n"
               "  N counts from 1 (the first frame); WxH defaults to the stage size;\n"
               "  OUT is a .png, .bmp, .jpg or .gif picture (PNG for other names);\n"
               "  -y overwrites OUT when it exists, -n never does (without either the\n"
               "  question is asked on a terminal)\n",
               stderr);
}

int fail(const std::string& message) {
    std::fprintf(stderr, "swivio-cli frame: %s\n", message.c_str());
    return 1;
}

} // namespace

// swivio-cli frame MOVIE N OUT [--size WxH] [-y | -n]: plays the movie for N frames
// (every clip advancing, as playback does) and writes what it then shows as a picture.
int runFrame(int argc, char** argv) {
    std::vector<std::string> words;
    std::optional<std::string> sizeText;
    OverwriteChoice overwrite = OverwriteChoice::Ask;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--size" && i + 1 < argc) {
            sizeText = argv[++i];
        } else if (arg == "-y" || arg == "-n") {
            const OverwriteChoice choice =
                arg == "-y" ? OverwriteChoice::Always : OverwriteChoice::Never;
            if (overwrite != OverwriteChoice::Ask && overwrite != choice)
                return fail("-y and -n cannot be given together.");
            overwrite = choice;
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "swivio-cli frame: unknown option '%s'\n", arg.c_str());
            printFrameUsage();
            return 1;
        } else {
            words.push_back(arg);
        }
    }
    if (words.size() != 3) {
        printFrameUsage();
        return 1;
    }
    const std::string moviePath = words[0];
    const std::string outPath = words[2];
    const std::optional<int> frameNumber = parseInteger(words[1], 1, kMaxFrameNumber);
    if (!frameNumber) {
        std::fprintf(stderr, "swivio-cli frame: N must be a whole number from 1 to %d, not '%s'\n",
                     kMaxFrameNumber, words[1].c_str());
        return 1;
    }
    int width = 0, height = 0;
    if (sizeText) {
        const auto size = parseSize(*sizeText);
        if (!size) {
            std::fprintf(stderr,
                         "swivio-cli frame: the size must be WxH with each side from 1 to %d, "
                         "not '%s'\n",
                         kMaxSide, sizeText->c_str());
            return 1;
        }
        width = (*size)[0];
        height = (*size)[1];
    }

    // The picture never replaces the movie, nor anything that is not a regular file; a
    // picture that exists is replaced only when allowed.
    if (Status output = checkOutputFile(outPath, {{"the movie", moviePath}}, true); !output)
        return fail(output.message());
    if (Result<OutputTarget> target = resolveOutputTarget(outPath); target && target->exists) {
        if (Status allowed = allowOverwrite(outPath, overwrite); !allowed)
            return fail(allowed.message());
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
    // A video's frame is found by its time.
    if (movie.isFlv()) {
        movie.gotoFrame(*frameNumber - 1);
    } else {
        movie.play();
        for (int i = 1; i < *frameNumber; ++i)
            movie.tick();
    }
    Frame frame(width, height);
    movie.paint(frame, SourceViewport{width, height, 0, 0, 0, 0, width, height});
    // Written beside OUT and renamed over it when complete, as the picture type its
    // extension names.
    const PictureFileType type = pictureFileTypeForName(outPath);
    Status written = writeOutputFile(outPath, [&](const std::string& path) {
        return saveFramePicture(frame, type, path);
    });
    if (!written)
        return fail(written.message());
    return 0;
}

} // namespace swivio::cli
