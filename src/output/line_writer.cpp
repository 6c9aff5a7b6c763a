#include "output/line_writer.h"

#include <cerrno>
#include <cstring>
#include <new>

#include "driver/options.h"

namespace vorsk {
namespace {

// A formatted piece that fits here is formatted once; a longer one is
// measured first and then formatted straight to the stream.
constexpr std::size_t PIECE_BUFFER_SIZE = 256;

bool colors_on() { return options.color_mode == COLOR_ALWAYS; }

// Every output call clears errno first and hands a failure to the callback,
// which at run time ends the program.
void report_failure(LineWriter& w) {
    if (w.error_callback != nullptr) w.error_callback(errno, w.error_arg);
}

void emit_byte(LineWriter& w, int c) {
    errno = 0;
    if (putc_unlocked(c, w.out) == EOF) report_failure(w);
}

void emit_bytes(LineWriter& w, const char* bytes, std::size_t n) {
    errno = 0;
    if (n != 0 && std::fwrite(bytes, 1, n, w.out) != n) report_failure(w);
}

void emit_string(LineWriter& w, const char* s) { emit_bytes(w, s, std::strlen(s)); }

// ESC "[" text "m"; with an empty text this is the reset escape.
void emit_sgr_text(LineWriter& w, const char* text, std::uint32_t len) {
    char escape[64];
    if (len + 3 <= sizeof escape) {
        escape[0] = '\x1b';
        escape[1] = '[';
        if (len != 0) std::memcpy(escape + 2, text, len);
        escape[len + 2] = 'm';
        emit_bytes(w, escape, len + 3);
        return;
    }
    errno = 0;
    if (std::fprintf(w.out, "\x1b[%.*sm", static_cast<int>(len), text) < 0) report_failure(w);
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
    auto* w = new (std::nothrow) LineWriter;
    if (w != nullptr) w->out = out;
    return w;
}

void writer_set_error_handler(LineWriter& w, WriterErrorCallback callback, void* arg) {
    w.error_callback = callback;
    w.error_arg = arg;
}

void writer_free(LineWriter* w) { delete w; }

void writer_start(LineWriter& w, const ColorSpec* color, const ColorSpec* decor_color,
                  const char* start, const char* wrap_end, const char* wrap_begin) {
    w.wrap_end = wrap_end;
    w.wrap_end_len = std::strlen(wrap_end);
    w.wrap_begin = wrap_begin;
    w.wrap_begin_len = std::strlen(wrap_begin);
    w.color = color;
    // An empty decoration colour means an uncoloured decoration.
    w.decor_color = (decor_color != nullptr && decor_color->len == 0) ? nullptr : decor_color;

    // The old line gets neither tail nor reset.
    if (w.column != 0) emit_byte(w, '\n');
    w.column = std::strlen(start);

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
    errno = 0;
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

void writer_puts(LineWriter& w, const char* s) {
    const std::size_t n = std::strlen(s);
    writer_reserve(w, n);
    emit_bytes(w, s, n);
}

void writer_printf(LineWriter& w, const char* format, ...) {
    char piece[PIECE_BUFFER_SIZE];
    std::va_list args;
    va_start(args, format);
    std::va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(piece, sizeof piece, format, args);
    va_end(args);
    if (n < 0) {
        va_end(again);
        return;
    }
    writer_reserve(w, static_cast<std::size_t>(n));
    if (static_cast<std::size_t>(n) < sizeof piece) {
        emit_bytes(w, piece, static_cast<std::size_t>(n));
    } else {
        errno = 0;
        if (std::vfprintf(w.out, format, again) < 0) report_failure(w);
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
    errno = 0;
    if (std::vfprintf(w.out, format, args) < 0) report_failure(w);
    forget_line(w);
    w.column = 0;
    emit_reset(w);
    emit_byte(w, '\n');
}

}  // namespace vorsk
