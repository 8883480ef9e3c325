#include <cstdio>

#include "cli/commands.h"

namespace swivio::cli {

int runInfo(int, char**) {
    std::fputs("swivio-cli info: not built yet\n", stderr);
    return 1;
}

} // namespace swivio::cli
