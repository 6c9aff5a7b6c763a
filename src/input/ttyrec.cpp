#include "input/ttyrec.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "allocation.h"
#include "common.h"

namespace vorsk {
namespace {

constexpr std::size_t HEADER_SIZE = 12;
constexpr std::size_t BUFFER_SIZE = 64 * 1024;
// A frame is what one read of a terminal gave: far less than this.
constexpr std::uint32_t FRAME_LIMIT = 1u << 24;

std::uint32_t le32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

struct FrameHeader {
    std::uint32_t seconds = 0;
    std::uint32_t microseconds = 0;
    std::uint32_t length = 0;
    bool valid() const { return microseconds < 1000000 && length <= FRAME_LIMIT; }
};

FrameHeader header_at(const std::uint8_t* p) {
    return {le32(p), le32(p + 4), le32(p + 8)};
}

}  // namespace

bool looks_like_ttyrec(const std::uint8_t* first, std::size_t n) {
    if (n < HEADER_SIZE) return false;
    const FrameHeader h = header_at(first);
    if (!h.valid() || h.length == 0) return false;
    const std::size_t next = HEADER_SIZE + h.length;
    if (n == next) return true;
    if (n < next + HEADER_SIZE) return n > next ? false : true;
    const FrameHeader h2 = header_at(first + next);
    return h2.valid() && h2.seconds >= h.seconds && h2.seconds - h.seconds < 366u * 86400u;
}

struct Ttyrec {
    int fd = -1;
    const char* name = "-";
    const char* program_name = "vorsk";
    std::uint8_t* buffer = nullptr;
    std::size_t pos = 0;
    std::size_t end = 0;
    bool eof = false;
    std::uint64_t frame = 0;      // frames begun
    std::uint32_t remaining = 0;  // bytes of the frame still to hand out
    bool timed = false;           // a frame's time was read
    double last = 0.0;
    char start[64];
    char error[160];
    bool failed = false;
    bool told_stop = false;
};

namespace {

VORSK_PRINTF(2, 3) void fail(Ttyrec& t, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::vsnprintf(t.error, sizeof t.error, format, args);
    va_end(args);
    t.failed = true;
}

// At least want bytes held from pos, unless the file ends first; the
// bytes held.
std::size_t fill(Ttyrec& t, std::size_t want) {
    while (t.end - t.pos < want && !t.eof) {
        if (t.pos != 0) {
            std::memmove(t.buffer, t.buffer + t.pos, t.end - t.pos);
            t.end -= t.pos;
            t.pos = 0;
        }
        const ssize_t got = read(t.fd, t.buffer + t.end, BUFFER_SIZE - t.end);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            fail(t, "%s", std::strerror(errno));
            t.eof = true;
        } else if (got == 0) {
            t.eof = true;
        }
        if (got > 0) t.end += static_cast<std::size_t>(got);
    }
    return t.end - t.pos;
}

void ttyrec_next(void* self, RecordWant, Record& r) {
    Ttyrec& t = *static_cast<Ttyrec*>(self);
    if (t.remaining != 0 && !t.failed) {
        const std::size_t held = fill(t, 1);
        if (held == 0) {
            fail(t, "frame %" PRIu64 " ends %" PRIu32 " bytes early: the recording was cut short",
                 t.frame, t.remaining);
        } else {
            const std::size_t n = std::min({held, std::size_t{t.remaining}, RECORD_PIECE_SIZE});
            r = Record{.kind = RECORD_BYTES, .bytes = t.buffer + t.pos, .size = n};
            t.pos += n;
            t.remaining -= static_cast<std::uint32_t>(n);
            return;
        }
    }
    if (!t.failed) {
        const std::size_t held = fill(t, HEADER_SIZE);
        if (held == 0 && !t.failed) {
            r = Record{.kind = RECORD_END};
            return;
        }
        ++t.frame;
        if (held < HEADER_SIZE) {
            if (!t.failed)
                fail(t, "the header of frame %" PRIu64 " is cut short: the recording was cut short",
                     t.frame);
        } else {
            const FrameHeader h = header_at(t.buffer + t.pos);
            if (!h.valid()) {
                fail(t, "frame %" PRIu64 " has no ttyrec header", t.frame);
            } else {
                t.pos += HEADER_SIZE;
                t.remaining = h.length;
                const double time = h.seconds + h.microseconds / 1e6;
                if (!t.timed) {
                    t.timed = true;
                    t.last = time;
                    const std::time_t seconds = h.seconds;
                    std::tm tm{};
                    if (gmtime_r(&seconds, &tm) != nullptr &&
                        std::strftime(t.start, sizeof t.start, "%Y-%m-%d %H:%M:%S UTC", &tm) != 0) {
                        r = Record{.kind = RECORD_METADATA, .name = "Start time", .value = t.start};
                        return;
                    }
                    ttyrec_next(self, WANT_ANY, r);
                    return;
                }
                // Time that goes back is no pause.
                const double delay = time > t.last ? time - t.last : 0.0;
                t.last = std::max(t.last, time);
                r = Record{.kind = RECORD_PAUSE, .delay = delay};
                return;
            }
        }
    }
    r = t.told_stop ? Record{.kind = RECORD_END}
                    : Record{.kind = RECORD_METADATA, .name = STOPPED_EARLY, .value = t.error};
    t.told_stop = true;
}

int ttyrec_finish(void* self) {
    const Ttyrec& t = *static_cast<const Ttyrec*>(self);
    if (!t.failed) return 0;
    std::fprintf(stderr, "%s: %s: %s\n", t.program_name, t.name, t.error);
    return 1;
}

}  // namespace

Ttyrec* ttyrec_new(int fd, const char* name, const char* program_name, const std::uint8_t* first,
                   std::size_t n) {
    auto* t = allocate_record<Ttyrec>();
    if (t == nullptr) return nullptr;
    t->buffer = allocate_array<std::uint8_t>(BUFFER_SIZE);
    if (t->buffer == nullptr) {
        ttyrec_free(t);
        return nullptr;
    }
    t->fd = fd;
    t->name = name;
    t->program_name = program_name;
    n = std::min(n, BUFFER_SIZE);
    if (n != 0) std::memcpy(t->buffer, first, n);
    t->end = n;
    return t;
}

void ttyrec_free(Ttyrec* t) {
    if (t == nullptr) return;
    std::free(t->buffer);
    release_record(t);
}

RecordReader ttyrec_reader(Ttyrec& t) {
    return RecordReader{.next = ttyrec_next, .finish = ttyrec_finish, .self = &t};
}

}  // namespace vorsk
