// A byte ring of fixed capacity that remembers the bytes read ahead under a
// mark, and a cursor that walks them without removing them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vorsk {

struct RingBuffer {
    std::size_t capacity = 0;
    std::uint8_t* storage = nullptr;
    std::size_t read_pos = 0;   // the oldest stored byte
    std::size_t write_pos = 0;  // where the next byte goes
    int full = 0;               // tells a full ring from an empty one
};

inline constexpr std::size_t READER_AT_END = static_cast<std::size_t>(-1);

struct RingReader {
    RingBuffer* ring = nullptr;
    std::size_t pos = READER_AT_END;  // the next byte returned; READER_AT_END: none ahead
};

// Yield nullptr, with nothing left allocated, when memory is exhausted.
RingBuffer* ring_new(std::size_t capacity);
void ring_free(RingBuffer* ring);
inline bool ring_is_empty(const RingBuffer& ring) {
    return ring.read_pos == ring.write_pos && !ring.full;
}
int ring_put(RingBuffer& ring, std::uint8_t byte);  // 0 stored, 1 refused (full)
std::size_t ring_free_space(const RingBuffer& ring);
int ring_get(RingBuffer& ring);  // the byte, or EOF when empty

// Copies bytes into a circular array of `capacity` bytes from `at` on,
// going on at its start past its end.
void ring_copy_in(std::uint8_t* storage, std::size_t capacity, std::size_t at,
                  const std::uint8_t* bytes, std::size_t n);

RingReader* reader_new(RingBuffer& ring);
void reader_free(RingReader* reader);
void reader_reset(RingReader& reader);
bool reader_at_end(const RingReader& reader);
int reader_next(RingReader& reader);  // the byte, or EOF at end
void reader_consume(RingReader& reader);

}  // namespace vorsk
