// The line writer: every byte of output goes through it. It composes lines
// that may span several rows of 78 columns, writes the colour escapes of each
// line kind and reports failed output calls to an error callback.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "common.h"

namespace vorsk {

// The colour of one kind of element: SGR parameter bytes, not terminated.
// The bytes belong to the colour configuration and live for the whole run.
struct ColorSpec {
    const char* text = nullptr;
    std::uint32_t len = 0;
};

using WriterErrorCallback = void (*)(int error_number, void* arg);

struct LineWriter {
    std::FILE* out = nullptr;
    std::size_t column = 0;  // columns used on this row; 0: no line open
    const char* wrap_end = "";
    std::size_t wrap_end_len = 0;
    const char* wrap_begin = "";
    std::size_t wrap_begin_len = 0;
    std::size_t width = 78;
    const ColorSpec* color = nullptr;
    const ColorSpec* decor_color = nullptr;
    WriterErrorCallback error_callback = nullptr;
    void* error_arg = nullptr;
    int fd = -1;  // the stream's descriptor, written directly; -1: through stdio
    char* buffer = nullptr;  // output not yet handed to the stream
    std::size_t buffered = 0;
};

// Output collects in the writer's buffer and goes to the stream in large
// writes: when the buffer is full, and at writer_flush.
inline constexpr std::size_t WRITER_BUFFER_SIZE = 64 * 1024;

// Yields nullptr when memory is exhausted.
LineWriter* writer_new(std::FILE* out);
void writer_set_error_handler(LineWriter& w, WriterErrorCallback callback, void* arg);
// Writes out what is still buffered and releases the writer (not the stream).
void writer_free(LineWriter* w);
// Hands everything buffered to the stream and flushes it; a failure goes to
// the error callback.
void writer_flush(LineWriter& w);

void writer_start(LineWriter& w, const ColorSpec* color, const ColorSpec* decor_color,
                  const char* start, const char* wrap_end, const char* wrap_begin);
void writer_finish(LineWriter& w, const char* tail);
void writer_putc(LineWriter& w, int c);
void writer_puts(LineWriter& w, const char* s);
// Puts n bytes on the open line as one piece.
void writer_putn(LineWriter& w, const char* bytes, std::size_t n);
// Puts n bytes as n one-column pieces, exactly as n writer_putc calls would,
// with one copy per row.
void writer_put_run(LineWriter& w, const char* bytes, std::size_t n);
VORSK_PRINTF(2, 3) void writer_printf(LineWriter& w, const char* format, ...);
void writer_reserve(LineWriter& w, std::size_t n);

// One-line records: each is one complete, unwrapped row with its own prefix
// and colour. An open multi-row line is ended first.
VORSK_PRINTF(4, 0)
void writer_single(LineWriter& w, const ColorSpec* color, const char* prefix, const char* format,
                   std::va_list args);
VORSK_PRINTF(2, 3) void print_escape_line(LineWriter& w, const char* format, ...);
VORSK_PRINTF(2, 3) void print_label_line(LineWriter& w, const char* format, ...);
VORSK_PRINTF(2, 3) void print_description_line(LineWriter& w, const char* format, ...);
VORSK_PRINTF(2, 3) void print_delay_line(LineWriter& w, const char* format, ...);

}  // namespace vorsk
