// The line writer's column arithmetic, colour escapes, records, replays and
// error callback, on an in-memory stream.
#include "output/line_writer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <utility>

#include "output/colors.h"

namespace vorsk {
namespace {

class LineWriterTest : public ::testing::Test {
protected:
    void SetUp() override { colors({}); }
    void TearDown() override {
        writer_free(w_);
        memory_sink_release(memory_);
    }
    // A new writer, with colours on when a palette is given.
    void colors(std::initializer_list<std::pair<ColorKey, ColorValue>> entries, bool on = false) {
        writer_free(w_);
        OutputConfig config;
        config.colors = on || entries.size() != 0;
        for (const auto& [key, color] : entries) config.palette.colors[key] = color;
        w_ = writer_new(Sink{.memory = &memory_}, config);
        ASSERT_NE(w_, nullptr);
    }
    std::string output() {
        writer_flush(*w_);
        return std::string(memory_.data, memory_.size);
    }
    void start_text() { writer_start(*w_, TEXT_LINE); }
    void start_control() { writer_start(*w_, CONTROL_LINE); }

    MemorySink memory_;
    LineWriter* w_ = nullptr;
};

TEST_F(LineWriterTest, FinishWithoutOpenLineWritesNothing) {
    writer_finish(*w_, "|.");
    EXPECT_EQ(output(), "");
}

TEST_F(LineWriterTest, TextRowHolds75BytesThenContinuationRows74) {
    start_text();
    for (int i = 0; i < 75 + 74 + 1; ++i) writer_putc(*w_, 'a' + (i < 75 ? 0 : i < 149 ? 1 : 2));
    writer_finish(*w_, "|.");
    const std::string expected =
        "|" + std::string(75, 'a') + "|-\n-|" + std::string(74, 'b') + "|-\n-|c|.\n";
    EXPECT_EQ(output(), expected);
}

TEST_F(LineWriterTest, DecoratedRowWrapsWhenExactlyWrapEndColumnsAreLeftEvenForAnEmptyPiece) {
    start_text();
    for (int i = 0; i < 75; ++i) writer_putc(*w_, 'a');
    EXPECT_EQ(w_->column, 76u);
    writer_puts(*w_, "");
    EXPECT_EQ(w_->column, 2u);
    writer_finish(*w_, "|");
    EXPECT_EQ(output(), "|" + std::string(75, 'a') + "|-\n-||\n");
}

TEST_F(LineWriterTest, PlainRowWrapsAtColumn78BeforeAnyPiece) {
    start_control();
    writer_puts(*w_, std::string(77, 'x').c_str());  // "." + 77 = 78 columns
    EXPECT_EQ(w_->column, 78u);
    writer_puts(*w_, "");
    writer_finish(*w_, "");
    EXPECT_EQ(output(), "." + std::string(77, 'x') + "\n.\n");
}

TEST_F(LineWriterTest, PieceThatWouldPassColumn78GoesWholeToTheNextRow) {
    start_control();
    writer_puts(*w_, std::string(75, 'x').c_str());
    writer_printf(*w_, " %s", "ab");  // would end at 79
    writer_finish(*w_, "");
    EXPECT_EQ(output(), "." + std::string(75, 'x') + "\n. ab\n");
}

TEST_F(LineWriterTest, PieceWiderThanARowIsWrittenWhole) {
    start_control();
    const std::string wide(100, 'w');
    writer_puts(*w_, wide.c_str());
    writer_finish(*w_, "");
    EXPECT_EQ(output(), ".\n." + wide + "\n");
}

TEST_F(LineWriterTest, LongFormattedPieceIsMeasuredAndWrittenWhole) {
    start_control();
    const std::string wide(600, 'q');
    writer_printf(*w_, "%s", wide.c_str());
    EXPECT_EQ(w_->column, 601u);  // the piece and the wrap-begin string
    writer_finish(*w_, "");
    EXPECT_EQ(output(), ".\n." + wide + "\n");
}

TEST_F(LineWriterTest, StartWhileOpenEndsTheOldLineWithABareNewline) {
    start_control();
    writer_puts(*w_, " CR");
    start_text();
    writer_putc(*w_, 'a');
    writer_finish(*w_, "|");
    EXPECT_EQ(output(), ". CR\n|a|\n");
}

TEST_F(LineWriterTest, ColoursOffWriteNoEscapes) {
    start_text();
    writer_putc(*w_, 'a');
    writer_finish(*w_, "|.");
    print_label_line(*w_, "%s", "x");
    EXPECT_EQ(output(), "|a|.\n& x\n");
}

TEST_F(LineWriterTest, DecoratedLineWithColoursAndItsWrap) {
    colors({{TEXT_COLOR, {"36;7", 4}}, {TEXT_DECOR_COLOR, {"1", 1}}});
    start_text();
    for (int i = 0; i < 76; ++i) writer_putc(*w_, 'a');
    writer_finish(*w_, "|.");
    EXPECT_EQ(output(), "\x1b[1m|\x1b[m\x1b[36;7m" + std::string(75, 'a') +
                            "\x1b[m\x1b[1m|-\n-|\x1b[m\x1b[36;7ma\x1b[m\x1b[1m|.\x1b[m\n");
}

TEST_F(LineWriterTest, EmptyDecorationColourIsNoDecorationColour) {
    colors({{TEXT_COLOR, {"36;7", 4}}, {TEXT_DECOR_COLOR, {"", 0}}});
    start_text();
    writer_putc(*w_, 'a');
    writer_finish(*w_, "|.");
    EXPECT_EQ(output(), "|\x1b[36;7ma\x1b[m|.\n");
}

TEST_F(LineWriterTest, PlainLineWithColoursAndItsWrap) {
    colors({{CONTROL_COLOR, {"31", 2}}});
    start_control();
    writer_puts(*w_, std::string(77, 'x').c_str());
    writer_puts(*w_, " CR");
    writer_finish(*w_, "");
    EXPECT_EQ(output(), "\x1b[31m." + std::string(77, 'x') + "\x1b[m\n\x1b[31m. CR\x1b[m\n");
}

TEST_F(LineWriterTest, AnEmptyColourStillWritesItsEscapes) {
    colors({}, true);
    start_control();
    writer_finish(*w_, "");
    EXPECT_EQ(output(), "\x1b[m.\x1b[m\n");
}

TEST_F(LineWriterTest, RecordEndsAnOpenLineWithoutTailAndLeavesNoLineOpen) {
    colors({{CONTROL_COLOR, {"31", 2}}});
    start_control();
    writer_puts(*w_, " CR");
    print_escape_line(*w_, "Esc %c", '7');
    EXPECT_EQ(w_->column, 0u);
    writer_finish(*w_, "");  // nothing: no line is open
    EXPECT_EQ(output(), "\x1b[31m. CR\x1b[m\n\x1b[m: Esc 7\x1b[m\n");
}

TEST_F(LineWriterTest, RecordIsOneRowHoweverLong) {
    const std::string text(200, 'z');
    print_description_line(*w_, "%s", text.c_str());
    print_delay_line(*w_, "%f", 1.5);
    EXPECT_EQ(output(), "\" " + text + "\n@ 1.500000\n");
}

// Records kept with writer_output_since and written again with
// writer_replay come out as the records themselves would.
TEST_F(LineWriterTest, KeptRecordsReplayAfterAnOpenLineAsWritten) {
    const auto records = [this] {
        print_escape(*w_, {"Esc [ K"});
        print_label(*w_, {"EL", ": ", "ERASE IN LINE"});
    };
    start_control();
    writer_puts(*w_, " CR");
    ASSERT_TRUE(writer_replayable(*w_));
    const std::uint64_t start = writer_offset(*w_);
    records();
    std::size_t n = 0;
    const char* kept = writer_output_since(*w_, start, true, &n);
    ASSERT_NE(kept, nullptr);
    const std::string text(kept, n);
    EXPECT_EQ(text, ": Esc [ K\n& EL: ERASE IN LINE\n");  // without the newline that ended ". CR"
    start_control();
    writer_puts(*w_, " LF");
    writer_replay(*w_, text.data(), text.size());
    writer_replay(*w_, text.data(), text.size());
    writer_replay(*w_, "", 0);
    EXPECT_EQ(w_->column, 0u);
    EXPECT_EQ(output(), ". CR\n" + text + ". LF\n" + text + text);
}

TEST_F(LineWriterTest, AnEmptyReplayLeavesTheOpenLineOpen) {
    start_control();
    writer_puts(*w_, " CR");
    writer_replay(*w_, "", 0);
    writer_puts(*w_, " LF");
    writer_finish(*w_, "");
    EXPECT_EQ(output(), ". CR LF\n");
}

TEST_F(LineWriterTest, NothingIsKeptThatLeftTheBufferOrALineOpen) {
    std::size_t n = 0;
    std::uint64_t start = writer_offset(*w_);
    print_escape(*w_, {"Esc 7"});
    writer_flush(*w_);  // handed to the sink
    EXPECT_EQ(writer_output_since(*w_, start, false, &n), nullptr);
    start = writer_offset(*w_);
    print_escape(*w_, {"Esc 8"});
    start_text();  // still open
    EXPECT_EQ(writer_output_since(*w_, start, false, &n), nullptr);
    writer_finish(*w_, "|");
    const char* kept = writer_output_since(*w_, start, false, &n);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(std::string(kept, n), ": Esc 8\n||\n");
    colors({}, true);  // coloured output is not plain bytes
    EXPECT_FALSE(writer_replayable(*w_));
    start = writer_offset(*w_);
    print_escape(*w_, {"Esc 7"});
    EXPECT_EQ(writer_output_since(*w_, start, false, &n), nullptr);
}

// A run of bytes must come out exactly as the same bytes put one by one,
// from every starting column, on decorated and plain lines.
TEST(LineWriterRuns, ARunWrapsExactlyLikeOneByteAtATime) {
    for (const bool decorated : {true, false}) {
        for (std::size_t lead = 0; lead < 90; ++lead) {
            for (const std::size_t n :
                 {std::size_t{1}, std::size_t{2}, std::size_t{75}, std::size_t{160}}) {
                std::string outputs[2];
                for (int way = 0; way < 2; ++way) {
                    MemorySink memory;
                    LineWriter* w = writer_new(Sink{.memory = &memory}, OutputConfig{});
                    writer_start(*w, decorated ? TEXT_LINE : CONTROL_LINE);
                    // A wide first piece puts the column anywhere, past 78 too.
                    writer_puts(*w, std::string(lead, 'w').c_str());
                    const std::string run(n, 'r');
                    if (way == 0) {
                        for (const char c : run) writer_putc(*w, c);
                    } else {
                        writer_put_run(*w, run.data(), run.size());
                    }
                    writer_finish(*w, "|");
                    writer_flush(*w);
                    outputs[way].assign(memory.data, memory.size);
                    memory_sink_release(memory);
                    writer_free(w);
                }
                ASSERT_EQ(outputs[0], outputs[1])
                    << "decorated " << decorated << " lead " << lead << " n " << n;
            }
        }
    }
}

struct Failure {
    int calls = 0;
    int last_error = -1;
};

void record_failure(int error_number, void* arg) {
    auto* failure = static_cast<Failure*>(arg);
    ++failure->calls;
    failure->last_error = error_number;
}

// A writer over /dev/full, where every write fails with ENOSPC.
class LineWriterErrors : public ::testing::Test {
protected:
    void SetUp() override {
        full_ = open("/dev/full", O_WRONLY);
        ASSERT_GE(full_, 0);
        w_ = writer_new(Sink{.fd = full_}, OutputConfig{});
    }
    void TearDown() override {
        writer_free(w_);
        close(full_);
    }
    void record_failures() { writer_set_error_handler(*w_, record_failure, &failure_); }

    int full_ = -1;
    LineWriter* w_ = nullptr;
    Failure failure_;
};

TEST_F(LineWriterErrors, AFailedWriteReachesTheCallbackWithItsErrorNumber) {
    record_failures();
    writer_start(*w_, CONTROL_LINE);
    writer_puts(*w_, " CR");
    writer_finish(*w_, "");
    EXPECT_EQ(failure_.calls, 0);  // still in the writer's buffer
    writer_flush(*w_);
    EXPECT_EQ(failure_.calls, 1);
    EXPECT_EQ(failure_.last_error, ENOSPC);
}

TEST_F(LineWriterErrors, AFullBufferIsWrittenOutAndItsFailureReported) {
    record_failures();
    const std::string text(100, 'r');
    for (std::size_t i = 0; i * 103 <= WRITER_BUFFER_SIZE; ++i)
        print_description_line(*w_, "%s", text.c_str());
    EXPECT_EQ(failure_.calls, 1);
    EXPECT_EQ(failure_.last_error, ENOSPC);
}

TEST_F(LineWriterErrors, WithoutCallbackFailuresAreIgnored) {
    writer_start(*w_, CONTROL_LINE);
    writer_puts(*w_, " CR");
    writer_finish(*w_, "");
    writer_flush(*w_);
    EXPECT_EQ(w_->column, 0u);
}

}  // namespace
}  // namespace vorsk
