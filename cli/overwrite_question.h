#pragma once

#include <string>

#include "base/result.h"

namespace swivio::cli {

// What the command line says about replacing an output file that exists: -y, -n, or
// neither (ask).
enum class OverwriteChoice { Ask, Always, Never };

// Whether `existing`, an output file that exists, may be replaced. -y allows it and -n
// refuses it; otherwise the question "File 'x' already exists. Overwrite? [y/N] " is asked
// on standard error and answered on standard input, and only an answer starting with 'y'
// or 'Y' allows it. When standard input is not a terminal nobody can answer: refused. A
// refusal carries the message to print.
Status allowOverwrite(const std::string& existing, OverwriteChoice choice);

} // namespace swivio::cli
