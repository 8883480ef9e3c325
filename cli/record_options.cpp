#include "cli/record_options.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>

namespace swivio::cli {

namespace {

// A finite decimal number, the whole text.
std::optional<double> parseNumber(const std::string& text) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0])))
        return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

Status parseClick(const std::string& text, std::vector<ScriptedClick>& out) {
    const Status bad = Status::failure(
        "--click takes X,Y@SECONDS (stage pixels, seconds from the start), not '" + text + "'");
    const auto at = text.rfind('@');
    const auto comma = text.find(',');
    if (at == std::string::npos || comma == std::string::npos || comma > at)
        return bad;
    const auto x = parseNumber(text.substr(0, comma));
    const auto y = parseNumber(text.substr(comma + 1, at - comma - 1));
    const auto seconds = parseNumber(text.substr(at + 1));
    if (!x || !y || !seconds || *seconds < 0 || *seconds > kMaxRecordSeconds ||
        std::fabs(*x) > 1e6 || std::fabs(*y) > 1e6)
        return bad;
    out.push_back({*x, *y, *seconds});
    return Status();
}

} // namespace

Result<RecordArguments> parseRecordArguments(int argc, char** argv) {
    RecordArguments args;
    bool optionsEnded = false;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnded || arg == "--") {
            optionsEnded = true;
            args.rest.push_back(argv[i]);
            continue;
        }
        std::string name = arg;
        std::optional<std::string> value;
        if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        }
        if (name != "--seconds" && name != "--click") {
            if (arg == "--help" || arg == "-h")
                args.help = true;
            args.rest.push_back(argv[i]);
            continue;
        }
        if (!value) {
            if (i + 1 >= argc)
                return Status::failure(name + " needs a value.");
            value = argv[++i];
        }
        if (name == "--seconds") {
            const auto seconds = parseNumber(*value);
            if (!seconds || *seconds <= 0 || *seconds > kMaxRecordSeconds)
                return Status::failure("Invalid value '" + *value +
                                       "' for --seconds (expected a number of seconds above 0, "
                                       "at most 86400).");
            args.seconds = *seconds;
        } else if (Status clicked = parseClick(*value, args.clicks); !clicked) {
            return Result<RecordArguments>(clicked);
        }
    }
    std::stable_sort(args.clicks.begin(), args.clicks.end(),
                     [](const ScriptedClick& a, const ScriptedClick& b) { return a.seconds < b.seconds; });
    return args;
}

const char* recordUsage() {
    return "usage: swivio-cli record MOVIE --seconds N [--click X,Y@SECONDS]... [options]\n"
           "\n"
           "Records the movie as it plays in real time, as the Record window does when you\n"
           "play it: pictures at the output's frame rate (at most the movie's) and the sound\n"
           "it plays, then encodes them like convert.\n"
           "\n"
           "  --seconds N             how long to record, in seconds\n"
           "  --click X,Y@SECONDS     at SECONDS after the start, move the mouse to movie pixel\n"
           "                          X,Y and click the left button there; repeatable\n"
           "\n"
           "Every option of convert that chooses the output is taken (-o, -y, -n, --type,\n"
           "--codec, --size, --rate, --crop, --audio, --work-dir, ...; see convert --help);\n"
           "--play, --frames, --duration and --key are not.\n";
}

} // namespace swivio::cli
