#include "driver/record.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>

#include "allocation.h"
#include "common.h"
#include "text/json.h"

namespace vorsk {
namespace {

constexpr std::size_t OUT_SIZE = 64 * 1024;
// Bytes are escaped a piece at a time; a piece's JSON fits the buffer.
constexpr std::size_t PIECE = 4096;
constexpr std::size_t OUT_ROOM = (PIECE + 4) * JSON_ESCAPE_GROWTH + 256;
// A typescript's bytes read but not yet handed out: a read, the look-ahead
// left before it, and the start read to tell the input.
constexpr std::size_t PENDING_SIZE = 3 * INPUT_CHUNK_SIZE + LOOKAHEAD_LIMIT;
// A fact is kept whole, as long as a reader gives it.
constexpr std::size_t FACT_SIZE = METADATA_VALUE_SIZE;
constexpr std::size_t HEADER_SIZE = 4 * FACT_SIZE * JSON_ESCAPE_GROWTH + 512;

struct Text {
    char* data = nullptr;
    std::size_t size = 0;
    std::size_t capacity = 0;
};

struct Fact {
    char value[FACT_SIZE];
    std::size_t size = 0;
    bool known = false;
};

enum HeaderFact { TERM_TYPE, SHELL, COMMAND, TITLE, N_FACTS };

// Bytes of one direction that end in the middle of a character.
struct Carry {
    std::uint8_t bytes[4];
    std::size_t size = 0;
};

}  // namespace

struct CastWriter {
    CastSettings settings;
    int fd = -1;
    Text out;
    bool failed = false;
    // The header, written with the first events.
    bool header_written = false;
    int cols = 0;
    int rows = 0;
    long long timestamp = -1;
    double idle_limit = 0.0;
    Fact facts[N_FACTS];
    // Time since the start and the last event's, in microseconds: each
    // pause is rounded to the microseconds a cast holds, so that the pauses
    // read back are the pauses given.
    long long time_us = 0;
    long long last_event_us = 0;
    bool pause_pending = false;  // a pause that no event has followed yet
    long long pending_us = 0;    // how long it was
    bool event_open = false;
    Direction open_direction = TO_TERMINAL;
    Carry carry[2];
    // The reader passed on, for a recording.
    RecordReader reader;
    // A plain stream or typescript.
    int stream_fd = -1;
    bool paced = false;
    const InputBuffer* input = nullptr;
    // Its bytes read but not yet written: pending_size of them from
    // pending_start; moved to the front only when a read needs the room.
    std::uint8_t* pending = nullptr;
    std::size_t pending_start = 0;
    std::size_t pending_size = 0;
    std::uint64_t emitted = 0;      // bytes of the stream written to the cast
    std::uint64_t event_start = 0;  // where the open event of a plain stream began
};

namespace {

void put(Text& t, std::string_view text) {
    std::memcpy(t.data + t.size, text.data(), text.size());
    t.size += text.size();
}

VORSK_PRINTF(2, 3) void put_format(Text& t, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(t.data + t.size, t.capacity - t.size, format, args);
    va_end(args);
    if (n > 0) t.size += std::min(static_cast<std::size_t>(n), t.capacity - t.size - 1);
}

// Bytes escaped for a JSON string; complete: no character is left for
// bytes to come.
void put_escaped(Text& t, const std::uint8_t* bytes, std::size_t n) {
    std::size_t taken = 0;
    t.size += json_escape(bytes, n, t.data + t.size, false, taken);
}

void put_string(Text& t, const Fact& f) {
    put(t, "\"");
    put_escaped(t, reinterpret_cast<const std::uint8_t*>(f.value), f.size);
    put(t, "\"");
}

// Seconds with microseconds, as casts write them.
void put_time(Text& t, long long us) {
    const char* sign = us < 0 ? "-" : "";
    const unsigned long long magnitude =
        us < 0 ? 0ULL - static_cast<unsigned long long>(us) : static_cast<unsigned long long>(us);
    put_format(t, "%s%llu.%06llu", sign, magnitude / 1000000, magnitude % 1000000);
}

void put_header(const CastWriter& c, Text& t) {
    const Fact* f = c.facts;
    if (c.settings.version == 3) {
        put_format(t, "{\"version\": 3, \"term\": {\"cols\": %d, \"rows\": %d", c.cols, c.rows);
        if (f[TERM_TYPE].known) {
            put(t, ", \"type\": ");
            put_string(t, f[TERM_TYPE]);
        }
        put(t, "}");
    } else {
        put_format(t, "{\"version\": 2, \"width\": %d, \"height\": %d", c.cols, c.rows);
    }
    if (c.timestamp >= 0) put_format(t, ", \"timestamp\": %lld", c.timestamp);
    if (c.idle_limit > 0.0) put_format(t, ", \"idle_time_limit\": %g", c.idle_limit);
    if (f[COMMAND].known) {
        put(t, ", \"command\": ");
        put_string(t, f[COMMAND]);
    }
    if (f[TITLE].known) {
        put(t, ", \"title\": ");
        put_string(t, f[TITLE]);
    }
    const bool term = c.settings.version == 2 && f[TERM_TYPE].known;
    if (term || f[SHELL].known) {
        put(t, ", \"env\": {");
        if (f[SHELL].known) {
            put(t, "\"SHELL\": ");
            put_string(t, f[SHELL]);
        }
        if (term) {
            put(t, f[SHELL].known ? ", \"TERM\": " : "\"TERM\": ");
            put_string(t, f[TERM_TYPE]);
        }
        put(t, "}");
    }
    put(t, "}\n");
}

void write_text(CastWriter& c, const Text& t) {
    std::size_t done = 0;
    while (!c.failed && done < t.size) {
        const ssize_t n = write(c.fd, t.data + done, t.size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            std::fprintf(stderr, "%s: %s: write error: %s\n", c.settings.program_name,
                         c.settings.path, std::strerror(n < 0 ? errno : ENOSPC));
            c.failed = true;
        }
        if (n > 0) done += static_cast<std::size_t>(n);
    }
}

// The events so far go to the file, after the header the first time: the
// facts of a recording that come after its first bytes (a typescript's
// header line) still reach the header of a cast that is converted.
void write_out(CastWriter& c) {
    if (!c.header_written) {
        char bytes[HEADER_SIZE];
        Text header{.data = bytes, .capacity = sizeof bytes};
        put_header(c, header);
        write_text(c, header);
        c.header_written = true;
    }
    write_text(c, c.out);
    c.out.size = 0;
}

// Room for what one step writes.
void make_room(CastWriter& c) {
    if (c.out.size + OUT_ROOM > c.out.capacity) write_out(c);
}

void close_event(CastWriter& c) {
    if (!c.event_open) return;
    put(c.out, "\"]\n");
    c.event_open = false;
    if (c.settings.live) write_out(c);
}

// Opens an event of this code at the time now: its data follows.
void open_event(CastWriter& c, const char* code) {
    close_event(c);
    make_room(c);
    const long long us = c.time_us;
    c.pause_pending = false;
    put(c.out, "[");
    put_time(c.out, c.settings.version == 3 ? us - c.last_event_us : us);
    put_format(c.out, ", \"%s\", \"", code);
    c.last_event_us = us;
    c.event_open = true;
}

// Bytes of one direction into the open event, a character cut short by
// their end kept for the next bytes of that direction.
void put_bytes(CastWriter& c, Direction direction, const std::uint8_t* bytes, std::size_t n) {
    Carry& carry = c.carry[direction];
    if (carry.size != 0 && n != 0) {
        // The carried start of a character, with what may end it. Its
        // continuation bytes begin no character, so what is left cut short
        // at the end is either all of it or lies in the new bytes.
        make_room(c);
        std::uint8_t joined[sizeof carry.bytes + 3];
        const std::size_t k = std::min(n, std::size_t{3});
        std::memcpy(joined, carry.bytes, carry.size);
        std::memcpy(joined + carry.size, bytes, k);
        std::size_t taken = 0;
        c.out.size += json_escape(joined, carry.size + k, c.out.data + c.out.size, true, taken);
        if (taken == 0) {
            std::memcpy(carry.bytes + carry.size, bytes, k);
            carry.size += k;
            return;
        }
        bytes += taken - carry.size;
        n -= taken - carry.size;
        carry.size = 0;
    }
    while (n != 0) {
        make_room(c);
        std::size_t taken = 0;
        c.out.size += json_escape(bytes, std::min(n, PIECE), c.out.data + c.out.size, true, taken);
        if (taken == 0) {
            // The start of a character, and nothing after it yet.
            std::memcpy(carry.bytes, bytes, n);
            carry.size = n;
            return;
        }
        bytes += taken;
        n -= taken;
    }
}

void take_bytes(CastWriter& c, Direction direction, const std::uint8_t* bytes, std::size_t n) {
    if (!c.event_open || c.open_direction != direction) {
        open_event(c, direction == TO_TERMINAL ? "o" : "i");
        c.open_direction = direction;
    }
    put_bytes(c, direction, bytes, n);
    if (c.settings.live) close_event(c);
}

// A pause that no bytes followed (of a direction not recorded, or before
// another pause) is kept as an event without data.
void empty_event(CastWriter& c) {
    open_event(c, "o");
    close_event(c);
}

void pause(CastWriter& c, double delay) {
    close_event(c);
    // A pause of no time is no loss: the facts of a script file's header,
    // each after one, still go to the cast's header.
    if (c.pause_pending && c.pending_us != 0) empty_event(c);
    c.pending_us = std::isfinite(delay) && std::fabs(delay) < 1e12 ? std::llround(delay * 1e6) : 0;
    c.time_us += c.pending_us;
    c.pause_pending = true;
}

void keep_fact(Fact& f, std::string_view value) {
    f.size = std::min(value.size(), FACT_SIZE);
    std::memcpy(f.value, value.data(), f.size);
    f.known = true;
}

// A fact of the recording: for the header while it is not written, an
// event where a cast has one for it.
void take_fact(CastWriter& c, std::string_view name, std::string_view value) {
    const char* code = nullptr;
    if (name == "Window size") code = "r";
    if (name == "Marker") code = "m";
    if (name == "Exit status" && c.settings.version == 3) code = "x";
    if (code != nullptr) {
        open_event(c, code);
        put_escaped(c.out, reinterpret_cast<const std::uint8_t*>(value.data()),
                    std::min(value.size(), PIECE));
        close_event(c);
        return;
    }
    if (c.header_written) return;
    char text[64];
    const std::size_t n = std::min(value.size(), sizeof text - 1);
    std::memcpy(text, value.data(), n);
    text[n] = '\0';
    if (name == "Terminal size") {
        int cols = 0;
        int rows = 0;
        if (std::sscanf(text, "%dx%d", &cols, &rows) == 2 && cols > 0 && rows > 0) {
            c.cols = cols;
            c.rows = rows;
        }
    } else if (name == "Terminal type") {
        keep_fact(c.facts[TERM_TYPE], value);
    } else if (name == "Shell") {
        keep_fact(c.facts[SHELL], value);
    } else if (name == "Command") {
        keep_fact(c.facts[COMMAND], value);
    } else if (name == "Title") {
        keep_fact(c.facts[TITLE], value);
    } else if (name == "Idle time limit") {
        c.idle_limit = std::strtod(text, nullptr);
    } else if (name == "Columns" || name == "Lines") {
        // A script banner's size, a part at a time.
        const int size = std::atoi(text);
        if (size > 0) (name == "Columns" ? c.cols : c.rows) = size;
    } else if (name == "Start time") {
        // As a cast's header gives it, or as script writes it ("+00:00").
        std::tm tm{};
        const char* end = strptime(text, "%Y-%m-%d %H:%M:%S", &tm);
        long long offset = 0;
        if (end != nullptr && std::strcmp(end, " UTC") != 0) {
            int hours = 0;
            int minutes = 0;
            char sign = 0;
            if (std::sscanf(end, "%c%2d:%2d", &sign, &hours, &minutes) == 3 &&
                (sign == '+' || sign == '-')) {
                offset = (sign == '-' ? -1 : 1) * (hours * 3600LL + minutes * 60LL);
            } else {
                end = nullptr;
            }
        }
        if (end != nullptr) c.timestamp = static_cast<long long>(timegm(&tm)) - offset;
    }
}

void take(CastWriter& c, const Record& r) {
    switch (r.kind) {
        case RECORD_BYTES: take_bytes(c, r.direction, r.bytes, r.size); break;
        case RECORD_PAUSE: pause(c, r.delay); break;
        case RECORD_METADATA: take_fact(c, r.name, r.value); break;
        // The timing ends: the bytes after it are an event of their own.
        case RECORD_BREAK: close_event(c); break;
        case RECORD_NONE:
        case RECORD_END: break;
    }
}

void tee_next(void* self, RecordWant want, Record& record) {
    CastWriter& c = *static_cast<CastWriter*>(self);
    c.reader.next(c.reader.self, want, record);
    take(c, record);
}

int tee_finish(void* self) {
    const CastWriter& c = *static_cast<const CastWriter*>(self);
    return c.reader.finish != nullptr ? c.reader.finish(c.reader.self) : 0;
}

// The stream's bytes handed out so far (up to `upto`) go to the cast.
void stream_emit(CastWriter& c, std::uint64_t upto) {
    if (upto <= c.emitted) return;
    const std::size_t n = std::min(static_cast<std::size_t>(upto - c.emitted), c.pending_size);
    take_bytes(c, TO_TERMINAL, c.pending + c.pending_start, n);
    c.pending_start = n == c.pending_size ? 0 : c.pending_start + n;
    c.pending_size -= n;
    c.emitted += n;
}

void stream_keep(CastWriter& c, const std::uint8_t* bytes, std::size_t n) {
    // The pending bytes never outgrow their room (see PENDING_SIZE); should
    // they, the oldest go out first.
    if (c.pending_start + c.pending_size + n > PENDING_SIZE) {
        std::memmove(c.pending, c.pending + c.pending_start, c.pending_size);
        c.pending_start = 0;
    }
    if (c.pending_size + n > PENDING_SIZE) stream_emit(c, c.emitted + c.pending_size);
    std::memcpy(c.pending + c.pending_start + c.pending_size, bytes, n);
    c.pending_size += n;
}

std::size_t stream_pull(void* arg, std::uint8_t* chunk, std::size_t capacity) {
    CastWriter& c = *static_cast<CastWriter*>(arg);
    if (c.input != nullptr) {
        const std::uint64_t consumed = c.input->consumed;
        // A plain stream has no times: its bytes go in events of a read or
        // more, each ending after a line's end, where the account's line
        // ends too; a line of over two reads is cut, to stay well below
        // the longest line a reader of casts takes.
        if (!c.paced && consumed - c.event_start >= INPUT_CHUNK_SIZE && consumed > c.emitted) {
            const std::size_t n =
                std::min(static_cast<std::size_t>(consumed - c.emitted), c.pending_size);
            const std::uint8_t* held = c.pending + c.pending_start;
            const void* newline = memrchr(held, '\n', n);
            if (newline != nullptr || consumed - c.event_start >= 2 * INPUT_CHUNK_SIZE) {
                const std::size_t line_end =
                    newline == nullptr ? n
                                       : static_cast<std::size_t>(
                                             static_cast<const std::uint8_t*>(newline) - held) +
                                             1;
                stream_emit(c, c.emitted + line_end);
                close_event(c);
                c.event_start = c.emitted;
            }
        }
        stream_emit(c, consumed);
    }
    const ssize_t got = read(c.stream_fd, chunk, capacity);
    if (got <= 0) return 0;
    stream_keep(c, chunk, static_cast<std::size_t>(got));
    return static_cast<std::size_t>(got);
}

}  // namespace

CastWriter* cast_writer_new(const CastSettings& settings) {
    auto* c = allocate_record<CastWriter>();
    if (c == nullptr) return nullptr;
    c->settings = settings;
    c->cols = settings.cols;
    c->rows = settings.rows;
    c->timestamp = settings.timestamp;
    if (settings.shell != nullptr) keep_fact(c->facts[SHELL], settings.shell);
    c->out = Text{.data = allocate_array<char>(OUT_SIZE), .capacity = OUT_SIZE};
    // Never waited for: a FIFO without a reader, or one that is full, is an
    // error of the cast, not a wait of the session.
    c->fd = open(settings.path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
    if (c->out.data == nullptr || c->fd < 0) {
        std::fprintf(stderr, "%s: couldn't open file %s: %s\n", settings.program_name,
                     settings.path, std::strerror(c->out.data == nullptr ? ENOMEM : errno));
        cast_writer_free(c);
        return nullptr;
    }
    return c;
}

RecordReader cast_writer_tee(CastWriter& c, RecordReader reader) {
    c.reader = reader;
    return RecordReader{.next = tee_next, .finish = tee_finish, .self = &c};
}

ByteSource cast_writer_stream(CastWriter& c, int fd, const std::uint8_t* first, std::size_t n,
                              bool paced) {
    c.stream_fd = fd;
    c.paced = paced;
    c.pending = allocate_array<std::uint8_t>(PENDING_SIZE);
    if (c.pending == nullptr) return ByteSource{.fd = fd};
    stream_keep(c, first, n);
    return ByteSource{.pull = stream_pull, .pull_arg = &c};
}

void cast_writer_watch(CastWriter& c, const InputBuffer& input) {
    c.input = &input;
}

void cast_writer_break(CastWriter& c) {
    if (c.input != nullptr) stream_emit(c, c.input->consumed);
    close_event(c);
}

void cast_writer_pause(CastWriter& c, double delay) {
    if (c.input != nullptr) stream_emit(c, c.input->consumed);
    pause(c, delay);
}

int cast_writer_end(CastWriter& c) {
    if (c.pending != nullptr) stream_emit(c, c.emitted + c.pending_size);
    // What is left of a character cut short is no character.
    for (const Direction d : {TO_TERMINAL, FROM_TERMINAL}) {
        Carry& carry = c.carry[d];
        if (carry.size == 0) continue;
        if (!c.event_open || c.open_direction != d) {
            open_event(c, d == TO_TERMINAL ? "o" : "i");
            c.open_direction = d;
        }
        put_escaped(c.out, carry.bytes, carry.size);
        carry.size = 0;
    }
    close_event(c);
    if (c.pause_pending && c.pending_us != 0) empty_event(c);
    write_out(c);
    if (c.fd >= 0 && close(c.fd) != 0 && !c.failed) {
        std::fprintf(stderr, "%s: %s: write error: %s\n", c.settings.program_name, c.settings.path,
                     std::strerror(errno));
        c.failed = true;
    }
    c.fd = -1;
    return c.failed ? 1 : 0;
}

void cast_writer_free(CastWriter* c) {
    if (c == nullptr) return;
    if (c->fd >= 0) close(c->fd);
    std::free(c->out.data);
    std::free(c->pending);
    release_record(c);
}

}  // namespace vorsk
