#include "run_program.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace vorsk_test {

std::string program_under_test() {
    const char* program = std::getenv("VORSK_TEST_PROGRAM");
    return program != nullptr && *program != '\0' ? program : VORSK_BINARY;
}

std::string make_temp_dir() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/vorsk-test-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) return "";
    return buffer.data();
}

void remove_tree(const std::string& path) {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
}

std::string read_file(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
}

int exit_code(int wait_status) {
    if (WIFEXITED(wait_status)) return WEXITSTATUS(wait_status);
    if (WIFSIGNALED(wait_status)) return 128 + WTERMSIG(wait_status);
    return -1;
}

namespace {

int milliseconds_until(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Waits for the end of a child of this process until the deadline.
enum class Waited { ENDED, TIME_UP, NOT_OURS };
Waited wait_until(pid_t pid, Clock::time_point deadline, int& status, rusage* usage) {
    for (;;) {
        const pid_t done = wait4(pid, &status, WNOHANG, usage);
        if (done == pid) return Waited::ENDED;
        if (done < 0 && errno != EINTR) return Waited::NOT_OURS;
        if (Clock::now() > deadline) return Waited::TIME_UP;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void close_fd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

bool stream_is_valid(int fd) {
    return fd >= 0 || fd == NULL_DEVICE || fd == CLOSED || fd == NEW_PIPE;
}

// In the child, from fork to exec; `streams` are the descriptors that become
// 0, 1 and 2. Never returns.
[[noreturn]] void become_program(const Spawn& spawn, const int (&streams)[3], char** argv,
                                 char** envp) {
    if (spawn.terminal >= 0) {
        setpgid(0, 0);
        // A background process that takes the terminal's foreground is sent
        // SIGTTOU unless it ignores it.
        signal(SIGTTOU, SIG_IGN);
        tcsetpgrp(spawn.terminal, getpid());
    }
    if (!spawn.directory.empty() && chdir(spawn.directory.c_str()) != 0) _exit(126);
    if (spawn.as_nobody && geteuid() == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(125);
    }
    const int null = open("/dev/null", O_RDWR);
    for (int target = 0; target < 3; ++target) {
        const int source = streams[target] == NULL_DEVICE ? null : streams[target];
        if (source >= 0 && dup2(source, target) < 0) _exit(126);
    }
    for (int target = 0; target < 3; ++target) {
        if (streams[target] == CLOSED) close(target);
    }
    close_range(3, ~0u, 0);

    for (int sig = 1; sig < NSIG; ++sig) signal(sig, SIG_DFL);
    if (spawn.ignore_sigpipe) signal(SIGPIPE, SIG_IGN);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (spawn.address_space_limit != 0) {
        const rlimit limit{spawn.address_space_limit, spawn.address_space_limit};
        if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(126);
    }
    if (spawn.file_size_limit != 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{spawn.file_size_limit, spawn.file_size_limit};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
    }
    execve(spawn.program.c_str(), argv, envp);
    _exit(127);
}

// The launcher of a program on a terminal: it leads the terminal's session,
// reports the program's pid and then every wait status over `report`, and
// keeps the session, and with it the terminal unchanged, until `hold` closes.
[[noreturn]] void lead_session(const Spawn& spawn, const int (&streams)[3], char** argv,
                               char** envp, int report, int hold) {
    setsid();
    ioctl(spawn.terminal, TIOCSCTTY, 0);
    const pid_t program = fork();
    if (program == 0) become_program(spawn, streams, argv, envp);
    for (int fd = 3; fd < 1024; ++fd) {
        if (fd != report && fd != hold) close(fd);
    }
    if (write(report, &program, sizeof program) != sizeof program) _exit(1);
    int status = 0;
    while (program > 0 && waitpid(program, &status, WUNTRACED) == program) {
        if (write(report, &status, sizeof status) != sizeof status) break;
        if (!WIFSTOPPED(status)) break;
    }
    char byte;
    while (read(hold, &byte, 1) > 0) {
    }
    _exit(0);
}

}  // namespace

Child::Child(const Spawn& spawn) {
    for (const int fd : {spawn.in, spawn.out, spawn.err}) {
        if (!stream_is_valid(fd)) return;
    }

    // A variable the test names replaces the inherited one: the first of
    // two entries of one name is the one a program finds.
    const auto named_by_test = [&spawn](std::string_view entry) {
        for (const auto& [name, value] : spawn.env) {
            if (entry.size() > name.size() && entry.starts_with(name) && entry[name.size()] == '=')
                return true;
        }
        return false;
    };
    std::vector<std::string> env_strings;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::strncmp(*e, "VORSK_", 6) != 0 && !named_by_test(*e)) env_strings.emplace_back(*e);
    }
    for (const auto& [name, value] : spawn.env) env_strings.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& s : env_strings) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> arg_strings{spawn.argv0};
    arg_strings.insert(arg_strings.end(), spawn.args.begin(), spawn.args.end());
    std::vector<char*> argv;
    for (auto& s : arg_strings) argv.push_back(s.data());
    argv.push_back(nullptr);

    // The test's ends are close-on-exec, so that no other child inherits them.
    int streams[3] = {spawn.in, spawn.out, spawn.err};
    int child_ends[3] = {-1, -1, -1};
    int* test_ends[3] = {&input_, &output_, &errors_};
    bool ready = true;
    // A child that stops reading its input must fail the test, not kill it
    // with SIGPIPE.
    if (spawn.in == NEW_PIPE) signal(SIGPIPE, SIG_IGN);
    for (int i = 0; i < 3; ++i) {
        if (streams[i] != NEW_PIPE) continue;
        int p[2];
        if (pipe2(p, O_CLOEXEC) != 0) {
            ready = false;
            break;
        }
        child_ends[i] = streams[i] = i == 0 ? p[0] : p[1];
        *test_ends[i] = i == 0 ? p[1] : p[0];
    }
    int report[2] = {-1, -1};
    int hold[2] = {-1, -1};
    if (ready && spawn.terminal >= 0)
        ready = pipe2(report, O_CLOEXEC) == 0 && pipe2(hold, O_CLOEXEC) == 0;

    if (ready) {
        const pid_t pid = fork();
        if (pid == 0) {
            if (spawn.terminal >= 0)
                lead_session(spawn, streams, argv.data(), envp.data(), report[1], hold[0]);
            become_program(spawn, streams, argv.data(), envp.data());
        }
        if (spawn.terminal >= 0) {
            launcher_ = pid;
        } else {
            pid_ = pid;
        }
    }
    for (int& fd : child_ends) close_fd(fd);
    close_fd(report[1]);
    close_fd(hold[0]);
    report_ = report[0];
    hold_ = hold[1];
    if (launcher_ > 0) {
        // The program's pid comes first.
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (reported_.size() < sizeof(pid_t)) {
            pollfd p{report_, POLLIN, 0};
            if (poll(&p, 1, milliseconds_until(deadline)) <= 0) break;
            char buffer[sizeof(pid_t)];
            const ssize_t n = read(report_, buffer, sizeof(pid_t) - reported_.size());
            if (n <= 0) break;
            reported_.append(buffer, static_cast<std::size_t>(n));
        }
        if (reported_.size() == sizeof(pid_t)) std::memcpy(&pid_, reported_.data(), sizeof(pid_t));
        reported_.clear();
    }
}

Child::~Child() {
    if (started()) {
        if (launcher_ > 0) {
            // A status that is already reported may say the program ended.
            while (!ended_ && next_status(std::chrono::seconds(0))) {
            }
        }
        if (!ended_) {
            kill(pid_, SIGKILL);
            next_status(std::chrono::seconds(10));
        }
    }
    for (int* fd : {&input_, &output_, &errors_, &report_, &hold_}) close_fd(*fd);
    if (launcher_ > 0) {
        int status = 0;
        if (wait_until(launcher_, Clock::now() + std::chrono::seconds(10), status, nullptr) ==
            Waited::TIME_UP) {
            kill(launcher_, SIGKILL);
            wait_until(launcher_, Clock::now() + std::chrono::seconds(10), status, nullptr);
        }
    }
}

void Child::close_input() {
    close_fd(input_);
}
void Child::close_output() {
    close_fd(output_);
}
void Child::close_errors() {
    close_fd(errors_);
}

std::optional<int> Child::next_status(Clock::duration patience) {
    if (!started()) return std::nullopt;
    if (ended_) return status_;
    const auto deadline = Clock::now() + patience;
    if (launcher_ > 0) return read_report(deadline);
    return reap(deadline);
}

std::optional<int> Child::reap(Clock::time_point deadline) {
    int status = 0;
    switch (wait_until(pid_, deadline, status, &usage_)) {
        case Waited::ENDED:
            ended_ = true;
            status_ = status;
            return status;
        case Waited::NOT_OURS:
            ended_ = true;  // no longer ours to signal
            return std::nullopt;
        case Waited::TIME_UP: break;
    }
    return std::nullopt;
}

std::optional<int> Child::read_report(Clock::time_point deadline) {
    while (reported_.size() < sizeof(int)) {
        pollfd p{report_, POLLIN, 0};
        const int ready = poll(&p, 1, milliseconds_until(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return std::nullopt;
        char buffer[sizeof(int)];
        const ssize_t n = read(report_, buffer, sizeof(int) - reported_.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ended_ = true;  // the launcher is gone, and its program with it
            return std::nullopt;
        }
        reported_.append(buffer, static_cast<std::size_t>(n));
    }
    int status = 0;
    std::memcpy(&status, reported_.data(), sizeof status);
    reported_.clear();
    if (!WIFSTOPPED(status)) {
        ended_ = true;
        status_ = status;
    }
    return status;
}

int Child::finish(Clock::duration patience) {
    if (!started()) return -1;
    const auto deadline = Clock::now() + patience;
    while (!ended_ && next_status(deadline - Clock::now())) {
    }
    if (!ended_) {
        timed_out_ = true;
        kill(pid_, SIGKILL);
        next_status(std::chrono::seconds(10));
    }
    return exit_code(status_);
}

bool write_all(int fd, std::string_view bytes, Clock::time_point deadline) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EINTR && errno != EAGAIN) return false;
        if (Clock::now() > deadline) return false;
        pollfd p{fd, POLLOUT, 0};
        poll(&p, 1, milliseconds_until(deadline));
    }
    return true;
}

RunResult run_program(const RunRequest& request) {
    RunResult result;
    const std::string scratch = make_temp_dir();
    const std::string in_path = scratch + "/stdin";
    const std::string out_path = scratch + "/stdout";
    const std::string err_path = scratch + "/stderr";

    Spawn spawn;
    spawn.program = request.program;
    spawn.args = request.args;
    spawn.argv0 = request.argv0;
    spawn.env = request.env;
    spawn.directory = request.directory;
    spawn.address_space_limit = request.address_space_limit;
    int in_fd = NEW_PIPE;
    if (!request.pipe_input) {
        write_file(in_path, request.input);
        in_fd = open(in_path.c_str(), O_RDONLY | O_CLOEXEC);
    }
    int out_fd = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    int err_fd = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    spawn.in = in_fd;
    spawn.out = out_fd;
    spawn.err = err_fd;
    const auto deadline = Clock::now() + std::chrono::seconds(request.timeout_seconds);
    {
        Child child(spawn);
        close_fd(in_fd);
        close_fd(out_fd);
        close_fd(err_fd);
        if (child.input() >= 0) {
            // The child may stop reading early; a broken pipe is not our failure.
            write_all(child.input(), request.input, deadline);
            child.close_input();
        }
        result.status = child.finish(deadline - Clock::now());
        result.timed_out = child.timed_out();
    }
    result.out = read_file(out_path);
    result.err = read_file(err_path);
    remove_tree(scratch);
    return result;
}

}  // namespace vorsk_test
