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

} // namespace swivio::testkit
