#include "driver/terminal.h"

#include <sys/select.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace vorsk {

volatile std::sig_atomic_t signal_pending = 0;

namespace {

constexpr int CAUGHT_SIGNALS[] = {SIGINT, SIGTERM, SIGTSTP, SIGTTIN, SIGTTOU};

volatile std::sig_atomic_t caught_signal = 0;
int terminal_fd = -1;  // the input terminal whose settings were changed, or -1
termios saved_settings;
termios interactive_settings;
bool handlers_installed = false;
bool finish_line_on_signal = false;

sigset_t caught_set() {
    sigset_t set;
    sigemptyset(&set);
    for (const int sig : CAUGHT_SIGNALS) sigaddset(&set, sig);
    return set;
}

void restore_terminal() {
    if (terminal_fd != -1) tcsetattr(terminal_fd, TCSANOW, &saved_settings);
}

// Installed only while the terminal is changed: the reader of the output
// went away, so put the settings back and die of SIGPIPE all the same.
void restore_and_reraise(int sig) {
    restore_terminal();
    raise_with_default_action(sig);
}

void set_handler(int sig, void (*handler)(int)) {
    struct sigaction action {};
    sigaction(sig, nullptr, &action);
    action.sa_handler = handler;
    sigaction(sig, &action, nullptr);
}

}  // namespace

void setup_terminal(int fd, bool output_is_tty) {
    termios settings;
    if (tcgetattr(fd, &settings) != 0) return;
    saved_settings = settings;
    settings.c_lflag &= ~static_cast<tcflag_t>(ICANON);
    if (output_is_tty) settings.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    interactive_settings = settings;
    terminal_fd = fd;
    tcsetattr(fd, TCSANOW, &settings);

    // Every way out puts the user's settings back. A SIGPIPE that was
    // ignored when the program started stays ignored: the failed write then
    // ends the program through the exit hook.
    std::atexit(restore_terminal);
    std::at_quick_exit(restore_terminal);
    struct sigaction pipe_action {};
    sigaction(SIGPIPE, nullptr, &pipe_action);
    if (pipe_action.sa_handler == SIG_DFL) set_handler(SIGPIPE, restore_and_reraise);

    std::fputs(
        "  Terminal detected. Interactive mode (-I option to disable).\n"
        "  Send the interrupt character to exit.",
        stderr);
    // A disabled entry names no key, whatever value stands for "disabled".
    const unsigned char c = settings.c_cc[VINTR];
    if (c != static_cast<unsigned char>(_POSIX_VDISABLE)) {
        if (c < 0x20) {
            std::fprintf(stderr, " (Control-%c)", c | 0x40);
        } else if (c == 0x7f) {
            std::fputs(" (DEL, or Control-?)", stderr);
        }
    }
    std::fputs("\n\n", stderr);
}

void setup_signals(bool output_is_tty) {
    finish_line_on_signal = output_is_tty;
    const sigset_t mask = caught_set();
    handlers_installed = true;
    for (const int sig : CAUGHT_SIGNALS) {
        struct sigaction action {};
        action.sa_handler = catch_signal;
        action.sa_mask = mask;
        // No SA_RESTART: a blocking read must fail with EINTR so that the
        // main loop gets to act on the signal.
        action.sa_flags = 0;
        sigaction(sig, &action, nullptr);
    }
}

void raise_with_default_action(int sig) {
    std::signal(sig, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    raise(sig);
}

bool signals_installed() {
    return handlers_installed;
}

bool wait_for_input(int fd) {
    // With the signals blocked, the flag is tested and the wait begins as
    // one step: pselect opens the old mask only while it waits.
    const sigset_t set = caught_set();
    sigset_t old;
    sigprocmask(SIG_BLOCK, &set, &old);
    bool go_on = false;
    for (;;) {
        if (signal_pending) break;
        if (fd < 0 || fd >= FD_SETSIZE) {
            go_on = true;
            break;
        }
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(fd, &readable);
        // Input is there, or an error that the read itself will report; an
        // interruption by another signal just waits on.
        if (pselect(fd + 1, &readable, nullptr, nullptr, nullptr, &old) >= 0 || errno != EINTR) {
            go_on = true;
            break;
        }
    }
    sigprocmask(SIG_SETMASK, &old, nullptr);
    return go_on;
}

void catch_signal(int sig) {
    // A signal that ends the program does not wait for a write that waits
    // for its reader: the write is abandoned.
    const bool ending = sig == SIGINT || sig == SIGTERM;
    if (ending && sink_write_waiting) {
        restore_terminal();
        raise_with_default_action(sig);
    }
    if (signal_pending) return;
    caught_signal = sig;
    signal_pending = 1;
    if (ending) sink_end_signal = sig;
}

void service_signal(Processor& p) {
    if (!signal_pending || input_has_buffered(*p.input)) return;
    if (finish_line_on_signal && !p.strings.open) finish_state(p);
    // The closed line must reach the output before the signal takes effect.
    writer_flush(*p.writer);
    if (terminal_fd != -1) tcsetattr(terminal_fd, TCSANOW, &saved_settings);

    const int sig = caught_signal;
    set_handler(sig, SIG_DFL);
    raise(sig);  // ends the process, or stops it until it is continued
    set_handler(sig, catch_signal);

    if (terminal_fd != -1) tcsetattr(terminal_fd, TCSANOW, &interactive_settings);
    signal_pending = 0;
}

}  // namespace vorsk
