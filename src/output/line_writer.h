// The line writer: every byte of output goes through it. It composes lines
// that may span several rows of 78 columns after the grammar of their kind,
// leaves out the kinds the command line hid, writes the colour escapes of
// each kind and reports failed writes to an error callback.
#pragma once

#include <csignal>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "common.h"
#include "output/colors.h"
#include "output/line_kinds.h"

namespace vorsk {

// Output kept in memory, for tests and the fuzzer; it grows as needed.
struct MemorySink {
    char* data = nullptr;
    std::size_t size = 0;
    std::size_t capacity = 0;
};
void memory_sink_release(MemorySink& sink);

// A filter that the output passes through on its way to the sink (the
// page makes its HTML of it), given each drained batch and told the end.
// What it makes it writes with writer_sink_write.
struct SinkFilter {
    void (*feed)(void* arg, const char* bytes, std::size_t n) = nullptr;
    void (*end)(void* arg) = nullptr;
    void* arg = nullptr;
};

// Where the writer's output goes: a descriptor, memory, or a function that
// takes it (and answers for its failures), through a filter where there is
// one.
struct Sink {
    int fd = -1;
    MemorySink* memory = nullptr;
    SinkFilter filter = {};
    void (*take)(void* arg, const char* bytes, std::size_t n) = nullptr;
    void* take_arg = nullptr;
};

struct OutputConfig {
    bool colors = false;
    Palette palette;
    KindSet hidden = 0;  // the kinds left out of the account
    // The output becomes a page (--html): a pen goes to it as a mark of its
    // own, not as SGR.
    bool pen_marks = false;
    // Every record through the general paths: no inline fast paths and
    // nothing kept to replay, so that the two can be compared.
    bool general_paths_only = false;
};

using WriterErrorCallback = void (*)(int error_number, void* arg);

// What the writer tells a view above it that tells items apart (--json and
// the selections): where each line begins, each item of a control line,
// and when the output it holds back must be decided on. There is none
// otherwise, and while there is one the writer keeps off its fast paths.
enum LineEvent : std::uint8_t {
    LINE_BEGINS,    // a line of the kind begins, before anything of it is written
    CONTROL_PIECE,  // the text of an item on the open control line
    REPLAY,         // the lines of a sequence are written again, as they were
    HOLD_FULL,      // the output held back fills half the buffer
    ITEMS_END,      // no more lines of the account follow
    FLUSH,          // what is written so far goes out: an item known whole can end
};
struct LineObserver {
    void (*tell)(void* arg, LineEvent event, LineKind kind, std::string_view piece) = nullptr;
    void* arg = nullptr;
};
// held_from when nothing is held back.
inline constexpr std::size_t NOT_HELD = ~std::size_t{0};

struct LineWriter {
    Sink sink;
    OutputConfig config;
    std::size_t column = 0;              // columns used on this row; 0: no line open
    const LineKindInfo* line = nullptr;  // the kind of the open line
    bool decor_colored = false;          // the open line's marks have a colour of their own
    bool suppressed = false;             // the line being written is of a hidden kind
    bool input = false;                  // rows begin with the input mark
    // Descriptions longer than a row wrap (those of control strings, which
    // quote titles, paths and URLs); otherwise a description is one row.
    bool wrap_descriptions = false;
    std::size_t width = 78;
    WriterErrorCallback error_callback = nullptr;
    void* error_arg = nullptr;
    char* buffer = nullptr;  // output not yet handed to the sink
    std::size_t buffered = 0;
    std::uint64_t handed = 0;  // bytes handed to the sink so far
    // How far uncoloured output without input marks may fill the buffer
    // on the fast paths: all of it, or 0 while colours or input marks are on.
    std::size_t plain_end = 0;
    LineObserver observer;
    // The buffer from here on is an item's output not decided on yet: a
    // drain writes what comes before it and keeps the rest.
    std::size_t held_from = NOT_HELD;
    bool replay_known = false;  // the observer has what the lines written again say
    bool nested = false;        // the lines are those of what a control string carries
    // Watched by an observer, on the general paths: the lines of sequences
    // are kept and written again all the same (the observer keeps the
    // offsets whole over what it drops or rewrites).
    bool replays = false;
};

// Output collects in the writer's buffer and goes to the sink in large
// writes: when the buffer is full, and at writer_flush.
inline constexpr std::size_t WRITER_BUFFER_SIZE = 64 * 1024;

// Yields nullptr when memory is exhausted.
LineWriter* writer_new(Sink sink, const OutputConfig& config);
void writer_set_error_handler(LineWriter& w, WriterErrorCallback callback, void* arg);
// Writes out what is still buffered and releases the writer (not the sink).
void writer_free(LineWriter* w);
// Hands everything buffered to the sink; a failure goes to the error callback.
void writer_flush(LineWriter& w);
// Tells the observer, where there is one: an item whose lines the writer
// does not start itself (a screen, written raw) begins, or the account ends.
void writer_tell(LineWriter& w, LineEvent event, LineKind kind);
inline bool writer_shows(const LineWriter& w, LineKind kind) {
    return (w.config.hidden & kind_bit(kind)) == 0;
}

// Uncoloured output without input marks goes straight into the buffer, in
// the inline fast paths below; everything else through the general paths
// of line_writer.cpp.
namespace plain_output {

// Where n more bytes go, or nullptr when the general path must write them.
inline char* room(LineWriter& w, std::size_t n) {
    return w.buffered + n <= w.plain_end ? w.buffer + w.buffered : nullptr;
}

inline void done(LineWriter& w, const char* end) {
    w.buffered = static_cast<std::size_t>(end - w.buffer);
}

// Copies the piece and returns the end of the copy. Most pieces of the
// account are a few bytes long, and two fixed-size moves that may overlap
// copy them for less than a call of memcpy; a piece of up to a row or two,
// sixteen bytes at a time.
[[gnu::always_inline]] inline char* put_any(char* out, std::string_view piece) {
    const char* bytes = piece.data();
    const std::size_t n = piece.size();
    if (n > 160) {
        std::memcpy(out, bytes, n);
    } else if (n > 16) {
        for (std::size_t i = 0; i + 16 < n; i += 16) std::memcpy(out + i, bytes + i, 16);
        std::memcpy(out + n - 16, bytes + n - 16, 16);
    } else if (n >= 8) {
        std::memcpy(out, bytes, 8);
        std::memcpy(out + n - 8, bytes + n - 8, 8);
    } else if (n >= 4) {
        std::memcpy(out, bytes, 4);
        std::memcpy(out + n - 4, bytes + n - 4, 4);
    } else if (n != 0) {
        out[0] = bytes[0];
        out[n / 2] = bytes[n / 2];
        out[n - 1] = bytes[n - 1];
    }
    return out + n;
}

// The same; a piece whose length the compiler knows, a literal, is a few
// moves where it stands.
[[gnu::always_inline]] inline char* put(char* out, std::string_view piece) {
    if (__builtin_constant_p(piece.size()) && piece.size() <= 16) {
        std::memcpy(out, piece.data(), piece.size());
        return out + piece.size();
    }
    return put_any(out, piece);
}

// Whether a piece of n columns goes on the open row without a wrap.
inline bool fits_row(const LineWriter& w, std::size_t n) {
    // Equality, not <=: a decorated row wraps as soon as exactly wrap_end
    // columns are left, whatever n is; a plain row wraps at column 78 even
    // before an empty piece.
    return w.column + n <= w.width && w.column + w.line->wrap_end.size() != w.width;
}

}  // namespace plain_output

// The general paths of the inline calls below.
void writer_start_general(LineWriter& w, LineKind kind);
void writer_finish_general(LineWriter& w, std::string_view tail);
void writer_putn_general(LineWriter& w, const char* bytes, std::size_t n);
void writer_record_general(LineWriter& w, LineKind kind, const std::string_view* pieces,
                           std::size_t n);
// Coloured, after a closed line: the record in one reservation, or false.
bool writer_record_colored(LineWriter& w, LineKind kind, const std::string_view* pieces,
                           std::size_t n);

// A multi-row line of the given kind; a line of a hidden kind takes its
// pieces and writes nothing, leaving the line before it open.
[[gnu::always_inline]] inline void writer_start(LineWriter& w, LineKind kind) {
    const LineKindInfo& line = line_kind(kind);
    if (writer_shows(w, kind)) {
        // The old line gets neither tail nor reset. Uncoloured, the marks
        // have no colour of their own to tell.
        if (char* out = plain_output::room(w, line.start.size() + 1)) {
            if (w.column != 0) *out++ = '\n';
            plain_output::done(w, plain_output::put(out, line.start));
            w.suppressed = false;
            w.line = &line;
            w.decor_colored = false;
            w.column = line.start.size();
            return;
        }
    }
    writer_start_general(w, kind);
}

[[gnu::always_inline]] inline void writer_finish(LineWriter& w, std::string_view tail) {
    if (!w.suppressed && w.column != 0) {
        if (char* out = plain_output::room(w, tail.size() + 1)) {
            out = plain_output::put(out, tail);
            *out++ = '\n';
            plain_output::done(w, out);
            w.column = 0;
            return;
        }
    }
    writer_finish_general(w, tail);
}
// A whole line whose text is one piece, when the piece fits the line's
// first row: as writer_start, writer_putn and writer_finish would write it.
// False, with nothing written, when it does not fit.
bool writer_line(LineWriter& w, LineKind kind, std::string_view text, std::string_view tail);
void writer_putc(LineWriter& w, int c);
void writer_puts(LineWriter& w, const char* s);
// Puts n bytes on the open line as one piece.
[[gnu::always_inline]] inline void writer_putn(LineWriter& w, const char* bytes, std::size_t n) {
    if (!w.suppressed && plain_output::fits_row(w, n)) {
        if (char* out = plain_output::room(w, n)) {
            plain_output::done(w, plain_output::put(out, {bytes, n}));
            w.column += n;
            return;
        }
    }
    writer_putn_general(w, bytes, n);
}
// Puts n bytes as n one-column pieces, exactly as n writer_putc calls would,
// with one copy per row.
void writer_put_run(LineWriter& w, const char* bytes, std::size_t n);
// Puts n bytes that take `width` columns on the open line as one piece: a
// wide character or a grapheme cluster, never split across rows.
void writer_put_piece(LineWriter& w, const char* bytes, std::size_t n, std::size_t width);
// Joins n bytes to the piece before them, on its row: a combining mark or
// the rest of a grapheme cluster, adding `width` columns.
void writer_join(LineWriter& w, const char* bytes, std::size_t n, std::size_t width);
// How many columns of pieces the open row takes before a piece wraps: a
// piece of up to that many columns, one or two wide, goes on this row.
std::size_t writer_row_room(const LineWriter& w);
// Puts pieces that together take `columns` columns and fit the row (as
// writer_row_room tells) in one copy, exactly as writer_put_piece would
// put them one by one.
void writer_put_fitting(LineWriter& w, const char* bytes, std::size_t n, std::size_t columns);
VORSK_PRINTF(2, 3) void writer_printf(LineWriter& w, const char* format, ...);
// Ends the open row where it stands and begins the next with the kind's
// marks, then `mark`.
void writer_break_row(LineWriter& w, std::string_view mark);
void writer_reserve(LineWriter& w, std::size_t n);

// One-line records: each is one complete, unwrapped row with the prefix and
// colour of its kind. An open multi-row line is ended first.
VORSK_PRINTF(3, 0)
void writer_single(LineWriter& w, LineKind kind, const char* format, std::va_list args);
// The decimal digits of a number, as a piece of a record.
struct Decimal {
    char digits[10];
    std::uint8_t start = sizeof digits;
    explicit Decimal(std::uint32_t value) {
        do {
            digits[--start] = static_cast<char>('0' + value % 10u);
            value /= 10u;
        } while (value != 0);
    }
    operator std::string_view() const { return {digits + start, sizeof digits - start}; }
};

// The same from pieces of text, composed without a formatter.
template <std::size_t N>
[[gnu::always_inline]] inline void writer_record(LineWriter& w, LineKind kind,
                                                 const std::string_view (&pieces)[N]) {
    const LineKindInfo& record = line_kind(kind);
    // Uncoloured, after a closed line, where the buffer has room: the
    // whole row in one reservation.
    if (w.column == 0 && writer_shows(w, kind)) {
        std::size_t size = record.prefix.size() + 1;
        for (const std::string_view piece : pieces) size += piece.size();
        if (char* out = plain_output::room(w, size)) {
            out = plain_output::put(out, record.prefix);
            for (const std::string_view piece : pieces) out = plain_output::put(out, piece);
            *out++ = '\n';
            plain_output::done(w, out);
            return;
        }
        if (w.config.colors && writer_record_colored(w, kind, pieces, N)) return;
    }
    writer_record_general(w, kind, pieces, N);
}
template <std::size_t N>
inline void print_escape(LineWriter& w, const std::string_view (&pieces)[N]) {
    writer_record(w, ESCAPE_LINE, pieces);
}
template <std::size_t N>
inline void print_label(LineWriter& w, const std::string_view (&pieces)[N]) {
    writer_record(w, LABEL_LINE, pieces);
}
template <std::size_t N>
inline void print_description(LineWriter& w, const std::string_view (&pieces)[N]) {
    writer_record(w, DESCRIPTION_LINE, pieces);
}
VORSK_PRINTF(2, 3) void print_escape_line(LineWriter& w, const char* format, ...);
VORSK_PRINTF(2, 3) void print_label_line(LineWriter& w, const char* format, ...);
VORSK_PRINTF(2, 3) void print_description_line(LineWriter& w, const char* format, ...);
VORSK_PRINTF(2, 3) void print_delay_line(LineWriter& w, const char* format, ...);
VORSK_PRINTF(2, 3) void print_metadata_line(LineWriter& w, const char* format, ...);

// A write to a descriptor waits for as long as its reader does not read.
// sink_write_waiting is set while a write may wait, so that the handler of
// a signal that ends the program can end it at once; once such a signal is
// pending (its handler sets sink_end_signal), only what the reader takes
// at once is written, and a write that would wait raises that signal.
extern volatile std::sig_atomic_t sink_write_waiting;
extern volatile std::sig_atomic_t sink_end_signal;

// Writes bytes to the sink itself, past the buffer and the page: what the
// page makes of the output. A failure goes to the error callback.
void writer_sink_write(LineWriter& w, const char* bytes, std::size_t n);
// The end of the output: what is buffered goes out, and a page is ended.
void writer_end(LineWriter& w);

// Output written again: a caller that knows a run of records will come out
// the same as before keeps their bytes and replays them. Uncoloured output
// without input marks, outside a hidden line, is plain bytes, and only it
// is kept.
inline bool writer_replayable(const LineWriter& w) {
    return (w.plain_end == WRITER_BUFFER_SIZE && !w.suppressed) || w.replays;
}
// Where the next byte of output goes, counted from the first.
inline std::uint64_t writer_offset(const LineWriter& w) {
    return w.handed + w.buffered;
}
// The bytes of the records written since `offset`, when all of them are
// still in the buffer and they left no line open; nullptr otherwise. Where
// a line was open at `offset` (`was_open`), the newline that ended it is
// left out, as writer_replay writes it again.
const char* writer_output_since(const LineWriter& w, std::uint64_t offset, bool was_open,
                                std::size_t* n);
// Writes records kept from writer_output_since: the open line is ended
// first, if there is anything to write.
void writer_replay_general(LineWriter& w, const char* bytes, std::size_t n);
inline void writer_replay(LineWriter& w, const char* bytes, std::size_t n) {
    if (char* out = plain_output::room(w, n + 1); out != nullptr && n != 0) {
        if (w.column != 0) *out++ = '\n';
        plain_output::done(w, plain_output::put_any(out, {bytes, n}));
        w.column = 0;
        w.suppressed = false;
        return;
    }
    writer_replay_general(w, bytes, n);
}

// Bytes outside the grammar of the account, written as they are whatever
// kinds are hidden: the summary after the account, and the marks an HTML
// page is made from. An open line is not ended.
void writer_raw(LineWriter& w, const char* bytes, std::size_t n);

// Whether the lines written from now on are of the input direction: each of
// their rows begins with the input mark. An open line is ended first.
void writer_set_input(LineWriter& w, bool input);

}  // namespace vorsk
