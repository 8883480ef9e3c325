// swivio-cli: converts movies without a display, driving the same core as the desktop program.
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2 || std::string(argv[1]) == "--help") {
        std::printf("usage: swivio-cli COMMAND ...\n");
        return argc < 2 ? 1 : 0;
    }
    return 1;
}
