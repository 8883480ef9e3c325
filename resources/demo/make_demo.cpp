// Writes the demo movie that the README's first command converts.
#include <cstdio>

#include "resources/demo/demo_movie.h"
#include "swf/writer/swf_writer.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: swivio-make-demo OUT.swf\n");
        return 2;
    }
    if (!swivio::swf::writer::writeBytes(argv[1], swivio::demo::demoMovie())) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
