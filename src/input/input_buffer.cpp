#include "input/input_buffer.h"

#include <cerrno>
#include <new>

namespace vorsk {

InputBuffer* input_new(std::FILE* stream, std::size_t capacity) {
    auto* in = new (std::nothrow) InputBuffer;
    if (in == nullptr) return nullptr;
    in->stream = stream;
    in->ring = ring_new(capacity);
    if (in->ring == nullptr) {
        delete in;
        return nullptr;
    }
    in->reader = reader_new(*in->ring);
    if (in->reader == nullptr) {
        ring_free(in->ring);
        delete in;
        return nullptr;
    }
    return in;
}

void input_free(InputBuffer* in) {
    if (in == nullptr) return;
    reader_free(in->reader);
    ring_free(in->ring);
    delete in;
}

int input_get(InputBuffer& in) {
    if (!in.marked) {
        // Bytes left in the ring by a rewind come first.
        const int held = ring_get(*in.ring);
        if (held != EOF) {
            ++in.consumed;
            return held;
        }
        errno = 0;
        const int c = getc_unlocked(in.stream);
        if (c == EOF) {
            in.error = errno;
            return EOF;
        }
        ++in.consumed;
        return c;
    }

    const int replayed = reader_next(*in.reader);
    if (replayed != EOF) {
        ++in.since_mark;
        return replayed;
    }
    // The look-ahead from a mark is bounded by the ring: a full ring reads
    // as the end of the input, and leaves the error alone.
    if (ring_free_space(*in.ring) == 0) return EOF;
    errno = 0;
    const int c = getc_unlocked(in.stream);
    if (c == EOF) {
        in.error = errno;
        return EOF;
    }
    ring_put(*in.ring, static_cast<std::uint8_t>(c));
    ++in.since_mark;
    return c;
}

int input_mark(InputBuffer& in) {
    if (in.marked) return 1;
    in.marked = 1;
    in.since_mark = 0;
    reader_reset(*in.reader);
    return 0;
}

int input_rewind(InputBuffer& in) {
    reader_reset(*in.reader);
    in.marked = 0;
    return 0;
}

int input_commit(InputBuffer& in) {
    if (!in.marked) return 1;
    reader_consume(*in.reader);
    in.marked = 0;
    in.consumed += in.since_mark;
    return 0;
}

std::uint64_t input_consumed(const InputBuffer& in) { return in.consumed; }

void input_reset_consumed(InputBuffer& in) {
    in.consumed = 0;
    in.since_mark = 0;
}

bool input_has_buffered(const InputBuffer& in) {
    return in.marked ? !reader_at_end(*in.reader) : !ring_is_empty(*in.ring);
}

int input_error(const InputBuffer& in) { return in.error; }

}  // namespace vorsk
