#include "cli/batch_convert.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/output_file.h"
#include "cli/batch_plan.h"
#include "cli/batch_report.h"
#include "cli/convert_options.h"
#include "cli/overwrite_question.h"

namespace swivio::cli {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// How long a process asked to stop may take to delete its temporary files before it is
// killed outright: a movie stuck inside one frame never looks at the request.
constexpr auto kStopGrace = std::chrono::seconds(5);
constexpr int kPollMilliseconds = 100;
constexpr int kEndingPollMilliseconds = 5;

// How many times stopping was asked for: a second time kills the running movies at once.
std::atomic<int> g_stopRequests{0};

extern "C" void onStopSignal(int) {
    g_stopRequests.fetch_add(1);
}

// Ctrl-C, a closed terminal and SIGTERM ask the batch to stop; the handlers are restored
// when it ends. Ctrl-C also reaches the children directly (they share the terminal's
// process group); the batch passes the others on.
class StopSignals {
public:
    static constexpr std::array<int, 3> kSignals = {SIGINT, SIGHUP, SIGTERM};

    StopSignals() {
        g_stopRequests.store(0);
        struct sigaction action = {};
        action.sa_handler = onStopSignal;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < kSignals.size(); ++i)
            sigaction(kSignals[i], &action, &m_previous[i]);
    }
    ~StopSignals() {
        for (std::size_t i = 0; i < kSignals.size(); ++i)
            sigaction(kSignals[i], &m_previous[i], nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    std::array<struct sigaction, kSignals.size()> m_previous = {};
};

int fail(const std::string& message) {
    std::fprintf(stderr, "swivio-cli convert: %s\n", message.c_str());
    return 1;
}

// The options each movie's process gets: all but those that name inputs and outputs and
// those only the batch reads.
std::vector<std::string> sharedArguments(const ConvertOptions& o) {
    static const std::set<std::string> kBatchOnly = {
        "-o",          "--output", "--output-dir", "-j", "--jobs", "--timeout",
        "--recursive", "--json",   "--work-dir",   "-y", "-n"};
    std::vector<std::string> args;
    for (const std::vector<std::string>& group : o.movieArguments)
        if (!group.empty() && !kBatchOnly.count(group[0]))
            args.insert(args.end(), group.begin(), group.end());
    return args;
}

struct Job {
    BatchMovie movie;
    std::string overwrite; // "-y", "-n" or empty (the process refuses an existing output)
    std::string refused;   // set when the movie is not converted at all
};

// -y and -n pass on; without them the question is asked here, once per existing output
// and before anything runs, because processes running side by side cannot share a
// terminal. Without a terminal each process refuses by itself.
std::vector<Job> decideOverwrites(const std::vector<BatchMovie>& movies, OverwriteChoice choice) {
    std::vector<Job> jobs;
    const bool ask = choice == OverwriteChoice::Ask && isatty(STDIN_FILENO);
    for (const BatchMovie& movie : movies) {
        Job job{movie, {}, {}};
        if (choice == OverwriteChoice::Always)
            job.overwrite = "-y";
        else if (choice == OverwriteChoice::Never)
            job.overwrite = "-n";
        if (ask && !movie.folderOutput) {
            Result<OutputTarget> target = resolveOutputTarget(movie.output);
            if (target && target->exists) {
                Status allowed = allowOverwrite(movie.output, OverwriteChoice::Ask);
                if (allowed)
                    job.overwrite = "-y";
                else
                    job.refused = allowed.message();
            }
        }
        jobs.push_back(std::move(job));
    }
    return jobs;
}

// Removes what a killed process leaves of its output: the temporary "<name>.XXXXXX.part"
// files beside an output file, or in a picture series' folder.
void removeUnfinished(const BatchMovie& movie) {
    const fs::path output(movie.output);
    const fs::path folder = movie.folderOutput ? output : output.parent_path();
    const std::string name = movie.folderOutput ? std::string() : output.filename().string();
    std::error_code ec;
    fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const std::string file = it->path().filename().string();
        // name + "." + six letters + ".part"
        const std::size_t stem = file.size() >= 12 ? file.size() - 12 : 0;
        if (file.size() >= name.size() + 12 && file.compare(file.size() - 5, 5, ".part") == 0 &&
            file[stem] == '.' &&
            (name.empty() || (stem == name.size() && file.rfind(name, 0) == 0))) {
            std::error_code removeEc;
            fs::remove(it->path(), removeEc);
        }
    }
}

// A running conversion process.
struct Child {
    std::size_t index = 0;
    pid_t pid = -1;
    int fd = -1; // its standard output and error; -1 once they are closed
    Clock::time_point start;
    std::optional<Clock::time_point> killAt; // asked to stop: killed outright after this
    bool timedOut = false;
    std::string workDir;
    ConvertOutputReader reader;
};

// Starts this program with `args` (argv[0] first), its standard output and error into the
// returned pipe, its standard input empty. Fills `error` when it cannot.
std::optional<std::pair<pid_t, int>> spawnSelf(const std::vector<std::string>& args,
                                               std::string& error) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        error = std::string("Cannot start a conversion process: ") + std::strerror(errno);
        return std::nullopt;
    }
    const int input = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        // Only async-signal-safe calls until exec. The child dies with the batch, so a
        // batch killed outright leaves no conversions running.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(127);
        if (input >= 0)
            dup2(input, STDIN_FILENO);
        dup2(fds[1], STDOUT_FILENO);
        dup2(fds[1], STDERR_FILENO);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        execv("/proc/self/exe", argv.data());
        static const char kMessage[] = "swivio-cli convert: cannot start a conversion process\n";
        [[maybe_unused]] const ssize_t written =
            write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
        _exit(127);
    }
    const int forkError = errno;
    ::close(fds[1]);
    if (input >= 0)
        ::close(input);
    if (pid < 0) {
        ::close(fds[0]);
        error = std::string("Cannot start a conversion process: ") + std::strerror(forkError);
        return std::nullopt;
    }
    fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
    return std::make_pair(pid, fds[0]);
}

class BatchRunner {
public:
    BatchRunner(const ConvertOptions& options, std::vector<Job> jobs, std::string tempRoot)
        : m_options(options), m_jobs(std::move(jobs)), m_tempRoot(std::move(tempRoot)),
          m_shared(sharedArguments(options)), m_outcomes(m_jobs.size()) {}

    int run() {
        const std::size_t most = std::size_t(m_options.jobs.value_or(1));
        while ((!m_stopping && m_next < m_jobs.size()) || !m_running.empty()) {
            if (g_stopRequests.load() > m_stopRequestsSeen)
                stopAll();
            while (!m_stopping && m_running.size() < most && m_next < m_jobs.size())
                start(m_next++);
            readOutput();
            reap();
            enforceDeadlines();
            printReady();
        }
        printReady();
        return finish();
    }

private:
    void start(std::size_t index) {
        const Job& job = m_jobs[index];
        if (!job.refused.empty()) {
            m_outcomes[index] = BatchOutcome{BatchStatus::Failed, 0, 0, 0, job.refused};
            return;
        }
        Child child;
        child.index = index;
        child.workDir = m_tempRoot + "/" + std::to_string(index);
        std::error_code ec;
        const fs::path folder = fs::path(job.movie.output).parent_path();
        if (!folder.empty())
            fs::create_directories(folder, ec);
        if (ec) {
            m_outcomes[index] = BatchOutcome{BatchStatus::Failed, 0, 0, 0,
                                             "Cannot create the output folder " + folder.string() +
                                                 ": " + ec.message() + "."};
            return;
        }
        fs::create_directory(child.workDir, ec);
        std::vector<std::string> args = {"swivio-cli", "convert"};
        args.insert(args.end(), m_shared.begin(), m_shared.end());
        args.insert(args.end(), {"-o", job.movie.output, "--work-dir", child.workDir});
        if (!job.overwrite.empty())
            args.push_back(job.overwrite);
        args.insert(args.end(), {"--", job.movie.input});
        std::string error;
        const auto spawned = spawnSelf(args, error);
        if (!spawned) {
            m_outcomes[index] = BatchOutcome{BatchStatus::Failed, 0, 0, 0, error};
            fs::remove_all(child.workDir, ec);
            return;
        }
        child.pid = spawned->first;
        child.fd = spawned->second;
        child.start = Clock::now();
        m_running.push_back(std::move(child));
    }

    // Waits up to a tenth of a second for output from any process and reads it, so that
    // none is ever blocked on a full pipe.
    void readOutput() {
        std::vector<pollfd> fds;
        std::vector<Child*> owners;
        bool closing = false;
        for (Child& c : m_running) {
            if (c.fd >= 0) {
                fds.push_back({c.fd, POLLIN, 0});
                owners.push_back(&c);
            }
            closing = closing || c.fd < 0;
        }
        // A process that closed its output is ending: look for its end again soon, so that
        // the next movie starts without waiting out the whole tenth of a second.
        const int wait = closing ? kEndingPollMilliseconds : kPollMilliseconds;
        if (::poll(fds.data(), fds.size(), wait) <= 0)
            return;
        for (std::size_t i = 0; i < fds.size(); ++i)
            if (fds[i].revents)
                drain(*owners[i]);
    }

    static void drain(Child& c) {
        char buffer[16384];
        while (c.fd >= 0) {
            const ssize_t got = ::read(c.fd, buffer, sizeof buffer);
            if (got > 0) {
                c.reader.feed(buffer, std::size_t(got));
            } else if (got < 0 && errno == EINTR) {
                continue;
            } else {
                if (got == 0 || errno != EAGAIN) {
                    ::close(c.fd);
                    c.fd = -1;
                }
                return;
            }
        }
    }

    void reap() {
        for (auto it = m_running.begin(); it != m_running.end();) {
            int status = 0;
            if (::waitpid(it->pid, &status, WNOHANG) != it->pid) {
                ++it;
                continue;
            }
            drain(*it);
            if (it->fd >= 0)
                ::close(it->fd);
            it->reader.finish();
            m_outcomes[it->index] = outcomeOf(*it, status);
            std::error_code ec;
            fs::remove_all(it->workDir, ec);
            if (!WIFEXITED(status) || it->timedOut || m_stopping)
                removeUnfinished(m_jobs[it->index].movie);
            it = m_running.erase(it);
        }
    }

    BatchOutcome outcomeOf(const Child& c, int status) const {
        BatchOutcome o;
        o.seconds = std::chrono::duration<double>(Clock::now() - c.start).count();
        o.frames = c.reader.frames();
        o.warnings = c.reader.warnings();
        const bool exited = WIFEXITED(status);
        const int code = exited ? WEXITSTATUS(status) : 0;
        if (exited && code == 0) {
            o.status = BatchStatus::Converted;
            return o;
        }
        o.frames = 0;
        if (c.timedOut) {
            o.status = BatchStatus::TimedOut;
            char text[96];
            std::snprintf(text, sizeof text, "Still converting after %g s (--timeout); stopped.",
                          *m_options.timeout);
            o.error = text;
        } else if (m_stopping || (exited && code == 130)) {
            o.status = BatchStatus::Cancelled;
            o.error = "Interrupted.";
        } else if (!exited) {
            o.status = BatchStatus::Crashed;
            const int signal = WTERMSIG(status);
            o.error = "The conversion process was killed by signal " + std::to_string(signal) +
                      " (" + strsignal(signal) + ")" +
                      (c.reader.error().empty() ? "." : ": " + c.reader.error());
        } else {
            o.status = BatchStatus::Failed;
            o.error = !c.reader.error().empty() ? c.reader.error()
                                                : "The conversion process ended with status " +
                                                      std::to_string(code) + ".";
        }
        return o;
    }

    void enforceDeadlines() {
        const Clock::time_point now = Clock::now();
        for (Child& c : m_running) {
            if (m_options.timeout && !c.killAt &&
                now - c.start > std::chrono::duration<double>(*m_options.timeout)) {
                c.timedOut = true;
                ::kill(c.pid, SIGTERM);
                c.killAt = now + kStopGrace;
            }
            if (c.killAt && now > *c.killAt)
                ::kill(c.pid, SIGKILL);
        }
    }

    // The first request asks each running movie to stop and clean up; a second one (a second
    // Ctrl-C) kills them at once: their working folders and unfinished outputs are removed
    // here all the same.
    void stopAll() {
        m_stopRequestsSeen = g_stopRequests.load();
        const Clock::time_point killAt =
            Clock::now() + (m_stopping ? Clock::duration::zero() : Clock::duration(kStopGrace));
        m_stopping = true;
        for (Child& c : m_running) {
            if (!c.killAt)
                ::kill(c.pid, SIGTERM);
            if (!c.killAt || *c.killAt > killAt)
                c.killAt = killAt;
        }
    }

    // Lines come in the order of the plan, each as soon as it and those before it are done,
    // so that -j gives the same listing as one movie at a time.
    void printReady() {
        while (m_printed < m_outcomes.size() && m_outcomes[m_printed]) {
            const BatchMovie& movie = m_jobs[m_printed].movie;
            const BatchOutcome& outcome = *m_outcomes[m_printed];
            const std::string line =
                m_options.json ? batchJsonLine(movie, outcome) : batchSummaryLine(movie, outcome);
            std::printf("%s\n", line.c_str());
            std::fflush(stdout);
            ++m_printed;
        }
    }

    int finish() const {
        std::size_t converted = 0, done = 0;
        for (const auto& o : m_outcomes) {
            done += o.has_value();
            converted += o && o->status == BatchStatus::Converted;
        }
        if (!m_options.json)
            std::printf("%zu of %zu movies converted.\n", converted, m_outcomes.size());
        if (m_stopping) {
            const std::size_t left = m_outcomes.size() - done;
            if (left == 0)
                std::fputs("swivio-cli convert: interrupted.\n", stderr);
            else
                std::fprintf(stderr, "swivio-cli convert: interrupted; %zu movie%s not started.\n",
                             left, left == 1 ? " was" : "s were");
            return 130;
        }
        return converted == m_outcomes.size() ? 0 : 2;
    }

    const ConvertOptions& m_options;
    std::vector<Job> m_jobs;
    std::string m_tempRoot;
    std::vector<std::string> m_shared;
    std::vector<std::optional<BatchOutcome>> m_outcomes;
    std::vector<Child> m_running;
    std::size_t m_next = 0;
    std::size_t m_printed = 0;
    bool m_stopping = false;
    int m_stopRequestsSeen = 0;
};

} // namespace

int runBatchConvert(const ConvertOptions& o) {
    if (!o.outputDir)
        return fail(o.movies.size() > 1 || o.recursive
                        ? "Several movies are converted with --output-dir DIR, each output "
                          "named after its movie."
                        : "-j, --timeout and --json go with --output-dir DIR.");
    if (o.output)
        return fail("-o names one output; with --output-dir each output is named after its "
                    "movie.");
    auto plan = planBatch(o);
    if (!plan)
        return fail(plan.message());
    std::error_code ec;
    fs::create_directories(*o.outputDir, ec);
    if (!fs::is_directory(*o.outputDir, ec))
        return fail("Cannot create the output folder " + *o.outputDir +
                    (ec ? ": " + ec.message() : "") + ".");

    // Each process gets a working folder of its own, removed when it ends, so that the
    // frame files of one that was killed do not stay behind.
    std::string base = o.workDir.value_or("");
    if (base.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        base = tmp && *tmp ? tmp : "/tmp";
    }
    if (!fs::is_directory(base, ec))
        return fail("The working folder " + base + " does not exist.");
    std::string pattern = (fs::path(base) / "swivio-batch-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        return fail("Cannot create a folder in " + base + ": " + std::strerror(errno) + ".");

    std::vector<Job> jobs = decideOverwrites(*plan, o.overwrite);
    int code = 0;
    {
        StopSignals signals;
        BatchRunner runner(o, std::move(jobs), pattern);
        code = runner.run();
    }
    fs::remove_all(pattern, ec);
    return code;
}

} // namespace swivio::cli
