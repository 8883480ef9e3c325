#pragma once

#include <vector>

#include "base/result.h"
#include "capture/real_time_player.h"

namespace swivio::cli {


// The record command's own options; `rest` holds every other argument, for the convert
// options (pointers into the given argv).
struct RecordArguments {
    double seconds = 0; // 0: not given
    std::vector<ScriptedClick> clicks; // in time order
    std::vector<char*> rest;
    bool help = false;
};

// The longest recording the command takes, in seconds.
inline constexpr double kMaxRecordSeconds = 24 * 3600;

// Takes --seconds N and --click X,Y@SECONDS (also as --option=value) out of the arguments
// after "record". Fails naming the bad argument.
Result<RecordArguments> parseRecordArguments(int argc, char** argv);

// The help text of the record command.
const char* recordUsage();

} // namespace swivio::cli
