#include <cstdio>

#include "cli/commands.h"

namespace swivio::cli {

int runFrame(int, char**) {
    std::fputs("swivio-cli frame: not built yet\n", stderr);
    return 1;
}

} // namespace swivio::cli
