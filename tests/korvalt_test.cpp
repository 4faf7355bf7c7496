// SPDX-License-Identifier: MIT
// Process-level tests: each case starts the built korvalt with an exact
// argument vector and compares the bytes on each stream and how it ended.

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace {

// In a cross build, the emulator that runs korvalt, with its own
// arguments: each run starts it, rather than korvalt itself, so that the
// tests need no binfmt_misc handler.  Empty in a native build.
const std::vector<std::string> emulator = {KORVALT_EMULATOR};

const std::string greeting = "Korvalt ...\n";
const std::string greeting_and_heading = "Korvalt ...\n\nArguments:";

[[noreturn]] void fail_system(const char *what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

// The bytes of a file, or none where it cannot be read.
std::string file_content(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

// Owns one file descriptor.
class Fd {
  public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    Fd(Fd &&other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd &operator=(Fd &&other) noexcept
    {
        reset(std::exchange(other.fd_, -1));
        return *this;
    }
    ~Fd() { reset(); }

    int get() const { return fd_; }
    void reset(int fd = -1)
    {
        if (fd_ >= 0)
            close(fd_);
        fd_ = fd;
    }

  private:
    int fd_ = -1;
};

// Every descriptor made here is close-on-exec and above 2, so that it can
// never be mistaken for one of the child's standard streams.
Fd above_stdio(int fd)
{
    if (fd < 0)
        fail_system("open");
    Fd owned(fd);
    if (fd > 2)
        return owned;
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    if (moved < 0)
        fail_system("fcntl");
    return Fd(moved);
}

struct Pipe {
    Fd read_end;
    Fd write_end;
};

void set_nonblocking(int fd, bool nonblocking)
{
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 ||
        fcntl(fd, F_SETFL, nonblocking ? flags | O_NONBLOCK : flags & ~O_NONBLOCK) != 0)
        fail_system("fcntl");
}

bool is_nonblocking(int fd)
{
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0)
        fail_system("fcntl");
    return (flags & O_NONBLOCK) != 0;
}

// Fills a pipe or a terminal to the last byte it takes; returns how many.
// A terminal passes what it holds on to its reader's side in the background,
// which makes room again, so it is filled until a pass after a pause adds
// nothing.
std::size_t fill(const Fd &write_end)
{
    set_nonblocking(write_end.get(), true);
    const std::string filler(4096, '.');
    std::size_t filled = 0;
    std::size_t before = 0;
    do {
        before = filled;
        for (std::size_t chunk = filler.size(); chunk > 0; chunk /= 2) {
            ssize_t written = 0;
            while ((written = write(write_end.get(), filler.data(), chunk)) > 0)
                filled += static_cast<std::size_t>(written);
            if (errno != EAGAIN)
                fail_system("write");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (filled != before);
    return filled;
}

Pipe make_pipe()
{
    std::array<int, 2> ends{};
    if (pipe2(ends.data(), O_CLOEXEC) != 0)
        fail_system("pipe2");
    return {above_stdio(ends[0]), above_stdio(ends[1])};
}

// A pseudo-terminal as a pipe: what is written to the terminal end is read
// from the other.  Raw mode passes the bytes through unchanged.
Pipe make_terminal()
{
    Fd master = above_stdio(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (grantpt(master.get()) != 0 || unlockpt(master.get()) != 0)
        fail_system("unlockpt");
    const char *name = ptsname(master.get());
    if (name == nullptr)
        fail_system("ptsname");
    Fd terminal = above_stdio(open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    termios mode{};
    if (tcgetattr(terminal.get(), &mode) != 0)
        fail_system("tcgetattr");
    cfmakeraw(&mode);
    if (tcsetattr(terminal.get(), TCSANOW, &mode) != 0)
        fail_system("tcsetattr");
    return {std::move(master), std::move(terminal)};
}

// Where one of the child's output streams goes.
enum class Sink {
    Capture,    // a pipe that the test reads
    Full,       // /dev/full: every write fails with ENOSPC
    Closed,     // no descriptor at all: EBADF
    BrokenPipe, // a pipe whose reader has gone: SIGPIPE or EPIPE
    WithStdout, // standard error only: the same pipe as standard output
    Stalled,    // a pipe, full when korvalt starts, read only after a
                // pause: a reader that falls behind
    Abandoned,  // a pipe, full when korvalt starts, whose reader goes away
                // after a pause without reading
};

// How long a stalled or abandoned pipe goes unread.  A korvalt that waits
// by spinning would spend all of it on the CPU; one that sleeps spends well
// under a quarter.  qemu spends 30 to 50 ms translating korvalt's code, so
// under the emulator the pipe stalls longer.
const std::chrono::milliseconds stall(emulator.empty() ? 300 : 600);

// strace fails the write calls to korvalt's output files that `when` picks
// (its syntax: "3" is the third, "1+2" every other from the first) with
// `error`.  Other writes, such as a sanitizer runtime's own, are left alone.
struct Injection {
    const char *error;
    const char *when;
    bool stdout_only; // count only the writes to standard output
};

struct Child {
    std::vector<std::string> args; // argv[1] onwards
    Sink out = Sink::Capture;
    Sink err = Sink::Capture;
    bool ignore_sigpipe = false;
    bool empty_argv = false;
    std::string argv0 = "korvalt";
    // Its output descriptors are in non-blocking mode, as when a process
    // that shares them has set it.
    bool nonblocking = false;
    // Standard output's pipe is a pseudo-terminal instead.
    bool terminal = false;
    // When set, korvalt runs under strace with both streams on files.
    std::optional<Injection> inject{};
};

struct Outcome {
    std::string out; // what korvalt wrote, without a stalled pipe's filler
    std::string err;
    int status = 0;                        // as wait4 reports it
    std::chrono::microseconds cpu_time{0}; // user and system, from wait4
    // A stalled or abandoned pipe's O_NONBLOCK was as the test set it,
    // while korvalt waited.
    bool kept_mode = true;
};

// A folder of one run's own: its files, and the sanitizers' logs, which a
// correct run never writes.
class Scratch {
  public:
    Scratch()
    {
        std::string templ = ::testing::TempDir() + "korvalt-test-XXXXXX";
        if (mkdtemp(templ.data()) == nullptr)
            fail_system("mkdtemp");
        dir_ = templ;
    }
    Scratch(const Scratch &) = delete;
    Scratch &operator=(const Scratch &) = delete;
    ~Scratch()
    {
        for (const auto &name : names())
            unlink(path(name).c_str());
        rmdir(dir_.c_str());
    }

    std::string path(const std::string &name) const { return dir_ + "/" + name; }

    // A distinct exit code, so that a sanitizer's report never passes for
    // korvalt's own write-error status.  LeakSanitizer cannot run under
    // ptrace, so it is off when strace runs korvalt.
    std::vector<std::string> environment(bool traced) const
    {
        return {"ASAN_OPTIONS=exitcode=86:log_path=" + path("asan") +
                    (traced ? ":detect_leaks=0" : ""),
                "UBSAN_OPTIONS=exitcode=86:halt_on_error=1:print_stacktrace=1:log_path=" +
                    path("ubsan")};
    }

    std::string sanitizer_reports() const
    {
        std::string all;
        for (const auto &name : names()) {
            if (name.rfind("asan", 0) != 0 && name.rfind("ubsan", 0) != 0)
                continue;
            all += name + ":\n" + file_content(path(name));
        }
        return all;
    }

  private:
    std::vector<std::string> names() const
    {
        std::vector<std::string> found;
        if (DIR *dir = opendir(dir_.c_str())) {
            while (const dirent *entry = readdir(dir)) {
                const std::string name = entry->d_name;
                if (name != "." && name != "..")
                    found.push_back(name);
            }
            closedir(dir);
        }
        return found;
    }

    std::string dir_;
};

std::vector<char *> c_strings(std::vector<std::string> &strings)
{
    std::vector<char *> pointers;
    pointers.reserve(strings.size() + 1);
    for (auto &s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Reads both pipes until each reaches end of file, whichever fills first.
void drain(Fd &out, Fd &err, Outcome &run)
{
    std::array<pollfd, 2> fds{{{out.get(), POLLIN, 0}, {err.get(), POLLIN, 0}}};
    std::array<std::string *, 2> into{&run.out, &run.err};
    std::array<char, 65536> buffer;
    int open_count = 0;
    for (const auto &p : fds)
        open_count += p.fd >= 0 ? 1 : 0;
    while (open_count > 0) {
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            fail_system("poll");
        }
        for (std::size_t k = 0; k < fds.size(); ++k) {
            if (fds[k].fd < 0 || fds[k].revents == 0)
                continue;
            const ssize_t n = read(fds[k].fd, buffer.data(), buffer.size());
            if (n > 0) {
                into[k]->append(buffer.data(), static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                fds[k].fd = -1;
                --open_count;
            }
        }
    }
}

// Starts korvalt as described, collects what it writes and how it ended.
Outcome run_korvalt(const Child &child)
{
    const Scratch scratch;
    const bool traced = child.inject.has_value();
    const std::string out_file = scratch.path("stdout");
    const std::string err_file = scratch.path("stderr");
    std::string program = KORVALT_PATH;
    std::vector<std::string> argv_strings;
    if (traced) {
        program = STRACE_PATH;
        const std::string inject = std::string("inject=write,writev:error=") + child.inject->error +
                                   ":when=" + child.inject->when;
        // -P makes strace count, and fail, only the writes to these files.
        // Under the emulator they are the emulator's own write calls, made
        // for korvalt.
        argv_strings = {"strace", "-o",   "/dev/null", "-e",    "trace=write,writev",
                        "-e",     inject, "-P",        out_file};
        if (!child.inject->stdout_only)
            argv_strings.insert(argv_strings.end(), {"-P", err_file});
        argv_strings.emplace_back("--");
        argv_strings.insert(argv_strings.end(), emulator.begin(), emulator.end());
        argv_strings.emplace_back(KORVALT_PATH);
    } else if (!emulator.empty()) {
        // qemu's -0 sets korvalt's argv[0].  It cannot start korvalt with
        // no argv[0] at all; an empty one is what Linux passes for an empty
        // argument vector, so that start is the same.
        program = emulator.front();
        argv_strings = emulator;
        argv_strings.insert(argv_strings.end(),
                            {"-0", child.empty_argv ? "" : child.argv0, KORVALT_PATH});
    } else if (!child.empty_argv) {
        argv_strings.push_back(child.argv0);
    }
    argv_strings.insert(argv_strings.end(), child.args.begin(), child.args.end());
    std::vector<std::string> env_strings = scratch.environment(traced);
    const std::vector<char *> argv = c_strings(argv_strings);
    const std::vector<char *> envp = c_strings(env_strings);

    const Fd null_in = above_stdio(open("/dev/null", O_RDONLY | O_CLOEXEC));
    const Fd full = above_stdio(open("/dev/full", O_WRONLY | O_CLOEXEC));
    const auto create = [traced](const std::string &path) {
        return traced
                   ? above_stdio(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600))
                   : Fd();
    };
    const Fd out_file_fd = create(out_file);
    const Fd err_file_fd = create(err_file);
    Pipe out = child.terminal ? make_terminal() : make_pipe();
    Pipe err = make_pipe();
    Pipe broken = make_pipe();
    broken.read_end.reset();
    if (child.err == Sink::WithStdout)
        err.read_end.reset();

    // Only async-signal-safe calls between fork and execve.
    const auto child_fd = [&](Sink sink, const Fd &own_pipe) {
        switch (sink) {
        case Sink::Capture:
        case Sink::Stalled:
        case Sink::Abandoned:
            return own_pipe.get();
        case Sink::Full:
            return full.get();
        case Sink::BrokenPipe:
            return broken.write_end.get();
        case Sink::WithStdout:
            return out.write_end.get();
        case Sink::Closed:
            break;
        }
        return -1;
    };
    const int out_fd = traced ? out_file_fd.get() : child_fd(child.out, out.write_end);
    const int err_fd = traced ? err_file_fd.get() : child_fd(child.err, err.write_end);
    for (const int fd : {out_fd, err_fd})
        if (child.nonblocking && fd >= 0)
            set_nonblocking(fd, true);

    const auto unread = [](Sink sink) { return sink == Sink::Stalled || sink == Sink::Abandoned; };
    Pipe *const stalled = unread(child.out) ? &out : unread(child.err) ? &err : nullptr;
    std::size_t filler = 0;
    if (stalled) {
        filler = fill(stalled->write_end);
        set_nonblocking(stalled->write_end.get(), child.nonblocking);
    }

    const pid_t pid = fork();
    if (pid < 0)
        fail_system("fork");
    if (pid == 0) {
        struct sigaction action {};
        action.sa_handler = child.ignore_sigpipe ? SIG_IGN : SIG_DFL;
        sigemptyset(&action.sa_mask);
        sigaction(SIGPIPE, &action, nullptr);
        dup2(null_in.get(), STDIN_FILENO);
        if (out_fd >= 0)
            dup2(out_fd, STDOUT_FILENO);
        else
            close(STDOUT_FILENO);
        if (err_fd >= 0)
            dup2(err_fd, STDERR_FILENO);
        else
            close(STDERR_FILENO);
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }

    Outcome result;
    if (stalled) {
        // korvalt now waits on the full pipe.  Its file status flags are
        // shared with this end: a korvalt that changed them in order to wait
        // would show here.
        std::this_thread::sleep_for(stall);
        result.kept_mode = is_nonblocking(stalled->write_end.get()) == child.nonblocking;
    }
    out.write_end.reset();
    err.write_end.reset();
    broken.write_end.reset();
    if (traced || (child.out != Sink::Capture && child.out != Sink::Stalled))
        out.read_end.reset();
    if (traced || (child.err != Sink::Capture && child.err != Sink::Stalled))
        err.read_end.reset();

    drain(out.read_end, err.read_end, result);
    rusage usage{};
    while (wait4(pid, &result.status, 0, &usage) < 0) {
        if (errno != EINTR)
            fail_system("wait4");
    }
    result.cpu_time = std::chrono::seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                      std::chrono::microseconds(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
    if (traced) {
        result.out = file_content(out_file);
        result.err = file_content(err_file);
    }
    if (stalled && stalled->read_end.get() >= 0) {
        std::string &stream = stalled == &out ? result.out : result.err;
        EXPECT_EQ(stream.compare(0, filler, std::string(filler, '.')), 0)
            << "the pipe's filler came back changed";
        stream.erase(0, filler);
    }
    EXPECT_EQ(scratch.sanitizer_reports(), "") << "sanitizer report";
    return result;
}

std::string exited(int code)
{
    return "exit status " + std::to_string(code);
}

std::string killed_by(int signal)
{
    return "killed by signal " + std::to_string(signal) + " (" + strsignal(signal) + ")";
}

std::string how_it_ended(int status)
{
    if (WIFEXITED(status))
        return exited(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return killed_by(WTERMSIG(status));
    return "wait status " + std::to_string(status);
}

// Shows control and non-ASCII bytes in failure messages.
std::string visible(const std::string &bytes)
{
    std::ostringstream shown;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '\n')
            shown << "\\n";
        else if (byte < 0x20 || byte >= 0x7f)
            shown << "\\x" << std::hex << static_cast<int>(byte) << std::dec;
        else
            shown << c;
    }
    return shown.str();
}

// Compares bytes, and on a difference shows where they part rather than
// all of a long listing.
::testing::AssertionResult same_bytes(const std::string &actual, const std::string &expected)
{
    if (actual == expected)
        return ::testing::AssertionSuccess();
    const std::size_t shared = std::min(actual.size(), expected.size());
    std::size_t at = 0;
    while (at < shared && actual[at] == expected[at])
        ++at;
    const std::size_t from = at < 20 ? 0 : at - 20;
    return ::testing::AssertionFailure()
           << actual.size() << " bytes where " << expected.size()
           << " were expected, parting at byte " << at << ":\n  got      \""
           << visible(actual.substr(from, 60)) << "\"\n  expected \""
           << visible(expected.substr(from, 60)) << "\"";
}

// Far more than a pipe or a stream buffer holds, so standard error is
// written out many times before the end.
const std::vector<std::string> long_listing_args(10000, "argument");

std::string listing_of(const std::vector<std::string> &args)
{
    std::string listing;
    for (std::size_t i = 0; i < args.size(); ++i)
        listing += std::to_string(i + 1) + ": " + args[i];
    return listing;
}

struct ListingCase {
    const char *name;
    std::vector<std::string> args;
    std::string err;
};

TEST(Korvalt, ListsArgumentsOnStandardError)
{
    const std::vector<ListingCase> cases = {
        {"no arguments", {}, ""},
        {"one", {"alpha"}, "1: alpha"},
        {"several", {"alpha", "beta"}, "1: alpha2: beta"},
        {"empty arguments", {"", "x", ""}, "1: 2: x3: "},
        {"blanks, line feeds, colons",
         {" lead", "two words", "line\nfeed\n", "key: value", ":"},
         "1:  lead2: two words3: line\nfeed\n4: key: value5: :"},
        {"non-ASCII and invalid UTF-8",
         {"gr\303\274\303\237e", "\377\376", "\303", "\t\r\001"},
         "1: gr\303\274\303\237e2: \377\3763: \3034: \t\r\001"},
        {"option-like",
         {"--help", "-v", "--", "-", "--version"},
         "1: --help2: -v3: --4: -5: --version"},
        {"two-digit indices",
         {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l"},
         "1: a2: b3: c4: d5: e6: f7: g8: h9: i10: j11: k12: l"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Child child;
        child.args = c.args;
        child.argv0 = "/path/to/program-name-zero";
        const Outcome r = run_korvalt(child);
        EXPECT_EQ(visible(r.out), visible(c.args.empty() ? greeting : greeting_and_heading));
        EXPECT_EQ(visible(r.err), visible(c.err));
        EXPECT_EQ(how_it_ended(r.status), exited(0));
    }
}

TEST(Korvalt, ThreeDigitIndicesHaveNoPaddingOrGrouping)
{
    Child child;
    child.args.assign(1000, "x");
    const Outcome r = run_korvalt(child);
    EXPECT_EQ(r.err.substr(0, 6), "1: x2:");
    EXPECT_NE(r.err.find("x9: x10: x"), std::string::npos);
    EXPECT_NE(r.err.find("x99: x100: x101: x"), std::string::npos);
    const std::string tail = "x999: x1000: x";
    ASSERT_GE(r.err.size(), tail.size());
    EXPECT_EQ(r.err.substr(r.err.size() - tail.size()), tail);
    EXPECT_EQ(how_it_ended(r.status), exited(0));
}

// Linux passes an empty program name for an empty argument vector, so this
// shows that such a start behaves like a run without arguments.
TEST(Korvalt, EmptyArgumentVectorPrintsOnlyTheGreeting)
{
    Child child;
    child.empty_argv = true;
    const Outcome r = run_korvalt(child);
    EXPECT_EQ(r.out, greeting);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(how_it_ended(r.status), exited(0));
}

TEST(Korvalt, HeadingPrecedesEntriesInASharedPipe)
{
    struct {
        std::vector<std::string> args;
        std::string out;
    } const cases[] = {
        {{"alpha", "beta"}, "Korvalt ...\n\nArguments:1: alpha2: beta"},
        // Fills standard error's buffer several times before the end.
        {long_listing_args, greeting_and_heading + listing_of(long_listing_args)},
    };
    for (const bool nonblocking : {false, true}) {
        for (const auto &c : cases) {
            SCOPED_TRACE(std::to_string(c.args.size()) + " arguments" +
                         (nonblocking ? ", non-blocking" : ""));
            Child child;
            child.args = c.args;
            child.err = Sink::WithStdout;
            child.nonblocking = nonblocking;
            const Outcome r = run_korvalt(child);
            EXPECT_TRUE(same_bytes(r.out, c.out));
            EXPECT_EQ(how_it_ended(r.status), exited(0));
        }
    }
}

// The greeting gets through and a later write to standard output fails:
// the failure is still noticed and reported.
TEST(Korvalt, ReportsALaterFailedWriteToStandardOutput)
{
    if (std::string(STRACE_PATH).empty())
        GTEST_SKIP() << "strace is not installed";
    struct {
        const char *name;
        const char *failing_write;
        std::string out;
    } const cases[] = {
        {"empty line", "2", greeting},
        {"heading", "3", greeting + "\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Child child;
        child.args = {"a", "b"};
        child.inject = Injection{"ENOSPC", c.failing_write, true};
        const Outcome r = run_korvalt(child);
        EXPECT_EQ(visible(r.out), visible(c.out));
        EXPECT_EQ(visible(r.err),
                  visible("1: a2: b\nkorvalt: write error: No space left on device\n"));
        EXPECT_EQ(how_it_ended(r.status), exited(1));
    }
}

// Every other write call, on either stream, fails at first: as if the
// descriptor were full for a moment (EAGAIN) or a signal came (EINTR).
// Each is tried again, and the output is whole.
TEST(Korvalt, RetriesWritesThatWouldBlockOrWereInterrupted)
{
    if (std::string(STRACE_PATH).empty())
        GTEST_SKIP() << "strace is not installed";
    for (const char *error : {"EAGAIN", "EINTR"}) {
        for (const auto &args : {std::vector<std::string>{"a", "b"}, long_listing_args}) {
            SCOPED_TRACE(std::string(error) + ", " + std::to_string(args.size()) + " arguments");
            Child child;
            child.args = args;
            child.inject = Injection{error, "1+2", false};
            const Outcome r = run_korvalt(child);
            EXPECT_TRUE(same_bytes(r.out, greeting_and_heading));
            EXPECT_TRUE(same_bytes(r.err, listing_of(args)));
            EXPECT_EQ(how_it_ended(r.status), exited(0));
        }
    }
}

// A reader that falls behind on a non-blocking pipe or terminal: korvalt
// waits for it, sleeping rather than spinning, and leaves the mode alone.
TEST(Korvalt, WaitsForASlowReaderOnANonBlockingPipeOrTerminal)
{
    struct {
        const char *name;
        Sink out;
        Sink err;
        bool terminal;
    } const sinks[] = {
        {"standard output", Sink::Stalled, Sink::Capture, false},
        {"standard error", Sink::Capture, Sink::Stalled, false},
        {"both streams on one pipe", Sink::Stalled, Sink::WithStdout, false},
        {"both streams on one terminal", Sink::Stalled, Sink::WithStdout, true},
    };
    for (const auto &sink : sinks) {
        for (const auto &args : {std::vector<std::string>{"a", "b"}, long_listing_args}) {
            SCOPED_TRACE(std::string(sink.name) + ", " + std::to_string(args.size()) +
                         " arguments");
            Child child;
            child.args = args;
            child.out = sink.out;
            child.err = sink.err;
            child.terminal = sink.terminal;
            child.nonblocking = true;
            const Outcome r = run_korvalt(child);
            if (sink.err == Sink::WithStdout) {
                EXPECT_TRUE(same_bytes(r.out, greeting_and_heading + listing_of(args)));
            } else {
                EXPECT_TRUE(same_bytes(r.out, greeting_and_heading));
                EXPECT_TRUE(same_bytes(r.err, listing_of(args)));
            }
            EXPECT_EQ(how_it_ended(r.status), exited(0));
            EXPECT_LT(r.cpu_time, stall / 4) << "CPU time while waiting " << stall.count() << " ms";
            EXPECT_TRUE(r.kept_mode) << "no longer non-blocking";
        }
    }
}

struct FaultCase {
    const char *name;
    Child child;
    std::optional<std::string> out; // checked where standard output is captured
    std::optional<std::string> err; // likewise for standard error
    std::string ended;
};

TEST(Korvalt, ReportsWriteErrors)
{
    const std::string enospc = "korvalt: write error: No space left on device\n";
    const std::string ebadf = "korvalt: write error: Bad file descriptor\n";
    const std::string epipe = "korvalt: write error: Broken pipe\n";
    const std::vector<std::string> ab = {"a", "b"};
    const std::vector<FaultCase> cases = {
        {"stdout full, no arguments", {{}, Sink::Full}, {}, enospc, exited(1)},
        {"stdout full, arguments", {ab, Sink::Full}, {}, "1: a2: b\n" + enospc, exited(1)},
        {"stdout full, last argument ends in a line feed",
         {{"a\n"}, Sink::Full},
         {},
         "1: a\n\n" + enospc,
         exited(1)},
        {"stdout full, listing over 64 KiB",
         {long_listing_args, Sink::Full},
         {},
         listing_of(long_listing_args) + "\n" + enospc,
         exited(1)},
        {"stderr full, no arguments", {{}, Sink::Capture, Sink::Full}, greeting, {}, exited(0)},
        {"stderr full, listing over 64 KiB",
         {long_listing_args, Sink::Capture, Sink::Full},
         greeting_and_heading,
         {},
         exited(1)},
        {"stderr full, arguments",
         {ab, Sink::Capture, Sink::Full},
         greeting_and_heading,
         {},
         exited(1)},
        {"stdout closed, no arguments", {{}, Sink::Closed}, {}, ebadf, exited(1)},
        {"stdout closed, arguments", {ab, Sink::Closed}, {}, "1: a2: b\n" + ebadf, exited(1)},
        {"stderr closed, no arguments", {{}, Sink::Capture, Sink::Closed}, greeting, {}, exited(0)},
        {"stderr closed, arguments",
         {ab, Sink::Capture, Sink::Closed},
         greeting_and_heading,
         {},
         exited(1)},
        {"both closed, no arguments", {{}, Sink::Closed, Sink::Closed}, {}, {}, exited(1)},
        {"both closed, arguments", {ab, Sink::Closed, Sink::Closed}, {}, {}, exited(1)},
        {"both full, arguments", {ab, Sink::Full, Sink::Full}, {}, {}, exited(1)},
        {"stdout broken pipe, SIGPIPE ignored, no arguments",
         {{}, Sink::BrokenPipe, Sink::Capture, true},
         {},
         epipe,
         exited(1)},
        {"stdout broken pipe, SIGPIPE ignored, arguments",
         {ab, Sink::BrokenPipe, Sink::Capture, true},
         {},
         "1: a2: b\n" + epipe,
         exited(1)},
        {"stdout broken pipe, SIGPIPE default",
         {ab, Sink::BrokenPipe, Sink::Capture, false},
         {},
         "",
         killed_by(SIGPIPE)},
        {"stderr broken pipe, SIGPIPE ignored",
         {ab, Sink::Capture, Sink::BrokenPipe, true},
         greeting_and_heading,
         {},
         exited(1)},
        {"stderr broken pipe, SIGPIPE default",
         {ab, Sink::Capture, Sink::BrokenPipe, false},
         greeting_and_heading,
         {},
         killed_by(SIGPIPE)},
        {"stderr broken pipe, SIGPIPE default, no arguments",
         {{}, Sink::Capture, Sink::BrokenPipe, false},
         greeting,
         {},
         exited(0)},
        // The reader goes while korvalt waits for it to make room.
        {"stdout reader leaves, SIGPIPE ignored",
         {ab, Sink::Abandoned, Sink::Capture, true},
         {},
         "1: a2: b\n" + epipe,
         exited(1)},
        {"stdout reader leaves, SIGPIPE default",
         {ab, Sink::Abandoned, Sink::Capture, false},
         {},
         "",
         killed_by(SIGPIPE)},
        {"stderr reader leaves, SIGPIPE ignored",
         {ab, Sink::Capture, Sink::Abandoned, true},
         greeting_and_heading,
         {},
         exited(1)},
        {"stderr reader leaves, SIGPIPE default",
         {ab, Sink::Capture, Sink::Abandoned, false},
         greeting_and_heading,
         {},
         killed_by(SIGPIPE)},
    };
    // A fault on a non-blocking descriptor ends the run as on a blocking one.
    for (const bool nonblocking : {false, true}) {
        for (const auto &c : cases) {
            SCOPED_TRACE(std::string(c.name) + (nonblocking ? ", non-blocking" : ""));
            Child child = c.child;
            child.nonblocking = nonblocking;
            const Outcome r = run_korvalt(child);
            if (c.out) {
                EXPECT_TRUE(same_bytes(r.out, *c.out));
            }
            if (c.err) {
                EXPECT_TRUE(same_bytes(r.err, *c.err));
            }
            EXPECT_EQ(how_it_ended(r.status), c.ended);
        }
    }
}

} // namespace
