#include "decode/processor.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cinttypes>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "allocation.h"
#include "decode/escape.h"
#include "decode/strings.h"
#include "parse/utf8.h"
#include "text/byte_run.h"
#include "text/safe_text.h"

namespace vorsk {
namespace {

constexpr std::uint8_t ESC = 0x1b;
constexpr std::uint8_t LF = 0x0a;
constexpr std::uint8_t DEL = 0x7f;

// How many bytes process_buffered takes before the main loop may act on a
// caught signal.
constexpr std::size_t MAX_BUFFERED_RUN = 16 * 1024;

// The length of the run of printable bytes at the start of bytes[0, n),
// sixteen bytes at a time.
std::size_t printable_run(const std::uint8_t* bytes, std::size_t n) {
    return byte_run(
        bytes, n, [](ByteBlock block) { return (block < 0x20) | (block > 0x7e); },
        [](std::uint8_t b) { return is_printable(b); });
}

// The item of a byte on a control line: " CR/^M" (" CR" without the caret
// form) for a C0 control or DEL, " x9B" for any other byte.
struct ControlItem {
    char text[8] = {};
    std::uint8_t size = 0;
};

consteval std::array<ControlItem, 256> control_items(bool carets) {
    std::array<ControlItem, 256> items{};
    for (std::size_t b = 0; b < items.size(); ++b) {
        ControlItem& item = items[b];
        item.text[item.size++] = ' ';
        if (b < 0x20 || b == DEL) {
            for (const char* name = c0_item_name(static_cast<unsigned char>(b)); *name != '\0';
                 ++name) {
                item.text[item.size++] = *name;
            }
            if (carets) {
                item.text[item.size++] = '/';
                item.text[item.size++] = '^';
                item.text[item.size++] = static_cast<char>(b ^ 0x40);
            }
        } else {
            constexpr char hex[] = "0123456789ABCDEF";
            item.text[item.size++] = 'x';
            item.text[item.size++] = hex[b >> 4];
            item.text[item.size++] = hex[b & 0xf];
        }
    }
    return items;
}
constexpr auto items_with_carets = control_items(true);
constexpr auto items_without_carets = control_items(false);

[[gnu::always_inline]] inline void open_text_line(Processor& p) {
    writer_start(*p.writer, TEXT_LINE);
    p.line.grapheme = GraphemeState{};
}

// The states a byte of text or a control item passes through, as
// process_byte takes them.
void enter_text(Processor& p) {
    if (p.line.state == LINE_TEXT) return;
    if (p.line.state == LINE_CONTROL) writer_finish(*p.writer, "");
    p.line.control_break = 1;
    open_text_line(p);
    p.line.state = LINE_TEXT;
}

void enter_control(Processor& p) {
    if (p.line.state == LINE_CONTROL) return;
    if (p.line.state == LINE_TEXT) writer_finish(*p.writer, "|");
    p.line.control_break = 1;
    p.line.state = LINE_CONTROL;
}

[[gnu::always_inline]] inline void open_control_line(Processor& p) {
    if (p.line.control_break) {
        p.line.control_break = 0;
        writer_start(*p.writer, CONTROL_LINE);
    }
    p.line.state = LINE_CONTROL;
}

// The item of a control byte on the control line, opened where needed.
[[gnu::always_inline]] inline void put_control_item(Processor& p, int b) {
    open_control_line(p);
    const ControlItem& item = (p.print_carets ? items_with_carets : items_without_carets)[b];
    writer_putn(*p.writer, item.text, item.size);
}

// The same with the screen, which the control changes after its item (a
// BEL may end a prompt mark, whose screen follows).
[[gnu::noinline]] void put_screen_control(Processor& p, int b) {
    put_control_item(p, b);
    feed_control(*p.screen, static_cast<std::uint8_t>(b), p.extended);
    if (p.screen->prompt_due) [[unlikely]]
        screen_prompt(p);
}

// Extended mode, a byte from 0x80 up: a UTF-8 character goes on the text
// line (joined to the cluster before it where it continues one), a code
// point that is no text becomes a control item, and a byte that begins no
// well-formed sequence is a hex item as in the classic mode.
void process_utf8(Processor& p, std::uint8_t lead) {
    Utf8Char ch;
    if (!parse_utf8(*p.input, lead, ch)) {
        if (p.tally != nullptr) ++p.tally->invalid_utf8;
        enter_control(p);
        put_control_item(p, lead);
        return;
    }
    if (p.tally != nullptr) p.tally->text_bytes += ch.n;
    const auto* bytes = reinterpret_cast<const char*>(ch.bytes);
    // Most text is plain: one lookup tells that it is no control item, and
    // its width.
    const int plain_width = plain_text_width(ch.cp);
    if (p.line.state == LINE_TEXT) {
        const std::uint32_t previous = p.line.grapheme.last;
        const bool breaks = plain_width != 0 ? grapheme_break_plain(p.line.grapheme, ch.cp)
                                             : grapheme_break(p.line.grapheme, ch.cp);
        if (!breaks) {
            const int width = joined_width(previous, ch.cp, p.line.last_width);
            writer_join(*p.writer, bytes, ch.n, static_cast<std::size_t>(width));
            p.line.last_width += width;
            if (p.screen != nullptr) feed_character(*p.screen, ch.cp, 0, bytes, ch.n);
            return;
        }
    }
    if (const char* name = plain_width != 0 ? nullptr : unsafe_code_point_name(ch.cp)) {
        enter_control(p);
        open_control_line(p);
        // " U+200B/ZWSP", one piece.
        char item[1 + CODE_POINT_ITEM_SIZE] = {' '};
        const std::size_t size =
            std::min(sizeof item, 1 + format_code_point_item(item + 1, ch.cp, name));
        writer_putn(*p.writer, item, size);
        return;
    }
    enter_text(p);
    if (plain_width != 0) {
        grapheme_break_plain(p.line.grapheme, ch.cp);
        p.line.last_width = plain_width;
    } else {
        grapheme_break(p.line.grapheme, ch.cp);
        p.line.last_width = code_point_width(ch.cp);
    }
    writer_put_piece(*p.writer, bytes, ch.n, static_cast<std::size_t>(p.line.last_width));
    if (p.screen != nullptr) feed_character(*p.screen, ch.cp, p.line.last_width, bytes, ch.n);
}

// The length and code point of a well-formed UTF-8 character of two or
// three bytes at the start of bytes[0, n); 0 for anything else.
std::size_t short_utf8(const std::uint8_t* bytes, std::size_t n, std::uint32_t& cp) {
    if (bytes[0] >= 0xF0) return 0;
    return utf8_decode(bytes, n, cp);
}

// Extended mode, on an open text line: the run of plain text at the start
// of bytes[0, n) (printable ASCII, and UTF-8 characters that are plain
// text or Hangul syllables and surely begin a cluster of their own), put
// on the line exactly as process_byte would put it one character at a
// time, with one copy for the pieces that fit each row. Returns the bytes
// taken. Kept out of line: inlined, it costs the dispatcher's loop more
// than the call.
[[gnu::noinline]] std::size_t process_plain_run(Processor& p, const std::uint8_t* bytes,
                                                std::size_t n) {
    LineWriter& w = *p.writer;
    std::size_t room = writer_row_room(w);
    std::size_t taken = 0;
    std::size_t fitting = 0;  // bytes[taken - fitting, taken): pieces on this row, not yet put
    std::size_t columns = 0;
    // The grapheme state and the width of the last character, kept here
    // and stored once at the end.
    GraphemeState grapheme = p.line.grapheme;
    std::size_t width = static_cast<std::size_t>(p.line.last_width);
    // Whether a plain character breaks surely after the last one: after
    // anything the run takes it does (printable ASCII is plain text).
    bool surely = plain_breaks_surely(grapheme);
    while (taken < n) {
        const std::uint8_t b = bytes[taken];
        std::size_t length = 1;
        if (is_printable(b)) {
            // Printable ASCII, a column a byte, as far as the row goes.
            const std::size_t ascii =
                1 + printable_run(bytes + taken + 1, std::min(room, n - taken) - (room != 0));
            grapheme = {bytes[taken + ascii - 1], 0};
            width = 1;
            surely = true;
            if (ascii <= room) {
                room -= ascii;
                columns += ascii;
                fitting += ascii;
                taken += ascii;
                continue;
            }
        } else {
            std::uint32_t cp = 0;
            length = short_utf8(bytes + taken, n - taken, cp);
            if (length == 0 || !surely) break;
            // The rules' state after it, as grapheme_break records it.
            if (const int plain_width = plain_text_width(cp); plain_width != 0) {
                grapheme = {cp, plain_text::OTHER_STATE};
                width = static_cast<std::size_t>(plain_width);
            } else if (is_hangul_syllable(cp)) {
                grapheme = {cp, hangul_syllable_state(cp)};
                width = 2;
            } else {
                break;
            }
        }
        if (width <= room) {
            room -= width;
            columns += width;
            fitting += length;
        } else {
            // The piece wraps: what fits goes first.
            const auto* piece = reinterpret_cast<const char*>(bytes + taken);
            writer_put_fitting(w, piece - fitting, fitting, columns);
            writer_put_piece(w, piece, length, width);
            room = writer_row_room(w);
            fitting = 0;
            columns = 0;
        }
        taken += length;
    }
    writer_put_fitting(w, reinterpret_cast<const char*>(bytes + taken - fitting), fitting, columns);
    p.line.grapheme = grapheme;
    p.line.last_width = static_cast<int>(width);
    if (p.screen != nullptr && taken != 0)
        feed_plain_run(*p.screen, reinterpret_cast<const char*>(bytes), taken);
    return taken;
}

// The dispatcher's step for one byte, inline in the loop over the bytes
// the input holds.
[[gnu::always_inline]] inline void dispatch_byte(Processor& p, int b) {
    if (p.strings.open) {
        process_string_byte(p, b);
        return;
    }
    if (b >= 0x80 && p.extended) {
        process_utf8(p, static_cast<std::uint8_t>(b));
        return;
    }
    // A byte visits at most three states: text, none, control.
    for (;;) {
        switch (p.line.state) {
            case LINE_NONE:
                p.line.control_break = 1;
                if (b == LF || is_printable(b)) {
                    open_text_line(p);
                    p.line.state = LINE_TEXT;
                } else {
                    p.line.state = LINE_CONTROL;
                }
                continue;
            case LINE_TEXT:
                if (is_printable(b)) {
                    if (p.tally != nullptr) ++p.tally->text_bytes;
                    if (p.screen != nullptr)
                        feed_text_byte(*p.screen, static_cast<std::uint8_t>(b));
                    writer_putc(*p.writer, b);
                    p.line.grapheme = {static_cast<std::uint32_t>(b), 0};
                    p.line.last_width = 1;
                    return;
                }
                if (b == LF) {
                    // The LF that ends a text line is a control all the same.
                    if (p.tally != nullptr) tally_control(*p.tally, LF, tally_offset(p, 1));
                    if (p.screen != nullptr) feed_control(*p.screen, LF, p.extended);
                    writer_finish(*p.writer, "|.");
                    p.line.state = LINE_NONE;
                    return;
                }
                writer_finish(*p.writer, "|");
                p.line.state = LINE_NONE;
                continue;
            case LINE_CONTROL:
                if (is_printable(b)) {
                    writer_finish(*p.writer, "");
                    p.line.state = LINE_NONE;
                    continue;
                }
                if (b == ESC && process_escape_sequence(p)) return;
                if (p.tally != nullptr)
                    tally_control(*p.tally, static_cast<std::uint8_t>(b), tally_offset(p, 1));
                if (p.screen != nullptr) [[unlikely]] {
                    put_screen_control(p, b);
                    return;
                }
                put_control_item(p, b);
                return;
        }
        assert(!"Can't get here!");
        return;
    }
}

}  // namespace

void process_byte(Processor& p, int b) {
    dispatch_byte(p, b);
}

void process_buffered(Processor& p, std::size_t limit) {
    InputBuffer& in = *p.input;
    if (limit > MAX_BUFFERED_RUN) limit = MAX_BUFFERED_RUN;
    // An escape sequence may read on past the limit, which then ends the run.
    const std::uint64_t end = input_consumed(in) + limit;
    for (std::uint64_t at = input_consumed(in); at < end; at = input_consumed(in)) {
        const std::uint8_t* bytes = nullptr;
        std::size_t n = input_peek(in, &bytes);
        if (n == 0) return;
        if (n > end - at) n = static_cast<std::size_t>(end - at);
        // The held bytes stay as they are while the steps take one byte
        // each; a step that may read ahead (an escape, a control string,
        // UTF-8) asks the input again.
        const std::uint8_t* const stop = bytes + n;
        while (bytes != stop) {
            if (p.runs && !p.strings.open && is_printable(*bytes)) {
                // A run of text goes on the line in one piece, the line
                // opened for it where it begins one, once its first byte
                // is taken (the line's items begin where that byte does).
                std::size_t taken = 0;
                if (p.line.state != LINE_TEXT) [[unlikely]] {
                    input_skip(in, 1);
                    taken = 1;
                    enter_text(p);
                }
                const std::size_t run =
                    printable_run(bytes, static_cast<std::size_t>(stop - bytes));
                writer_put_run(*p.writer, reinterpret_cast<const char*>(bytes), run);
                if (p.screen != nullptr)
                    feed_text_run(*p.screen, reinterpret_cast<const char*>(bytes), run);
                if (p.tally != nullptr) p.tally->text_bytes += run;
                p.line.grapheme = {bytes[run - 1], 0};
                p.line.last_width = 1;
                input_skip(in, run - taken);
                bytes += run;
                continue;
            }
            if (p.runs && p.extended && p.line.state == LINE_TEXT && !p.strings.open &&
                *bytes >= 0x80 && p.utf8_runs) {
                const std::size_t run =
                    process_plain_run(p, bytes, static_cast<std::size_t>(stop - bytes));
                if (run != 0) {
                    if (p.tally != nullptr) p.tally->text_bytes += run;
                    input_skip(in, run);
                    bytes += run;
                    continue;
                }
            }
            // Any other byte as the main loop would hand it over.
            const std::uint8_t b = *bytes++;
            const bool reads_ahead = b == ESC || p.strings.open || (b >= 0x80 && p.extended);
            input_skip(in, 1);
            dispatch_byte(p, b);
            if (reads_ahead) break;
        }
    }
}

bool processor_init(Processor& p, InputBuffer* input, LineWriter* writer,
                    const ProcessorSettings& settings) {
    p.input = input;
    p.writer = writer;
    p.print_carets = settings.print_carets;
    p.extended = settings.extended;
    p.keys = settings.extended && settings.keys;
    p.tally = settings.tally;
    p.queries = settings.extended ? settings.queries : nullptr;
    p.listens = p.keys || p.queries != nullptr;
    p.elapsed = settings.extended ? settings.elapsed : nullptr;
    p.runs = !settings.reference;
    p.utf8_runs = p.runs;
    if (p.tally != nullptr) p.tally->extended = p.extended;
    if (p.extended && p.strings.current == nullptr) {
        p.strings.current = allocate_record<ControlString>();
        if (p.strings.current == nullptr) return false;
    }
    if (settings.terminfo != nullptr && p.terminfo == nullptr) {
        p.terminfo = allocate_record<TerminfoView>();
        if (p.terminfo == nullptr) return false;
        p.terminfo->entry = settings.terminfo;
    }
    if (settings.pen && p.pen == nullptr) {
        p.pen = allocate_record<Pen>();
        if (p.pen == nullptr) return false;
    }
    p.check = settings.check;
    if (settings.screen != nullptr && p.screen == nullptr) {
        p.screen = allocate_record<ScreenFeed>();
        if (p.screen == nullptr) return false;
        p.screen->screen = settings.screen;
        if (settings.pen) {
            p.screen->page = writer;
            p.screen->special = true;
        }
    }
    if (!p.keys && !settings.pen && !settings.reference && p.terminfo == nullptr &&
        p.check == nullptr && p.queries == nullptr && p.memo == nullptr &&
        p.parsed_memo == nullptr) {
        SequenceMemo* memo = allocate_zeroed_record<SequenceMemo>();
        if (memo == nullptr) return false;
        (p.screen != nullptr ? p.parsed_memo : p.memo) = memo;
        if (p.screen != nullptr) p.screen->memo = memo;
    }
    return input != nullptr && writer != nullptr;
}

void processor_release(Processor& p) {
    if (Processor* inner = p.nesting.inner) {
        input_free(inner->input);
        release_record(inner->strings.current);
        release_record(inner);
        p.nesting.inner = nullptr;
    }
    release_record(p.strings.current);
    release_record(p.pen);
    release_record(p.terminfo);
    release_record(p.screen);
    p.screen = nullptr;
    std::free(p.memo);
    std::free(p.parsed_memo);
    p.strings.current = nullptr;
    p.pen = nullptr;
    p.terminfo = nullptr;
    p.memo = nullptr;
    p.parsed_memo = nullptr;
}

void format_clock(char* out, std::size_t size, double seconds) {
    const auto millis = static_cast<std::uint64_t>(std::llround(seconds * 1000.0));
    const std::uint64_t whole = millis / 1000, minutes = whole / 60, hours = minutes / 60;
    if (hours != 0) {
        std::snprintf(out, size, "%" PRIu64 ":%02" PRIu64 ":%02" PRIu64 ".%03" PRIu64, hours,
                      minutes % 60, whole % 60, millis % 1000);
    } else {
        std::snprintf(out, size, "%" PRIu64 ":%02" PRIu64 ".%03" PRIu64, minutes, whole % 60,
                      millis % 1000);
    }
}

void print_pause(Processor& p, double delay) {
    const double at = p.elapsed != nullptr ? *p.elapsed : NAN;
    if (!std::isfinite(at) || at < 0.0 || at >= 1e9) {
        print_delay_line(*p.writer, "%f", delay);
        return;
    }
    char clock[CLOCK_SIZE];
    format_clock(clock, sizeof clock, at);
    print_delay_line(*p.writer, "%f at %s", delay, clock);
}

void process_pause(Processor& p, double delay) {
    if (p.tally != nullptr) tally_delay(*p.tally, delay);
    if (p.check != nullptr) {
        p.check->elapsed += delay;
        p.check->timed = true;
    }
    if (p.elapsed != nullptr) *p.elapsed += delay;
    if (p.strings.open) {
        p.strings.held_delay += delay;
        ++p.strings.held_pauses;
        return;
    }
    // A run of text that straddles a pause becomes two text lines.
    finish_state(p);
    print_pause(p, delay);
}

void process_break(Processor& p) {
    if (!p.strings.open) finish_state(p);
}

void finish_state(Processor& p) {
    if (p.strings.open) end_string(p, END_OF_INPUT);
    switch (p.line.state) {
        case LINE_TEXT: writer_finish(*p.writer, "|"); break;
        case LINE_CONTROL: writer_finish(*p.writer, ""); break;
        case LINE_NONE: break;
        default: assert(!"Can't get here!");
    }
    p.line.state = LINE_NONE;
}

}  // namespace vorsk
