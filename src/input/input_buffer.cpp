#include "input/input_buffer.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "allocation.h"

namespace vorsk {
namespace {

// One read of the source into the chunk: the number of bytes, 0 at the end
// of the input or on an error (errno tells which).
std::size_t read_source(ByteSource& source, std::uint8_t* chunk) {
    if (source.pull != nullptr) return source.pull(source.pull_arg, chunk, INPUT_CHUNK_SIZE);
    if (source.fd >= 0) {
        const ssize_t got = read(source.fd, chunk, INPUT_CHUNK_SIZE);
        return got > 0 ? static_cast<std::size_t>(got) : 0;
    }
    std::size_t n = source.size - source.pos;
    if (n > INPUT_CHUNK_SIZE) n = INPUT_CHUNK_SIZE;
    if (source.max_read != 0 && n > source.max_read) n = source.max_read;
    if (n != 0) std::memcpy(chunk, source.data + source.pos, n);
    source.pos += n;
    return n;
}

// One source byte, or EOF with error set: the chunk first, then one read.
int next_stream_byte(InputBuffer& in) {
    if (in.chunk_pos == in.chunk_end) {
        if (in.wait_hook != nullptr && !in.wait_hook(in.wait_arg)) {
            in.error = EINTR;
            return EOF;
        }
        errno = 0;
        const std::size_t n = read_source(in.source, in.chunk);
        if (n == 0) {
            // A plain end of the input leaves errno at 0; every later call
            // reads again.
            in.error = errno;
            return EOF;
        }
        in.chunk_pos = 0;
        in.chunk_end = n;
        if (in.tee != nullptr) in.tee(in.tee_arg, in.chunk, n);
    }
    return in.chunk[in.chunk_pos++];
}

}  // namespace

InputBuffer* input_new(ByteSource source, std::size_t capacity) {
    auto* in = allocate_record<InputBuffer>();
    if (in == nullptr) return nullptr;
    in->source = source;
    in->ring = ring_new(capacity);
    in->reader = in->ring != nullptr ? reader_new(*in->ring) : nullptr;
    in->chunk = allocate_array<std::uint8_t>(INPUT_CHUNK_SIZE);
    if (in->reader == nullptr || in->chunk == nullptr) {
        input_free(in);
        return nullptr;
    }
    return in;
}

void input_free(InputBuffer* in) {
    if (in == nullptr) return;
    reader_free(in->reader);
    ring_free(in->ring);
    std::free(in->chunk);
    release_record(in);
}

void input_reset(InputBuffer& in, ByteSource source) {
    in.source = source;
    in.marked = 0;
    in.consumed = 0;
    in.since_mark = 0;
    in.error = 0;
    in.chunk_pos = 0;
    in.chunk_end = 0;
    while (ring_get(*in.ring) != EOF) {
    }
    reader_reset(*in.reader);
}

void input_preload(InputBuffer& in, const std::uint8_t* bytes, std::size_t n) {
    if (n == 0) return;
    std::memcpy(in.chunk, bytes, n);
    in.chunk_pos = 0;
    in.chunk_end = n;
    if (in.tee != nullptr) in.tee(in.tee_arg, in.chunk, n);
}

void input_set_wait_hook(InputBuffer& in, InputWaitHook hook, void* arg) {
    in.wait_hook = hook;
    in.wait_arg = arg;
}

int input_get_slow(InputBuffer& in) {
    if (!in.marked) {
        // Bytes left in the ring by a rewind come first.
        const int held = ring_get(*in.ring);
        if (held != EOF) {
            ++in.consumed;
            return held;
        }
        const int c = next_stream_byte(in);
        if (c != EOF) ++in.consumed;
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
    const int c = next_stream_byte(in);
    if (c == EOF) return EOF;
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

std::uint64_t input_consumed(const InputBuffer& in) {
    return in.consumed;
}

// True means the next input_get returns a byte without reading the stream;
// bytes waiting in the chunk do not count, since they were read already and
// a signal must not wait behind a whole chunk.
bool input_has_buffered(const InputBuffer& in) {
    return in.marked ? !reader_at_end(*in.reader) : !ring_is_empty(*in.ring);
}

int input_error(const InputBuffer& in) {
    return in.error;
}

}  // namespace vorsk
