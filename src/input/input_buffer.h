// The lookahead input: decoders mark it, read ahead over a candidate
// sequence, and then either commit what they read or rewind to the mark, so
// that the same bytes are delivered again as ordinary input.
//
// Bytes come from a byte source in chunks: a read returns what a pipe or
// terminal holds without waiting for a full chunk. Before a read
// that may wait, the wait hook runs: it writes out the output decoded so far
// and waits for input, and answers false when a caught signal ended the
// wait, which reads as an interrupted read (EOF with EINTR).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "input/ring_buffer.h"

namespace vorsk {

inline constexpr std::size_t INPUT_CHUNK_SIZE = 64 * 1024;
// How far a decoder may read ahead of the mark: the ring's capacity.
inline constexpr std::size_t LOOKAHEAD_LIMIT = 1024;

// Where the bytes come from: a descriptor, bytes in memory (for tests
// and the fuzzer), of which one read hands out at most max_read, as a pipe
// may (0 for no limit), or a function that fills a chunk (the bytes of one
// direction of a recording), answering 0 for no bytes now.
using ByteSourcePull = std::size_t (*)(void* arg, std::uint8_t* chunk, std::size_t capacity);

struct ByteSource {
    int fd = -1;
    ByteSourcePull pull = nullptr;
    void* pull_arg = nullptr;
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::size_t max_read = 0;
    std::size_t pos = 0;  // memory: the next byte a read hands out
};

using InputWaitHook = bool (*)(void* arg);

struct InputBuffer {
    ByteSource source;
    int marked = 0;
    std::uint64_t consumed = 0;    // taken for good since creation
    std::uint64_t since_mark = 0;  // handed out since the mark
    RingBuffer* ring = nullptr;
    RingReader* reader = nullptr;
    int error = 0;                  // errno after the last read that gave no byte
    std::uint8_t* chunk = nullptr;  // bytes read from the source, not yet handed out
    std::size_t chunk_pos = 0;
    std::size_t chunk_end = 0;
    InputWaitHook wait_hook = nullptr;  // runs before a read that may wait
    void* wait_arg = nullptr;
    // Shown each chunk as it is read from the source, in the order of the
    // stream (--json keeps the bytes of the items being read); null
    // otherwise.
    void (*tee)(void* arg, const std::uint8_t* bytes, std::size_t n) = nullptr;
    void* tee_arg = nullptr;
};

// Yields nullptr when memory is exhausted.
InputBuffer* input_new(ByteSource source, std::size_t capacity);
// The program keeps its one buffer until it exits; tests release theirs.
void input_free(InputBuffer* in);
void input_set_wait_hook(InputBuffer& in, InputWaitHook hook, void* arg);
// Starts over on another source, with nothing held and nothing counted.
void input_reset(InputBuffer& in, ByteSource source);

// Hands out n bytes that were read from the source before the buffer was
// made (to tell what the input is) ahead of the rest; n <= INPUT_CHUNK_SIZE.
void input_preload(InputBuffer& in, const std::uint8_t* bytes, std::size_t n);

int input_get_slow(InputBuffer& in);

// The next byte, or EOF. Unmarked with nothing held back by a rewind, it is
// the next byte of the chunk.
inline int input_get(InputBuffer& in) {
    if (!in.marked && in.chunk_pos < in.chunk_end && ring_is_empty(*in.ring)) {
        ++in.consumed;
        return in.chunk[in.chunk_pos++];
    }
    return input_get_slow(in);
}

// The bytes that the next input_get calls would take straight from the
// chunk, unmarked with nothing held back; input_skip takes n of them.
inline std::size_t input_peek(const InputBuffer& in, const std::uint8_t** bytes) {
    if (in.marked || !ring_is_empty(*in.ring)) return 0;
    *bytes = in.chunk + in.chunk_pos;
    return in.chunk_end - in.chunk_pos;
}
inline void input_skip(InputBuffer& in, std::size_t n) {
    in.chunk_pos += n;
    in.consumed += n;
}

// How many bytes a decoder may read ahead from where the input stands.
inline std::size_t input_lookahead_limit(const InputBuffer& in) {
    return in.ring->capacity;
}

int input_mark(InputBuffer& in);    // 0 marked now, 1 already marked
int input_rewind(InputBuffer& in);  // always 0
int input_commit(InputBuffer& in);  // 0 committed, 1 not marked
std::uint64_t input_consumed(const InputBuffer& in);
bool input_has_buffered(const InputBuffer& in);

// Whether the next input_get has a byte without reading the source: one
// that came in the same read as those before it.
inline bool input_holds_more(const InputBuffer& in) {
    return in.chunk_pos < in.chunk_end || input_has_buffered(in);
}
int input_error(const InputBuffer& in);

}  // namespace vorsk
