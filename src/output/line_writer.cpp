#include "output/line_writer.h"

#include <limits.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "allocation.h"
#include "output/format.h"

namespace vorsk {
namespace {

// A formatted piece that fits here is formatted once; a longer one is
// measured first and then formatted straight into the buffer.
constexpr std::size_t PIECE_BUFFER_SIZE = 256;

// A failed write goes to the callback with the error number it left; the
// writer then carries on as if it had succeeded.
void report_failure(LineWriter& w, int error_number) {
    if (w.error_callback != nullptr) w.error_callback(error_number, w.error_arg);
}

bool append_to_memory(MemorySink& m, const char* bytes, std::size_t n) {
    if (n > m.capacity - m.size) {
        std::size_t capacity = m.capacity == 0 ? 4096 : m.capacity;
        while (capacity - m.size < n) capacity *= 2;
        auto* data = static_cast<char*>(std::realloc(m.data, capacity));
        if (data == nullptr) return false;
        m.data = data;
        m.capacity = capacity;
    }
    std::memcpy(m.data + m.size, bytes, n);
    m.size += n;
    return true;
}

void write_through(LineWriter& w, const char* bytes, std::size_t n) {
    if (n == 0) return;
    if (w.sink.filter.feed != nullptr) {
        w.sink.filter.feed(w.sink.filter.arg, bytes, n);
        return;
    }
    writer_sink_write(w, bytes, n);
}

}  // namespace

volatile std::sig_atomic_t sink_write_waiting = 0;
volatile std::sig_atomic_t sink_end_signal = 0;

void writer_sink_write(LineWriter& w, const char* bytes, std::size_t n) {
    if (w.sink.memory != nullptr) {
        if (!append_to_memory(*w.sink.memory, bytes, n)) report_failure(w, ENOMEM);
        return;
    }
    if (w.sink.take != nullptr) {
        w.sink.take(w.sink.take_arg, bytes, n);
        return;
    }
    while (n != 0) {
        errno = 0;
        std::size_t size = n;
        sink_write_waiting = 1;
        if (sink_end_signal != 0) {
            pollfd p{w.sink.fd, POLLOUT, 0};
            if (poll(&p, 1, 0) <= 0) raise(sink_end_signal);
            size = std::min<std::size_t>(n, PIPE_BUF);  // what a ready pipe takes at once
        }
        const ssize_t done = write(w.sink.fd, bytes, size);
        sink_write_waiting = 0;
        if (done < 0 && errno == EINTR) continue;  // a caught signal is acted on later
        if (done <= 0) {
            report_failure(w, errno);
            return;
        }
        bytes += done;
        n -= static_cast<std::size_t>(done);
    }
}

namespace {

void drain(LineWriter& w);

// While output is held back: what comes before it goes out and it moves to
// the start of the buffer; once it fills half the buffer the observer
// decides on it (keeps it, drops it, or reads it and lets it go).
void drain_held(LineWriter& w) {
    const std::size_t before = w.held_from;
    w.handed += before;
    write_through(w, w.buffer, before);
    std::memmove(w.buffer, w.buffer + before, w.buffered - before);
    w.buffered -= before;
    w.held_from = 0;
    if (w.buffered < WRITER_BUFFER_SIZE / 2) return;
    if (w.observer.tell != nullptr) w.observer.tell(w.observer.arg, HOLD_FULL, N_LINE_KINDS, {});
    if (w.held_from == NOT_HELD) drain(w);
}

void drain(LineWriter& w) {
    if (w.held_from != NOT_HELD) {
        drain_held(w);
        return;
    }
    const std::size_t n = w.buffered;
    w.buffered = 0;
    w.handed += n;
    write_through(w, w.buffer, n);
}

void emit_byte(LineWriter& w, int c) {
    if (w.buffered == WRITER_BUFFER_SIZE) drain(w);
    w.buffer[w.buffered++] = static_cast<char>(c);
}

void emit_bytes(LineWriter& w, const char* bytes, std::size_t n) {
    if (n == 0) return;  // an empty colour has no text at all
    if (n <= WRITER_BUFFER_SIZE - w.buffered) {
        std::memcpy(w.buffer + w.buffered, bytes, n);
        w.buffered += n;
        return;
    }
    drain(w);
    // Held output stays in the buffer: a piece goes after it.
    if (n <= WRITER_BUFFER_SIZE - w.buffered) {
        std::memcpy(w.buffer + w.buffered, bytes, n);
        w.buffered += n;
        return;
    }
    w.handed += n;
    write_through(w, bytes, n);
}

void emit_view(LineWriter& w, std::string_view s) {
    emit_bytes(w, s.data(), s.size());
}

// A formatted text straight into the buffer.
VORSK_PRINTF(2, 0) void emit_formatted(LineWriter& w, const char* format, std::va_list args) {
    std::size_t space = WRITER_BUFFER_SIZE - w.buffered;
    std::va_list simple;
    va_copy(simple, args);
    const long quick = format_simple(w.buffer + w.buffered, space, format, simple);
    va_end(simple);
    if (quick >= 0) {
        w.buffered += static_cast<std::size_t>(quick);
        return;
    }
    std::va_list again;
    va_copy(again, args);
    int n = std::vsnprintf(w.buffer + w.buffered, space, format, args);
    if (n >= 0 && static_cast<std::size_t>(n) >= space) {
        drain(w);
        space = WRITER_BUFFER_SIZE - w.buffered;
        if (static_cast<std::size_t>(n) < space) {
            n = std::vsnprintf(w.buffer + w.buffered, space, format, again);
        } else {
            // Longer than the buffer, which no piece of the account is: a
            // buffer of its own, written at once.
            const auto size = static_cast<std::size_t>(n) + 1;
            if (char* piece = static_cast<char*>(std::malloc(size))) {
                std::vsnprintf(piece, size, format, again);
                write_through(w, piece, size - 1);
                std::free(piece);
            } else {
                report_failure(w, ENOMEM);
            }
            n = -1;
        }
    }
    if (n > 0) w.buffered += static_cast<std::size_t>(n);
    va_end(again);
}

// ESC "[" text "m"; with an empty text this is the reset escape.
void emit_sgr_text(LineWriter& w, const char* text, std::uint32_t len) {
    if (len + 3 <= WRITER_BUFFER_SIZE - w.buffered) {
        char* out = w.buffer + w.buffered;
        out[0] = '\x1b';
        out[1] = '[';
        out = plain_output::put_any(out + 2, {text, len});
        *out++ = 'm';
        w.buffered = static_cast<std::size_t>(out - w.buffer);
        return;
    }
    emit_bytes(w, "\x1b[", 2);
    emit_bytes(w, text, len);
    emit_byte(w, 'm');
}

void emit_reset(LineWriter& w) {
    if (w.config.colors) emit_sgr_text(w, "", 0);
}

void emit_sgr(LineWriter& w, ColorKey key) {
    if (!w.config.colors || key == NO_COLOR) return;
    const ColorValue& color = w.config.palette.colors[key];
    emit_sgr_text(w, color.text, color.len);
}

// The marks of the open line, in their own colour when it has one.
void emit_decor_sgr(LineWriter& w) {
    if (w.decor_colored) emit_sgr(w, w.line->decor);
}

// The input mark, in its own colour, at the start of each row of input.
void emit_row_mark(LineWriter& w) {
    if (!w.input) return;
    emit_sgr(w, INPUT_MARK_COLOR);
    emit_view(w, INPUT_MARK);
    emit_reset(w);
}

bool decorated(const LineWriter& w) {
    return !w.line->wrap_end.empty();
}

using plain_output::fits_row;

}  // namespace

static void wrap_row(LineWriter& w, std::size_t n);

void memory_sink_release(MemorySink& sink) {
    std::free(sink.data);
    sink = MemorySink{};
}

LineWriter* writer_new(Sink sink, const OutputConfig& config) {
    auto* w = allocate_record<LineWriter>();
    if (w == nullptr) return nullptr;
    w->sink = sink;
    w->config = config;
    w->plain_end = config.colors || config.general_paths_only ? 0 : WRITER_BUFFER_SIZE;
    w->line = &line_kind(CONTROL_LINE);
    w->buffer = allocate_array<char>(WRITER_BUFFER_SIZE);
    if (w->buffer == nullptr) {
        release_record(w);
        return nullptr;
    }
    return w;
}

void writer_flush(LineWriter& w) {
    if (w.observer.tell != nullptr) w.observer.tell(w.observer.arg, FLUSH, N_LINE_KINDS, {});
    drain(w);
}

void writer_tell(LineWriter& w, LineEvent event, LineKind kind) {
    if (w.observer.tell != nullptr) w.observer.tell(w.observer.arg, event, kind, {});
}

void writer_end(LineWriter& w) {
    drain(w);
    if (w.sink.filter.end != nullptr) w.sink.filter.end(w.sink.filter.arg);
}

void writer_set_error_handler(LineWriter& w, WriterErrorCallback callback, void* arg) {
    w.error_callback = callback;
    w.error_arg = arg;
}

void writer_free(LineWriter* w) {
    if (w == nullptr) return;
    drain(*w);  // what is still buffered is not lost with the record
    std::free(w->buffer);
    release_record(w);
}

void writer_start_general(LineWriter& w, LineKind kind) {
    if (w.observer.tell != nullptr) w.observer.tell(w.observer.arg, LINE_BEGINS, kind, {});
    if (!writer_shows(w, kind)) {
        w.suppressed = true;
        return;
    }
    w.suppressed = false;
    const LineKindInfo& line = line_kind(kind);
    // An empty decoration colour means an uncoloured decoration.
    w.decor_colored = line.decor != NO_COLOR && w.config.palette.colors[line.decor].len != 0;
    if (w.column != 0) emit_byte(w, '\n');
    emit_row_mark(w);
    w.line = &line;
    w.column = line.start.size();

    if (decorated(w)) {
        emit_decor_sgr(w);
        emit_view(w, line.start);
        if (w.decor_colored) emit_reset(w);
        emit_sgr(w, line.color);
    } else {
        emit_sgr(w, line.color);
        emit_view(w, line.start);
    }
}

void writer_finish_general(LineWriter& w, std::string_view tail) {
    if (w.suppressed) {
        w.suppressed = false;
        return;
    }
    if (w.column == 0) return;
    w.column = 0;
    emit_reset(w);
    const bool decor = decorated(w) && w.decor_colored;
    if (decor) emit_decor_sgr(w);
    emit_view(w, tail);
    if (decor) emit_reset(w);
    emit_byte(w, '\n');
}

bool writer_line(LineWriter& w, LineKind kind, std::string_view text, std::string_view tail) {
    if (!writer_shows(w, kind)) {
        writer_tell(w, LINE_BEGINS, kind);
        return true;
    }
    const LineKindInfo& line = line_kind(kind);
    const std::size_t first = line.start.size();
    if (first + text.size() > w.width || first + line.wrap_end.size() == w.width) return false;
    const std::size_t size = 1 + first + text.size() + tail.size() + 1;
    if (char* out = plain_output::room(w, size)) {
        if (w.column != 0) *out++ = '\n';
        out = plain_output::put(out, line.start);
        out = plain_output::put(out, text);
        out = plain_output::put(out, tail);
        *out++ = '\n';
        plain_output::done(w, out);
        w.suppressed = false;
        w.line = &line;
        w.decor_colored = false;
        w.column = 0;
        return true;
    }
    writer_start(w, kind);
    writer_putn(w, text.data(), text.size());
    writer_finish(w, tail);
    return true;
}

void writer_reserve(LineWriter& w, std::size_t n) {
    if (w.suppressed) return;
    if (fits_row(w, n)) {
        w.column += n;
        return;
    }
    wrap_row(w, n);
}

// Ends the row with its wrap mark and begins the next, where a piece of n
// columns goes.
static void wrap_row(LineWriter& w, std::size_t n) {
    const LineKindInfo& line = *w.line;
    if (decorated(w)) {
        emit_reset(w);
        emit_decor_sgr(w);
        emit_view(w, line.wrap_end);
        emit_byte(w, '\n');
        if (w.input) {
            if (w.decor_colored) emit_reset(w);
            emit_row_mark(w);
            emit_decor_sgr(w);
        }
        emit_view(w, line.wrap_begin);
        if (w.decor_colored) emit_reset(w);
        emit_sgr(w, line.color);
    } else {
        emit_reset(w);
        emit_byte(w, '\n');
        emit_row_mark(w);
        emit_sgr(w, line.color);
        emit_view(w, line.wrap_begin);
    }
    w.column = n + line.wrap_begin.size();
}

void writer_break_row(LineWriter& w, std::string_view mark) {
    if (w.suppressed || w.column == 0) return;
    wrap_row(w, mark.size());
    emit_view(w, mark);
}

void writer_putc(LineWriter& w, int c) {
    if (w.suppressed) return;
    writer_reserve(w, 1);
    emit_byte(w, c);
}

void writer_put_run(LineWriter& w, const char* bytes, std::size_t n) {
    if (w.suppressed) return;
    const std::size_t wrap_end_len = w.line->wrap_end.size();
    while (n != 0) {
        // How many one-column pieces the row takes before writer_reserve
        // would wrap: up to column 78, and for a decorated row up to where
        // exactly wrap_end columns are left.
        std::size_t room = w.column < w.width ? w.width - w.column : 0;
        const std::size_t wrap_at = w.width - wrap_end_len;
        if (wrap_end_len != 0 && w.column <= wrap_at) room = wrap_at - w.column;
        if (n <= room) {
            if (char* out = plain_output::room(w, n)) {
                plain_output::done(w, plain_output::put(out, {bytes, n}));
                w.column += n;
                return;
            }
        }
        if (room == 0) {
            writer_putc(w, static_cast<unsigned char>(*bytes));
            ++bytes;
            --n;
            continue;
        }
        const std::size_t k = n < room ? n : room;
        emit_bytes(w, bytes, k);
        w.column += k;
        bytes += k;
        n -= k;
    }
}

void writer_puts(LineWriter& w, const char* s) {
    writer_putn(w, s, std::strlen(s));
}

void writer_putn_general(LineWriter& w, const char* bytes, std::size_t n) {
    if (w.observer.tell != nullptr)
        w.observer.tell(w.observer.arg, CONTROL_PIECE, CONTROL_LINE, {bytes, n});
    if (w.suppressed) return;
    writer_reserve(w, n);
    emit_bytes(w, bytes, n);
}

void writer_put_piece(LineWriter& w, const char* bytes, std::size_t n, std::size_t width) {
    if (w.suppressed) return;
    // A wide piece must leave room for the wrap mark, as a one-column
    // piece does by wrapping when exactly that room is left.
    const std::size_t wrap_end = w.line->wrap_end.size();
    if (width > 1 && wrap_end != 0 && w.column + width + wrap_end > w.width) {
        wrap_row(w, width);
    } else if (fits_row(w, width)) {
        if (char* out = plain_output::room(w, n)) {
            plain_output::done(w, plain_output::put(out, {bytes, n}));
            w.column += width;
            return;
        }
        w.column += width;
    } else {
        wrap_row(w, width);
    }
    emit_bytes(w, bytes, n);
}

std::size_t writer_row_room(const LineWriter& w) {
    if (w.suppressed) return 0;
    // As writer_put_run counts one-column pieces; a wide piece that fits
    // there leaves room for the wrap mark too.
    const std::size_t wrap_end_len = w.line->wrap_end.size();
    std::size_t room = w.column < w.width ? w.width - w.column : 0;
    const std::size_t wrap_at = w.width - wrap_end_len;
    if (wrap_end_len != 0 && w.column <= wrap_at) room = wrap_at - w.column;
    return room;
}

void writer_put_fitting(LineWriter& w, const char* bytes, std::size_t n, std::size_t columns) {
    if (w.suppressed) return;
    if (char* out = plain_output::room(w, n)) {
        plain_output::done(w, plain_output::put(out, {bytes, n}));
    } else {
        emit_bytes(w, bytes, n);
    }
    w.column += columns;
}

void writer_join(LineWriter& w, const char* bytes, std::size_t n, std::size_t width) {
    if (w.suppressed) return;
    emit_bytes(w, bytes, n);
    w.column += width;
}

void writer_printf(LineWriter& w, const char* format, ...) {
    if (w.suppressed) return;
    char piece[PIECE_BUFFER_SIZE];
    std::va_list args;
    va_start(args, format);
    std::va_list again;
    va_copy(again, args);
    long n = format_simple(piece, sizeof piece, format, args);
    va_end(args);
    if (n < 0) {
        std::va_list measure;
        va_copy(measure, again);
        n = std::vsnprintf(piece, sizeof piece, format, measure);
        va_end(measure);
    }
    if (n < 0) {
        va_end(again);
        return;
    }
    writer_reserve(w, static_cast<std::size_t>(n));
    if (static_cast<std::size_t>(n) < sizeof piece) {
        emit_bytes(w, piece, static_cast<std::size_t>(n));
    } else {
        emit_formatted(w, format, again);
    }
    va_end(again);
}

// The start of a one-line record: the open line ended, the row mark, the
// colour and the prefix.
static void begin_record(LineWriter& w, const LineKindInfo& record) {
    if (w.column != 0) {
        emit_reset(w);
        emit_byte(w, '\n');
    }
    emit_row_mark(w);
    emit_sgr(w, record.color);
    emit_view(w, record.prefix);
}

static void end_record(LineWriter& w) {
    w.column = 0;
    emit_reset(w);
    emit_byte(w, '\n');
}

const char* writer_output_since(const LineWriter& w, std::uint64_t offset, bool was_open,
                                std::size_t* n) {
    if (w.column != 0 || offset < w.handed || !writer_replayable(w)) return nullptr;
    const char* bytes = w.buffer + (offset - w.handed);
    *n = static_cast<std::size_t>(writer_offset(w) - offset);
    if (was_open && *n != 0) {
        if (*bytes != '\n') return nullptr;
        ++bytes;
        --*n;
    }
    return bytes;
}

void writer_replay_general(LineWriter& w, const char* bytes, std::size_t n) {
    if (w.observer.tell != nullptr) {
        w.observer.tell(w.observer.arg, REPLAY, ESCAPE_LINE, {bytes, n});
        // The observer knows what they say already.
        if (w.replay_known) {
            w.column = 0;
            w.suppressed = false;
            return;
        }
    }
    if (n == 0) return;
    if (w.column != 0) emit_byte(w, '\n');
    emit_bytes(w, bytes, n);
    w.column = 0;
    w.suppressed = false;
}

void writer_raw(LineWriter& w, const char* bytes, std::size_t n) {
    emit_bytes(w, bytes, n);
}

// A description longer than a row, in rows of the width: each row breaks
// at its last blank, which is left out; a word longer than a row breaks
// where the row ends, with "-" at the end of the row and at the start of the
// next. The rows after the first begin with two blanks.
VORSK_PRINTF(2, 0)
static void write_wrapped_description(LineWriter& w, const char* format, std::va_list args) {
    char text[2048];
    const int length = std::vsnprintf(text, sizeof text, format, args);
    if (length < 0) return;
    std::string_view rest{text, std::min(static_cast<std::size_t>(length), sizeof text - 1)};
    const LineKindInfo& record = line_kind(DESCRIPTION_LINE);
    constexpr std::string_view continued = "\"  ";
    begin_record(w, record);
    std::size_t used = record.prefix.size();
    while (used + rest.size() > w.width) {
        const std::size_t room = w.width - used;
        const std::size_t blank = rest.rfind(' ', room);
        bool broken = false;
        if (blank != std::string_view::npos && blank != 0) {
            emit_view(w, rest.substr(0, blank));
            rest.remove_prefix(blank + 1);
        } else {
            // Not inside a UTF-8 character.
            std::size_t end = room - 1;
            while (end > 1 && (static_cast<unsigned char>(rest[end]) & 0xC0) == 0x80) --end;
            emit_view(w, rest.substr(0, end));
            emit_byte(w, '-');
            rest.remove_prefix(end);
            broken = true;
        }
        end_record(w);
        emit_row_mark(w);
        emit_sgr(w, record.color);
        emit_view(w, continued);
        used = continued.size();
        if (broken) {
            emit_byte(w, '-');
            ++used;
        }
    }
    emit_view(w, rest);
    end_record(w);
}

void writer_single(LineWriter& w, LineKind kind, const char* format, std::va_list args) {
    if (w.observer.tell != nullptr) w.observer.tell(w.observer.arg, LINE_BEGINS, kind, {});
    if (!writer_shows(w, kind)) return;
    if (kind == DESCRIPTION_LINE && w.wrap_descriptions) {
        write_wrapped_description(w, format, args);
        return;
    }
    begin_record(w, line_kind(kind));
    emit_formatted(w, format, args);
    end_record(w);
}

// A coloured record after a closed line, outside the input: the whole
// row, its colour and the reset in one reservation; false, with nothing
// written, where the buffer lacks the room.
bool writer_record_colored(LineWriter& w, LineKind kind, const std::string_view* pieces,
                           std::size_t n) {
    if (w.input || w.config.general_paths_only) return false;
    const LineKindInfo& record = line_kind(kind);
    const ColorValue color =
        record.color != NO_COLOR ? w.config.palette.colors[record.color] : ColorValue{};
    std::size_t size =
        (record.color != NO_COLOR ? 3 + color.len : 0) + record.prefix.size() + 3 + 1;
    for (std::size_t i = 0; i < n; ++i) size += pieces[i].size();
    if (size > WRITER_BUFFER_SIZE - w.buffered) return false;
    char* out = w.buffer + w.buffered;
    if (record.color != NO_COLOR) {
        out = plain_output::put(out, "\x1b[");
        out = plain_output::put_any(out, {color.text, color.len});
        *out++ = 'm';
    }
    out = plain_output::put_any(out, record.prefix);
    for (std::size_t i = 0; i < n; ++i) out = plain_output::put_any(out, pieces[i]);
    out = plain_output::put(out, "\x1b[m\n");
    w.buffered = static_cast<std::size_t>(out - w.buffer);
    return true;
}

void writer_record_general(LineWriter& w, LineKind kind, const std::string_view* pieces,
                           std::size_t n) {
    if (w.observer.tell != nullptr) w.observer.tell(w.observer.arg, LINE_BEGINS, kind, {});
    if (!writer_shows(w, kind)) return;
    const LineKindInfo& record = line_kind(kind);
    begin_record(w, record);
    for (std::size_t i = 0; i < n; ++i) emit_view(w, pieces[i]);
    end_record(w);
}

void writer_set_input(LineWriter& w, bool input) {
    if (w.input == input) return;
    writer_finish(w, "");
    w.input = input;
    w.plain_end = w.config.colors || w.config.general_paths_only || input ? 0 : WRITER_BUFFER_SIZE;
}

}  // namespace vorsk
