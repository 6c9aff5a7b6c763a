#include "decode/strings.h"

#include <algorithm>
#include <cassert>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "allocation.h"
#include "parse/utf8.h"
#include "text/safe_text.h"
#include "text/unicode.h"
#include "vocab/strings.h"

namespace vorsk {
namespace {

constexpr int ESC = 0x1b;

bool take_payload_byte(ControlString& s, std::uint8_t b) {
    return control_string_take(s, b, find_bulk_start);
}

// Columns a payload row keeps free: the longest terminator (" Esc \")
// always goes on the row where the payload ends, never alone on a row of
// its own, even after the last character widens to two columns as the
// rest of its cluster joins it; and a row broken inside a token has room
// for its mark.
constexpr std::size_t TERMINATOR_COLUMNS = 7;

// Before a payload piece of `columns` columns: the row ends here when the
// piece would run into the columns kept free. A break between two pieces
// that are not blanks (inside a word, a path, a URL) is marked with "-" at
// the end of the row and at the start of the next, so that the token reads
// back whole without the two marks.
void make_room(Processor& p, std::size_t columns, bool blank) {
    LineWriter& w = *p.writer;
    ControlString& s = *p.strings.current;
    const bool inside = s.in_token && !blank;
    s.in_token = !blank;
    if (w.suppressed || w.column + columns + TERMINATOR_COLUMNS <= w.width) return;
    if (inside) writer_putn(w, "-", 1);
    writer_break_row(w, inside ? "-" : "");
}

// An item ends whatever cluster came before it: what follows it stands on
// its own, as on the screen after the item's ">".
void echo_item(Processor& p, const char* text) {
    // "<NAME>", cut as a buffer of 24 bytes would cut it.
    char item[23];
    std::size_t n = 0;
    item[n++] = '<';
    const std::size_t copied = std::min(std::strlen(text), sizeof item - 1);
    std::memcpy(item + n, text, copied);
    n += copied;
    if (n < sizeof item) item[n++] = '>';
    make_room(p, n, false);
    writer_putn(*p.writer, item, n);
    p.line.grapheme = {'>', 0};
    p.line.last_width = 1;
}

// Where the echo of bulk data stops: "...", once; the count follows at the end.
void echo_bulk_cut(Processor& p) {
    ControlString& s = *p.strings.current;
    if (s.bulk_cut) return;
    s.bulk_cut = true;
    make_room(p, 3, false);
    writer_putn(*p.writer, "...", 3);
}

// The payload byte b, read from the input; a UTF-8 character takes the
// bytes after it too.
void payload_byte(Processor& p, std::uint8_t b) {
    ControlString& s = *p.strings.current;
    LineWriter& w = *p.writer;
    if (b >= 0x80) {
        Utf8Char ch;
        if (!parse_utf8(*p.input, b, ch)) {
            if (!take_payload_byte(s, b)) {
                echo_bulk_cut(p);
                return;
            }
            char hex[4];
            std::snprintf(hex, sizeof hex, "x%02X", b);
            echo_item(p, hex);
            return;
        }
        bool echo = true;
        for (std::size_t i = 0; i < ch.n; ++i) echo = take_payload_byte(s, ch.bytes[i]) && echo;
        if (!echo) {
            echo_bulk_cut(p);
            return;
        }
        if (const char* name = unsafe_code_point_name(ch.cp)) {
            char item[CODE_POINT_ITEM_SIZE];
            format_code_point_item(item, ch.cp, name);
            echo_item(p, item);
            return;
        }
        // A grapheme cluster stays whole here too.
        const std::uint32_t previous = p.line.grapheme.last;
        const auto* bytes = reinterpret_cast<const char*>(ch.bytes);
        if (!grapheme_break(p.line.grapheme, ch.cp)) {
            const int width = joined_width(previous, ch.cp, p.line.last_width);
            writer_join(w, bytes, ch.n, static_cast<std::size_t>(width));
            p.line.last_width += width;
            return;
        }
        p.line.last_width = code_point_width(ch.cp);
        make_room(p, static_cast<std::size_t>(p.line.last_width), false);
        writer_put_piece(w, bytes, ch.n, static_cast<std::size_t>(p.line.last_width));
        return;
    }
    p.line.grapheme = {b, 0};
    p.line.last_width = 1;
    if (!take_payload_byte(s, b)) {
        echo_bulk_cut(p);
        return;
    }
    if (b < 0x20 || b == 0x7f) {
        echo_item(p, c0_item_name(b));
    } else {
        make_room(p, 1, b == ' ');
        writer_putc(w, b);
    }
}

const char* terminator_echo(StringEnd end) {
    switch (end) {
        case END_ST: return " Esc \\";
        case END_BEL: return " BEL";
        case END_CAN: return " CAN";
        case END_SUB: return " SUB";
        case END_ESCAPE:
        case END_OF_INPUT: return "";
    }
    return "";
}

bool is_tmux_passthrough(const ControlString& s) {
    return s.kind == DCS_STRING && s.text().starts_with("tmux;");
}

// Decodes the sequences a tmux pass-through carries, with every doubled
// ESC made single again, as the outer terminal would see them.
void decode_passthrough(Processor& p, const ControlString& s) {
    if (p.nesting.nested || !s.whole()) return;
    if (p.nesting.inner == nullptr) {
        p.nesting.inner = allocate_record<Processor>();
        if (p.nesting.inner == nullptr) return;
        p.nesting.inner->input = input_new(ByteSource{}, LOOKAHEAD_LIMIT);
        p.nesting.inner->strings.current = allocate_record<ControlString>();
        if (p.nesting.inner->input == nullptr || p.nesting.inner->strings.current == nullptr)
            return;
    }
    Processor& inner = *p.nesting.inner;
    std::uint8_t bytes[STRING_HEAD_SIZE];
    std::size_t n = 0;
    const std::string_view carried = s.text().substr(5);
    for (std::size_t i = 0; i < carried.size(); ++i) {
        bytes[n++] = static_cast<std::uint8_t>(carried[i]);
        if (carried[i] == ESC && i + 1 < carried.size() && carried[i + 1] == ESC) ++i;
    }
    input_reset(*inner.input, ByteSource{.data = bytes, .size = n});
    inner.writer = p.writer;
    inner.print_carets = p.print_carets;
    inner.extended = true;
    inner.nesting.nested = true;
    inner.tally = p.tally;
    inner.pen = p.pen;
    inner.screen = p.screen;
    inner.nesting.outer_offset = p.strings.offset;
    inner.line.state = LINE_NONE;
    inner.line.control_break = 0;
    for (int c = input_get(*inner.input); c != EOF; c = input_get(*inner.input))
        process_byte(inner, c);
    if (inner.strings.open) end_string(inner, END_OF_INPUT);
    // The outer terminal sees the cargo and what follows it as one stream:
    // an open line goes on.
    p.line.state = inner.line.state;
    p.line.control_break = inner.line.control_break;
    p.line.grapheme = inner.line.grapheme;
    p.line.last_width = inner.line.last_width;
}

}  // namespace

void begin_string(Processor& p, std::uint8_t introducer) {
    assert(p.strings.current != nullptr);
    control_string_begin(*p.strings.current, introducer);
    p.strings.open = true;
    p.strings.offset = tally_offset(p, 2);
    p.strings.held_delay = 0.0;
    p.strings.held_pauses = 0;
    p.line.grapheme = GraphemeState{};
    writer_start(*p.writer, STRING_LINE);
    const char intro[] = {' ', 'E', 's', 'c', ' ', static_cast<char>(introducer), ' '};
    writer_putn(*p.writer, intro, sizeof intro - 1);
    // The payload follows after one blank.
    writer_putn(*p.writer, " ", 1);
}

void process_string_byte(Processor& p, int b) {
    StringEnd end = END_ST;
    switch (control_string_byte(*p.input, *p.strings.current, b, &end)) {
        case STRING_PAYLOAD: payload_byte(p, static_cast<std::uint8_t>(b)); return;
        case STRING_TMUX_ESCAPE:
            payload_byte(p, ESC);
            payload_byte(p, ESC);
            return;
        case STRING_ENDS: end_string(p, end); return;
        case STRING_ENDS_BEFORE:
            end_string(p, end);
            process_byte(p, ESC);
            return;
    }
}

void end_string(Processor& p, StringEnd end) {
    ControlString& s = *p.strings.current;
    LineWriter& w = *p.writer;
    s.end = end;
    p.strings.open = false;
    if (p.tally != nullptr) tally_string(*p.tally, s, p.strings.offset);
    if (p.check != nullptr && !p.keys) check_string(*p.check, s, p.strings.offset);
    if (s.bulk_length() > BULK_ECHO_LIMIT) {
        writer_printf(w, " (%" PRIu64 " bytes)", s.bulk_length());
    }
    writer_puts(w, terminator_echo(end));
    writer_finish(w, "");
    w.wrap_descriptions = true;
    // Typed input: a string that answers a query is that answer.
    if (!p.keys || !describe_answer_string(s, w, p.queries)) describe_string(s, w);
    if (p.queries != nullptr && !p.keys) note_query(*p.queries, query_of_string(s));
    switch (end) {
        case END_CAN: print_description_line(w, "The string was cancelled by CAN."); break;
        case END_SUB: print_description_line(w, "The string was cancelled by SUB."); break;
        case END_ESCAPE:
            print_description_line(w,
                                   "The string is unterminated: another escape sequence follows.");
            break;
        case END_OF_INPUT:
            print_description_line(w, "The string is unterminated: the input ends.");
            break;
        case END_ST:
        case END_BEL: break;
    }
    w.wrap_descriptions = false;
    if (p.terminfo != nullptr && !p.keys)
        write_string_capability_line(*p.terminfo, w, s, p.strings.offset);
    if (p.strings.held_pauses > 0) {
        print_pause(p, p.strings.held_delay);
        p.strings.held_pauses = 0;
    }
    p.line.state = LINE_CONTROL;
    p.line.control_break = 1;
    if (p.screen != nullptr && !p.keys) screen_string(p, s);
    // What a pass-through carries follows its own lines.
    if (is_tmux_passthrough(s)) {
        // Its lines belong to the string, whose item it is.
        w.nested = true;
        decode_passthrough(p, s);
        w.nested = false;
    }
}

}  // namespace vorsk
