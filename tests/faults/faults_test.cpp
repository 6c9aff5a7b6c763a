// Faults of the environment through the real binary, where a golden case
// cannot set them up: standard output on a full device, closed, or a pipe
// whose reader has gone; a file size limit reached in mid-stream; a read that
// fails after some output; files that cannot be opened for want of
// permission; too little memory to start; standard output appending to the
// input file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "run_program.h"

namespace vorsk_test {
namespace {

// A folder of its own, removed at the end.
class Folder {
public:
    Folder() : path_(make_temp_dir()) {}
    ~Folder() { remove_tree(path_); }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

int open_or_die(const std::string& path, int flags) {
    const int fd = open(path.c_str(), flags, 0644);
    if (fd < 0) ADD_FAILURE() << "cannot open " << path;
    return fd;
}

struct Outcome {
    int status = -1;  // the exit status, or 128 + the signal that ended it
    std::string err;
};

// vorsk with the standard input and output given (CLOSED: none) and its
// standard error in a file.
Spawn vorsk(std::vector<std::string> args, int in, int out) {
    Spawn spawn;
    spawn.args = std::move(args);
    spawn.in = in;
    spawn.out = out;
    return spawn;
}

class Faulted {
public:
    explicit Faulted(Spawn spawn) {
        spawn.err = open_or_die(folder_ / "stderr", O_WRONLY | O_CREAT | O_TRUNC);
        child_ = std::make_unique<Child>(spawn);
        close(spawn.err);
    }
    // Waits at most a minute; a child that hangs is killed and fails.
    Outcome wait() {
        const int status = child_->finish(std::chrono::seconds(60));
        if (child_->timed_out()) ADD_FAILURE() << "the program hangs";
        return {status, read_file(folder_ / "stderr")};
    }

private:
    Folder folder_;
    std::unique_ptr<Child> child_;
};

// A stream that keeps the writer busy: text, controls and sequences.
std::string busy_stream(std::size_t bytes) {
    std::string s;
    while (s.size() < bytes) s += "some text\r\n\x1b[1;31mred\x1b[m \x1b(B\x07\x9b\n";
    return s;
}

TEST(Faults, HelpAndVersionOnAFullOutputAreWriteErrors) {
    for (const char* option : {"--help", "-h", "--version", "-V"}) {
        const int full = open_or_die("/dev/full", O_WRONLY);
        const int none = open_or_die("/dev/null", O_RDONLY);
        Faulted child(vorsk({option}, none, full));
        close(full);
        close(none);
        const Outcome o = child.wait();
        EXPECT_EQ("vorsk: write error: No space left on device\n", o.err) << option;
        EXPECT_EQ(1, o.status) << option;
    }
}

// A closed standard output: every write fails with EBADF.
TEST(Faults, AClosedStandardOutput) {
    Folder folder;
    write_file(folder / "in.txt", "hello\n");
    const struct {
        std::vector<std::string> args;
        int status;
    } cases[] = {{{}, EBADF}, {{"-V"}, 1}, {{"--help"}, 1}};
    for (const auto& c : cases) {
        const int in_fd = open_or_die(folder / "in.txt", O_RDONLY);
        Faulted child(vorsk(c.args, in_fd, CLOSED));
        close(in_fd);
        const Outcome o = child.wait();
        EXPECT_EQ("vorsk: write error: Bad file descriptor\n", o.err);
        EXPECT_EQ(c.status, o.status);
    }
}

// The output file reaches the file size limit in mid-stream: what was
// written is the start of the account, byte for byte, and the failure is
// reported, whichever way the input comes.
TEST(Faults, TheFileSizeLimitInMidStream) {
    Folder folder;
    const std::string stream = busy_stream(200000);
    write_file(folder / "in.txt", stream);
    RunRequest whole;
    whole.program = program_under_test();
    whole.input = stream;
    const std::string account = run_program(whole).out;
    ASSERT_GT(account.size(), 100000u);
    for (const bool from_pipe : {false, true}) {
        SCOPED_TRACE(from_pipe ? "input from a pipe" : "input from a file");
        int in_fd;
        if (from_pipe) {
            int feed[2];
            ASSERT_EQ(0, pipe(feed));
            ASSERT_EQ(static_cast<ssize_t>(60000), write(feed[1], stream.data(), 60000));
            close(feed[1]);
            in_fd = feed[0];
        } else {
            in_fd = open_or_die(folder / "in.txt", O_RDONLY);
        }
        const int out = open_or_die(folder / "out.txt", O_WRONLY | O_CREAT | O_TRUNC);
        Spawn spawn = vorsk({}, in_fd, out);
        spawn.file_size_limit = 10000;
        Faulted child(spawn);
        close(in_fd);
        close(out);
        const Outcome o = child.wait();
        EXPECT_EQ("vorsk: write error: File too large\n", o.err);
        EXPECT_EQ(EFBIG, o.status);
        EXPECT_EQ(account.substr(0, 10000), read_file(folder / "out.txt"));
    }
}

// Output into a pipe whose reader has gone: the program dies of SIGPIPE and
// says nothing, as a filter in a pipeline should; with SIGPIPE ignored it
// reports the broken pipe as a write error instead.
TEST(Faults, AClosedPipeOnTheOutput) {
    Folder folder;
    const std::string input = folder / "in";
    write_file(input, busy_stream(1 << 20));
    for (const std::size_t read_first : {std::size_t{0}, std::size_t{1000}}) {
        for (const bool from_pipe : {false, true}) {
            for (const bool ignored : {false, true}) {
                SCOPED_TRACE("reader takes " + std::to_string(read_first) + " bytes, input from " +
                             (from_pipe ? "a pipe" : "a file") +
                             (ignored ? ", SIGPIPE ignored" : ""));
                int out[2];
                ASSERT_EQ(0, pipe(out));
                int in_fd;
                if (from_pipe) {
                    // Up to a pipe's capacity fits without a reader.
                    int feed[2];
                    ASSERT_EQ(0, pipe(feed));
                    const std::string bytes = busy_stream(60000);
                    ASSERT_EQ(static_cast<ssize_t>(bytes.size()),
                              write(feed[1], bytes.data(), bytes.size()));
                    close(feed[1]);
                    in_fd = feed[0];
                } else {
                    in_fd = open_or_die(input, O_RDONLY);
                }
                Spawn spawn = vorsk({}, in_fd, out[1]);
                spawn.ignore_sigpipe = ignored;
                Faulted child(spawn);
                close(in_fd);
                close(out[1]);
                std::string got(read_first, '\0');
                std::size_t done = 0;
                while (done < read_first) {
                    const ssize_t n = read(out[0], got.data() + done, read_first - done);
                    if (n <= 0) break;
                    done += static_cast<std::size_t>(n);
                }
                EXPECT_EQ(read_first, done);
                close(out[0]);
                const Outcome o = child.wait();
                if (ignored) {
                    EXPECT_EQ("vorsk: write error: Broken pipe\n", o.err);
                    EXPECT_EQ(EPIPE, o.status);
                } else {
                    EXPECT_EQ("", o.err);
                    EXPECT_EQ(128 + SIGPIPE, o.status);
                }
            }
        }
    }
}

// A pseudo-terminal whose other side has closed reads as an I/O error once
// its bytes are taken: the output so far is complete, the last line closed.
TEST(Faults, AReadErrorAfterSomeOutput) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(0, grantpt(master));
    ASSERT_EQ(0, unlockpt(master));
    const int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    termios raw{};
    ASSERT_EQ(0, tcgetattr(slave, &raw));
    cfmakeraw(&raw);
    ASSERT_EQ(0, tcsetattr(slave, TCSANOW, &raw));
    const std::string bytes = "hello\r\n\x1b[1mbold";
    ASSERT_EQ(static_cast<ssize_t>(bytes.size()), write(slave, bytes.data(), bytes.size()));
    close(slave);

    Folder folder;
    const int out = open_or_die(folder / "out", O_WRONLY | O_CREAT | O_TRUNC);
    Faulted child(vorsk({"-I"}, master, out));
    close(master);
    close(out);
    const Outcome o = child.wait();
    EXPECT_EQ("vorsk: read error: Input/output error\n", o.err);
    EXPECT_EQ(1, o.status);
    EXPECT_EQ(
        "|hello|\n"
        ". CR/^M LF/^J\n"
        ": Esc [ 1 m\n"
        "& SGR: SELECT GRAPHIC RENDITION\n"
        "\" Set bold text.\n"
        "|bold|\n",
        read_file(folder / "out"));
}

// Files that cannot be opened for want of permission. Root may open any
// file, so as root the program runs as the user nobody.
TEST(Faults, FilesWithoutPermission) {
    Folder folder;
    ASSERT_EQ(0, chmod(folder.path().c_str(), 0755));
    write_file(folder / "in.txt", "hello\n");
    write_file(folder / "secret", "0.5 1\n");
    write_file(folder / "locked.txt", "kept\n");
    write_file(folder / "out.txt", "kept\n");
    ASSERT_EQ(0, chmod((folder / "in.txt").c_str(), 0644));
    ASSERT_EQ(0, chmod((folder / "secret").c_str(), 0));
    ASSERT_EQ(0, chmod((folder / "locked.txt").c_str(), 0444));
    ASSERT_EQ(0, chmod((folder / "out.txt").c_str(), 0666));
    // A copy of the program that nobody may run, wherever the build lies
    // (a checkout under /root is closed to other users).
    write_file(folder / "vorsk", read_file(program_under_test()));
    ASSERT_EQ(0, chmod((folder / "vorsk").c_str(), 0755));

    const struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{folder / "secret"},
         "vorsk: couldn't open file " + (folder / "secret") + ": Permission denied\n"},
        {{folder / "in.txt", folder / "locked.txt"},
         "vorsk: couldn't open file " + (folder / "locked.txt") + ": Permission denied\n"},
        // The timing file is opened first, so the output file stays as it was.
        {{"-t", folder / "secret", folder / "in.txt", folder / "out.txt"},
         "vorsk: couldn't open file " + (folder / "secret") + ": Permission denied\n"},
    };
    for (const auto& c : cases) {
        const int none = open_or_die("/dev/null", O_RDWR);
        Spawn spawn = vorsk(c.args, none, none);
        spawn.as_nobody = true;
        spawn.program = folder / "vorsk";
        Faulted child(spawn);
        close(none);
        const Outcome o = child.wait();
        if (o.status == 125) GTEST_SKIP() << "cannot run as the user nobody";
        EXPECT_EQ(c.err, o.err);
        EXPECT_EQ(1, o.status);
    }
    EXPECT_EQ("kept\n", read_file(folder / "locked.txt"));
    EXPECT_EQ("kept\n", read_file(folder / "out.txt"));
}

// Standard output appending to the input file would read its own output
// for ever; it is refused before anything is written.
TEST(Faults, TheInputFileAsOutput) {
    Folder folder;
    const std::string input = folder / "in.txt";
    write_file(input, "hello\n");
    ASSERT_EQ(0, symlink(input.c_str(), (folder / "link.txt").c_str()));
    ASSERT_EQ(0, link(input.c_str(), (folder / "hard.txt").c_str()));

    // vorsk in.txt >> in.txt, and vorsk < in.txt >> in.txt
    for (const bool named : {true, false}) {
        const int append = open_or_die(input, O_WRONLY | O_APPEND);
        const int in_fd = named ? open_or_die("/dev/null", O_RDONLY) : open_or_die(input, O_RDONLY);
        Faulted child(vorsk(named ? std::vector<std::string>{input} : std::vector<std::string>{},
                            in_fd, append));
        close(append);
        close(in_fd);
        const Outcome o = child.wait();
        EXPECT_EQ("vorsk: standard output: input file is output file\n", o.err) << named;
        EXPECT_EQ(1, o.status);
    }
    // The output named through a symbolic or a hard link.
    for (const char* name : {"link.txt", "hard.txt"}) {
        const int none = open_or_die("/dev/null", O_RDWR);
        Faulted child(vorsk({input, folder / name}, none, none));
        close(none);
        const Outcome o = child.wait();
        EXPECT_EQ("vorsk: " + (folder / name) + ": input file is output file\n", o.err);
        EXPECT_EQ(1, o.status);
    }
    EXPECT_EQ("hello\n", read_file(input));
}

// Too little memory for the input buffer and the line writer: the start-up
// says so and ends with status 1. The limit is found by trying: below some
// size the program cannot even be loaded, above some other it runs.
TEST(Faults, OutOfMemoryAtStartUp) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves far more address space than any limit allows";
#else
    const auto run_with = [](unsigned long limit) {
        RunRequest request;
        request.program = program_under_test();
        request.input = "hi\n";
        request.address_space_limit = limit;
        return run_program(request);
    };
    const auto runs = [](const RunResult& r) { return r.status == 0 && r.out == "|hi|.\n"; };
    constexpr unsigned long KIB = 1024;
    unsigned long enough = 0;
    for (unsigned long limit = 1024 * KIB; limit <= 256 * 1024 * KIB; limit += 256 * KIB) {
        if (runs(run_with(limit))) {
            enough = limit;
            break;
        }
    }
    ASSERT_NE(0u, enough) << "the program does not run even with 256 MiB";

    bool reported = false;
    std::string runtime_failures;
    for (unsigned long limit = enough > 2048 * KIB ? enough - 2048 * KIB : 0; limit < enough;
         limit += 4 * KIB) {
        const RunResult r = run_with(limit);
        if (runs(r)) continue;
        if (r.err == "vorsk: Out of memory.\n" && r.status == 1 && r.out.empty()) {
            reported = true;
            continue;
        }
        // Failures of the loader or of the C++ runtime before vorsk's own
        // code could report anything.
        if (r.status == 127 || r.err.starts_with("terminate called")) {
            if (r.status != 127) runtime_failures = r.err;
            continue;
        }
        ADD_FAILURE() << "with " << limit / KIB << " KiB: status " << r.status
                      << ", standard error " << r.err << ", output " << r.out;
    }
    if (!reported) {
        GTEST_SKIP() << "no address-space limit makes the start-up's allocations fail before the "
                        "C++ runtime does"
                     << (runtime_failures.empty() ? "" : ": " + runtime_failures);
    }
#endif
}

}  // namespace
}  // namespace vorsk_test
