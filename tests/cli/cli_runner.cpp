#include "tests/cli/cli_runner.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace swivio::testkit {

namespace {

std::string quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

} // namespace

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

CliRun runCli(const TempDir& dir, const std::vector<std::string>& args) {
    std::string command = "cd " + quoted(dir.path().string()) + " && " + quoted(SWIVIO_CLI_PATH);
    for (const std::string& a : args)
        command += " " + quoted(a);
    const std::string outPath = dir.file("stdout.txt");
    const std::string errPath = dir.file("stderr.txt");
    command += " >" + quoted(outPath) + " 2>" + quoted(errPath) + " </dev/null";
    const int status = std::system(command.c_str());
    CliRun run;
    if (status != -1 && WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    run.out = slurp(outPath);
    run.err = slurp(errPath);
    return run;
}

} // namespace swivio::testkit
