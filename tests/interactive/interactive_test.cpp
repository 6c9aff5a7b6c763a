// Interactive mode through the real binary, on a pseudo-terminal.
//
// The program runs with the pseudo-terminal as its controlling terminal and
// in the terminal's foreground process group, so that typed interrupt and
// suspend characters reach it as they would from a keyboard. A launcher
// process leads the terminal's session, and the program runs in a process
// group of its own beneath it, because the kernel does not stop a process
// group that has no parent in its session. The launcher reports every wait
// status of the program over a pipe (see Spawn::terminal in run_program.h).
// Every wait here has a deadline.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#if __has_include(<pty.h>)
#include <pty.h>
#else
#include <libutil.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "run_program.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr auto PATIENCE = std::chrono::seconds(3);
const std::string NOTICE_TEXT =
    "  Terminal detected. Interactive mode (-I option to disable).\n"
    "  Send the interrupt character to exit.";
const std::string NOTICE = NOTICE_TEXT + " (Control-C)\n\n";
constexpr char INTERRUPT = '\x03';
constexpr char SUSPEND = '\x1a';

enum class Stream { TERMINAL, PIPE, FILE, FULL };  // FULL: /dev/full

// The system calls in which a program sleeps while it waits for input.
const std::vector<long> INPUT_WAITS = {
    SYS_read,
#ifdef SYS_select
    SYS_select,
#endif
#ifdef SYS_poll
    SYS_poll,
#endif
#ifdef SYS_pselect6
    SYS_pselect6,
#endif
#ifdef SYS_ppoll
    SYS_ppoll,
#endif
};

// Reads once from fd, waiting at most until the deadline.
enum class Got { DATA, END, TIMEOUT };
Got read_some(int fd, std::string& into, Clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return Got::TIMEOUT;
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return Got::TIMEOUT;
        char buffer[512];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return Got::END;  // a master without a slave reads EIO
        into.append(buffer, static_cast<std::size_t>(n));
        return Got::DATA;
    }
}

// Reads until `enough` holds, the stream ends or the deadline passes.
void read_until(int fd, std::string& into, const std::function<bool()>& enough,
                Clock::duration patience = PATIENCE) {
    const auto deadline = Clock::now() + patience;
    while (!enough() && read_some(fd, into, deadline) == Got::DATA) {
    }
}

// A regular file that is gone once its descriptors are closed.
int anonymous_file() {
    const char* tmp = std::getenv("TMPDIR");
    std::string path =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/vorsk-out-XXXXXX";
    const int fd = mkstemp(path.data());
    if (fd != -1) unlink(path.c_str());
    return fd;
}

std::string read_text(const std::string& path) {
    std::string text;
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd == -1) return text;
    char buffer[512];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<std::size_t>(n));
    close(fd);
    return text;
}

std::string describe(const termios& t) {
    char text[128];
    std::snprintf(text, sizeof text, "iflag %#x oflag %#x cflag %#x lflag %#x cc", t.c_iflag,
                  t.c_oflag, t.c_cflag, t.c_lflag);
    std::string s = text;
    for (const cc_t c : t.c_cc) s += " " + std::to_string(c);
    return s;
}

termios without(termios t, tcflag_t local_flags) {
    t.c_lflag &= ~local_flags;
    return t;
}

struct Launch {
    std::vector<std::string> args;
    Stream input = Stream::TERMINAL;  // TERMINAL or PIPE
    Stream output = Stream::TERMINAL;
    bool ignore_sigpipe = false;
    std::function<void(termios&)> adjust;  // the terminal's settings before the start

    Launch& with(std::vector<std::string> words) {
        args = std::move(words);
        return *this;
    }
    Launch& from(Stream s) {
        input = s;
        return *this;
    }
    Launch& to(Stream s) {
        output = s;
        return *this;
    }
    Launch& ignoring_sigpipe(bool ignored) {
        ignore_sigpipe = ignored;
        return *this;
    }
    Launch& adjusted(std::function<void(termios&)> change) {
        adjust = std::move(change);
        return *this;
    }
};

template <class Case>
std::string case_name(const testing::TestParamInfo<Case>& p) {
    return p.param.name;
}

// One run of the program on a fresh pseudo-terminal.
class Session {
public:
    explicit Session(const Launch& launch);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool started() const { return pid_ > 0; }
    // Keys for the program to read.
    void type(const std::string& keys) {
        to_read_ = std::max(to_read_, bytes_read()) + keys.size();
        type_raw(keys);
    }
    void type_raw(const std::string& keys) {
        const int fd = input_pipe_ != -1 ? input_pipe_ : master_;
        ASSERT_EQ(write(fd, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    }
    // Signals are sent while the program waits for input, so that each test
    // sees the program in the same place (SignalDuringTheLastFlushIsNotLost
    // covers the moment just before the wait).
    void send(int sig) {
        await_waiting(INPUT_WAITS);
        kill(pid_, sig);
    }
    void send_while_writing(int sig) {
        await_waiting({SYS_write});
        kill(pid_, sig);
    }
    void resume() { kill(pid_, SIGCONT); }
    // A signal sent at once, whatever the program is doing.
    void send_now(int sig) { kill(pid_, sig); }
    // A key that the terminal turns into a signal.
    void press(char key) {
        await_waiting(INPUT_WAITS);
        type_raw(std::string(1, key));
    }
    termios settings() const {
        termios t{};
        tcgetattr(slave_, &t);
        return t;
    }
    void set_settings(const termios& t) const { tcsetattr(slave_, TCSANOW, &t); }
    // Waits until the settings satisfy `wanted`; returns the last ones read.
    termios await_settings(const std::function<bool(const termios&)>& wanted) const;
    // The output once it holds `size` bytes (or the deadline passed).
    const std::string& await_output(std::size_t size) {
        read_until(output_fd_, output_, [&] { return output_.size() >= size; });
        return output_;
    }
    // The output after the program has written its last bytes.
    const std::string& final_output();
    // Standard error up to the end of the interactive notice.
    const std::string& await_notice() {
        read_until(errors_fd_, errors_, [&] { return errors_.ends_with("\n\n"); });
        return errors_;
    }
    const std::string& final_errors() {
        read_until(errors_fd_, errors_, [] { return false; });
        return errors_;
    }
    // The program's next wait status: a stop or its end.
    std::optional<int> await_status(Clock::duration patience = PATIENCE);
    pid_t pid() const { return pid_; }
    // Waits until the program has read every typed key and sleeps in one
    // of the system calls `calls`.
    void await_waiting(const std::vector<long>& calls) const;
    // What the program has read so far, startup included; without a view
    // of processes, as much as was typed.
    std::uint64_t bytes_read() const;
    void stop_reading_output() {
        child_->close_output();
        output_fd_ = -1;
    }

    termios initial{};  // the terminal's settings before the start

private:
    int master_ = -1, slave_ = -1;
    std::unique_ptr<vorsk_test::Child> child_;
    int input_pipe_ = -1, output_fd_ = -1, errors_fd_ = -1;
    pid_t pid_ = -1;
    std::uint64_t to_read_ = 0;  // bytes_read() once every typed key is read
    std::string output_, errors_;
};

Session::Session(const Launch& launch) {
    signal(SIGPIPE, SIG_IGN);  // a program that died must not take the tests with it
    if (openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) return;
    termios t{};
    tcgetattr(slave_, &t);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);  // the output bytes as written
    if (launch.adjust) launch.adjust(t);
    tcsetattr(slave_, TCSANOW, &t);
    tcgetattr(slave_, &initial);

    vorsk_test::Spawn spawn;
    spawn.args = launch.args;
    spawn.terminal = slave_;
    spawn.in = launch.input == Stream::PIPE ? vorsk_test::NEW_PIPE : slave_;
    spawn.out = slave_;
    if (launch.output == Stream::PIPE) spawn.out = vorsk_test::NEW_PIPE;
    if (launch.output == Stream::FILE) spawn.out = anonymous_file();
    if (launch.output == Stream::FULL) spawn.out = open("/dev/full", O_WRONLY | O_CLOEXEC);
    spawn.err = vorsk_test::NEW_PIPE;
    spawn.ignore_sigpipe = launch.ignore_sigpipe;
    child_ = std::make_unique<vorsk_test::Child>(spawn);
    if (spawn.out >= 0 && spawn.out != slave_) close(spawn.out);
    pid_ = child_->pid();
    input_pipe_ = child_->input();
    output_fd_ = launch.output == Stream::PIPE ? child_->output() : master_;
    errors_fd_ = child_->errors();
}

Session::~Session() {
    child_.reset();  // the program is gone before its terminal closes
    if (slave_ != -1) close(slave_);
    if (master_ != -1) close(master_);
}

termios Session::await_settings(const std::function<bool(const termios&)>& wanted) const {
    const auto deadline = Clock::now() + PATIENCE;
    termios t = settings();
    while (!wanted(t) && Clock::now() < deadline) {
        std::this_thread::sleep_for(milliseconds(2));
        t = settings();
    }
    return t;
}

const std::string& Session::final_output() {
    if (output_fd_ != master_) {
        read_until(output_fd_, output_, [] { return false; });
    } else {
        // A terminal has no end: what is still coming comes soon.
        while (read_some(output_fd_, output_, Clock::now() + milliseconds(50)) == Got::DATA) {
        }
    }
    return output_;
}

std::optional<int> Session::await_status(Clock::duration patience) {
    return child_->next_status(patience);
}

std::uint64_t Session::bytes_read() const {
    const std::string io = read_text("/proc/" + std::to_string(pid_) + "/io");
    const std::size_t at = io.find("rchar: ");
    return at == std::string::npos ? to_read_ : std::strtoull(io.c_str() + at + 7, nullptr, 10);
}

void Session::await_waiting(const std::vector<long>& calls) const {
    const auto deadline = Clock::now() + PATIENCE;
    const std::string proc = "/proc/" + std::to_string(pid_);
    const int queue = input_pipe_ != -1 ? input_pipe_ : slave_;
    for (;;) {
        int queued = 0;
        ioctl(queue, FIONREAD, &queued);
        const std::string stat = read_text(proc + "/stat");
        const std::string syscall = read_text(proc + "/syscall");
        if (stat.empty() || syscall.empty()) break;  // no such view of processes
        const std::size_t state = stat.rfind(") ");
        const bool asleep = state != std::string::npos && stat.compare(state + 2, 1, "S") == 0;
        const long call = std::strtol(syscall.c_str(), nullptr, 10);
        if (queued == 0 && bytes_read() >= to_read_ && asleep &&
            std::find(calls.begin(), calls.end(), call) != calls.end()) {
            return;
        }
        if (Clock::now() > deadline) return;
        std::this_thread::sleep_for(milliseconds(2));
    }
    std::this_thread::sleep_for(milliseconds(100));
}

testing::AssertionResult died_of(const std::optional<int>& status, int sig) {
    if (!status) return testing::AssertionFailure() << "the program neither ended nor stopped";
    if (WIFSIGNALED(*status) && WTERMSIG(*status) == sig) return testing::AssertionSuccess();
    if (WIFSIGNALED(*status))
        return testing::AssertionFailure() << "died of signal " << WTERMSIG(*status);
    if (WIFEXITED(*status))
        return testing::AssertionFailure() << "exited with " << WEXITSTATUS(*status);
    return testing::AssertionFailure() << "stopped by signal " << WSTOPSIG(*status);
}

testing::AssertionResult exited_with(const std::optional<int>& status, int code) {
    if (status && WIFEXITED(*status) && WEXITSTATUS(*status) == code)
        return testing::AssertionSuccess();
    if (status && WIFEXITED(*status))
        return testing::AssertionFailure() << "exited with " << WEXITSTATUS(*status);
    if (status && WIFSIGNALED(*status))
        return testing::AssertionFailure() << "died of signal " << WTERMSIG(*status);
    return testing::AssertionFailure() << "no end within the deadline";
}

// The notice: its last part names the interrupt character.

struct NoticeCase {
    const char* name;
    cc_t interrupt;
    std::string ending;
};

class Notice : public testing::TestWithParam<NoticeCase> {};

TEST_P(Notice, NamesTheInterruptCharacter) {
    Session s(Launch().adjusted([](termios& t) { t.c_cc[VINTR] = GetParam().interrupt; }));
    ASSERT_TRUE(s.started());
    s.await_notice();
    s.send(SIGTERM);
    EXPECT_TRUE(died_of(s.await_status(), SIGTERM));
    EXPECT_EQ(s.final_errors(), NOTICE_TEXT + GetParam().ending + "\n\n");
}

INSTANTIATE_TEST_SUITE_P(Interactive, Notice,
                         testing::Values(NoticeCase{"control_c", 0x03, " (Control-C)"},
                                         NoticeCase{"control_backslash", 0x1c, " (Control-\\)"},
                                         NoticeCase{"del", 0x7f, " (DEL, or Control-?)"},
                                         NoticeCase{"disabled", static_cast<cc_t>(_POSIX_VDISABLE),
                                                    ""},
                                         NoticeCase{"printable", 'q', ""},
                                         // A blank is printable too: it names no key.
                                         NoticeCase{"space", ' ', ""}),
                         case_name<NoticeCase>);

// The terminal's modes while the program reads, and what it shows per key.

TEST(Interactive, OutputOnTheTerminalClearsCanonicalModeAndEcho) {
    Session s{Launch()};
    ASSERT_TRUE(s.started());
    EXPECT_EQ(s.await_notice(), NOTICE);
    EXPECT_EQ(describe(s.settings()), describe(without(s.initial, ICANON | ECHO)));
    s.type("x");
    EXPECT_EQ(s.await_output(2), "|x");  // no echo: only the program's account
}

TEST(Interactive, OutputToAFileClearsOnlyCanonicalMode) {
    Session s(Launch().to(Stream::FILE));
    ASSERT_TRUE(s.started());
    EXPECT_EQ(s.await_notice(), NOTICE);
    EXPECT_EQ(describe(s.settings()), describe(without(s.initial, ICANON)));
    s.type("x");
    EXPECT_EQ(s.await_output(1), "x");  // the terminal echoes the key itself
}

// With -X, what is typed on the terminal is read as keys.
TEST(Interactive, ExtendedModeReadsTypedKeysAsKeys) {
    Session s(Launch().with({"-X"}));
    ASSERT_TRUE(s.started());
    s.await_notice();
    s.type("\x1b[A");
    const std::string shown = ": Esc [ A\n& KEY: CURSOR OR FUNCTION KEY\n\" The Up key.\n";
    EXPECT_EQ(s.await_output(shown.size()), shown);
    s.press(INTERRUPT);
    EXPECT_TRUE(died_of(s.await_status(), SIGINT));
}

class KeyByKey : public testing::TestWithParam<Stream> {};

TEST_P(KeyByKey, EachKeyIsShownBeforeTheNextIsTyped) {
    Session s(Launch().to(GetParam()));
    ASSERT_TRUE(s.started());
    s.await_notice();
    const std::pair<const char*, const char*> steps[] = {
        {"a", "|a"},
        {"b", "|ab"},
        {"\t", "|ab|\n. HT/^I"},
        {"\b", "|ab|\n. HT/^I BS/^H"},
        {"c", "|ab|\n. HT/^I BS/^H\n|c"},
    };
    for (const auto& [key, shown] : steps) {
        s.type(key);
        ASSERT_EQ(s.await_output(std::strlen(shown)), shown);
    }
}

INSTANTIATE_TEST_SUITE_P(Interactive, KeyByKey, testing::Values(Stream::TERMINAL, Stream::PIPE),
                         [](const testing::TestParamInfo<Stream>& p) {
                             return p.param == Stream::TERMINAL ? "terminal" : "pipe";
                         });

// Signals that end the run.

struct EndingCase {
    const char* name;
    Stream input, output;
    std::string keys, shown;  // typed first, and the account of them
    char typed_signal;        // the key that signals, or 0 to send `sig`
    int sig;
    std::string final_output;
};

class Ending : public testing::TestWithParam<EndingCase> {};

TEST_P(Ending, ClosesTheLineRestoresTheTerminalAndDiesOfTheSignal) {
    const EndingCase& c = GetParam();
    Session s(Launch().from(c.input).to(c.output));
    ASSERT_TRUE(s.started());
    const bool on_terminal = c.input == Stream::TERMINAL;
    if (on_terminal) s.await_notice();
    s.type(c.keys);
    ASSERT_EQ(s.await_output(c.shown.size()), c.shown);
    const termios running = s.settings();
    EXPECT_EQ(describe(running),
              describe(on_terminal ? without(s.initial, ICANON | ECHO) : s.initial));

    if (c.typed_signal != 0) {
        s.press(c.typed_signal);
    } else {
        s.send(c.sig);
    }
    EXPECT_TRUE(died_of(s.await_status(), c.sig));
    EXPECT_EQ(describe(s.settings()), describe(s.initial));
    EXPECT_EQ(s.final_output(), c.final_output);
    EXPECT_EQ(s.final_errors(), on_terminal ? NOTICE : "");
}

INSTANTIATE_TEST_SUITE_P(
    Interactive, Ending,
    testing::Values(EndingCase{"interrupt_character", Stream::TERMINAL, Stream::TERMINAL, "ab",
                               "|ab", INTERRUPT, SIGINT, "|ab|\n"},
                    // The look-ahead after a lone ESC sees the interruption as the end.
                    EndingCase{"interrupt_after_lone_esc", Stream::TERMINAL, Stream::TERMINAL,
                               "\x1b", "", INTERRUPT, SIGINT, ". ESC/^[\n"},
                    // The "(" that the look-ahead gives back is shown before the signal
                    // takes effect.
                    EndingCase{"interrupt_after_esc_and_intermediate", Stream::TERMINAL,
                               Stream::TERMINAL, "\x1b(", "", INTERRUPT, SIGINT, ". ESC/^[\n|(|\n"},
                    EndingCase{"sigterm", Stream::TERMINAL, Stream::TERMINAL, "ab", "|ab", 0,
                               SIGTERM, "|ab|\n"},
                    EndingCase{"sigterm_input_from_pipe", Stream::PIPE, Stream::TERMINAL, "ab",
                               "|ab", 0, SIGTERM, "|ab|\n"},
                    // Output that is not a terminal keeps its open line open.
                    EndingCase{"sigterm_output_to_pipe", Stream::PIPE, Stream::PIPE, "ab", "|ab", 0,
                               SIGTERM, "|ab"}),
    case_name<EndingCase>);

TEST(Interactive, BufferedOutputIsWrittenBeforeTheSignalTakesEffect) {
    Session s(Launch().with({"-b"}).from(Stream::PIPE).to(Stream::PIPE));
    ASSERT_TRUE(s.started());
    s.type("ab\r");
    s.send(SIGTERM);
    EXPECT_TRUE(died_of(s.await_status(), SIGTERM));
    EXPECT_EQ(s.final_output(), "|ab|\n. CR/^M");
}

// Signals that come at awkward moments.

// A signal that comes while the output before a read is being written, after
// the loop's last look at its flag, must not wait for the next key.
TEST(Interactive, SignalDuringTheLastFlushIsNotLost) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        Session s{Launch()};
        ASSERT_TRUE(s.started());
        s.await_notice();
        s.type("x");
        ASSERT_EQ(s.await_output(2), "|x");
        kill(s.pid(), SIGTERM);  // at once: the program is about to read
        ASSERT_TRUE(died_of(s.await_status(std::chrono::seconds(1)), SIGTERM))
            << "attempt " << attempt;
    }
}

// A signal that ends the program while a write waits for the terminal to
// take more output acts at once: the write is abandoned, and it is no
// write error.
TEST(Interactive, AnEndingSignalWhileTheOutputIsHeldActsAtOnce) {
    Session s{Launch()};
    ASSERT_TRUE(s.started());
    s.await_notice();
    s.type_raw("\x13");  // the stop character holds the terminal's output
    s.type("ab");
    s.send_while_writing(SIGTERM);
    EXPECT_TRUE(died_of(s.await_status(), SIGTERM));
    s.type_raw("\x11");  // the start character lets it flow again
    EXPECT_EQ(s.final_errors(), NOTICE);
    EXPECT_EQ(describe(s.settings()), describe(s.initial));
}

// Signals that stop the run until it is continued.

struct StopCase {
    const char* name;
    char typed_signal;  // the key that signals, or 0 to send `sig`
    int sig;
};

class Stop : public testing::TestWithParam<StopCase> {};

TEST_P(Stop, RestoresTheTerminalWhileStoppedAndReadsOnAfterwards) {
    const StopCase& c = GetParam();
    Session s{Launch()};
    ASSERT_TRUE(s.started());
    s.await_notice();
    const termios interactive = without(s.initial, ICANON | ECHO);
    std::string shown;
    // Twice: the handler must be back for the second time.
    for (const char* key : {"a", "b"}) {
        s.type(key);
        shown += std::string("|") + key;
        ASSERT_EQ(s.await_output(shown.size()), shown);
        if (c.typed_signal != 0) {
            s.press(c.typed_signal);
        } else {
            s.send(c.sig);
        }
        const std::optional<int> status = s.await_status();
        ASSERT_TRUE(status && WIFSTOPPED(*status) && WSTOPSIG(*status) == c.sig)
            << (status ? *status : -1);
        shown += "|\n";
        EXPECT_EQ(s.await_output(shown.size()), shown);
        EXPECT_EQ(describe(s.settings()), describe(s.initial));

        s.resume();
        const termios resumed = s.await_settings(
            [&](const termios& t) { return describe(t) == describe(interactive); });
        ASSERT_EQ(describe(resumed), describe(interactive));
    }
    s.type("c");
    EXPECT_EQ(s.await_output(shown.size() + 2), shown + "|c");
    s.press(INTERRUPT);
    EXPECT_TRUE(died_of(s.await_status(), SIGINT));
    EXPECT_EQ(s.final_output(), shown + "|c|\n");
    EXPECT_EQ(describe(s.settings()), describe(s.initial));
}

INSTANTIATE_TEST_SUITE_P(Interactive, Stop,
                         testing::Values(StopCase{"suspend_character", SUSPEND, SIGTSTP},
                                         StopCase{"sigttin", 0, SIGTTIN},
                                         StopCase{"sigttou", 0, SIGTTOU}),
                         case_name<StopCase>);

// Of two signals that wait while the program is stopped, the first caught
// is the one acted on.
TEST(Interactive, TheFirstCaughtSignalIsActedOn) {
    Session s{Launch()};
    ASSERT_TRUE(s.started());
    s.await_notice();
    s.send(SIGSTOP);
    const std::optional<int> stopped = s.await_status();
    ASSERT_TRUE(stopped && WIFSTOPPED(*stopped)) << (stopped ? *stopped : -1);
    s.send_now(SIGINT);
    s.send_now(SIGTERM);
    s.resume();
    EXPECT_TRUE(died_of(s.await_status(), SIGINT));
    EXPECT_EQ(describe(s.settings()), describe(s.initial));
}

// Without interactive mode.

TEST(Interactive, NoInteractiveLeavesTheTerminalAndTheSignalsAlone) {
    Session s(Launch().with({"-I"}));
    ASSERT_TRUE(s.started());
    // In canonical mode the end-of-file character hands over "ab" without
    // a newline.
    s.type_raw("ab\x04");
    const std::string& shown = s.await_output(5);
    ASSERT_NE(shown.find("|ab"), std::string::npos) << shown;
    EXPECT_EQ(describe(s.settings()), describe(s.initial));

    s.press(INTERRUPT);
    EXPECT_TRUE(died_of(s.await_status(), SIGINT));
    EXPECT_EQ(s.final_output().find("|ab|"), std::string::npos) << "the line was closed";
    EXPECT_EQ(s.final_errors(), "");
}

// The terminal is restored however the run ends.

TEST(Interactive, EndOfInputRestoresTheTerminal) {
    Session s{Launch()};
    ASSERT_TRUE(s.started());
    s.await_notice();
    s.type("a");
    EXPECT_EQ(s.await_output(2), "|a");
    // A non-canonical terminal has no end-of-file key: canonical mode comes
    // back behind the program's back (echo stays off). A read that began
    // before wants a whole line; in the next one the end-of-file character
    // at the start of a line returns nothing.
    s.set_settings(without(s.initial, ECHO));
    s.type("b\n");
    EXPECT_EQ(s.await_output(6), "|ab|.\n");
    s.press(static_cast<char>(s.initial.c_cc[VEOF]));
    EXPECT_TRUE(exited_with(s.await_status(), 0));
    EXPECT_EQ(s.final_output(), "|ab|.\n");
    EXPECT_EQ(describe(s.settings()), describe(s.initial));
    EXPECT_EQ(s.final_errors(), NOTICE);
}

TEST(Interactive, WriteErrorRestoresTheTerminal) {
    Session s(Launch().to(Stream::FULL));
    ASSERT_TRUE(s.started());
    s.await_notice();
    s.type("a");
    EXPECT_TRUE(exited_with(s.await_status(), ENOSPC));
    EXPECT_EQ(describe(s.settings()), describe(s.initial));
    EXPECT_EQ(s.final_errors(), NOTICE + "vorsk: write error: " + std::strerror(ENOSPC) + "\n");
}

struct BrokenPipeCase {
    const char* name;
    bool ignored;  // SIGPIPE ignored by whoever started the program
};

class BrokenPipe : public testing::TestWithParam<BrokenPipeCase> {};

TEST_P(BrokenPipe, RestoresTheTerminal) {
    Session s(Launch().to(Stream::PIPE).ignoring_sigpipe(GetParam().ignored));
    ASSERT_TRUE(s.started());
    s.await_notice();
    s.stop_reading_output();
    s.type("a");
    const std::optional<int> status = s.await_status();
    if (GetParam().ignored) {
        EXPECT_TRUE(exited_with(status, EPIPE));
        EXPECT_EQ(s.final_errors(), NOTICE + "vorsk: write error: " + std::strerror(EPIPE) + "\n");
    } else {
        EXPECT_TRUE(died_of(status, SIGPIPE));
        EXPECT_EQ(s.final_errors(), NOTICE);
    }
    EXPECT_EQ(describe(s.settings()), describe(s.initial));
}

INSTANTIATE_TEST_SUITE_P(Interactive, BrokenPipe,
                         testing::Values(BrokenPipeCase{"default_action", false},
                                         BrokenPipeCase{"ignored", true}),
                         case_name<BrokenPipeCase>);

}  // namespace
