// The lookahead input: decoders mark it, read ahead over a candidate
// sequence, and then either commit what they read or rewind to the mark, so
// that the same bytes are delivered again as ordinary input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "input/ring_buffer.h"

namespace vorsk {

struct InputBuffer {
    std::FILE* stream = nullptr;  // not owned
    int marked = 0;
    std::uint64_t consumed = 0;    // taken for good since creation or the last reset
    std::uint64_t since_mark = 0;  // handed out since the mark
    RingBuffer* ring = nullptr;
    RingReader* reader = nullptr;
    int error = 0;  // errno after the last stream read that gave no byte
};

// Yields nullptr when memory is exhausted.
InputBuffer* input_new(std::FILE* stream, std::size_t capacity);
// The program keeps its one buffer until it exits; tests release theirs.
void input_free(InputBuffer* in);
int input_get(InputBuffer& in);  // the next byte, or EOF
int input_mark(InputBuffer& in);    // 0 marked now, 1 already marked
int input_rewind(InputBuffer& in);  // always 0
int input_commit(InputBuffer& in);  // 0 committed, 1 not marked
std::uint64_t input_consumed(const InputBuffer& in);
void input_reset_consumed(InputBuffer& in);
bool input_has_buffered(const InputBuffer& in);
int input_error(const InputBuffer& in);

}  // namespace vorsk
