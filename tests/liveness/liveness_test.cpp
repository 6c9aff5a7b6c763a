// A live pipe: what vorsk has decoded from the bytes it has read is out
// before it waits for more. Every wait is bounded, so a fault fails the test
// instead of hanging it.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string program() {
    const char* p = std::getenv("VORSK_TEST_PROGRAM");
    return p != nullptr && *p != '\0' ? p : VORSK_BINARY;
}

// vorsk between two pipes: the test writes its input and reads its output.
class Live {
public:
    explicit Live(std::vector<std::string> args) {
        int in[2];
        int out[2];
        if (pipe(in) != 0 || pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            close(in[0]);
            close(in[1]);
            close(out[0]);
            close(out[1]);
            std::vector<char*> argv;
            std::string name = "vorsk";
            argv.push_back(name.data());
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(program().c_str(), argv.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        to_ = in[1];
        from_ = out[0];
    }
    ~Live() {
        if (to_ >= 0) close(to_);
        if (from_ >= 0) close(from_);
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    void send(const std::string& bytes) {
        ASSERT_EQ(write(to_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // Reads until the output holds `want` more bytes or the time is up.
    std::string receive(std::size_t want, int milliseconds) {
        std::string got;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (got.size() < want) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd p{from_, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
            char buffer[4096];
            const ssize_t n = read(from_, buffer, sizeof buffer);
            if (n <= 0) break;
            got.append(buffer, static_cast<std::size_t>(n));
        }
        return got;
    }
    int finish() {
        close(to_);
        to_ = -1;
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }

private:
    pid_t pid_ = -1;
    int to_ = -1;
    int from_ = -1;
};

constexpr int PATIENCE_MS = 5000;

TEST(Liveness, EachCompleteLineIsOutBeforeTheNextBytesCome) {
    Live v({});
    const std::pair<std::string, std::string> steps[] = {
        {"hello\n", "|hello|.\n"},
        {"\x1b[1m", ": Esc [ 1 m\n& SGR: SELECT GRAPHIC RENDITION\n\" Set bold text.\n"},
        {"\x1b" "7", ": Esc 7\n& DECSC: SAVE CURSOR\n"},
        {"x\n", "|x|.\n"},
    };
    for (const auto& [input, shown] : steps) {
        v.send(input);
        EXPECT_EQ(v.receive(shown.size(), PATIENCE_MS), shown) << "after " << input.size() << " bytes";
    }
    EXPECT_EQ(v.finish(), 0);
}

TEST(Liveness, AnOpenLineIsOutAsFarAsItGoes) {
    Live v({});
    v.send("abc");
    EXPECT_EQ(v.receive(4, PATIENCE_MS), "|abc");
    v.send("\r");
    EXPECT_EQ(v.receive(8, PATIENCE_MS), "|\n. CR/^M");
}

TEST(Liveness, BufferedKeepsEverythingUntilTheEnd) {
    Live v({"-b"});
    v.send("hello\n");
    EXPECT_EQ(v.receive(1, 300), "");  // nothing while it waits
    v.send("x\n");
    EXPECT_EQ(v.finish(), 0);
    EXPECT_EQ(v.receive(14, PATIENCE_MS), "|hello|.\n|x|.\n");
}

}  // namespace
