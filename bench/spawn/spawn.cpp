// Runs one program again and again, as a user would start it: each run is timed from just
// before spawning it to the moment a line containing MARKER appears on its stdout, and its
// peak resident set comes from wait4(). The program is expected to exit on its own soon after.
//
//   tavo-bench-spawn --name NAME --marker TEXT [--runs N] [--warmup N] [--timeout-ms T] -- PROGRAM ARGS...
//
// Prints each run, then "RESULT NAME.ms MEDIAN" and "RESULT NAME.rss_mib MEDIAN" (the runs
// after the warm-up ones), and min/max beside them. Lines "... phase PHASE at NS" the program
// prints before the marker (NS: the monotonic clock, which the spawn is timed on) give
// "RESULT NAME.phase.PHASE.ms MEDIAN", each since the spawn.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Run {
    double ms = 0;     // spawn to marker
    double rssMiB = 0; // peak resident set
    bool ok = false;
    std::vector<std::pair<std::string, double>> phases; // name, ms since the spawn
};

// The "phase NAME at NS" lines of `output`, as milliseconds since `start`.
std::vector<std::pair<std::string, double>> phasesIn(const std::string& output, Clock::time_point start) {
    std::vector<std::pair<std::string, double>> out;
    const long long startNs =
        std::chrono::duration_cast<std::chrono::nanoseconds>(start.time_since_epoch()).count();
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        const size_t at = line.find(" phase ");
        if (at == std::string::npos) continue;
        std::istringstream words(line.substr(at + 7));
        std::string name, word;
        long long ns = 0;
        if (words >> name >> word >> ns && word == "at") out.emplace_back(name, double(ns - startNs) / 1e6);
    }
    return out;
}

int usage() {
    std::fprintf(stderr, "usage: tavo-bench-spawn --name NAME --marker TEXT [--runs N] [--warmup N] "
                         "[--timeout-ms T] -- PROGRAM ARGS...\n");
    return 2;
}

Run runOnce(const std::vector<char*>& argv, const std::string& marker, int timeoutMs) {
    Run run;
    int out[2];
    if (pipe(out) != 0) return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, out[1]);

    pid_t pid = 0;
    const auto start = Clock::now();
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) {
        std::fprintf(stderr, "tavo-bench-spawn: cannot start %s: %s\n", argv[0], std::strerror(spawned));
        close(out[0]);
        return run;
    }

    std::string buffer;
    std::optional<Clock::time_point> seen;
    const auto deadline = start + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) break;
        pollfd fd{out[0], POLLIN, 0};
        if (poll(&fd, 1, int(left)) <= 0) continue;
        char chunk[4096];
        const ssize_t n = read(out[0], chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break; // the program closed its stdout (it exited)
        if (!seen) {
            buffer.append(chunk, size_t(n));
            if (buffer.find(marker) != std::string::npos) seen = Clock::now();
        }
        // After the marker the output is drained only, so the program never blocks on it.
    }
    close(out[0]);
    if (!seen) kill(pid, SIGKILL);

    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    if (!seen) {
        std::fprintf(stderr, "tavo-bench-spawn: no \"%s\" from %s within %d ms\n", marker.c_str(), argv[0],
                     timeoutMs);
        return run;
    }
    run.ms = std::chrono::duration<double, std::milli>(*seen - start).count();
    run.phases = phasesIn(buffer, start);
    run.rssMiB = double(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!run.ok)
        std::fprintf(stderr, "tavo-bench-spawn: %s did not exit cleanly (status %d)\n", argv[0], status);
    return run;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

} // namespace

int main(int argc, char* argv[]) {
    std::string name, marker;
    int runs = 10, warmup = 2, timeoutMs = 30000;
    int i = 1;
    for (; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--") {
            ++i;
            break;
        }
        if (i + 1 >= argc) return usage();
        if (a == "--name")
            name = argv[++i];
        else if (a == "--marker")
            marker = argv[++i];
        else if (a == "--runs")
            runs = std::atoi(argv[++i]);
        else if (a == "--warmup")
            warmup = std::atoi(argv[++i]);
        else if (a == "--timeout-ms")
            timeoutMs = std::atoi(argv[++i]);
        else
            return usage();
    }
    if (name.empty() || marker.empty() || i >= argc || runs < 1) return usage();
    std::vector<char*> program(argv + i, argv + argc);
    program.push_back(nullptr);

    std::vector<double> ms, rss;
    std::vector<std::string> phaseOrder;
    std::map<std::string, std::vector<double>> phaseMs;
    for (int r = 0; r < warmup + runs; ++r) {
        const Run run = runOnce(program, marker, timeoutMs);
        if (!run.ok) return 1;
        const bool counted = r >= warmup;
        std::printf("%s run %d%s: %.1f ms, peak RSS %.1f MiB\n", name.c_str(), r + 1,
                    counted ? "" : " (warm-up)", run.ms, run.rssMiB);
        if (counted) {
            ms.push_back(run.ms);
            rss.push_back(run.rssMiB);
            for (const auto& [phase, at] : run.phases) {
                if (!phaseMs.count(phase)) phaseOrder.push_back(phase);
                phaseMs[phase].push_back(at);
            }
        }
    }
    std::printf("RESULT %s.ms %.1f min %.1f max %.1f runs %d\n", name.c_str(), median(ms),
                *std::min_element(ms.begin(), ms.end()), *std::max_element(ms.begin(), ms.end()), runs);
    std::printf("RESULT %s.rss_mib %.1f min %.1f max %.1f runs %d\n", name.c_str(), median(rss),
                *std::min_element(rss.begin(), rss.end()), *std::max_element(rss.begin(), rss.end()), runs);
    for (const std::string& phase : phaseOrder)
        std::printf("RESULT %s.phase.%s.ms %.1f runs %zu\n", name.c_str(), phase.c_str(),
                    median(phaseMs[phase]), phaseMs[phase].size());
    return 0;
}
