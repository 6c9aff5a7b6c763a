#include "input/ring_buffer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "allocation.h"

namespace vorsk {
namespace {

std::size_t advance(const RingBuffer& ring, std::size_t pos) {
    return pos + 1 == ring.capacity ? 0 : pos + 1;
}

}  // namespace

void ring_copy_in(std::uint8_t* storage, std::size_t capacity, std::size_t at,
                  const std::uint8_t* bytes, std::size_t n) {
    while (n != 0) {
        const std::size_t k = std::min(n, capacity - at);
        std::memcpy(storage + at, bytes, k);
        bytes += k;
        n -= k;
        at = 0;
    }
}

RingBuffer* ring_new(std::size_t capacity) {
    auto* storage = allocate_array<std::uint8_t>(capacity);
    if (storage == nullptr) return nullptr;
    auto* ring = allocate_record<RingBuffer>();
    if (ring == nullptr) {
        std::free(storage);
        return nullptr;
    }
    ring->capacity = capacity;
    ring->storage = storage;
    return ring;
}

void ring_free(RingBuffer* ring) {
    if (ring == nullptr) return;
    std::free(ring->storage);
    release_record(ring);
}

int ring_put(RingBuffer& ring, std::uint8_t byte) {
    if (ring.full) return 1;
    ring.storage[ring.write_pos] = byte;
    ring.write_pos = advance(ring, ring.write_pos);
    if (ring.write_pos == ring.read_pos) ring.full = 1;
    return 0;
}

std::size_t ring_free_space(const RingBuffer& ring) {
    if (ring.full) return 0;
    if (ring.write_pos < ring.read_pos) return ring.read_pos - ring.write_pos;
    return ring.capacity - (ring.write_pos - ring.read_pos);
}

int ring_get(RingBuffer& ring) {
    if (ring_is_empty(ring)) return EOF;
    ring.full = 0;
    const int byte = ring.storage[ring.read_pos];
    ring.read_pos = advance(ring, ring.read_pos);
    return byte;
}

RingReader* reader_new(RingBuffer& ring) {
    auto* reader = allocate_record<RingReader>();
    if (reader == nullptr) return nullptr;
    reader->ring = &ring;
    reader_reset(*reader);
    return reader;
}

void reader_free(RingReader* reader) {
    release_record(reader);
}

void reader_reset(RingReader& reader) {
    reader.pos = ring_is_empty(*reader.ring) ? READER_AT_END : reader.ring->read_pos;
}

bool reader_at_end(const RingReader& reader) {
    return reader.pos == READER_AT_END;
}

int reader_next(RingReader& reader) {
    if (reader_at_end(reader)) return EOF;
    const RingBuffer& ring = *reader.ring;
    const int byte = ring.storage[reader.pos];
    reader.pos = advance(ring, reader.pos);
    // Bytes put into the ring later lie behind a reader at end, not ahead.
    if (reader.pos == ring.write_pos) reader.pos = READER_AT_END;
    return byte;
}

void reader_consume(RingReader& reader) {
    RingBuffer& ring = *reader.ring;
    if (reader_at_end(reader)) {
        ring.read_pos = ring.write_pos;
        ring.full = 0;
    } else if (reader.pos != ring.read_pos) {
        ring.read_pos = reader.pos;
        ring.full = 0;
    }
}

}  // namespace vorsk
