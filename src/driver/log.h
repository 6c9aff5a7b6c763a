// The log of `-c COMMAND --log=FILE`: the user's program comes first, so
// the account is written to the log without ever making the session wait.
// It goes into a queue of fixed size and out to the log as fast as the log
// takes it (non-blocking writes). When the queue is full, what does not
// fit is left out, and once there is room again the log says how much was
// lost and where; a log that fails (a full disk, a reader that went away)
// is written no more. Either is said once on standard error as it happens,
// and again at the end; the program runs on.
#pragma once

#include <csignal>
#include <cstddef>

namespace vorsk {

// The queue holds this much of the account that the log has not taken yet.
inline constexpr std::size_t LOG_QUEUE_SIZE = 4 * 1024 * 1024;

struct LogQueue;

// Over the log opened on fd (made non-blocking), named path in messages.
// Yields nullptr when memory is exhausted.
LogQueue* log_queue_new(int fd, const char* path, const char* program_name);

// Takes the bytes of the account: a writer's sink function.
void log_queue_write(void* queue, const char* bytes, std::size_t n);

// The descriptor to wait on until the log can take more, or -1 when
// nothing is queued (or the log failed).
int log_queue_waiting_fd(const LogQueue& q);
// Writes out what the log takes now.
void log_queue_drain(LogQueue& q);

// At the end of the run: what is queued goes out while the log takes it
// (a log that takes nothing for a second is given up on, and so is any
// wait once `give_up` is set), and what was lost is said again.
void log_queue_end(LogQueue& q, const volatile std::sig_atomic_t& give_up);

}  // namespace vorsk
