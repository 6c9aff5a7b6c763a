#include "decode/processor.h"

#include <array>
#include <cassert>

#include "decode/escape.h"

namespace vorsk {
namespace {

constexpr std::uint8_t ESC = 0x1b;
constexpr std::uint8_t LF = 0x0a;
constexpr std::uint8_t DEL = 0x7f;

// Names of the C0 controls, by byte value.
constexpr auto c0_names = std::to_array<const char*>({
    /* 0x00 */ "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL",
    /* 0x08 */ "BS",  "HT",  "LF",  "VT",  "FF",  "CR",  "SO",  "SI",
    /* 0x10 */ "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB",
    /* 0x18 */ "CAN", "EM",  "SUB", "ESC", "IS4", "IS3", "IS2", "IS1",
});
static_assert(c0_names.size() == 0x20, "one name per C0 control");

void open_text_line(Processor& p) {
    writer_start(*p.writer, TEXT_LINE);
}

}  // namespace

void process_byte(Processor& p, int b) {
    // A byte visits at most three states: text, none, control.
    for (;;) {
        switch (p.line_state) {
            case LINE_NONE:
                p.control_break = 1;
                if (b == LF || is_printable(b)) {
                    open_text_line(p);
                    p.line_state = LINE_TEXT;
                } else {
                    p.line_state = LINE_CONTROL;
                }
                continue;
            case LINE_TEXT:
                if (is_printable(b)) {
                    writer_putc(*p.writer, b);
                    return;
                }
                if (b == LF) {
                    writer_finish(*p.writer, "|.");
                    p.line_state = LINE_NONE;
                    return;
                }
                writer_finish(*p.writer, "|");
                p.line_state = LINE_NONE;
                continue;
            case LINE_CONTROL:
                if (is_printable(b)) {
                    writer_finish(*p.writer, "");
                    p.line_state = LINE_NONE;
                    continue;
                }
                if (b == ESC && process_escape_sequence(p)) return;
                print_control(p, b);
                return;
        }
        assert(!"Can't get here!");
        return;
    }
}

void process_text_run(Processor& p, std::size_t limit) {
    const std::uint8_t* bytes = nullptr;
    std::size_t n = input_peek(*p.input, &bytes);
    if (n > limit) n = limit;
    std::size_t run = 0;
    while (run < n && is_printable(bytes[run])) ++run;
    if (run == 0) return;
    writer_put_run(*p.writer, reinterpret_cast<const char*>(bytes), run);
    input_skip(*p.input, run);
}

void print_control(Processor& p, int b) {
    if (p.control_break) {
        p.control_break = 0;
        writer_start(*p.writer, CONTROL_LINE);
    }
    // The items " %s/^%c", " %s" and " x%02X", composed by hand: this is
    // the busiest piece of output.
    char item[8];
    std::size_t n = 0;
    item[n++] = ' ';
    if (b < 0x20 || b == DEL) {
        for (const char* name = b == DEL ? "DEL" : c0_names[static_cast<std::size_t>(b)]; *name != '\0'; ++name) {
            item[n++] = *name;
        }
        if (p.print_carets) {
            item[n++] = '/';
            item[n++] = '^';
            item[n++] = static_cast<char>(b ^ 0x40);
        }
    } else {
        constexpr char hex[] = "0123456789ABCDEF";
        item[n++] = 'x';
        item[n++] = hex[b >> 4];
        item[n++] = hex[b & 0xf];
    }
    writer_putn(*p.writer, item, n);
    p.line_state = LINE_CONTROL;
}

void finish_state(Processor& p) {
    switch (p.line_state) {
        case LINE_TEXT: writer_finish(*p.writer, "|"); break;
        case LINE_CONTROL: writer_finish(*p.writer, ""); break;
        case LINE_NONE: break;
        default: assert(!"Can't get here!");
    }
    p.line_state = LINE_NONE;
}

}  // namespace vorsk
