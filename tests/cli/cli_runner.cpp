#include "tests/cli/cli_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <fstream>
#include <sstream>

extern char** environ;

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

InterruptedRun interruptWhileRecording(const std::vector<std::string>& args,
                                       const std::string& folder, int signal) {
    std::vector<std::string> words = {SWIVIO_CLI_PATH};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, SWIVIO_CLI_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    InterruptedRun run;
    if (spawned != 0)
        return run;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    // A file that stays (seen twice in a row): the probe that proves the folder writable
    // comes and goes at once.
    int seen = 0;
    while (seen < 2 && std::chrono::steady_clock::now() < deadline) {
        seen = std::filesystem::is_empty(folder) ? 0 : seen + 1;
        if (seen < 2)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    run.started = seen == 2;
    kill(pid, signal);
    int status = 0;
    if (waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    return run;
}

} // namespace swivio::testkit
