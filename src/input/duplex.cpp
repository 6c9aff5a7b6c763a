#include <cstdlib>
#include <cstring>

#include "allocation.h"
#include "input/recording.h"
#include "input/ring_buffer.h"

namespace vorsk {
namespace {

// The bytes of one direction that were read from the recording and not yet
// handed to its input buffer.
inline constexpr std::size_t BYTE_QUEUE_SIZE = 64 * 1024;
// The records read and not yet handed out as events.
inline constexpr std::size_t EVENT_QUEUE_SIZE = 1024;
inline constexpr int METADATA_SLOTS = 16;

struct ByteQueue {
    std::uint8_t* data = nullptr;
    std::size_t head = 0;  // the oldest byte
    std::size_t size = 0;
};

struct QueuedEvent {
    RecordKind kind = RECORD_NONE;  // RECORD_NONE: handed out while others waited
    Direction direction = TO_TERMINAL;
    std::int8_t slot = -1;  // RECORD_METADATA: where its value is kept
    std::uint32_t count = 0;
    double delay = 0.0;
};

struct MetadataSlot {
    std::string_view name;
    std::size_t size = 0;
    char value[METADATA_VALUE_SIZE];
};

}  // namespace

struct Duplex {
    RecordReader reader;
    InputBuffer* inputs[2] = {};
    ByteQueue bytes[2];
    QueuedEvent events[EVENT_QUEUE_SIZE];
    std::size_t first = 0;  // the oldest queued event
    std::size_t queued = 0;
    MetadataSlot slots[METADATA_SLOTS];
    std::uint32_t free_slots = (1u << METADATA_SLOTS) - 1;
    int shown_slot = -1;  // the slot of the metadata event handed out last
    // The bytes of each direction that the records handed out so far gave,
    // and that its input buffer has taken.
    std::uint64_t due[2] = {};
    std::uint64_t pulled[2] = {};
    Direction current = TO_TERMINAL;
    bool ended = false;
    bool holding = false;
};

namespace {

std::size_t queue_room(const ByteQueue& q) {
    return BYTE_QUEUE_SIZE - q.size;
}

void queue_put(ByteQueue& q, const std::uint8_t* bytes, std::size_t n) {
    ring_copy_in(q.data, BYTE_QUEUE_SIZE, (q.head + q.size) % BYTE_QUEUE_SIZE, bytes, n);
    q.size += n;
}

std::size_t queue_take(ByteQueue& q, std::uint8_t* out, std::size_t capacity) {
    std::size_t n = std::min(capacity, q.size);
    const std::size_t taken = n;
    while (n != 0) {
        const std::size_t k = std::min(n, BYTE_QUEUE_SIZE - q.head);
        std::memcpy(out, q.data + q.head, k);
        out += k;
        n -= k;
        q.head = (q.head + k) % BYTE_QUEUE_SIZE;
        q.size -= k;
    }
    return taken;
}

QueuedEvent& event_at(Duplex& x, std::size_t i) {
    return x.events[(x.first + i) % EVENT_QUEUE_SIZE];
}

// Room for whatever the next record is.
bool has_room(const Duplex& x) {
    return x.queued < EVENT_QUEUE_SIZE && x.free_slots != 0 &&
           queue_room(x.bytes[TO_TERMINAL]) >= RECORD_PIECE_SIZE &&
           queue_room(x.bytes[FROM_TERMINAL]) >= RECORD_PIECE_SIZE;
}

void push_event(Duplex& x, const QueuedEvent& e) {
    event_at(x, x.queued) = e;
    ++x.queued;
}

void push_bytes(Duplex& x, const Record& r) {
    const std::size_t n = std::min(r.size, RECORD_PIECE_SIZE);
    if (n == 0) return;
    queue_put(x.bytes[r.direction], r.bytes, n);
    // The pieces of one record, and records of one direction with no pause
    // between them, make one event.
    if (x.queued != 0) {
        QueuedEvent& last = event_at(x, x.queued - 1);
        if (last.kind == RECORD_BYTES && last.direction == r.direction) {
            last.count += static_cast<std::uint32_t>(n);
            return;
        }
    }
    push_event(x, QueuedEvent{.kind = RECORD_BYTES,
                              .direction = r.direction,
                              .count = static_cast<std::uint32_t>(n)});
}

void push_metadata(Duplex& x, const Record& r) {
    const int slot = __builtin_ctz(x.free_slots);
    x.free_slots &= ~(1u << slot);
    MetadataSlot& s = x.slots[slot];
    s.name = r.name;
    s.size = std::min(r.value.size(), METADATA_VALUE_SIZE);
    std::memcpy(s.value, r.value.data(), s.size);
    push_event(x, QueuedEvent{.kind = RECORD_METADATA, .slot = static_cast<std::int8_t>(slot)});
}

// Reads one record into the queues. False when none came: the end of the
// recording, nothing now from a live one, or no room.
bool fill(Duplex& x, RecordWant want) {
    if (x.ended || !has_room(x)) return false;
    Record r;
    x.reader.next(x.reader.self, want, r);
    switch (r.kind) {
        case RECORD_BYTES: push_bytes(x, r); return true;
        case RECORD_PAUSE:
            push_event(x, QueuedEvent{.kind = RECORD_PAUSE, .delay = r.delay});
            return true;
        case RECORD_METADATA: push_metadata(x, r); return true;
        case RECORD_BREAK: push_event(x, QueuedEvent{.kind = RECORD_BREAK}); return true;
        case RECORD_NONE: return false;
        case RECORD_END: x.ended = true; return false;
    }
    return false;
}

// The input buffer of a direction reads its bytes here: what is queued, or
// else the records up to the next bytes of that direction.
//
// Output is one stream, as a terminal sees it: a sequence split across two
// records is one sequence. Typed input is read a record at a time: what a
// terminal sends for one key comes in one piece, and a program that reads
// keys takes an ESC that a pause follows as a key of its own.
std::size_t pull(Duplex& x, Direction d, std::uint8_t* chunk, std::size_t capacity) {
    if (d == FROM_TERMINAL) {
        const std::uint64_t left = x.due[d] - x.pulled[d];
        if (left < capacity) capacity = static_cast<std::size_t>(left);
        if (capacity == 0) return 0;
    }
    while (x.bytes[d].size == 0) {
        if (!fill(x, WANT_TO_TERMINAL)) return 0;
    }
    const std::size_t n = queue_take(x.bytes[d], chunk, capacity);
    x.pulled[d] += n;
    return n;
}

std::size_t pull_to_terminal(void* arg, std::uint8_t* chunk, std::size_t capacity) {
    return pull(*static_cast<Duplex*>(arg), TO_TERMINAL, chunk, capacity);
}

std::size_t pull_from_terminal(void* arg, std::uint8_t* chunk, std::size_t capacity) {
    return pull(*static_cast<Duplex*>(arg), FROM_TERMINAL, chunk, capacity);
}

// While a string of the current direction is open, only its own bytes,
// pauses and breaks are handed out; the rest waits in the queue.
bool may_go_first(const Duplex& x, const QueuedEvent& e) {
    return e.kind == RECORD_PAUSE || e.kind == RECORD_BREAK ||
           (e.kind == RECORD_BYTES && e.direction == x.current);
}

void drop_handed_out(Duplex& x) {
    while (x.queued != 0 && x.events[x.first].kind == RECORD_NONE) {
        x.first = (x.first + 1) % EVENT_QUEUE_SIZE;
        --x.queued;
    }
}

// The next event to hand out, reading records as needed. Holding, the
// first that may go before the others that wait; when none may and no
// more can be read, the hold gives way.
bool next_queued(Duplex& x, QueuedEvent& out) {
    drop_handed_out(x);
    std::size_t i = 0;
    for (;;) {
        if (i == x.queued) {
            if (fill(x, WANT_ANY)) continue;
            if (!x.holding) return false;
            x.holding = false;
            i = 0;
            continue;
        }
        QueuedEvent& e = event_at(x, i);
        if (e.kind == RECORD_NONE || (x.holding && !may_go_first(x, e))) {
            ++i;
            continue;
        }
        out = e;
        e.kind = RECORD_NONE;
        return true;
    }
}

}  // namespace

bool duplex_source(Source& source, RecordReader reader) {
    auto* x = allocate_record<Duplex>();
    if (x == nullptr) return false;
    x->reader = reader;
    for (ByteQueue& q : x->bytes) q.data = allocate_array<std::uint8_t>(BYTE_QUEUE_SIZE);
    x->inputs[TO_TERMINAL] =
        input_new(ByteSource{.pull = pull_to_terminal, .pull_arg = x}, LOOKAHEAD_LIMIT);
    x->inputs[FROM_TERMINAL] =
        input_new(ByteSource{.pull = pull_from_terminal, .pull_arg = x}, LOOKAHEAD_LIMIT);
    if (x->bytes[0].data == nullptr || x->bytes[1].data == nullptr || x->inputs[0] == nullptr ||
        x->inputs[1] == nullptr) {
        return false;  // start-up gives up; the process ends
    }
    source = Source{.kind = DUPLEX_SOURCE, .input = x->inputs[TO_TERMINAL], .duplex = x};
    return true;
}

void duplex_free(Source& source) {
    Duplex* x = source.duplex;
    if (x == nullptr) return;
    for (InputBuffer* in : x->inputs) input_free(in);
    for (ByteQueue& q : x->bytes) std::free(q.data);
    release_record(x);
    source = Source{};
}

InputBuffer* duplex_input(const Source& source, Direction direction) {
    return source.duplex->inputs[direction];
}

std::string_view duplex_metadata_name(const Source& source) {
    const Duplex& x = *source.duplex;
    return x.shown_slot < 0 ? std::string_view{} : x.slots[x.shown_slot].name;
}

std::string_view duplex_metadata_value(const Source& source) {
    const Duplex& x = *source.duplex;
    if (x.shown_slot < 0) return {};
    const MetadataSlot& s = x.slots[x.shown_slot];
    return {s.value, s.size};
}

void duplex_hold(Source& source, bool hold) {
    source.duplex->holding = hold;
}

Event duplex_next(Source& source) {
    Duplex& x = *source.duplex;
    if (x.shown_slot >= 0) {
        x.free_slots |= 1u << x.shown_slot;
        x.shown_slot = -1;
    }
    for (;;) {
        InputBuffer& in = *x.inputs[x.current];
        if (input_consumed(in) < x.due[x.current]) {
            const int c = input_get(in);
            if (c == EOF) return Event{};
            return Event{.kind = EVENT_BYTE, .direction = x.current, .byte = c};
        }
        QueuedEvent e;
        if (!next_queued(x, e)) return Event{};
        switch (e.kind) {
            case RECORD_BYTES:
                x.due[e.direction] += e.count;
                x.current = e.direction;
                source.input = x.inputs[x.current];
                continue;
            case RECORD_PAUSE: return Event{.kind = EVENT_PAUSE, .delay = e.delay};
            case RECORD_METADATA: x.shown_slot = e.slot; return Event{.kind = EVENT_METADATA};
            case RECORD_BREAK: return Event{.kind = EVENT_BREAK};
            case RECORD_NONE:
            case RECORD_END: break;
        }
    }
}

std::size_t duplex_run_limit(const Source& source) {
    const Duplex& x = *source.duplex;
    const std::uint64_t consumed = input_consumed(*x.inputs[x.current]);
    return x.due[x.current] > consumed ? x.due[x.current] - consumed : 0;
}

}  // namespace vorsk
