#include "parse/parser.h"

#include <iterator>

namespace vorsk {
namespace {

constexpr bool is_digit(int c) {
    return c >= '0' && c <= '9';
}
constexpr bool is_parameter_byte(int c) {
    return c >= 0x30 && c <= 0x3f;
}
constexpr bool is_csi_final(int c) {
    return c >= 0x40 && c <= 0x7e;
}
constexpr bool is_nf_final(int c) {
    return c >= 0x30 && c <= 0x7e;
}

// The next byte of the sequence, kept in its record; EOF at the end of the
// input or of the look-ahead.
int next_byte(InputBuffer& in, Sequence& s) {
    if (s.n_bytes == MAX_SEQUENCE_BYTES) return EOF;
    const int c = input_get(in);
    if (c != EOF) s.bytes[s.n_bytes++] = static_cast<std::uint8_t>(c);
    return c;
}

void add_intermediate(Sequence& s, int c) {
    if (s.n_intermediates < std::size(s.intermediates)) {
        s.intermediates[s.n_intermediates] = static_cast<std::uint8_t>(c);
    }
    ++s.n_intermediates;
}

void add_parameter(Sequence& s, std::uint32_t value, bool present, int ended_by) {
    if (s.n_params == MAX_PARAMETERS) return;
    s.params[s.n_params++] = {value, present, static_cast<std::uint8_t>(ended_by)};
}

// ESC, intermediates, one final byte.
bool parse_nf(InputBuffer& in, Sequence& s, int c) {
    while (is_intermediate(c)) {
        add_intermediate(s, c);
        c = next_byte(in, s);
    }
    if (!is_nf_final(c)) return false;
    s.final_byte = static_cast<std::uint8_t>(c);
    return true;
}

// After ESC "[": an optional private marker, parameter bytes, intermediates
// and a final byte. Without a private marker, only digits and ";" are
// parameter bytes. Every byte that is not a digit ends the parameter before
// it, except the marker and the intermediates after the first.
bool parse_csi(InputBuffer& in, Sequence& s, bool extended) {
    int c = next_byte(in, s);
    if (is_private_marker(c)) {
        s.marker = static_cast<std::uint8_t>(c);
        c = next_byte(in, s);
    }
    std::uint32_t value = 0;
    bool digits = false;
    while (is_parameter_byte(c)) {
        if (is_digit(c)) {
            // Modulo 2^32 by definition of the unsigned type.
            value = value * 10u + static_cast<std::uint32_t>(c - '0');
            digits = true;
        } else {
            if (s.marker == 0 && c != ';' && !(extended && c == ':')) return false;
            add_parameter(s, value, digits, c);
            value = 0;
            digits = false;
        }
        c = next_byte(in, s);
    }
    // A control byte, DEL, a byte from 0x80 up or the end of the look-ahead:
    // not a control sequence.
    if (!is_intermediate(c) && !is_csi_final(c)) return false;
    add_parameter(s, value, digits, c);
    while (is_intermediate(c)) {
        add_intermediate(s, c);
        c = next_byte(in, s);
    }
    // A parameter byte after an intermediate is no control sequence either.
    if (!is_csi_final(c)) return false;
    s.final_byte = static_cast<std::uint8_t>(c);
    return true;
}

}  // namespace

bool parse_sequence(InputBuffer& in, Sequence& s, bool extended) {
    s.marker = 0;
    s.n_intermediates = 0;
    s.n_params = 0;
    s.n_bytes = 0;
    input_mark(in);
    const int b = next_byte(in, s);
    bool ok = true;
    switch (b >> 4) {
        case 0x2:
            s.kind = NF_SEQUENCE;
            ok = parse_nf(in, s, b);
            break;
        case 0x3: s.kind = FP_SEQUENCE; break;
        case 0x4:
        case 0x5:
            s.kind = FE_SEQUENCE;
            if (b == '[') {
                if (parse_csi(in, s, extended)) {
                    s.kind = CSI_SEQUENCE;
                    break;
                }
                // CSI alone: the bytes after the "[" are read again.
                input_rewind(in);
                input_get(in);
                s.marker = 0;
                s.n_intermediates = 0;
                s.n_params = 0;
                s.n_bytes = 1;
            }
            break;
        case 0x6:
        case 0x7:
            ok = b != 0x7f;
            s.kind = FS_SEQUENCE;
            break;
        default: ok = false; break;  // C0 controls, a second ESC, every byte from 0x80 up, EOF
    }
    if (!ok) {
        input_rewind(in);
        return false;
    }
    if (s.kind != NF_SEQUENCE && s.kind != CSI_SEQUENCE)
        s.final_byte = static_cast<std::uint8_t>(b);
    // Changes nothing when the CSI fallback has already taken the "[" unmarked.
    input_commit(in);
    return true;
}

}  // namespace vorsk
