// SPDX-License-Identifier: MIT
// Start korvalt and its peers /bin/true and /bin/echo as whole processes,
// with the same arguments, and compare their median real time per run and
// their peak resident memory.  Paths on the command line measure those
// korvalts, side by side in one run, instead of the one built beside this
// program: an earlier build and this one, say.
//
// Every benchmark runs in repetitions that are interleaved at random with
// those of the others, so a slow spell of the machine falls on all of them.

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Program {
    std::string name;
    const char *path;
};

const Program peers[] = {
    {"true", "/bin/true"},
    {"echo", "/bin/echo"},
};

const int argument_counts[] = {0, 2, 100, 10000, 100000};

// Arguments of 6 bytes each: "000000", "000001", and so on.
std::vector<std::string> six_byte_arguments(int count)
{
    std::vector<std::string> args;
    args.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        char arg[16];
        std::snprintf(arg, sizeof arg, "%06d", i % 1000000);
        args.emplace_back(arg);
    }
    return args;
}

// The words and the argv array that points into them, made before timing.
struct Command {
    std::vector<std::string> words;
    std::vector<char *> argv;

    Command(const char *path, int count) : words(six_byte_arguments(count))
    {
        words.insert(words.begin(), path);
        for (auto &word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
    }
};

// Both output streams of every child go to /dev/null.
class DevNullActions {
  public:
    DevNullActions()
    {
        posix_spawn_file_actions_init(&actions_);
        posix_spawn_file_actions_addopen(&actions_, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&actions_, STDOUT_FILENO, STDERR_FILENO);
    }
    ~DevNullActions() { posix_spawn_file_actions_destroy(&actions_); }
    DevNullActions(const DevNullActions &) = delete;
    DevNullActions &operator=(const DevNullActions &) = delete;
    const posix_spawn_file_actions_t *get() const { return &actions_; }

  private:
    posix_spawn_file_actions_t actions_{};
};

// The peak resident memory of the program itself, in KiB, or -1.  wait4's
// ru_maxrss would also count the pages of this large process, which a spawned
// child shares or copies until it executes the program; so the child is
// stopped as it exits and its own high-water mark read from /proc.
long peak_rss_kib(const Command &command)
{
    const pid_t pid = fork();
    if (pid == 0) {
        const int dev_null = open("/dev/null", O_WRONLY);
        if (dev_null < 0 || dup2(dev_null, STDOUT_FILENO) < 0 ||
            dup2(dev_null, STDERR_FILENO) < 0 || ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) < 0)
            _exit(127);
        execve(command.argv[0], command.argv.data(), environ);
        _exit(127);
    }
    if (pid < 0)
        return -1;
    long peak = -1;
    int status = 0;
    // Stopped first at the exec, then as it exits, then gone.
    while (waitpid(pid, &status, 0) == pid && WIFSTOPPED(status)) {
        if (status >> 8 == (SIGTRAP | (PTRACE_EVENT_EXIT << 8))) {
            std::ifstream proc_status("/proc/" + std::to_string(pid) + "/status");
            for (std::string line; std::getline(proc_status, line);)
                if (line.rfind("VmHWM:", 0) == 0)
                    peak = std::stol(line.substr(6));
        } else if (WSTOPSIG(status) == SIGTRAP) {
            ptrace(PTRACE_SETOPTIONS, pid, nullptr, PTRACE_O_TRACEEXIT);
        }
        ptrace(PTRACE_CONT, pid, nullptr, nullptr);
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? peak : -1;
}

void run_process(benchmark::State &state, const Command &command)
{
    static const DevNullActions dev_null;
    const long peak = peak_rss_kib(command);
    if (peak < 0) {
        state.SkipWithError("the program did not run to exit status 0");
        return;
    }
    while (state.KeepRunning()) {
        pid_t pid = 0;
        if (posix_spawn(&pid, command.argv[0], dev_null.get(), nullptr, command.argv.data(),
                        environ) != 0) {
            state.SkipWithError("posix_spawn failed");
            return;
        }
        int status = 0;
        if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("the program did not exit with status 0");
            return;
        }
    }
    state.counters["peak_rss_KiB"] = static_cast<double>(peak);
}

std::string benchmark_name(const std::string &program, int count)
{
    return program + "/" + std::to_string(count);
}

// The console report, then each korvalt's medians beside each peer's.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    explicit RatioReporter(std::vector<std::string> korvalts)
        : ConsoleReporter(OO_Tabular), korvalts_(std::move(korvalts))
    {
    }

    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const auto &run : runs)
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                medians_[run.run_name.function_name] = {run.GetAdjustedRealTime(),
                                                        run.counters.at("peak_rss_KiB").value};
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        auto &out = GetOutputStream();
        out << "\nkorvalt beside its peers, same arguments (medians; time in microseconds, "
               "peak resident memory in KiB)\n";
        char line[200];
        std::snprintf(line, sizeof line, "%-10s %9s %10s %10s %10s %8s %8s %8s %8s %8s %8s %8s\n",
                      "program", "arguments", "korvalt", "true", "echo", "/true", "/echo",
                      "korvalt", "true", "echo", "/true", "/echo");
        out << line;
        for (const int count : argument_counts) {
            const auto truth = median("true", count);
            const auto echo = median("echo", count);
            for (const auto &name : korvalts_) {
                const auto korvalt = median(name, count);
                if (korvalt.first == 0 || truth.first == 0 || echo.first == 0)
                    continue; // filtered out
                std::snprintf(
                    line, sizeof line,
                    "%-10s %9d %10.1f %10.1f %10.1f %8.2f %8.2f %8.0f %8.0f %8.0f %8.2f %8.2f\n",
                    name.c_str(), count, korvalt.first, truth.first, echo.first,
                    korvalt.first / truth.first, korvalt.first / echo.first, korvalt.second,
                    truth.second, echo.second, korvalt.second / truth.second,
                    korvalt.second / echo.second);
                out << line;
            }
        }
    }

  private:
    std::pair<double, double> median(const std::string &program, int count) const
    {
        const auto found = medians_.find(benchmark_name(program, count));
        return found != medians_.end() ? found->second : std::pair<double, double>{};
    }

    std::vector<std::string> korvalts_;
    std::map<std::string, std::pair<double, double>> medians_;
};

// One benchmark for each program and argument count, in commands that
// outlive the run.
void register_benchmarks(const std::vector<Program> &programs, std::vector<Command> &commands)
{
    commands.reserve(programs.size() * std::size(argument_counts));
    for (const int count : argument_counts) {
        for (const auto &program : programs) {
            const Command &command = commands.emplace_back(program.path, count);
            benchmark::RegisterBenchmark(
                benchmark_name(program.name, count).c_str(),
                [&command](benchmark::State &state) { run_process(state, command); })
                ->UseRealTime()
                ->Unit(benchmark::kMicrosecond)
                ->MinTime(0.1)
                ->Repetitions(20)
                ->ReportAggregatesOnly(true);
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    // Defaults that a flag on the command line still overrides.
    std::vector<char *> args(argv, argv + argc);
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave.data());
    int args_count = static_cast<int>(args.size());
    benchmark::Initialize(&args_count, args.data());
    // What is left names the korvalts to measure: korvalt1, korvalt2 and so
    // on, in the order given.
    std::vector<Program> programs;
    for (int i = 1; i < args_count; ++i) {
        if (args[static_cast<std::size_t>(i)][0] == '-') {
            benchmark::ReportUnrecognizedArguments(args_count, args.data());
            std::fprintf(stderr, "usage: %s [benchmark flags] [path/to/korvalt ...]\n", argv[0]);
            return 1;
        }
        programs.push_back({"korvalt" + std::to_string(i), args[static_cast<std::size_t>(i)]});
    }
    if (programs.empty())
        programs.push_back({"korvalt", KORVALT_PATH});
    std::vector<std::string> korvalts;
    korvalts.reserve(programs.size());
    for (const auto &program : programs)
        korvalts.push_back(program.name);
    programs.insert(programs.end(), std::begin(peers), std::end(peers));

    std::vector<Command> commands;
    register_benchmarks(programs, commands);

    RatioReporter reporter(std::move(korvalts));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
