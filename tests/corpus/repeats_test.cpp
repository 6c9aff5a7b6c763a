// A sequence's lines are the same wherever it comes: the account of a piece
// of input that ends with a sequence, sent thousands of times, is the
// account of the piece as many times over. Enough of it to fill the output
// buffer several times, so that lines cross every place where the buffer is
// handed on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run_program.h"

namespace vorsk_test {
namespace {

RunResult account(const std::string& input, const std::vector<std::string>& args) {
    RunRequest request;
    request.program = program_under_test();
    request.args = args;
    request.input = input;
    return run_program(request);
}

TEST(Repeats, PieceAfterPieceGivesTheSameLines) {
    const std::vector<std::string> pieces = {
        "\r\x1b[K",                 // after an open control line
        "ab\x1b[1;31m",             // after a text line
        "\x1b(B\x1b[m\x1bM",        // one sequence after another
        "\x1b[1;2;3;4;5;7;8;9m",    // lines longer than a kept sequence's
        "\a\x1b[?1049h\x1b[1;24r",  // a control, then a private mode
    };
    const std::vector<std::vector<std::string>> option_sets = {
        {}, {"-E"}, {"-L", "-D"}, {"-CDLE"}, {"-X"}, {"--color=always"}};
    constexpr int TIMES = 4000;
    for (const std::string& piece : pieces) {
        for (const auto& options : option_sets) {
            SCOPED_TRACE(testing::PrintToString(piece) + " " + testing::PrintToString(options));
            const RunResult once = account(piece, options);
            ASSERT_EQ(0, once.status);
            std::string input;
            std::string expected;
            for (int i = 0; i < TIMES; ++i) {
                input += piece;
                expected += once.out;
            }
            const RunResult many = account(input, options);
            EXPECT_EQ(0, many.status);
            EXPECT_TRUE(many.out == expected) << "the accounts differ";
        }
    }
}

// A sequence first seen where the writer hands its buffer on (every 64 KiB
// of output), then again: the second time it must read as the first. The
// sequences before it put its lines across that place for one of the counts
// tried.
TEST(Repeats, SequenceAcrossTheBuffersEnd) {
    const std::string before = "\x1b[2J";
    const std::string sequence = "\x1b[5;5H";
    const std::string before_lines = account(before, {}).out;
    const std::string lines = account(sequence, {}).out;
    ASSERT_GT(lines.size(), before_lines.size());
    const std::size_t count = 65536 / before_lines.size();
    for (std::size_t n = count - 1; n <= count + 1; ++n) {
        std::string input;
        std::string expected;
        for (std::size_t i = 0; i < n; ++i) {
            input += before;
            expected += before_lines;
        }
        // More after it, as in a stream that goes on.
        std::string after;
        std::string after_lines;
        for (int i = 0; i < 8; ++i) {
            after += before;
            after_lines += before_lines;
        }
        const RunResult r = account(input + sequence + sequence + after, {});
        EXPECT_EQ(0, r.status);
        EXPECT_TRUE(r.out == expected + lines + lines + after_lines)
            << "the accounts differ after " << n;
    }
}

}  // namespace
}  // namespace vorsk_test
