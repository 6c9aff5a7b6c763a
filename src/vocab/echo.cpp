#include "vocab/echo.h"

#include <cassert>
#include <cstddef>
#include <cstdint>

#include "parse/parser.h"

namespace vorsk {
namespace {

// An escape line composed before it is written: its text, and where each
// piece ends, so that a line longer than a row wraps between the pieces as
// it does when they are written one by one. A byte echoes as at most four
// bytes (" Esc"), and a run of digits as at most one more than its length.
struct EchoLine {
    char text[4 * MAX_SEQUENCE_BYTES + 8];
    std::uint16_t ends[MAX_SEQUENCE_BYTES + 2];
    std::size_t size = 0;
    std::size_t pieces = 0;

    void add(const char* piece, std::size_t n) {
        plain_output::put(text + size, {piece, n});
        size += n;
        ends[pieces++] = static_cast<std::uint16_t>(size);
    }
    // The echo of a byte after ESC.
    void add_byte(int c) {
        if (c == 0x20) {
            add(" Spc", 4);
        } else if (c == 0x1b) {
            add(" Esc", 4);
        } else {
            assert(c > 0x20 && c < 0x7f);
            text[size] = ' ';
            text[size + 1] = static_cast<char>(c);
            size += 2;
            ends[pieces++] = static_cast<std::uint16_t>(size);
        }
    }
    // The echo " %d" of a value: its 32 bits read as signed, so 2^31 shows
    // as -2147483648.
    void add_value(std::uint32_t value) {
        char item[12];
        char* end = item + sizeof item;
        char* digit = end;
        const bool negative = static_cast<std::int32_t>(value) < 0;
        std::uint32_t magnitude = negative ? 0u - value : value;
        do {
            *--digit = static_cast<char>('0' + magnitude % 10u);
            magnitude /= 10u;
        } while (magnitude != 0);
        if (negative) *--digit = '-';
        *--digit = ' ';
        add(digit, static_cast<std::size_t>(end - digit));
    }
};

// In one piece when the line fits a row, else piece by piece.
void write_echo(LineWriter& w, const EchoLine& echo) {
    if (writer_line(w, ESCAPE_LINE, {echo.text, echo.size}, "")) return;
    writer_start(w, ESCAPE_LINE);
    std::size_t begin = 0;
    for (std::size_t i = 0; i < echo.pieces; ++i) {
        writer_putn(w, echo.text + begin, echo.ends[i] - begin);
        begin = echo.ends[i];
    }
    writer_finish(w, "");
}

}  // namespace

// The escape line of a control sequence: every byte after ESC "[" echoed,
// each run of digits as the value it makes.
void echo_control_sequence(LineWriter& w, const Sequence& s) {
    EchoLine echo;
    echo.add(" Esc [", 6);
    std::uint32_t value = 0;
    std::size_t digits = 0;
    for (std::size_t i = 1; i < s.n_bytes; ++i) {
        const int b = s.bytes[i];
        if (is_digit(b)) {
            value = value * 10u + static_cast<std::uint32_t>(b - '0');
            ++digits;
            continue;
        }
        if (digits != 0) {
            // Up to nine digits without a leading zero read as they stand.
            const char* run = reinterpret_cast<const char*>(s.bytes + i - digits);
            if (digits < 10 && (digits == 1 || run[0] != '0')) {
                echo.text[echo.size] = ' ';
                ++echo.size;
                echo.add(run, digits);
            } else {
                echo.add_value(value);
            }
        }
        value = 0;
        digits = 0;
        echo.add_byte(b);
    }
    write_echo(w, echo);
}

// The escape line of an nF sequence, every byte echoed.
void echo_nf_sequence(LineWriter& w, const Sequence& s) {
    EchoLine echo;
    echo.add(" Esc", 4);
    for (std::size_t i = 0; i < s.n_bytes; ++i) echo.add_byte(s.bytes[i]);
    write_echo(w, echo);
}

}  // namespace vorsk
