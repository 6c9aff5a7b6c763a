// A live pipe: what vorsk has decoded from the bytes it has read is out
// before it waits for more. Every wait is bounded, so a fault fails the test
// instead of hanging it.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "run_program.h"

namespace {

using vorsk_test::Child;
using vorsk_test::Clock;
using vorsk_test::NEW_PIPE;
using vorsk_test::Spawn;

constexpr int PATIENCE_MS = 5000;

Spawn between_pipes(std::vector<std::string> args) {
    Spawn spawn;
    spawn.args = std::move(args);
    spawn.in = NEW_PIPE;
    spawn.out = NEW_PIPE;
    spawn.err = STDERR_FILENO;  // what the program says shows in the test's log
    return spawn;
}

// vorsk between two pipes: the test writes its input and reads its output.
class Live {
public:
    explicit Live(std::vector<std::string> args) : child_(between_pipes(std::move(args))) {}
    void send(const std::string& bytes) {
        ASSERT_TRUE(vorsk_test::write_all(child_.input(), bytes,
                                          Clock::now() + std::chrono::milliseconds(PATIENCE_MS)));
    }
    // Reads until the output holds `want` more bytes or the time is up.
    std::string receive(std::size_t want, int milliseconds) {
        std::string got;
        const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
        while (got.size() < want) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) break;
            pollfd p{child_.output(), POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
            char buffer[4096];
            const ssize_t n = read(child_.output(), buffer, sizeof buffer);
            if (n <= 0) break;
            got.append(buffer, static_cast<std::size_t>(n));
        }
        return got;
    }
    // The end of input, then the exit status.
    int finish() {
        child_.close_input();
        const int status = child_.finish(std::chrono::milliseconds(PATIENCE_MS));
        EXPECT_FALSE(child_.timed_out());
        return status;
    }

private:
    Child child_;
};

// In extended mode a control string is echoed as it arrives, and a string
// or a character split across two writes is still one.
TEST(Liveness, AStringIsEchoedAsItArrivesAndEndsWhenItsTerminatorComes) {
    Live v({"-X"});
    const std::pair<std::string, std::string> steps[] = {
        {"\x1b]0;my ti", ": Esc ] 0;my ti"},
        // The blank is out; the character waits for the rest of its bytes.
        {"tle \xe2\x9c", "tle "},
        {"\x93\x07",
         "\xe2\x9c\x93 BEL\n& OSC 0: SET ICON NAME AND WINDOW TITLE\n"
         "\" (Xterm) Set the icon name and the window title to \"my title \xe2\x9c\x93\".\n"},
    };
    for (const auto& [input, shown] : steps) {
        v.send(input);
        EXPECT_EQ(v.receive(shown.size(), PATIENCE_MS), shown)
            << "after " << input.size() << " bytes";
    }
    EXPECT_EQ(v.finish(), 0);
}

TEST(Liveness, EachCompleteLineIsOutBeforeTheNextBytesCome) {
    Live v({});
    const std::pair<std::string, std::string> steps[] = {
        {"hello\n", "|hello|.\n"},
        {"\x1b[1m", ": Esc [ 1 m\n& SGR: SELECT GRAPHIC RENDITION\n\" Set bold text.\n"},
        {"\x1b"
         "7",
         ": Esc 7\n& DECSC: SAVE CURSOR\n"},
        {"x\n", "|x|.\n"},
    };
    for (const auto& [input, shown] : steps) {
        v.send(input);
        EXPECT_EQ(v.receive(shown.size(), PATIENCE_MS), shown)
            << "after " << input.size() << " bytes";
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

// A cast through a pipe: each event is out before the next one comes.
TEST(Liveness, EachEventOfACastIsOutBeforeTheNextComes) {
    Live v({});
    const std::pair<std::string, std::string> steps[] = {
        {"{\"version\": 2, \"width\": 80, \"height\": 24}\n", "# Terminal size: 80x24\n"},
        {"[0.5, \"o\", \"hi\\n\"]\n", "@ 0.500000\n|hi|.\n"},
        {"[1.5, \"i\", \"q\"]\n", "@ 1.000000\n> |q"},
    };
    for (const auto& [input, shown] : steps) {
        v.send(input);
        EXPECT_EQ(v.receive(shown.size(), PATIENCE_MS), shown)
            << "after " << input.size() << " bytes";
    }
    EXPECT_EQ(v.finish(), 0);
}

// --json: an item's object is out once the item is whole: a control byte
// at once, a sequence or a text line its LF ended before the next wait, other
// text when what ends it comes.
TEST(Liveness, EachJsonObjectIsOutOnceItsItemIsWhole) {
    Live v({"--json"});
    const std::pair<std::string, std::string> steps[] = {
        // The LF that ends a text line is on it, as the account shows it.
        {"hello\n", "{\"offset\":0,\"kind\":\"text\",\"bytes\":\"hello\\n\"}\n"},
        {"\x1b[2J",
         "{\"offset\":6,\"kind\":\"sequence\",\"bytes\":\"\\u001b[2J\",\"acronym\":\"ED\","
         "\"name\":\"ERASE IN PAGE\",\"final\":\"J\",\"parameters\":[[2]],"
         "\"descriptions\":[\"Clear the screen.\"]}\n"},
        {"x", ""},
        {"\r",
         "{\"offset\":10,\"kind\":\"text\",\"bytes\":\"x\"}\n"
         "{\"offset\":11,\"kind\":\"control\",\"bytes\":\"\\r\",\"name\":\"CR\"}\n"},
    };
    for (const auto& [input, shown] : steps) {
        v.send(input);
        EXPECT_EQ(v.receive(shown.size(), shown.empty() ? 300 : PATIENCE_MS), shown)
            << "after " << input.size() << " bytes";
    }
    EXPECT_EQ(v.finish(), 0);
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
