// Starts the program under test as a child of the test: its arguments,
// environment, working folder and standard streams, resource limits, and
// for interactive runs the foreground of a pseudo-terminal. Every wait has a
// deadline, and only children started here are ever signalled.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vorsk_test {

using Clock = std::chrono::steady_clock;

// The program under test: $VORSK_TEST_PROGRAM, or the built binary.
std::string program_under_test();

// A standard stream of the child is a descriptor of the test (the child gets
// a copy; the test still closes its own) or one of these. Any other negative
// value, such as a failed open's -1, keeps the child from starting.
inline constexpr int NULL_DEVICE = -2;  // /dev/null
inline constexpr int CLOSED = -3;       // no descriptor at all
// A fresh pipe whose other end the Child holds. For standard input, the test
// process ignores SIGPIPE from then on.
inline constexpr int NEW_PIPE = -4;

struct Spawn {
    std::string program = program_under_test();
    std::vector<std::string> args;  // after argv[0]
    std::string argv0 = "vorsk";
    // Added to the test's environment, from which every VORSK_ variable is
    // taken out (a colour setting of the person running the tests must not
    // leak in), and replacing any inherited variable of the same name.
    std::vector<std::pair<std::string, std::string>> env;
    std::string directory;  // working folder; empty: the current one
    int in = NULL_DEVICE;
    int out = NULL_DEVICE;
    int err = NULL_DEVICE;
    // The child starts as from a shell: every signal at its default action,
    // none blocked, no descriptor past standard error. These change that.
    bool ignore_sigpipe = false;
    unsigned long address_space_limit = 0;  // bytes; 0: none
    // Bytes; 0: none. SIGXFSZ is ignored with it, so that a write past the
    // limit fails with EFBIG instead of killing the program.
    unsigned long file_size_limit = 0;
    // As root, run as the user nobody; a child that cannot exits with 125.
    bool as_nobody = false;
    // A pseudo-terminal's slave side, or -1. With one, the program runs in a
    // process group of its own in the terminal's foreground, so that typed
    // interrupt and suspend characters reach it as from a keyboard. Its
    // parent is then a launcher that leads the terminal's session (the
    // kernel does not stop a process group without a parent in its session)
    // and that reports every stop as well as the end.
    int terminal = -1;
};

class Child {
public:
    explicit Child(const Spawn& spawn);
    // A child still running is killed and reaped.
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    // The test's ends of NEW_PIPE streams, or -1.
    int input() const { return input_; }
    int output() const { return output_; }
    int errors() const { return errors_; }
    void close_input();
    void close_output();
    void close_errors();

    // The next wait status (see waitpid): the end or, on a terminal, a
    // stop; none if `patience` passes first.
    std::optional<int> next_status(Clock::duration patience);
    // Waits for the end; a child that does not end within `patience` is
    // killed and timed_out() holds. The exit status, or 128 + the signal.
    int finish(Clock::duration patience);
    bool ended() const { return ended_; }
    bool timed_out() const { return timed_out_; }
    // What the kernel counted for the child once it ended (not on a terminal).
    const rusage& usage() const { return usage_; }

private:
    std::optional<int> reap(Clock::time_point deadline);
    std::optional<int> read_report(Clock::time_point deadline);

    pid_t pid_ = -1;
    pid_t launcher_ = -1;  // with a terminal: the session leader that reports
    int report_ = -1;      // wait statuses from the launcher
    int hold_ = -1;        // the launcher keeps the session until this closes
    int input_ = -1, output_ = -1, errors_ = -1;
    std::string reported_;
    bool ended_ = false;
    bool timed_out_ = false;
    int status_ = -1;
    rusage usage_{};
};

// The exit status of a wait status, or 128 + the signal that ended it.
int exit_code(int wait_status);

// Writes every byte before the deadline; false if it could not. The
// descriptor is made non-blocking, so that a reader that stops reading
// cannot hold the writer past the deadline.
bool write_all(int fd, std::string_view bytes, Clock::time_point deadline);

// One whole run: standard input from bytes, output and errors captured.
struct RunRequest {
    std::string program;
    std::vector<std::string> args;  // after argv[0]
    std::string argv0 = "vorsk";
    std::vector<std::pair<std::string, std::string>> env;  // as in Spawn
    std::string directory;                                 // working folder; empty: the current one
    std::string input;
    bool pipe_input = false;  // a pipe rather than a regular file
    int timeout_seconds = 30;
    unsigned long address_space_limit = 0;  // bytes; 0: none
};

struct RunResult {
    std::string out;
    std::string err;
    int status = -1;  // the exit status, or 128 + the signal that ended it
    bool timed_out = false;
};

RunResult run_program(const RunRequest& request);

// A fresh folder under the temporary directory, removed by remove_tree.
std::string make_temp_dir();
void remove_tree(const std::string& path);
std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);

}  // namespace vorsk_test
