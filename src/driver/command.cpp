#include "driver/command.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "allocation.h"
#include "driver/terminal.h"
#include "output/line_writer.h"

namespace vorsk {

// The bytes of one read, until they are handed out (and, typed, passed on).
struct Piece {
    std::uint8_t bytes[RECORD_PIECE_SIZE];
    std::size_t size = 0;
    std::size_t forwarded = 0;  // typed bytes written to the program's terminal
    bool pending = false;       // not yet handed out
    bool paused = false;        // its pause is handed out
    double time = 0.0;          // when it was read, in seconds since the start
};

struct CommandRun {
    CommandSetup setup;
    pid_t child = -1;
    int master = -1;
    int status = 0;  // the program's wait status, once it ended
    bool child_ended = false;
    bool output_ended = false;  // the terminal's output is read to its end
    bool input_ended = false;   // the user's input is at its end (or not read any more)
    bool eof_to_send = false;   // the end-of-file character is still to be passed on
    cc_t eof_character = 4;
    int start_step = 0;  // the metadata of the start handed out so far
    bool resized = false;
    bool exit_given = false;
    bool ended = false;
    bool bytes_given = false;  // the last record handed out was bytes
    double start = 0.0;
    double last_time = 0.0;  // of the last piece handed out, for the pauses
    Piece output;            // what the program wrote
    Piece input;             // what the user typed
    char command[METADATA_VALUE_SIZE];
    char terminal_size[32];
    char window_size[32];
    char terminal_type[METADATA_VALUE_SIZE];
    char exit_status[64];
};

namespace {

// The signals that end vorsk's run: it ends its account, puts the user's
// terminal back and then dies of the signal.
constexpr int ENDING_SIGNALS[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM};

int wake_pipe[2] = {-1, -1};  // written by the handlers, so that a poll wakes up
volatile std::sig_atomic_t child_changed = 0;
volatile std::sig_atomic_t window_changed = 0;
volatile std::sig_atomic_t ending_signal = 0;

int terminal_fd = -1;  // the user's terminal whose settings were changed, or -1
termios saved_settings;
termios raw_settings;
pid_t program = -1;         // the program, until vorsk reaps it
int program_terminal = -1;  // the master of its terminal

void restore_terminal() {
    if (terminal_fd != -1) tcsetattr(terminal_fd, TCSANOW, &saved_settings);
}

void take_terminal() {
    if (terminal_fd != -1) tcsetattr(terminal_fd, TCSANOW, &raw_settings);
}

// How long a program that vorsk hangs up has to end before it is killed.
constexpr long HANGUP_PATIENCE_MS = 1000;

// When vorsk ends before the program: the program and the foreground of
// its terminal are hung up, as a terminal that goes away hangs them up, and
// killed if they are still there after a while (a program may ignore
// SIGHUP); the program is reaped. Safe in a signal handler.
void end_program() {
    if (program <= 0) return;
    const pid_t groups[2] = {program,
                             program_terminal >= 0 ? tcgetpgrp(program_terminal) : program};
    for (const pid_t group : groups) {
        if (group <= 0) continue;
        kill(-group, SIGHUP);
        kill(-group, SIGCONT);
    }
    int status = 0;
    for (long waited = 0; waited < HANGUP_PATIENCE_MS; waited += 10) {
        const pid_t done = waitpid(program, &status, WNOHANG);
        if (done != 0 && !(done < 0 && errno == EINTR)) {
            program = -1;
            return;
        }
        const timespec pause{0, 10 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
    for (const pid_t group : groups) {
        if (group > 0) kill(-group, SIGKILL);
    }
    while (waitpid(program, &status, 0) < 0 && errno == EINTR) {
    }
    program = -1;
}

// vorsk dies of an ending signal now: the terminal is put back, the
// program ended.
[[noreturn]] void end_now(int sig) {
    restore_terminal();
    end_program();
    raise_with_default_action(sig);
    _exit(128 + sig);
}

void wake() {
    const int saved_errno = errno;
    const char byte = 0;
    [[maybe_unused]] const ssize_t ignored = write(wake_pipe[1], &byte, 1);
    errno = saved_errno;
}

void on_child(int) {
    child_changed = 1;
    wake();
}

void on_window(int) {
    window_changed = 1;
    wake();
}

void on_ending(int sig) {
    // A write that waits for its reader is abandoned.
    if (sink_write_waiting) end_now(sig);
    if (ending_signal == 0) ending_signal = sig;
    sink_end_signal = ending_signal;
    wake();
}

// A stop from outside (the interrupt characters reach the program): the
// user's terminal gets its settings back while vorsk is stopped, and raw
// mode again when it is continued.
void on_stop(int sig) {
    const int saved_errno = errno;
    restore_terminal();
    raise_with_default_action(sig);  // stops here until continued
    struct sigaction action {};
    action.sa_handler = on_stop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(sig, &action, nullptr);
    take_terminal();
    errno = saved_errno;
}

// Continued after a stop that no handler saw (SIGSTOP).
void on_continue(int) {
    const int saved_errno = errno;
    take_terminal();
    errno = saved_errno;
}

// A write to a reader that went away: the terminal's settings go back at
// once, since the write cannot end, and the process dies of the signal.
void on_broken_pipe(int sig) {
    restore_terminal();
    raise_with_default_action(sig);
}

void set_handler(int sig, void (*handler)(int), int flags) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    // Restarted calls: the writer's writes are not cut short; the reader's
    // poll wakes up through the pipe.
    action.sa_flags = SA_RESTART | flags;
    sigaction(sig, &action, nullptr);
}

double now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

void copy_value(char* to, std::size_t size, const char* from) {
    std::snprintf(to, size, "%s", from);
}

void format_size(char* to, std::size_t size, const winsize& ws) {
    std::snprintf(to, size, "%ux%u", static_cast<unsigned>(ws.ws_col),
                  static_cast<unsigned>(ws.ws_row));
}

// In the child, from fork to exec: the program leads a session of its own,
// whose controlling terminal is the new one, on its standard streams.
[[noreturn]] void become_program(const CommandSetup& setup, int slave, const char* shell) {
    setsid();
    ioctl(slave, TIOCSCTTY, 0);
    for (int fd = 0; fd < 3; ++fd) dup2(slave, fd);
    for (int sig = 1; sig < NSIG; ++sig) std::signal(sig, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    // This closes the pipe that vorsk waits on too: from now on a typed
    // interrupt character signals the program.
    close_range(3, ~0U, 0);
    const char* slash = std::strrchr(shell, '/');
    const char* name = slash != nullptr ? slash + 1 : shell;
    execl(shell, name, "-c", setup.command, static_cast<char*>(nullptr));
    std::fprintf(stderr, "%s: couldn't run %s: %s\r\n", setup.program_name, shell,
                 std::strerror(errno));
    _exit(127);
}

void describe_status(CommandRun& run) {
    const int status = run.status;
    if (WIFSIGNALED(status)) {
        const char* name = sigabbrev_np(WTERMSIG(status));
        char number[16];
        std::snprintf(number, sizeof number, "%d", WTERMSIG(status));
        std::snprintf(run.exit_status, sizeof run.exit_status, "killed by %s%s%s",
                      name != nullptr ? "SIG" : "signal ", name != nullptr ? name : number,
                      WCOREDUMP(status) ? " (core dumped)" : "");
    } else {
        std::snprintf(run.exit_status, sizeof run.exit_status, "%d", WEXITSTATUS(status));
    }
}

void reap(CommandRun& run) {
    if (run.child_ended) return;
    int status = 0;
    pid_t done;
    do {
        done = waitpid(run.child, &status, WNOHANG);
    } while (done < 0 && errno == EINTR);
    if (done == run.child || (done < 0 && errno == ECHILD)) {
        program = -1;
        run.child_ended = true;
        run.status = done == run.child ? status : 0;
        describe_status(run);
    }
}

void write_all(int fd, const std::uint8_t* bytes, std::size_t size) {
    while (size > 0) {
        // A signal that ends vorsk does not wait for this write.
        sink_write_waiting = 1;
        if (ending_signal != 0) end_now(ending_signal);
        const ssize_t n = write(fd, bytes, size);
        if (n < 0 && errno == EAGAIN) {
            pollfd p{fd, POLLOUT, 0};
            poll(&p, 1, -1);
        }
        sink_write_waiting = 0;
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return;  // the copy is for the user's eyes; the account goes on
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
}

// The window of the user's terminal changed: the program's terminal takes
// its size, and the kernel tells the program.
void follow_window(CommandRun& run) {
    winsize ws{};
    if (ioctl(run.setup.input_fd, TIOCGWINSZ, &ws) != 0) return;
    ioctl(run.master, TIOCSWINSZ, &ws);
    format_size(run.window_size, sizeof run.window_size, ws);
    run.resized = true;
}

void take_notices(CommandRun& run) {
    char bytes[64];
    while (read(wake_pipe[0], bytes, sizeof bytes) > 0) {
    }
    if (child_changed) {
        child_changed = 0;
        reap(run);
    }
    if (window_changed) {
        window_changed = 0;
        follow_window(run);
    }
}

void read_output(CommandRun& run) {
    Piece& piece = run.output;
    const ssize_t n = read(run.master, piece.bytes, sizeof piece.bytes);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
    // Linux reads EIO once the last descriptor of the terminal's other side
    // closed, after everything written there.
    if (n <= 0) {
        run.output_ended = true;
        return;
    }
    piece.size = static_cast<std::size_t>(n);
    piece.pending = true;
    piece.paused = !run.setup.timed;
    piece.time = now() - run.start;
    if (run.setup.copy_fd >= 0) write_all(run.setup.copy_fd, piece.bytes, piece.size);
}

void read_input(CommandRun& run) {
    Piece& piece = run.input;
    const ssize_t n = read(run.setup.input_fd, piece.bytes, sizeof piece.bytes);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
    if (n <= 0) {
        // The end of what the user types is passed on as a terminal's
        // end-of-file character, once.
        run.input_ended = true;
        run.eof_to_send = n == 0;
        return;
    }
    piece.size = static_cast<std::size_t>(n);
    piece.forwarded = 0;
    piece.pending = run.setup.show_input;
    piece.paused = !run.setup.timed;
    piece.time = now() - run.start;
}

bool forward_pending(const CommandRun& run) {
    return run.input.forwarded < run.input.size || run.eof_to_send;
}

// Passes typed bytes on, as much as the program's terminal takes now.
void forward(CommandRun& run) {
    Piece& piece = run.input;
    while (piece.forwarded < piece.size) {
        const ssize_t n =
            write(run.master, piece.bytes + piece.forwarded, piece.size - piece.forwarded);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return;
        if (n <= 0) {
            piece.forwarded = piece.size;  // nobody reads the terminal any more
            break;
        }
        piece.forwarded += static_cast<std::size_t>(n);
    }
    if (run.eof_to_send) {
        const ssize_t n = write(run.master, &run.eof_character, 1);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
        run.eof_to_send = false;
    }
}

bool input_slot_free(const CommandRun& run) {
    return !run.input.pending && run.input.forwarded >= run.input.size;
}

// Hands out a piece (after its pause, when timed).
void give_piece(CommandRun& run, Piece& piece, Direction direction, Record& record) {
    if (!piece.paused) {
        piece.paused = true;
        record = Record{.kind = RECORD_PAUSE, .direction = direction};
        record.delay = std::max(0.0, piece.time - run.last_time);
        run.last_time = std::max(run.last_time, piece.time);
        return;
    }
    piece.pending = false;
    run.bytes_given = true;
    record = Record{
        .kind = RECORD_BYTES, .direction = direction, .bytes = piece.bytes, .size = piece.size};
}

void give_metadata(Record& record, const char* name, const char* value) {
    record = Record{.kind = RECORD_METADATA, .name = name, .value = value};
}

// What is ready to be handed out for `want`, if anything.
bool give_ready(CommandRun& run, RecordWant want, Record& record) {
    if (want == WANT_ANY && run.start_step < 3) {
        switch (run.start_step++) {
            case 0: give_metadata(record, "Command", run.command); return true;
            case 1: give_metadata(record, "Terminal size", run.terminal_size); return true;
            default:
                if (run.terminal_type[0] != '\0') {
                    give_metadata(record, "Terminal type", run.terminal_type);
                    return true;
                }
        }
    }
    Piece* first = nullptr;
    Direction direction = TO_TERMINAL;
    const bool output = run.output.pending && want != WANT_FROM_TERMINAL;
    const bool input = run.input.pending && want != WANT_TO_TERMINAL;
    if (output && (!input || run.output.time <= run.input.time)) {
        first = &run.output;
    } else if (input) {
        first = &run.input;
        direction = FROM_TERMINAL;
    }
    if (first != nullptr) {
        give_piece(run, *first, direction, record);
        return true;
    }
    if (want != WANT_ANY) return false;
    if (run.resized) {
        run.resized = false;
        give_metadata(record, "Window size", run.window_size);
        return true;
    }
    if (run.output_ended && run.child_ended && !run.exit_given) {
        run.exit_given = true;
        give_metadata(record, "Exit status", run.exit_status);
        return true;
    }
    return false;
}

int milliseconds_until(double deadline) {
    const double left = deadline - now();
    return left <= 0 ? 0 : static_cast<int>(left * 1000.0) + 1;
}

// A terminal's escape timeout: typed bytes that a decoder reads ahead for
// come within this time, or not as part of the same sequence.
constexpr double TYPED_PATIENCE = 0.05;
// Once the program ended, others may hold its terminal open; what they do
// not write within this time is not waited for.
constexpr double QUIET_AFTER_END = 0.1;

// What a call of next_record hands over without waiting: the end, a record
// ready, or nothing of the direction wanted; false where it must wait.
bool record_without_waiting(CommandRun& run, RecordWant want, Record& record) {
    take_notices(run);
    if (ending_signal != 0 || run.ended) {
        run.ended = true;
        record = Record{.kind = RECORD_END};
        return true;
    }
    if (give_ready(run, want, record)) return true;
    if (run.exit_given) {
        run.ended = true;
        record = Record{.kind = RECORD_END};
        return true;
    }
    if ((want == WANT_TO_TERMINAL && run.output_ended) ||
        (want == WANT_FROM_TERMINAL && (run.input_ended || !run.setup.show_input))) {
        record = Record{.kind = RECORD_NONE};
        return true;
    }
    return false;
}

// What the session waits on: the wake pipe, the log's queue, the pseudo-
// terminal (to read the program's output, to forward typed bytes), the
// user's terminal.
struct Waits {
    pollfd fds[4];
    nfds_t n = 0;
    int log = -1;  // the index of each in fds, or -1
    int master = -1;
    int input = -1;
};

Waits waits_of(CommandRun& run) {
    Waits w;
    w.fds[w.n++] = pollfd{wake_pipe[0], POLLIN, 0};
    const int log_fd = run.setup.log != nullptr ? log_queue_waiting_fd(*run.setup.log) : -1;
    if (log_fd >= 0) {
        w.log = static_cast<int>(w.n);
        w.fds[w.n++] = pollfd{log_fd, POLLOUT, 0};
    }
    if (run.output_ended) return w;
    short events = 0;
    if (!run.output.pending) events |= POLLIN;
    if (forward_pending(run)) events |= POLLOUT;
    if (events != 0) {
        w.master = static_cast<int>(w.n);
        w.fds[w.n++] = pollfd{run.master, events, 0};
    }
    if (!run.input_ended && input_slot_free(run)) {
        w.input = static_cast<int>(w.n);
        w.fds[w.n++] = pollfd{run.setup.input_fd, POLLIN, 0};
    }
    return w;
}

// How long the wait may last: typed input is not awaited long, output
// after the program's end only until it has been quiet a while, and the
// program's end looked at now and then. Below 0: no limit.
double deadline_of(const CommandRun& run, RecordWant want, double started, double last_output) {
    double deadline = -1.0;
    if (want == WANT_FROM_TERMINAL) deadline = started + TYPED_PATIENCE;
    if (run.child_ended && !run.output_ended) {
        const double quiet = last_output + QUIET_AFTER_END;
        deadline = deadline < 0 ? quiet : std::min(deadline, quiet);
    }
    if (run.output_ended && !run.child_ended) {
        // Only the program's end is awaited; its SIGCHLD wakes the poll,
        // and a look now and then covers a status taken by no handler.
        const double look = now() + QUIET_AFTER_END;
        deadline = deadline < 0 ? look : std::min(deadline, look);
    }
    return deadline;
}

void next_record(void* self, RecordWant want, Record& record) {
    CommandRun& run = *static_cast<CommandRun*>(self);
    // The bytes handed out last are decoded by now.
    if (run.bytes_given && run.setup.flush_each_read && run.setup.flush != nullptr)
        run.setup.flush(run.setup.flush_arg);
    run.bytes_given = false;
    const double started = now();
    double last_output = started;
    for (;;) {
        if (record_without_waiting(run, want, record)) return;
        Waits w = waits_of(run);
        const double deadline = deadline_of(run, want, started, last_output);
        int ready = poll(w.fds, w.n, 0);
        if (ready == 0) {
            if (run.setup.flush != nullptr) run.setup.flush(run.setup.flush_arg);
            ready = poll(w.fds, w.n, deadline < 0 ? -1 : milliseconds_until(deadline));
        }
        if (ready < 0 && errno != EINTR) {
            std::fprintf(stderr, "%s: poll: %s\n", run.setup.program_name, std::strerror(errno));
            run.ended = true;
            continue;
        }
        if (ready <= 0) {
            if (run.output_ended && !run.child_ended) {
                reap(run);
                continue;
            }
            if (deadline >= 0 && now() >= deadline) {
                if (run.child_ended && !run.output_ended &&
                    now() >= last_output + QUIET_AFTER_END) {
                    run.output_ended = true;
                    continue;
                }
                if (want == WANT_FROM_TERMINAL) {
                    record = Record{.kind = RECORD_NONE};
                    return;
                }
            }
            continue;
        }
        if (w.log >= 0 && w.fds[w.log].revents != 0) log_queue_drain(*run.setup.log);
        if (w.master >= 0) {
            const short got = w.fds[w.master].revents;
            if ((got & POLLOUT) != 0) forward(run);
            if ((got & (POLLIN | POLLHUP | POLLERR)) != 0 && !run.output.pending) {
                read_output(run);
                last_output = now();
            }
        }
        if (w.input >= 0 && w.fds[w.input].revents != 0) {
            read_input(run);
            forward(run);
        }
    }
}

int finish_record(void* self) {
    return command_finish(*static_cast<CommandRun*>(self));
}

}  // namespace

namespace {

// The pipe the signal handlers wake the poll with, and the pseudo-terminal:
// false, said on standard error, where one of them cannot be had.
bool open_pseudo_terminal(const CommandSetup& setup, int& master, int& slave) {
    if (pipe2(wake_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::fprintf(stderr, "%s: pipe: %s\n", setup.program_name, std::strerror(errno));
        return false;
    }
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char slave_name[128];
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 ||
        ptsname_r(master, slave_name, sizeof slave_name) != 0) {
        std::fprintf(stderr, "%s: couldn't open a pseudo-terminal: %s\n", setup.program_name,
                     std::strerror(errno));
        return false;
    }
    slave = open(slave_name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        std::fprintf(stderr, "%s: couldn't open %s: %s\n", setup.program_name, slave_name,
                     std::strerror(errno));
        return false;
    }
    return true;
}

// The handlers of the program's end, resizes, the ending signals, stops,
// and of a broken pipe where nobody else took it.
void set_command_handlers() {
    set_handler(SIGCHLD, on_child, SA_NOCLDSTOP);
    set_handler(SIGWINCH, on_window, 0);
    for (const int sig : ENDING_SIGNALS) set_handler(sig, on_ending, 0);
    set_handler(SIGTSTP, on_stop, 0);
    set_handler(SIGCONT, on_continue, 0);
    struct sigaction pipe_action {};
    sigaction(SIGPIPE, nullptr, &pipe_action);
    if (pipe_action.sa_handler == SIG_DFL) set_handler(SIGPIPE, on_broken_pipe, 0);
}

// Raw input: every byte as typed, no signal, no echo, no translation. The
// account written to this terminal keeps its output processing; a
// program's own output, copied unchanged, is already what a terminal
// wants, and goes out raw. The settings are put back at every exit.
void make_terminal_raw(const CommandSetup& setup, const termios& settings) {
    saved_settings = settings;
    terminal_fd = setup.input_fd;
    std::atexit(restore_terminal);
    std::at_quick_exit(restore_terminal);
    termios raw = settings;
    raw.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                          ICRNL | IXON | IXOFF);
    raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    if (setup.copy_fd >= 0) raw.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    raw_settings = raw;
    take_terminal();
}

}  // namespace

CommandRun* command_start(const CommandSetup& setup) {
    CommandRun* run = allocate_record<CommandRun>();
    if (run == nullptr) {
        std::fprintf(stderr, "%s: Out of memory.\n", setup.program_name);
        return nullptr;
    }
    run->setup = setup;
    const char* shell = std::getenv("SHELL");
    if (shell == nullptr || *shell == '\0') shell = "/bin/sh";

    int master = -1;
    int slave = -1;
    if (!open_pseudo_terminal(setup, master, slave)) return nullptr;

    // The program's terminal starts as the user's: its settings and size.
    winsize ws{.ws_row = 24, .ws_col = 80, .ws_xpixel = 0, .ws_ypixel = 0};
    termios settings{};
    const bool on_terminal = tcgetattr(setup.input_fd, &settings) == 0;
    if (on_terminal) {
        tcsetattr(slave, TCSANOW, &settings);
        winsize user{};
        if (ioctl(setup.input_fd, TIOCGWINSZ, &user) == 0 && user.ws_col > 0 && user.ws_row > 0)
            ws = user;
    }
    ioctl(slave, TIOCSWINSZ, &ws);
    termios program_settings{};
    if (tcgetattr(slave, &program_settings) == 0) run->eof_character = program_settings.c_cc[VEOF];

    copy_value(run->command, sizeof run->command, setup.command);
    format_size(run->terminal_size, sizeof run->terminal_size, ws);
    const char* term = std::getenv("TERM");
    copy_value(run->terminal_type, sizeof run->terminal_type, term != nullptr ? term : "");

    set_command_handlers();

    std::fflush(nullptr);  // nothing buffered is written twice
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) {
        std::fprintf(stderr, "%s: pipe: %s\n", setup.program_name, std::strerror(errno));
        return nullptr;
    }
    const pid_t child = fork();
    if (child < 0) {
        std::fprintf(stderr, "%s: fork: %s\n", setup.program_name, std::strerror(errno));
        return nullptr;
    }
    if (child == 0) become_program(setup, slave, shell);
    close(slave);
    // Nothing typed is passed on before the program's terminal is its
    // controlling terminal, whose signals reach it.
    close(ready[1]);
    char byte;
    while (read(ready[0], &byte, 1) < 0 && errno == EINTR) {
    }
    close(ready[0]);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    run->child = child;
    run->master = master;
    program = child;
    program_terminal = master;
    // However vorsk ends, the program does not outlive it.
    std::atexit(end_program);
    std::at_quick_exit(end_program);
    run->start = now();

    if (on_terminal && setup.raw) make_terminal_raw(setup, settings);
    return run;
}

RecordReader command_reader(CommandRun& run) {
    return RecordReader{.next = next_record, .finish = finish_record, .self = &run};
}

int command_finish(CommandRun& run) {
    restore_terminal();
    terminal_fd = -1;
    if (run.setup.log != nullptr) log_queue_end(*run.setup.log, ending_signal);
    if (ending_signal != 0) {
        const int sig = ending_signal;
        end_program();
        raise_with_default_action(sig);
        return 128 + sig;
    }
    if (!run.child_ended) return 1;
    if (WIFSIGNALED(run.status)) return 128 + WTERMSIG(run.status);
    return WEXITSTATUS(run.status);
}

void command_free(CommandRun* run) {
    if (run == nullptr) return;
    if (run->master != -1) close(run->master);
    release_record(run);
}

}  // namespace vorsk
