// Writes the demo movie that the README's first command converts.
#include <cstdio>

#include "tests/support/demo_movie.h"
#include "tests/support/swf_writer.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: swivio-make-demo OUT.swf\n");
        return 2;
    }
    if (!swivio::testkit::writeBytes(argv[1], swivio::testkit::demoMovie())) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
