// vorsk -c COMMAND through the real binary, with a pseudo-terminal of the
// test as the user's terminal: the account, the keys passed on, a resize,
// the exit status, --log, the terminal's settings on every way out, and
// output written just before the program's end. Every wait has a deadline,
// and only the children started here are signalled.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "run_program.h"

namespace {

using vorsk_test::Clock;
constexpr auto PATIENCE = std::chrono::seconds(10);

std::string settings_of(int fd) {
    termios t{};
    tcgetattr(fd, &t);
    std::string s = std::to_string(t.c_iflag) + " " + std::to_string(t.c_oflag) + " " +
                    std::to_string(t.c_cflag) + " " + std::to_string(t.c_lflag) + " cc";
    for (const cc_t c : t.c_cc) s += " " + std::to_string(c);
    return s;
}

// Delay lines hold real times.
std::string without_times(const std::string& account) {
    return std::regex_replace(account, std::regex("@ [0-9]+\\.[0-9]{6}\n"), "@ T\n");
}

enum class Where { PIPE, TERMINAL, FULL, NOWHERE };  // FULL: /dev/full; NOWHERE: /dev/null

// vorsk on a fresh pseudo-terminal of 100x30, its standard input (unless
// NOWHERE); its standard output is a pipe (the account), the terminal too,
// or /dev/full.
class Vorsk {
public:
    explicit Vorsk(std::vector<std::string> args, Where out = Where::PIPE,
                   Where in = Where::TERMINAL) {
        signal(SIGPIPE, SIG_IGN);
        if (openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) return;
        const winsize ws{.ws_row = 30, .ws_col = 100, .ws_xpixel = 0, .ws_ypixel = 0};
        ioctl(master_, TIOCSWINSZ, &ws);
        initial = settings();
        vorsk_test::Spawn spawn;
        spawn.args = std::move(args);
        spawn.env = {{"TERM", "xterm"}, {"SHELL", "/bin/sh"}};
        spawn.terminal = slave_;
        spawn.in = in == Where::TERMINAL ? slave_ : vorsk_test::NULL_DEVICE;
        spawn.out = out == Where::TERMINAL ? slave_ : vorsk_test::NEW_PIPE;
        if (out == Where::FULL) spawn.out = open("/dev/full", O_WRONLY | O_CLOEXEC);
        spawn.err = vorsk_test::NEW_PIPE;
        child_ = std::make_unique<vorsk_test::Child>(spawn);
        if (out == Where::FULL) close(spawn.out);
        out_fd_ = out == Where::TERMINAL ? master_ : child_->output();
    }
    ~Vorsk() {
        child_.reset();  // vorsk is gone before its terminal closes
        close(slave_);
        close(master_);
    }
    bool started() const { return child_ != nullptr && child_->started(); }
    void type(const std::string& keys) {
        ASSERT_EQ(write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    }
    void signal_vorsk(int sig) { kill(child_->pid(), sig); }
    // The user's terminal takes a new size, and its foreground is told.
    void resize(unsigned short cols, unsigned short rows) {
        const winsize ws{.ws_row = rows, .ws_col = cols, .ws_xpixel = 0, .ws_ypixel = 0};
        ioctl(master_, TIOCSWINSZ, &ws);
        signal_vorsk(SIGWINCH);
    }
    std::string settings() const { return settings_of(slave_); }
    bool raw() const {
        termios t{};
        tcgetattr(slave_, &t);
        return (t.c_lflag & (ICANON | ECHO | ISIG)) == 0 && (t.c_iflag & (ICRNL | IXON)) == 0;
    }
    // The output once it holds `text` (or the deadline passed).
    const std::string& await(const std::string& text) {
        const auto deadline = Clock::now() + PATIENCE;
        while (out_.find(text) == std::string::npos && read_some(deadline)) {
        }
        return out_;
    }
    // vorsk's wait status at its end, once everything it wrote is read.
    int finish() {
        // The output is read meanwhile, so that vorsk never waits for room.
        const auto end = Clock::now() + PATIENCE;
        std::optional<int> status;
        while (!child_->ended() && Clock::now() < end) {
            if (out_fd_ >= 0) read_some(Clock::now() + std::chrono::milliseconds(10));
            status = child_->next_status(std::chrono::milliseconds(out_fd_ >= 0 ? 0 : 10));
        }
        // A terminal has no end: what is still coming comes soon.
        const auto deadline =
            Clock::now() + (out_fd_ == master_ ? std::chrono::milliseconds(200) : PATIENCE);
        while (out_fd_ >= 0 && read_some(deadline)) {
        }
        return status ? *status : -1;
    }
    const std::string& output() const { return out_; }
    // The next wait status (a stop, or the end) without reading the output.
    std::optional<int> next_status(Clock::duration patience = PATIENCE) {
        return child_->next_status(patience);
    }
    // Once the output pipe holds much and takes no more for a while, vorsk
    // waits in a write (the pipe's pages may each have some room left).
    bool await_full_output() {
        const auto deadline = Clock::now() + PATIENCE;
        int queued = 0;
        int before = -1;
        while (Clock::now() < deadline) {
            if (ioctl(out_fd_, FIONREAD, &queued) != 0) return false;
            if (queued >= 32768 && queued == before) return true;
            before = queued;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }
    // Standard error so far, read within a moment.
    const std::string& errors() {
        char buffer[4096];
        pollfd p{child_->errors(), POLLIN, 0};
        while (poll(&p, 1, 50) > 0) {
            const ssize_t n = read(child_->errors(), buffer, sizeof buffer);
            if (n <= 0) break;
            err_.append(buffer, static_cast<std::size_t>(n));
        }
        return err_;
    }

    std::string initial;  // the terminal's settings before the start

private:
    bool read_some(Clock::time_point deadline) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{out_fd_, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
        char buffer[4096];
        const ssize_t n = read(out_fd_, buffer, sizeof buffer);
        if (n <= 0) return false;  // a terminal's master without a slave reads EIO
        out_.append(buffer, static_cast<std::size_t>(n));
        return true;
    }

    int master_ = -1, slave_ = -1, out_fd_ = -1;
    std::unique_ptr<vorsk_test::Child> child_;
    std::string out_;
    std::string err_;
};

testing::AssertionResult exited_with(int status, int code) {
    if (WIFEXITED(status) && WEXITSTATUS(status) == code) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "wait status " << status;
}

testing::AssertionResult died_of(int status, int sig) {
    if (WIFSIGNALED(status) && WTERMSIG(status) == sig) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "wait status " << status;
}

// The pid a program wrote to a file, once it is there.
pid_t pid_in(const std::string& path) {
    const auto deadline = Clock::now() + PATIENCE;
    std::string text;
    while ((text = vorsk_test::read_file(path)).find('\n') == std::string::npos &&
           Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return text.empty() ? -1 : static_cast<pid_t>(std::stol(text));
}

// Whether a process is gone (a zombie not yet reaped by its new parent
// counts as gone) within a moment. Signal 0 only asks.
bool gone(pid_t pid) {
    const auto deadline = Clock::now() + std::chrono::seconds(3);
    while (Clock::now() < deadline) {
        if (kill(pid, 0) != 0 && errno == ESRCH) return true;
        const std::string stat = vorsk_test::read_file("/proc/" + std::to_string(pid) + "/stat");
        const std::size_t paren = stat.rfind(')');
        if (paren != std::string::npos && stat.compare(paren + 2, 1, "Z") == 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

std::string start(const std::string& command, const char* size = "100x30") {
    return "# Command: " + command + "\n# Terminal size: " + size + "\n# Terminal type: xterm\n";
}
const std::string STARTED = "# Terminal type: xterm\n";

const std::string BOLD_HI = "printf '\\033[1mhi\\033[m\\n'";
const std::string BOLD_HI_ACCOUNT =
    ": Esc [ 1 m\n"
    "& SGR: SELECT GRAPHIC RENDITION\n"
    "\" Set bold text.\n"
    "|hi|\n"
    ": Esc [ m\n"
    "& SGR: SELECT GRAPHIC RENDITION\n"
    "\" Clear graphic rendition to defaults.\n"
    ". CR/^M LF/^J\n";

TEST(Command, TheAccountReplacesTheProgramsScreen) {
    Vorsk r({"-c", BOLD_HI});
    ASSERT_TRUE(r.started());
    EXPECT_TRUE(exited_with(r.finish(), 0));
    EXPECT_EQ(r.output(), start(BOLD_HI) + BOLD_HI_ACCOUNT + "# Exit status: 0\n");
}

TEST(Command, TypedKeysReachTheProgramAndAreShownWithX) {
    Vorsk r({"-X", "-c", "read x; echo got:$x"});
    ASSERT_TRUE(r.started());
    r.await(STARTED);
    r.type("abc\r");
    EXPECT_TRUE(exited_with(r.finish(), 0));
    // The program's terminal echoes what it reads.
    EXPECT_EQ(r.output(), start("read x; echo got:$x") +
                              "> |abc|\n> . CR/^M\n|abc|\n. CR/^M LF/^J\n|got:abc|\n"
                              ". CR/^M LF/^J\n# Exit status: 0\n");
}

TEST(Command, ATypedInterruptReachesTheProgramNotVorsk) {
    // The shell execs the program: a shell that forks it may take an
    // interrupt that comes between its fork and the program's exec, in the
    // child, as its own (and then wait for the program to end by itself).
    Vorsk r({"-c", "exec sleep 10"});
    ASSERT_TRUE(r.started());
    r.await(STARTED);
    r.type("\x03");
    EXPECT_TRUE(exited_with(r.finish(), 128 + SIGINT));
    // The program's terminal echoes the character as it acts on it.
    EXPECT_EQ(r.output(), start("exec sleep 10") + "|^C|\n# Exit status: killed by SIGINT\n");
}

TEST(Command, TheEndOfTheInputIsPassedOn) {
    Vorsk r({"-c", "cat; echo done"}, Where::PIPE, Where::NOWHERE);
    ASSERT_TRUE(r.started());
    EXPECT_TRUE(exited_with(r.finish(), 0));
    EXPECT_EQ(r.output(),
              start("cat; echo done", "80x24") + "|done|\n. CR/^M LF/^J\n# Exit status: 0\n");
}

TEST(Command, AResizeReachesTheProgramAndTheAccount) {
    Vorsk r({"-c", "stty size; read x; stty size"});
    ASSERT_TRUE(r.started());
    r.await("|30 100|");
    r.resize(120, 40);
    r.await("# Window size: 120x40\n");
    r.type("\r");
    EXPECT_TRUE(exited_with(r.finish(), 0));
    EXPECT_NE(r.output().find("# Window size: 120x40\n. CR/^M LF/^J\n|40 120|\n"),
              std::string::npos)
        << r.output();
}

TEST(Command, TheScreenTakesTheTerminalsSizeAndItsChanges) {
    Vorsk r({"--screen", "-c", "printf 'ab\\n'; read x; printf cd"});
    ASSERT_TRUE(r.started());
    r.await("|ab|");
    r.resize(120, 40);
    r.await("# Window size: 120x40\n");
    r.type("\r");
    EXPECT_TRUE(exited_with(r.finish(), 0));
    // The typed CR comes back as the terminal's echo, CR LF.
    std::string screen =
        "= Screen at the end: 120x40, main screen, cursor at line 3, column 3\n"
        "=|ab|\n=||\n=|cd|\n";
    for (int row = 4; row <= 40; ++row) screen += "=||\n";
    EXPECT_TRUE(r.output().ends_with(screen)) << r.output();
}

struct ExitCase {
    const char* name;
    const char* command;
    int status;
    const char* shown;
};

void PrintTo(const ExitCase& c, std::ostream* os) {
    *os << c.name;
}

class ExitStatus : public testing::TestWithParam<ExitCase> {};

TEST_P(ExitStatus, IsTheProgramsOwn) {
    Vorsk r({"-c", GetParam().command});
    ASSERT_TRUE(r.started());
    EXPECT_TRUE(exited_with(r.finish(), GetParam().status));
    EXPECT_EQ(r.output(), start(GetParam().command) + "# Exit status: " + GetParam().shown + "\n");
}

INSTANTIATE_TEST_SUITE_P(Command, ExitStatus,
                         testing::Values(ExitCase{"exit", "exit 3", 3, "3"},
                                         ExitCase{"signal", "kill -TERM $$", 128 + SIGTERM,
                                                  "killed by SIGTERM"}),
                         [](const auto& p) { return std::string(p.param.name); });

// Where the system writes a core file into the program's folder, the exit
// status says so.
TEST(Command, AnExitStatusSaysACoreWasDumped) {
    const std::string dir = vorsk_test::make_temp_dir();
    const std::string command = "ulimit -c unlimited; cd " + dir + " && kill -QUIT $$";
    Vorsk r({"-c", command});
    ASSERT_TRUE(r.started());
    const int status = r.finish();
    bool dumped = false;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        dumped = dumped || entry.path().filename().string().starts_with("core");
    vorsk_test::remove_tree(dir);
    if (!dumped) GTEST_SKIP() << "no core file is written here (see core_pattern)";
    EXPECT_TRUE(exited_with(status, 128 + SIGQUIT));
    EXPECT_EQ(r.output(), start(command) + "# Exit status: killed by SIGQUIT (core dumped)\n");
}

TEST(Command, NothingWrittenJustBeforeTheEndIsLost) {
    Vorsk r({"-c", "head -c 100000 /dev/zero | tr '\\0' x; kill -KILL $$"});
    ASSERT_TRUE(r.started());
    EXPECT_TRUE(exited_with(r.finish(), 128 + SIGKILL));
    std::size_t shown = 0;
    std::size_t at = 0;
    const std::string& out = r.output();
    while (at < out.size()) {
        const std::size_t end = std::min(out.find('\n', at), out.size());
        if (out.compare(at, 1, "|") == 0 || out.compare(at, 2, "-|") == 0)
            shown += static_cast<std::size_t>(std::count(&out[at], &out[end], 'x'));
        at = end + 1;
    }
    EXPECT_EQ(shown, 100000u);
    EXPECT_TRUE(out.ends_with("# Exit status: killed by SIGKILL\n"))
        << out.substr(out.size() - 200);
}

class Log : public testing::TestWithParam<bool> {};  // a FIFO, or a regular file

TEST_P(Log, TheProgramKeepsTheTerminalAndTheLogFollowsLive) {
    const bool fifo = GetParam();
    const std::string dir = vorsk_test::make_temp_dir();
    const std::string path = dir + "/log";
    int reader = -1;
    if (fifo) {
        ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
        reader = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    }
    const std::string command = BOLD_HI + "; read x";
    std::string log;
    const auto read_log = [&] {
        if (!fifo) return void(log = vorsk_test::read_file(path));
        char buffer[4096];
        ssize_t n;
        while ((n = read(reader, buffer, sizeof buffer)) > 0) log.append(buffer, n);
    };
    {
        Vorsk r({"--log", path, "-c", command}, Where::TERMINAL);
        ASSERT_TRUE(r.started());
        r.await("\r\n");
        const auto deadline = Clock::now() + PATIENCE;
        while (log.find("|hi|") == std::string::npos && Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            read_log();
        }
        EXPECT_NE(log.find("|hi|"), std::string::npos) << "not written as it happens";
        r.type("q\r");
        EXPECT_TRUE(exited_with(r.finish(), 0));
        // The program's bytes, as its terminal gave them (with the echo).
        EXPECT_EQ(r.output(), "\033[1mhi\033[m\r\nq\r\n");
    }
    read_log();
    // Each read of the program's output comes after its pause; how the
    // output falls into reads is the kernel's, so the pauses are counted
    // apart from the lines.
    const std::string timed = without_times(log);
    EXPECT_GE(std::count(timed.begin(), timed.end(), '@'), 3) << timed;
    EXPECT_EQ(std::regex_replace(timed, std::regex("@ T\n"), ""),
              start(command) + BOLD_HI_ACCOUNT +
                  "> |q|\n> . CR/^M\n|q|\n. CR/^M LF/^J\n# Exit status: 0\n");
    if (reader != -1) close(reader);
    vorsk_test::remove_tree(dir);
}

// Each delay line of the log is the time since the read before: from the
// start, the delays of five reads a quarter of a second apart would add up
// to more than the whole run took.
TEST(Command, LogDelaysCountFromTheReadBefore) {
    const std::string dir = vorsk_test::make_temp_dir();
    const std::string path = dir + "/log";
    const auto began = Clock::now();
    Vorsk r({"--log", path, "-c",
             "printf a; sleep 0.25; printf b; sleep 0.25; printf c; sleep 0.25; printf d; "
             "sleep 0.25; printf e"});
    ASSERT_TRUE(r.started());
    EXPECT_TRUE(exited_with(r.finish(), 0));
    const std::chrono::duration<double> took = Clock::now() - began;
    const std::string log = vorsk_test::read_file(path);
    double sum = 0.0;
    int delays = 0;
    const std::regex delay("@ ([0-9]+\\.[0-9]+)\n");
    for (std::sregex_iterator i(log.begin(), log.end(), delay), end; i != end; ++i, ++delays)
        sum += std::stod((*i)[1]);
    EXPECT_GE(delays, 5) << log;
    EXPECT_LE(sum, took.count()) << log;
    vorsk_test::remove_tree(dir);
}

INSTANTIATE_TEST_SUITE_P(Command, Log, testing::Values(false, true),
                         [](const auto& p) { return std::string(p.param ? "fifo" : "file"); });

// The terminal is in raw mode while the program runs, and gets its settings
// back however vorsk ends.

struct WayOut {
    const char* name;
    int sig;  // sent to vorsk, or 0
    Where out;
};

void PrintTo(const WayOut& c, std::ostream* os) {
    *os << c.name;
}

class Restores : public testing::TestWithParam<WayOut> {};

TEST_P(Restores, TheTerminalsSettings) {
    const WayOut& c = GetParam();
    Vorsk r({"-c", "read x"}, c.out);
    ASSERT_TRUE(r.started());
    if (c.out != Where::FULL) {
        r.await(STARTED);
        ASSERT_TRUE(r.raw());
    }
    int status = -1;
    if (c.sig != 0) {
        r.signal_vorsk(c.sig);
        status = r.finish();
        EXPECT_TRUE(died_of(status, c.sig));
    } else if (c.out == Where::FULL) {
        status = r.finish();
        EXPECT_TRUE(exited_with(status, ENOSPC));
    } else {
        r.type("\r");
        EXPECT_TRUE(exited_with(r.finish(), 0));
    }
    EXPECT_EQ(r.settings(), r.initial);
}

INSTANTIATE_TEST_SUITE_P(Command, Restores,
                         testing::Values(WayOut{"end", 0, Where::PIPE},
                                         WayOut{"write_error", 0, Where::FULL},
                                         WayOut{"sigterm", SIGTERM, Where::PIPE},
                                         WayOut{"sighup", SIGHUP, Where::PIPE},
                                         WayOut{"sigquit", SIGQUIT, Where::PIPE}),
                         [](const auto& p) { return std::string(p.param.name); });

// An ending signal acts at once even while vorsk waits to write its
// account to a reader that stopped reading: the terminal gets its settings
// back, the program is ended, and vorsk dies of the signal.

struct BlockedCase {
    const char* name;
    int sig;
    bool command;  // -c, or a file's account
    bool log;      // with --log: the program's output copied to the reader waits
};

void PrintTo(const BlockedCase& c, std::ostream* os) {
    *os << c.name;
}

class BlockedWrite : public testing::TestWithParam<BlockedCase> {};

TEST_P(BlockedWrite, AnEndingSignalActsAtOnce) {
    const BlockedCase& c = GetParam();
    const std::string dir = vorsk_test::make_temp_dir();
    std::vector<std::string> args;
    if (c.command) {
        args = {"-c", "echo $$ > " + dir + "/pid; exec cat /dev/zero"};
        if (c.log) args.insert(args.begin(), {"--log", dir + "/log"});
    } else {
        vorsk_test::write_file(dir + "/in", std::string(1 << 20, '\a'));
        args = {dir + "/in"};
    }
    Vorsk r(args);
    ASSERT_TRUE(r.started());
    const pid_t program = c.command ? pid_in(dir + "/pid") : -1;
    ASSERT_TRUE(r.await_full_output());
    r.signal_vorsk(c.sig);
    const std::optional<int> status = r.next_status(std::chrono::seconds(5));
    ASSERT_TRUE(status.has_value()) << "still waiting in its write";
    EXPECT_TRUE(died_of(*status, c.sig));
    EXPECT_EQ(r.settings(), r.initial);
    if (program > 0) {
        EXPECT_TRUE(gone(program));
    }
    vorsk_test::remove_tree(dir);
}

INSTANTIATE_TEST_SUITE_P(Command, BlockedWrite,
                         testing::Values(BlockedCase{"file_sigterm", SIGTERM, false, false},
                                         BlockedCase{"file_sigint", SIGINT, false, false},
                                         BlockedCase{"command_sigterm", SIGTERM, true, false},
                                         BlockedCase{"command_sigint", SIGINT, true, false},
                                         BlockedCase{"command_sighup", SIGHUP, true, false},
                                         BlockedCase{"command_sigquit", SIGQUIT, true, false},
                                         BlockedCase{"log_sigterm", SIGTERM, true, true}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(Command, AProgramThatIgnoresHangupsDoesNotOutliveVorsk) {
    const std::string dir = vorsk_test::make_temp_dir();
    Vorsk r({"-c", "trap '' HUP; echo $$ > " + dir + "/pid; exec sleep 20"});
    ASSERT_TRUE(r.started());
    const pid_t program = pid_in(dir + "/pid");
    ASSERT_GT(program, 0);
    r.signal_vorsk(SIGTERM);
    EXPECT_TRUE(died_of(r.finish(), SIGTERM));
    EXPECT_TRUE(gone(program));
    vorsk_test::remove_tree(dir);
}

// A stop from outside, then fg: the user's terminal has its own settings
// while vorsk is stopped, and raw mode again after, so typed keys reach the
// program.
TEST(Command, AStopGivesTheTerminalBackAndContinuingTakesItAgain) {
    Vorsk r({"-c", "read x; echo got:$x"});
    ASSERT_TRUE(r.started());
    r.await(STARTED);
    ASSERT_TRUE(r.raw());
    r.signal_vorsk(SIGTSTP);
    const std::optional<int> stopped = r.next_status();
    ASSERT_TRUE(stopped.has_value() && WIFSTOPPED(*stopped));
    EXPECT_EQ(r.settings(), r.initial);
    r.signal_vorsk(SIGCONT);
    const auto deadline = Clock::now() + PATIENCE;
    while (!r.raw() && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(r.raw());
    r.type("abc\r");
    EXPECT_TRUE(exited_with(r.finish(), 0));
    EXPECT_NE(r.output().find("|got:abc|"), std::string::npos) << r.output();
    EXPECT_EQ(r.settings(), r.initial);
}

// --log never makes the session wait: a log that fails or falls behind is
// said on standard error as it happens and again at the end, and the
// program runs on to its own exit status.

std::size_t count_of(const std::string& text, const std::string& piece) {
    std::size_t n = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
        ++n;
    return n;
}

// What a FIFO's reader reads until the writer closes it or the deadline.
std::string read_fifo(int reader, Clock::time_point deadline, const std::string& until = "") {
    std::string text;
    while (Clock::now() < deadline && (until.empty() || text.find(until) == std::string::npos)) {
        pollfd p{reader, POLLIN, 0};
        if (poll(&p, 1, 10) <= 0) continue;
        char buffer[65536];
        const ssize_t n = read(reader, buffer, sizeof buffer);
        if (n == 0) break;
        if (n > 0) text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

class FailingLog : public testing::TestWithParam<bool> {};  // /dev/full, or a reader that goes

TEST_P(FailingLog, LeavesTheProgramRunning) {
    const bool fifo = GetParam();
    const std::string dir = vorsk_test::make_temp_dir();
    const std::string path = fifo ? dir + "/log" : "/dev/full";
    int reader = -1;
    if (fifo) {
        ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
        reader = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    }
    Vorsk r({"--log", path, "-c", "read x; echo got:$x; exit 3"}, Where::TERMINAL);
    ASSERT_TRUE(r.started());
    if (fifo) {
        read_fifo(reader, Clock::now() + PATIENCE, STARTED);
        close(reader);
    }
    r.type("ab\r");
    EXPECT_TRUE(exited_with(r.finish(), 3));
    EXPECT_NE(r.output().find("got:ab"), std::string::npos) << r.output();
    const std::string failed =
        "vorsk: the log " + path + " failed: " + (fifo ? "Broken pipe" : "No space left on device");
    EXPECT_EQ(count_of(r.errors(), failed), 2u) << r.errors();
    EXPECT_EQ(r.settings(), r.initial);
    vorsk_test::remove_tree(dir);
}

INSTANTIATE_TEST_SUITE_P(Command, FailingLog, testing::Values(false, true), [](const auto& p) {
    return std::string(p.param ? "reader_gone" : "dev_full");
});

TEST(Command, ALogThatFallsBehindLeavesTheProgramRunningAndSaysWhatItLost) {
    const std::string dir = vorsk_test::make_temp_dir();
    const std::string path = dir + "/log";
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    const int reader = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    // Far more account than a pipe and the queue hold, while nobody reads.
    Vorsk r({"--log", path, "-c", "seq 1 300000; read x; echo after:$x"}, Where::TERMINAL);
    ASSERT_TRUE(r.started());
    ASSERT_NE(r.await("300000\r\n").find("300000\r\n"), std::string::npos) << "the screen froze";
    EXPECT_EQ(count_of(r.errors(), "vorsk: the log " + path + " falls behind"), 1u) << r.errors();
    // The log is read again, until the queue (4 MiB) has room for what
    // comes next; then it says what it lost, and goes on.
    std::string log;
    const auto deadline = Clock::now() + PATIENCE;
    while (log.size() < (std::size_t{4} << 20)) {
        pollfd p{reader, POLLIN, 0};
        if (Clock::now() > deadline || poll(&p, 1, 1000) <= 0) break;
        char buffer[65536];
        const ssize_t n = read(reader, buffer, sizeof buffer);
        if (n <= 0) break;
        log.append(buffer, static_cast<std::size_t>(n));
    }
    std::thread follow([&] { log += read_fifo(reader, Clock::now() + 2 * PATIENCE); });
    r.type("z\r");
    EXPECT_TRUE(exited_with(r.finish(), 0));
    follow.join();
    EXPECT_NE(log.find("\n# Lost: "), std::string::npos);
    // A pause may fall between two reads of the last line.
    const std::string lines = std::regex_replace(log, std::regex("@ [0-9.]+\n"), "");
    EXPECT_TRUE(lines.ends_with("|after:z|\n. CR/^M LF/^J\n# Exit status: 0\n"))
        << log.substr(log.size() - std::min<std::size_t>(log.size(), 300));
    EXPECT_EQ(r.settings(), r.initial);
    close(reader);
    vorsk_test::remove_tree(dir);
}

}  // namespace
