// The readers of ttyrec recordings and sudo I/O logs, asked for their
// records directly: what golden cases reach poorly (how a ttyrec file is
// told, frames longer than a record, every kind of sudo event, a log
// file's facts, the faults that stop a recording).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "input/recording.h"
#include "input/sudo_iolog.h"
#include "input/ttyrec.h"

namespace vorsk {
namespace {

// Each record in words: "pause 0.5", "o hi" or "i a" (bytes), "Name: value".
std::vector<std::string> records(RecordReader reader) {
    std::vector<std::string> out;
    for (int i = 0; i < 10000; ++i) {
        Record r;
        reader.next(reader.self, WANT_ANY, r);
        char text[64];
        switch (r.kind) {
            case RECORD_BYTES:
                out.push_back((r.direction == TO_TERMINAL ? "o " : "i ") +
                              std::string(reinterpret_cast<const char*>(r.bytes), r.size));
                break;
            case RECORD_PAUSE:
                std::snprintf(text, sizeof text, "pause %g", r.delay);
                out.emplace_back(text);
                break;
            case RECORD_METADATA:
                out.push_back(std::string(r.name) + ": " + std::string(r.value));
                break;
            case RECORD_BREAK: out.emplace_back("break"); break;
            case RECORD_NONE:
            case RECORD_END: return out;
        }
    }
    return out;
}

std::string le32(std::uint32_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
            static_cast<char>(v >> 24)};
}

std::string frame(std::uint32_t seconds, std::uint32_t micro, const std::string& bytes) {
    return le32(seconds) + le32(micro) + le32(static_cast<std::uint32_t>(bytes.size())) + bytes;
}

bool looks(const std::string& bytes) {
    return looks_like_ttyrec(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

TEST(Ttyrec, ToldByAHeaderThatFitsAndANextHeaderThatFollowsIt) {
    const std::string one = frame(1700000000, 5, "hi");
    EXPECT_TRUE(looks(one));
    EXPECT_TRUE(looks(one + frame(1700000001, 0, "x")));
    EXPECT_FALSE(looks(one.substr(0, 11)));                 // no whole header
    EXPECT_FALSE(looks(frame(1700000000, 1000000, "hi")));  // microseconds past a second
    EXPECT_FALSE(looks(frame(1700000000, 0, "")));          // an empty first frame
    EXPECT_FALSE(looks(one + "abc"));                       // a next header cut short
    EXPECT_FALSE(looks(one + frame(1699999999, 0, "x")));   // time that goes back
    EXPECT_FALSE(looks(one + frame(1700000000 + 400 * 86400, 0, "x")));  // a year apart
    EXPECT_FALSE(looks("{\"version\": 2}\n[0.5, \"o\", \"x\"]\n"));
}

struct Memory {
    int fd;
    explicit Memory(const std::string& bytes) : fd(memfd_create("ttyrec", 0)) {
        EXPECT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        lseek(fd, 0, SEEK_SET);
    }
    ~Memory() { close(fd); }
};

TEST(Ttyrec, FramesAfterTheirPausesLongOnesInPiecesAndTimeGoingBackNoPause) {
    const std::string big(RECORD_PIECE_SIZE + 10, 'x');
    Memory m(frame(0, 0, "a") + frame(1, 500000, big) + frame(1, 0, "b"));
    Ttyrec* t = ttyrec_new(m.fd, "t", "vorsk", nullptr, 0);
    const RecordReader reader = ttyrec_reader(*t);
    const std::vector<std::string> expected = {
        "Start time: 1970-01-01 00:00:00 UTC",
        "o a",
        "pause 1.5",
        "o " + big.substr(0, RECORD_PIECE_SIZE),
        "o " + big.substr(RECORD_PIECE_SIZE),
        "pause 0",
        "o b",
    };
    EXPECT_EQ(records(reader), expected);
    EXPECT_EQ(reader.finish(reader.self), 0);
    ttyrec_free(t);
}

TEST(Ttyrec, AHeaderThatIsNoneStopsTheRecordingWithItsReason) {
    Memory m(frame(10, 0, "a") + frame(11, 2000000, "b"));
    Ttyrec* t = ttyrec_new(m.fd, "t", "vorsk", nullptr, 0);
    const RecordReader reader = ttyrec_reader(*t);
    const std::vector<std::string> got = records(reader);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.back(), "Stopped early: frame 2 has no ttyrec header");
    std::fflush(stderr);
    EXPECT_EQ(reader.finish(reader.self), 1);
    ttyrec_free(t);
}

// A sudo log's folder, made for a test and removed after it.
struct Folder {
    std::string path;
    Folder() {
        char name[] = "/tmp/vorsk-sudo-test-XXXXXX";
        path = mkdtemp(name);
    }
    ~Folder() { std::filesystem::remove_all(path); }
    void file(const char* name, const std::string& bytes) const {
        std::ofstream(path + "/" + name, std::ios::binary) << bytes;
    }
};

TEST(SudoLog, EveryKindOfEventWithItsPauseAndTheLogFilesFacts) {
    Folder f;
    f.file("log", "1796962625:root:nobody:adm:/dev/pts/0:24:80\n/tmp/r\n/bin/echo hi\n");
    f.file("timing", "4 0.5 2\n3 0.25 1\n5 0.125 30 100\n0 0 1\n1 0 3\n2 0.0625 3\n6 1 TSTP\n");
    f.file("ttyout", "hi");
    f.file("ttyin", "a");
    f.file("stdin", "s");
    f.file("stdout", "out");
    f.file("stderr", "err");
    SudoLog* log = sudo_log_new(f.path.c_str(), "vorsk");
    ASSERT_NE(log, nullptr);
    const RecordReader reader = sudo_log_reader(*log);
    const std::vector<std::string> expected = {
        "User: root",
        "Run as: nobody",
        "Run as group: adm",
        "Terminal device: /dev/pts/0",
        "Terminal size: 80x24",
        "Start time: 2026-12-11 04:17:05 UTC",
        "Working directory: /tmp/r",
        "Command: /bin/echo hi",
        "pause 0.5",
        "o hi",
        "pause 0.25",
        "i a",
        "pause 0.125",
        "Window size: 100x30",
        "pause 0",
        "i s",
        "pause 0",
        "o out",
        "pause 0.0625",
        "o err",
        "pause 1",
        "Suspend: TSTP",
    };
    EXPECT_EQ(records(reader), expected);
    EXPECT_EQ(reader.finish(reader.self), 0);
    sudo_log_free(log);
}

TEST(SudoLog, WhatStopsTheRecording) {
    const struct {
        const char* timing;
        const char* why;
    } cases[] = {
        {"4 0.5 5\n", "timing:1: the ttyout stream ends 3 bytes before this event's"},
        {"9 0.5 1\n", "timing:1: an event of a type that is not sudo's"},
        {"4 -0.5 1\n", "timing:1: not an event: an event, its delay and what it carries"},
        {"4 0.5\n", "timing:1: an event without its count of bytes"},
        {"5 0.5 24\n", "timing:1: a window change without its size"},
    };
    for (const auto& c : cases) {
        Folder f;
        f.file("timing", c.timing);
        f.file("ttyout", "hi");
        SudoLog* log = sudo_log_new(f.path.c_str(), "vorsk");
        ASSERT_NE(log, nullptr);
        const RecordReader reader = sudo_log_reader(*log);
        const std::vector<std::string> got = records(reader);
        ASSERT_FALSE(got.empty()) << c.timing;
        EXPECT_EQ(got.back(), std::string("Stopped early: ") + c.why) << c.timing;
        EXPECT_EQ(reader.finish(reader.self), 1);
        sudo_log_free(log);
    }
}

}  // namespace
}  // namespace vorsk
