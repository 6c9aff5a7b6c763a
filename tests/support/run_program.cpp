#include "run_program.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
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
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/vorsk-test-XXXXXX";
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

RunResult run_program(const RunRequest& request) {
    RunResult result;
    const std::string scratch = make_temp_dir();
    const std::string in_path = scratch + "/stdin";
    const std::string out_path = scratch + "/stdout";
    const std::string err_path = scratch + "/stderr";
    write_file(in_path, request.input);

    std::vector<std::string> env_strings;
    for (char** e = environ; *e != nullptr; ++e) {
        // A colour setting of the person running the tests must not leak in.
        if (std::strncmp(*e, "VORSK_", 6) == 0) continue;
        env_strings.emplace_back(*e);
    }
    for (const auto& [name, value] : request.env) env_strings.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& s : env_strings) envp.push_back(s.data());
    envp.push_back(nullptr);

    std::vector<std::string> arg_strings{request.argv0};
    arg_strings.insert(arg_strings.end(), request.args.begin(), request.args.end());
    std::vector<char*> argv;
    for (auto& s : arg_strings) argv.push_back(s.data());
    argv.push_back(nullptr);

    int feed[2] = {-1, -1};
    if (request.pipe_input && pipe(feed) != 0) return result;

    const pid_t pid = fork();
    if (pid == 0) {
        if (!request.directory.empty() && chdir(request.directory.c_str()) != 0) _exit(126);
        int in_fd = request.pipe_input ? feed[0] : open(in_path.c_str(), O_RDONLY);
        const int out_fd = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err_fd = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(in_fd, 0);
        dup2(out_fd, 1);
        dup2(err_fd, 2);
        if (request.pipe_input) {
            close(feed[0]);
            close(feed[1]);
        }
        signal(SIGPIPE, SIG_DFL);
        if (request.address_space_limit != 0) {
            const rlimit limit{request.address_space_limit, request.address_space_limit};
            if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(126);
        }
        execve(request.program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    if (request.pipe_input) {
        close(feed[0]);
        // The child may stop reading early; a broken pipe is not our failure.
        signal(SIGPIPE, SIG_IGN);
        std::size_t done = 0;
        while (done < request.input.size()) {
            const ssize_t n = write(feed[1], request.input.data() + done, request.input.size() - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        close(feed[1]);
    }

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(request.timeout_seconds);
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (done < 0 && errno != EINTR) break;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            result.timed_out = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.status = 128 + WTERMSIG(status);
    result.out = read_file(out_path);
    result.err = read_file(err_path);
    remove_tree(scratch);
    return result;
}

}  // namespace vorsk_test
