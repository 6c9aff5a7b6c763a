// The parser: one pass over the bytes after an ESC, into a Sequence record.
#pragma once

#include "input/input_buffer.h"
#include "parse/sequence.h"

namespace vorsk {

inline constexpr bool is_intermediate(int c) {
    return c >= 0x20 && c <= 0x2f;
}
inline constexpr bool is_digit(int c) {
    return c >= '0' && c <= '9';
}
inline constexpr bool is_private_marker(int c) {
    return c == ':' || c == '<' || c == '=' || c == '>' || c == '?';
}

// Called right after an ESC has been taken from the input. True: a sequence
// was read and filled in, and the input stands after it. False: the bytes
// after the ESC are no sequence, and the input stands just after the ESC
// again, to read them once more as ordinary input.
//
// "[" followed by anything but a well-formed control sequence is the C1
// control CSI on its own, an Fe sequence, and the bytes after the "[" are
// read again.
// In extended mode a parameter may carry sub-parameters after ":", as ITU
// T.416 colours do, without a private marker too.
bool parse_sequence(InputBuffer& in, Sequence& s, bool extended);

}  // namespace vorsk
