#pragma once

#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace swivio::testkit {

struct CliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the built swivio-cli with the given arguments in `dir`, capturing both output
// streams (in files of that folder).
CliRun runCli(const TempDir& dir, const std::vector<std::string>& args);

std::string slurp(const std::string& path);

// Starts swivio-cli with `args` (standard error discarded), waits up to a minute for a file
// to appear in `folder` (the recording has begun), sends `signal` and waits for the end.
struct InterruptedRun {
    bool started = false; // a file appeared in `folder` before the signal
    int exitCode = -1;    // -1 when the program did not exit by itself
};
InterruptedRun interruptWhileRecording(const std::vector<std::string>& args,
                                       const std::string& folder, int signal);

} // namespace swivio::testkit
