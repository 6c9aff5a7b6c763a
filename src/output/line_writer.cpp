#include "output/line_writer.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "allocation.h"
#include "driver/options.h"
#include "output/format.h"

namespace vorsk {
namespace {

// A formatted piece that fits here is formatted once; a longer one is
// measured first and then formatted straight to the stream.
constexpr std::size_t PIECE_BUFFER_SIZE = 256;

bool colors_on() { return options.color_mode == COLOR_ALWAYS; }

// A failed write goes to the callback with the error number it left; the
// writer then carries on as if it had succeeded.
void report_failure(LineWriter& w) {
    if (w.error_callback != nullptr) w.error_callback(errno, w.error_arg);
}

void write_through(LineWriter& w, const char* bytes, std::size_t n) {
    if (w.fd < 0) {
        errno = 0;
        if (n != 0 && std::fwrite(bytes, 1, n, w.out) != n) report_failure(w);
        return;
    }
    while (n != 0) {
        errno = 0;
        const ssize_t done = write(w.fd, bytes, n);
        if (done < 0 && errno == EINTR) continue;  // a caught signal is acted on later
        if (done <= 0) {
            report_failure(w);
            return;
        }
        bytes += done;
        n -= static_cast<std::size_t>(done);
    }
}

void drain(LineWriter& w) {
    const std::size_t n = w.buffered;
    w.buffered = 0;
    write_through(w, w.buffer, n);
}

void emit_byte(LineWriter& w, int c) {
    if (w.buffered == WRITER_BUFFER_SIZE) drain(w);
    w.buffer[w.buffered++] = static_cast<char>(c);
}

void emit_bytes(LineWriter& w, const char* bytes, std::size_t n) {
    if (n == 0) return;  // an empty colour has no text at all
    if (n > WRITER_BUFFER_SIZE - w.buffered) {
        drain(w);
        if (n > WRITER_BUFFER_SIZE) {
            write_through(w, bytes, n);
            return;
        }
    }
    std::memcpy(w.buffer + w.buffered, bytes, n);
    w.buffered += n;
}

// A formatted text straight into the buffer; one too long for it goes to
// the stream whole.
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
        if (static_cast<std::size_t>(n) < WRITER_BUFFER_SIZE) {
            n = std::vsnprintf(w.buffer, WRITER_BUFFER_SIZE, format, again);
        } else {
            // Longer than the buffer: through stdio, flushed at once so
            // that it stays in its place among the direct writes.
            errno = 0;
            if (std::vfprintf(w.out, format, again) < 0 || std::fflush(w.out) != 0) report_failure(w);
            n = -1;
        }
    }
    if (n > 0) w.buffered += static_cast<std::size_t>(n);
    va_end(again);
}

// The strings of line kinds and records are a few bytes long: a copy loop
// beats measuring them first.
void emit_string(LineWriter& w, const char* s) {
    while (*s != '\0') {
        if (w.buffered == WRITER_BUFFER_SIZE) drain(w);
        w.buffer[w.buffered++] = *s++;
    }
}

std::size_t short_length(const char* s) {
    std::size_t n = 0;
    while (s[n] != '\0') ++n;
    return n;
}

// ESC "[" text "m"; with an empty text this is the reset escape.
void emit_sgr_text(LineWriter& w, const char* text, std::uint32_t len) {
    emit_bytes(w, "\x1b[", 2);
    emit_bytes(w, text, len);
    emit_byte(w, 'm');
}

void emit_reset(LineWriter& w) {
    if (colors_on()) emit_sgr_text(w, "", 0);
}

void emit_sgr(LineWriter& w, const ColorSpec* color) {
    if (colors_on() && color != nullptr) emit_sgr_text(w, color->text, color->len);
}

bool decorated(const LineWriter& w) { return w.wrap_end_len != 0; }

void forget_line(LineWriter& w) {
    w.wrap_end = "";
    w.wrap_end_len = 0;
    w.wrap_begin = "";
    w.wrap_begin_len = 0;
    w.color = nullptr;
    w.decor_color = nullptr;
}

}  // namespace

LineWriter* writer_new(std::FILE* out) {
    auto* w = allocate_record<LineWriter>();
    if (w == nullptr) return nullptr;
    w->out = out;
    w->fd = fileno(out);
    w->buffer = allocate_array<char>(WRITER_BUFFER_SIZE);
    if (w->buffer == nullptr) {
        release_record(w);
        return nullptr;
    }
    return w;
}

void writer_flush(LineWriter& w) {
    drain(w);
    errno = 0;
    if (std::fflush(w.out) != 0) report_failure(w);
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

void writer_start(LineWriter& w, const ColorSpec* color, const ColorSpec* decor_color,
                  const char* start, const char* wrap_end, const char* wrap_begin) {
    w.wrap_end = wrap_end;
    w.wrap_end_len = short_length(wrap_end);
    w.wrap_begin = wrap_begin;
    w.wrap_begin_len = short_length(wrap_begin);
    w.color = color;
    // An empty decoration colour means an uncoloured decoration.
    w.decor_color = (decor_color != nullptr && decor_color->len == 0) ? nullptr : decor_color;

    // The old line gets neither tail nor reset.
    if (w.column != 0) emit_byte(w, '\n');
    w.column = short_length(start);

    if (decorated(w)) {
        emit_sgr(w, w.decor_color);
        emit_string(w, start);
        if (w.decor_color != nullptr) emit_reset(w);
        emit_sgr(w, w.color);
    } else {
        emit_sgr(w, w.color);
        emit_string(w, start);
    }
}

void writer_finish(LineWriter& w, const char* tail) {
    if (w.column == 0) return;
    w.column = 0;
    emit_reset(w);
    const bool decor = decorated(w) && w.decor_color != nullptr;
    if (decor) emit_sgr(w, w.decor_color);
    emit_string(w, tail);
    if (decor) emit_reset(w);
    emit_byte(w, '\n');
    forget_line(w);
}

void writer_reserve(LineWriter& w, std::size_t n) {
    // Equality, not <=: a decorated row wraps as soon as exactly wrap_end_len
    // columns are left, whatever n is; a plain row wraps at column 78 even
    // before an empty piece.
    if (w.column + n <= w.width && w.column + w.wrap_end_len != w.width) {
        w.column += n;
        return;
    }
    if (decorated(w)) {
        emit_reset(w);
        emit_sgr(w, w.decor_color);
        emit_string(w, w.wrap_end);
        emit_byte(w, '\n');
        emit_string(w, w.wrap_begin);
        if (w.decor_color != nullptr) emit_reset(w);
        emit_sgr(w, w.color);
    } else {
        emit_reset(w);
        emit_byte(w, '\n');
        emit_sgr(w, w.color);
        emit_string(w, w.wrap_begin);
    }
    w.column = n + w.wrap_begin_len;
}

void writer_putc(LineWriter& w, int c) {
    writer_reserve(w, 1);
    emit_byte(w, c);
}

void writer_put_run(LineWriter& w, const char* bytes, std::size_t n) {
    while (n != 0) {
        // How many one-column pieces the row takes before writer_reserve
        // would wrap: up to column 78, and for a decorated row up to where
        // exactly wrap_end_len columns are left.
        std::size_t room = w.column < w.width ? w.width - w.column : 0;
        const std::size_t wrap_at = w.width - w.wrap_end_len;
        if (w.wrap_end_len != 0 && w.column <= wrap_at) room = wrap_at - w.column;
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

void writer_puts(LineWriter& w, const char* s) { writer_putn(w, s, std::strlen(s)); }

void writer_putn(LineWriter& w, const char* bytes, std::size_t n) {
    writer_reserve(w, n);
    emit_bytes(w, bytes, n);
}

void writer_printf(LineWriter& w, const char* format, ...) {
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

void writer_single(LineWriter& w, const ColorSpec* color, const char* prefix, const char* format,
                   std::va_list args) {
    if (w.column != 0) {
        emit_reset(w);
        emit_byte(w, '\n');
    }
    emit_sgr(w, color);
    emit_string(w, prefix);
    emit_formatted(w, format, args);
    forget_line(w);
    w.column = 0;
    emit_reset(w);
    emit_byte(w, '\n');
}

}  // namespace vorsk
