// The reader of a program under a pseudo-terminal, asked directly: the
// records of a run from its start to the program's end.
#include "driver/command.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace vorsk {
namespace {

// The records of a run in a few words each: "# Name: value", "@" for a
// pause, "> bytes" typed, "bytes" written; the bytes of consecutive records
// of one direction joined.
struct Transcript {
    std::vector<std::string> lines;
    bool pauses_before_bytes = true;
};

Transcript read_all(CommandRun& run, int limit = 10000) {
    const RecordReader reader = command_reader(run);
    Transcript t;
    bool paused = false;
    int last_direction = -1;
    for (int i = 0; i < limit; ++i) {
        Record r;
        reader.next(reader.self, WANT_ANY, r);
        if (r.kind == RECORD_END) break;
        if (r.kind == RECORD_PAUSE) {
            EXPECT_GE(r.delay, 0.0);
            paused = true;
            continue;
        }
        if (r.kind == RECORD_METADATA) {
            t.lines.push_back("# " + std::string(r.name) + ": " + std::string(r.value));
            last_direction = -1;
            continue;
        }
        if (r.kind != RECORD_BYTES) continue;
        if (!paused) t.pauses_before_bytes = false;
        paused = false;
        const std::string bytes(reinterpret_cast<const char*>(r.bytes), r.size);
        if (last_direction == r.direction) {
            t.lines.back() += bytes;
        } else {
            t.lines.push_back((r.direction == FROM_TERMINAL ? "> " : "") + bytes);
        }
        last_direction = r.direction;
    }
    return t;
}

std::string terminal_type() {
    const char* term = std::getenv("TERM");
    return term != nullptr && *term != '\0' ? "# Terminal type: " + std::string(term) : "";
}

std::vector<std::string> with_start(const std::string& command, std::vector<std::string> rest) {
    std::vector<std::string> lines{"# Command: " + command, "# Terminal size: 80x24"};
    if (!terminal_type().empty()) lines.push_back(terminal_type());
    lines.insert(lines.end(), rest.begin(), rest.end());
    return lines;
}

TEST(CommandReader, GivesTheStartTheOutputAndTheExitStatus) {
    const int null = open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(null, 0);
    CommandSetup setup;
    setup.command = "printf 'hi\\n'; exit 3";
    setup.input_fd = null;
    CommandRun* run = command_start(setup);
    ASSERT_NE(run, nullptr);
    const Transcript t = read_all(*run);
    EXPECT_EQ(t.lines, with_start(setup.command, {"hi\r\n", "# Exit status: 3"}));
    EXPECT_EQ(command_finish(*run), 3);
    command_free(run);
    close(null);
}

TEST(CommandReader, PassesTypedBytesOnAndShowsThemTimed) {
    int typed[2];
    ASSERT_EQ(pipe2(typed, O_CLOEXEC), 0);
    CommandSetup setup;
    setup.command = "read x; echo got:$x; kill -TERM $$";
    setup.input_fd = typed[0];
    setup.show_input = true;
    setup.timed = true;
    CommandRun* run = command_start(setup);
    ASSERT_NE(run, nullptr);

    // Nothing typed yet: a decoder reading ahead in the typed bytes is not
    // kept waiting.
    const RecordReader reader = command_reader(*run);
    Record r;
    for (std::size_t i = 0; i < with_start("", {}).size(); ++i) {
        reader.next(reader.self, WANT_ANY, r);
        ASSERT_EQ(r.kind, RECORD_METADATA);
    }
    reader.next(reader.self, WANT_FROM_TERMINAL, r);
    EXPECT_EQ(r.kind, RECORD_NONE);

    ASSERT_EQ(write(typed[1], "abc\n", 4), 4);
    close(typed[1]);
    const Transcript t = read_all(*run);
    // The terminal echoes what it is given.
    EXPECT_EQ(t.lines, (std::vector<std::string>{"> abc\n", "abc\r\ngot:abc\r\n",
                                                 "# Exit status: killed by SIGTERM"}));
    EXPECT_TRUE(t.pauses_before_bytes);
    EXPECT_EQ(command_finish(*run), 128 + SIGTERM);
    command_free(run);
    close(typed[0]);
}

}  // namespace
}  // namespace vorsk
