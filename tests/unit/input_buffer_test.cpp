// The ring, its reader and the input buffer: mark, rewind, commit, counting
// and the look-ahead bound.
#include "input/input_buffer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "input/ring_buffer.h"

namespace vorsk {
namespace {

// An input buffer over the given bytes in memory.
class InputBufferTest : public ::testing::Test {
protected:
    void open(const std::string& bytes, std::size_t capacity = 1024) {
        text_ = bytes;
        const ByteSource source{.data = reinterpret_cast<const std::uint8_t*>(text_.data()),
                                .size = text_.size()};
        in_ = input_new(source, capacity);
        ASSERT_NE(in_, nullptr);
    }
    void TearDown() override { input_free(in_); }
    std::string read(int n) {
        std::string got;
        for (int i = 0; i < n; ++i) got += static_cast<char>(input_get(*in_));
        return got;
    }

    std::string text_;
    InputBuffer* in_ = nullptr;
};

TEST(RingBuffer, FullAndEmptyShareTheirPositions) {
    RingBuffer* ring = ring_new(4);
    ASSERT_NE(ring, nullptr);
    EXPECT_TRUE(ring_is_empty(*ring));
    EXPECT_EQ(ring_free_space(*ring), 4u);
    EXPECT_EQ(ring_get(*ring), EOF);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(ring_put(*ring, static_cast<std::uint8_t>('a' + i)), 0);
    EXPECT_EQ(ring->read_pos, ring->write_pos);
    EXPECT_FALSE(ring_is_empty(*ring));
    EXPECT_EQ(ring_free_space(*ring), 0u);
    EXPECT_EQ(ring_put(*ring, 'x'), 1);  // refused, nothing changes
    EXPECT_EQ(ring_get(*ring), 'a');
    EXPECT_EQ(ring->full, 0);
    EXPECT_EQ(ring_free_space(*ring), 1u);
    ring_free(ring);
}

TEST(RingBuffer, PositionsWrapAndKeepOrder) {
    RingBuffer* ring = ring_new(3);
    ASSERT_NE(ring, nullptr);
    std::string out;
    for (int round = 0; round < 10; ++round) {
        ASSERT_EQ(ring_put(*ring, static_cast<std::uint8_t>('0' + round)), 0);
        ASSERT_EQ(ring_put(*ring, static_cast<std::uint8_t>('a' + round)), 0);
        out += static_cast<char>(ring_get(*ring));
        out += static_cast<char>(ring_get(*ring));
    }
    EXPECT_EQ(out, "0a1b2c3d4e5f6g7h8i9j");
    ring_free(ring);
}

TEST(RingReader, ReaderAtEndStaysBehindNewBytes) {
    RingBuffer* ring = ring_new(8);
    RingReader* reader = reader_new(*ring);
    ASSERT_NE(reader, nullptr);
    EXPECT_TRUE(reader_at_end(*reader));
    ring_put(*ring, 'a');
    EXPECT_TRUE(reader_at_end(*reader));  // appended behind it
    reader_reset(*reader);
    EXPECT_EQ(reader_next(*reader), 'a');
    EXPECT_TRUE(reader_at_end(*reader));
    EXPECT_EQ(reader_next(*reader), EOF);
    reader_consume(*reader);
    EXPECT_TRUE(ring_is_empty(*ring));
    reader_free(reader);
    ring_free(ring);
}

TEST_F(InputBufferTest, UnmarkedReadsCountAtOnceAndStoreNothing) {
    open("abc");
    EXPECT_FALSE(input_has_buffered(*in_));
    EXPECT_EQ(read(3), "abc");
    EXPECT_EQ(input_consumed(*in_), 3u);
    EXPECT_TRUE(ring_is_empty(*in_->ring));
    EXPECT_EQ(input_get(*in_), EOF);
    EXPECT_EQ(input_error(*in_), 0);
}

TEST_F(InputBufferTest, CommitCountsWhatWasReadUnderTheMark) {
    open("abcd");
    EXPECT_EQ(input_mark(*in_), 0);
    EXPECT_EQ(read(3), "abc");
    EXPECT_EQ(input_consumed(*in_), 0u);
    EXPECT_EQ(input_commit(*in_), 0);
    EXPECT_EQ(input_consumed(*in_), 3u);
    EXPECT_TRUE(ring_is_empty(*in_->ring));
    EXPECT_EQ(read(1), "d");
}

TEST_F(InputBufferTest, RewindDeliversTheSameBytesAgain) {
    open("abcd");
    input_mark(*in_);
    EXPECT_EQ(read(3), "abc");
    EXPECT_EQ(input_rewind(*in_), 0);
    EXPECT_EQ(input_consumed(*in_), 0u);
    EXPECT_TRUE(input_has_buffered(*in_));
    EXPECT_EQ(read(1), "a");
    EXPECT_EQ(input_consumed(*in_), 1u);
    EXPECT_EQ(read(2), "bc");
    EXPECT_FALSE(input_has_buffered(*in_));
    EXPECT_EQ(read(1), "d");  // from the stream
    EXPECT_EQ(input_consumed(*in_), 4u);
}

TEST_F(InputBufferTest, MarkOverHeldBytesReplaysThemThenReadsOn) {
    open("abcdefg");
    input_mark(*in_);
    EXPECT_EQ(read(5), "abcde");
    input_rewind(*in_);
    input_mark(*in_);
    EXPECT_TRUE(input_has_buffered(*in_));
    EXPECT_EQ(read(2), "ab");
    EXPECT_EQ(input_commit(*in_), 0);
    EXPECT_EQ(input_consumed(*in_), 2u);
    EXPECT_EQ(read(3), "cde");  // the other three remain, unmarked
    input_mark(*in_);
    EXPECT_FALSE(input_has_buffered(*in_));
    EXPECT_EQ(read(2), "fg");  // appended to the ring from the stream
    input_rewind(*in_);
    EXPECT_EQ(read(2), "fg");
    EXPECT_EQ(input_consumed(*in_), 7u);
}

TEST_F(InputBufferTest, RefusedCallsChangeNothing) {
    open("abc");
    EXPECT_EQ(input_commit(*in_), 1);
    input_mark(*in_);
    EXPECT_EQ(read(2), "ab");
    EXPECT_EQ(input_mark(*in_), 1);  // since_mark and the reader stay
    EXPECT_EQ(in_->since_mark, 2u);
    EXPECT_EQ(input_commit(*in_), 0);
    EXPECT_EQ(input_consumed(*in_), 2u);
    EXPECT_EQ(input_rewind(*in_), 0);  // unmarked: nothing to give back
    EXPECT_EQ(read(1), "c");
}

TEST_F(InputBufferTest, LookAheadEndsAtTheRingCapacity) {
    open(std::string(1030, 'x') + "y");
    in_->error = 42;
    input_mark(*in_);
    for (int i = 0; i < 1024; ++i) ASSERT_EQ(input_get(*in_), 'x') << i;
    EXPECT_EQ(input_get(*in_), EOF);
    EXPECT_EQ(input_error(*in_), 42);  // not a read error
    input_rewind(*in_);
    for (int i = 0; i < 1024; ++i) ASSERT_EQ(input_get(*in_), 'x') << i;
    EXPECT_FALSE(input_has_buffered(*in_));
    EXPECT_EQ(read(7), "xxxxxxy");
    EXPECT_EQ(input_consumed(*in_), 1031u);
}

TEST(InputBuffer, FailedReadKeepsItsErrorUntilTheNextFailure) {
    // A directory opens for reading, and every read of it fails.
    const int dir = ::open(".", O_RDONLY);
    ASSERT_GE(dir, 0);
    InputBuffer* in = input_new(ByteSource{.fd = dir}, 16);
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(input_get(*in), EOF);
    EXPECT_EQ(input_error(*in), EISDIR);
    input_mark(*in);
    EXPECT_EQ(input_get(*in), EOF);  // the marked path reports it too
    EXPECT_EQ(input_error(*in), EISDIR);
    input_rewind(*in);
    input_free(in);
    close(dir);
}

// An input buffer over a pipe that already holds some bytes.
class PipeInputTest : public ::testing::Test {
protected:
    void open(const char* bytes) {
        ASSERT_EQ(pipe(fds_), 0);
        const auto n = static_cast<ssize_t>(std::strlen(bytes));
        ASSERT_EQ(write(fds_[1], bytes, static_cast<std::size_t>(n)), n);
        in_ = input_new(ByteSource{.fd = fds_[0]}, 16);
    }
    void TearDown() override {
        input_free(in_);
        for (const int fd : fds_) {
            if (fd >= 0) close(fd);
        }
    }
    void close_writer() {
        close(fds_[1]);
        fds_[1] = -1;
    }

    int fds_[2] = {-1, -1};
    InputBuffer* in_ = nullptr;
};

TEST_F(PipeInputTest, ReadsInChunksAndWaitsOnlyWhenEmpty) {
    open("abc");
    int waits = 0;
    input_set_wait_hook(
        *in_,
        [](void* arg) {
            ++*static_cast<int*>(arg);
            return true;
        },
        &waits);
    EXPECT_EQ(input_get(*in_), 'a');
    EXPECT_EQ(waits, 1);
    EXPECT_EQ(input_get(*in_), 'b');  // from the chunk: no wait
    EXPECT_EQ(input_get(*in_), 'c');
    EXPECT_EQ(waits, 1);
    close_writer();
    EXPECT_EQ(input_get(*in_), EOF);
    EXPECT_EQ(waits, 2);
    EXPECT_EQ(input_error(*in_), 0);
}

TEST_F(PipeInputTest, AnInterruptedWaitReadsAsAnInterruptedRead) {
    open("a");
    input_set_wait_hook(
        *in_, [](void*) { return false; }, nullptr);
    EXPECT_EQ(input_get(*in_), EOF);
    EXPECT_EQ(input_error(*in_), EINTR);
    input_set_wait_hook(*in_, nullptr, nullptr);
    EXPECT_EQ(input_get(*in_), 'a');  // nothing was lost
}

}  // namespace
}  // namespace vorsk
