#include "parse/parser.h"

#include <iterator>

namespace vorsk {
namespace {

constexpr bool is_parameter_byte(int c) {
    return c >= 0x30 && c <= 0x3f;
}
constexpr bool is_csi_final(int c) {
    return c >= 0x40 && c <= 0x7e;
}
constexpr bool is_nf_final(int c) {
    return c >= 0x30 && c <= 0x7e;
}

// Where the parser takes its bytes. HeldBytes reads the bytes the input
// holds already, without a mark; when they run out before the sequence
// ends, the parse is abandoned and done again through MarkedInput, which
// reads ahead under a mark as far as the look-ahead allows.
struct HeldBytes {
    const std::uint8_t* next;
    const std::uint8_t* end;
    bool at_lookahead;     // end is where the look-ahead ends, not the held bytes
    bool ran_out = false;  // the held bytes ended before the sequence
    int get() {
        if (next != end) return *next++;
        if (!at_lookahead) ran_out = true;
        return EOF;
    }
};

struct MarkedInput {
    InputBuffer& in;
    int get() { return input_get(in); }
};

// The next byte of the sequence, kept in its record; EOF at the end of the
// input or of the look-ahead.
template <typename Bytes>
int next_byte(Bytes& in, Sequence& s) {
    if (s.n_bytes == MAX_SEQUENCE_BYTES) return EOF;
    const int c = in.get();
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
template <typename Bytes>
bool parse_nf(Bytes& in, Sequence& s, int c) {
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
template <typename Bytes>
bool parse_csi(Bytes& in, Sequence& s, bool extended) {
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

void clear(Sequence& s) {
    s.marker = 0;
    s.n_intermediates = 0;
    s.n_params = 0;
    s.n_bytes = 0;
}

// What a parse makes of the bytes after ESC.
enum Parsed : std::uint8_t {
    NO_SEQUENCE,  // read them again as ordinary input
    SEQUENCE,     // a sequence of s.n_bytes bytes
    CSI_ALONE,    // "[" alone: read the bytes after it again
};

template <typename Bytes>
Parsed parse_after_escape(Bytes& in, Sequence& s, bool extended) {
    clear(s);
    const int b = next_byte(in, s);
    switch (b >> 4) {
        case 0x2: s.kind = NF_SEQUENCE; return parse_nf(in, s, b) ? SEQUENCE : NO_SEQUENCE;
        case 0x3: s.kind = FP_SEQUENCE; break;
        case 0x4:
        case 0x5:
            s.kind = FE_SEQUENCE;
            if (b == '[') {
                if (parse_csi(in, s, extended)) {
                    s.kind = CSI_SEQUENCE;
                    return SEQUENCE;
                }
                clear(s);
                s.n_bytes = 1;
                s.final_byte = '[';
                return CSI_ALONE;
            }
            break;
        case 0x6:
        case 0x7:
            if (b == 0x7f) return NO_SEQUENCE;
            s.kind = FS_SEQUENCE;
            break;
        default: return NO_SEQUENCE;  // C0 controls, a second ESC, every byte from 0x80 up, EOF
    }
    s.final_byte = static_cast<std::uint8_t>(b);
    return SEQUENCE;
}

}  // namespace

bool parse_sequence(InputBuffer& in, Sequence& s, bool extended) {
    // Most sequences lie whole in the bytes the input holds: no mark, and
    // nothing to rewind.
    const std::uint8_t* bytes = nullptr;
    const std::size_t n = input_peek(in, &bytes);
    if (n != 0) {
        const std::size_t lookahead = input_lookahead_limit(in);
        HeldBytes held{bytes, bytes + (n < lookahead ? n : lookahead), n > lookahead};
        const Parsed parsed = parse_after_escape(held, s, extended);
        if (!held.ran_out) {
            if (parsed == NO_SEQUENCE) return false;
            input_skip(in, parsed == CSI_ALONE ? 1 : s.n_bytes);
            return true;
        }
    }
    input_mark(in);
    MarkedInput marked{in};
    switch (parse_after_escape(marked, s, extended)) {
        case NO_SEQUENCE: input_rewind(in); return false;
        case CSI_ALONE:
            // The bytes after the "[" are read again.
            input_rewind(in);
            input_get(in);
            return true;
        case SEQUENCE: input_commit(in); return true;
    }
    return false;
}

}  // namespace vorsk
