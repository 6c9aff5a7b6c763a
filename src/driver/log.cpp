#include "driver/log.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "allocation.h"
#include "common.h"
#include "input/ring_buffer.h"

namespace vorsk {

struct LogQueue {
    int fd = -1;
    const char* path = "";
    const char* program_name = "vorsk";
    std::uint8_t* ring = nullptr;  // LOG_QUEUE_SIZE bytes: [head, head + size) modulo the size
    std::size_t head = 0;
    std::size_t size = 0;
    char last = '\n';            // the last byte queued
    std::uint64_t offered = 0;   // bytes of the account so far
    std::uint64_t lost = 0;      // of them, not in the log
    std::uint64_t gap = 0;       // lost since the log last said so
    std::uint64_t gap_from = 0;  // where that gap begins in the account
    bool told_behind = false;
    int error = 0;  // the failure of the log, or 0
};

namespace {

// A message on standard error, which may be the user's terminal in raw mode
// (no translation of a newline): a line ends with CR LF there.
VORSK_PRINTF(2, 3) void say(const LogQueue& q, const char* format, ...) {
    char text[512];
    std::va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    std::fprintf(stderr, "%s: %s%s", q.program_name, text, isatty(STDERR_FILENO) ? "\r\n" : "\n");
}

std::size_t room(const LogQueue& q) {
    return LOG_QUEUE_SIZE - q.size;
}

void enqueue(LogQueue& q, const char* bytes, std::size_t n) {
    ring_copy_in(q.ring, LOG_QUEUE_SIZE, (q.head + q.size) % LOG_QUEUE_SIZE,
                 reinterpret_cast<const std::uint8_t*>(bytes), n);
    q.size += n;
    q.last = bytes[n - 1];
}

// The log fails for good: what is queued is lost too.
void fail(LogQueue& q, int error) {
    q.error = error;
    q.lost += q.size;
    q.head = q.size = 0;
    say(q, "the log %s failed: %s; the program runs on, and the account is written no more", q.path,
        std::strerror(error));
}

// One write of what is queued. A reader that went away is a failure of
// the log, not a signal that ends vorsk: SIGPIPE is held back meanwhile.
ssize_t write_some(LogQueue& q) {
    sigset_t pipe_signal;
    sigset_t old;
    sigemptyset(&pipe_signal);
    sigaddset(&pipe_signal, SIGPIPE);
    sigprocmask(SIG_BLOCK, &pipe_signal, &old);
    const std::size_t piece = std::min(q.size, LOG_QUEUE_SIZE - q.head);
    const ssize_t n = write(q.fd, q.ring + q.head, piece);
    const int error = errno;
    if (n < 0 && error == EPIPE) {
        const timespec now{};
        sigtimedwait(&pipe_signal, nullptr, &now);
    }
    sigprocmask(SIG_SETMASK, &old, nullptr);
    errno = error;
    return n;
}

}  // namespace

LogQueue* log_queue_new(int fd, const char* path, const char* program_name) {
    auto* q = allocate_record<LogQueue>();
    if (q == nullptr) return nullptr;
    q->ring = allocate_array<std::uint8_t>(LOG_QUEUE_SIZE);
    if (q->ring == nullptr) {
        release_record(q);
        return nullptr;
    }
    q->fd = fd;
    q->path = path;
    q->program_name = program_name;
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    return q;
}

void log_queue_drain(LogQueue& q) {
    while (q.size != 0 && q.error == 0) {
        const ssize_t n = write_some(q);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return;
        if (n <= 0) {
            fail(q, n < 0 ? errno : EIO);
            return;
        }
        q.head = (q.head + static_cast<std::size_t>(n)) % LOG_QUEUE_SIZE;
        q.size -= static_cast<std::size_t>(n);
        if (q.size == 0) q.head = 0;
    }
}

namespace {

// Once there is room, the log says where the account has a gap.
bool note_gap(LogQueue& q, std::size_t then_needed) {
    if (q.gap == 0) return true;
    char note[128];
    const int n = std::snprintf(note, sizeof note,
                                "%s# Lost: %" PRIu64 " bytes of the account, from byte %" PRIu64
                                ", which the log could not take in time\n",
                                q.last == '\n' ? "" : "\n", q.gap, q.gap_from);
    const auto size = static_cast<std::size_t>(n);
    if (room(q) < size + then_needed) return false;
    enqueue(q, note, size);
    q.gap = 0;
    return true;
}

}  // namespace

void log_queue_write(void* queue, const char* bytes, std::size_t n) {
    LogQueue& q = *static_cast<LogQueue*>(queue);
    if (n == 0) return;
    if (q.error != 0) {
        q.lost += n;
        q.offered += n;
        return;
    }
    log_queue_drain(q);
    if (q.error == 0 && note_gap(q, n) && room(q) >= n) {
        enqueue(q, bytes, n);
        q.offered += n;
        log_queue_drain(q);
        return;
    }
    if (q.error == 0 && !q.told_behind) {
        q.told_behind = true;
        say(q,
            "the log %s falls behind: the program runs on, and what the log cannot take "
            "in time is left out of it",
            q.path);
    }
    if (q.gap == 0) q.gap_from = q.offered;
    q.gap += n;
    q.lost += n;
    q.offered += n;
}

int log_queue_waiting_fd(const LogQueue& q) {
    return q.size != 0 && q.error == 0 ? q.fd : -1;
}

void log_queue_end(LogQueue& q, const volatile std::sig_atomic_t& give_up) {
    for (;;) {
        if (q.error == 0) note_gap(q, 0);
        log_queue_drain(q);
        if (q.size == 0 || q.error != 0 || give_up) break;
        pollfd p{q.fd, POLLOUT, 0};
        const int ready = poll(&p, 1, 1000);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) break;  // the log takes nothing any more
    }
    q.lost += q.size;
    q.size = 0;
    if (q.error != 0) {
        say(q, "the log %s failed: %s; %" PRIu64 " bytes of the account are not in it", q.path,
            std::strerror(q.error), q.lost);
    } else if (q.lost != 0) {
        say(q, "the log %s fell behind: %" PRIu64 " bytes of the account are not in it", q.path,
            q.lost);
    }
}

}  // namespace vorsk
