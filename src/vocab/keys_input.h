// The input direction of extended mode: keys, the mouse, focus and paste
// as a terminal reports them.
#pragma once

#include <cstdint>

#include "output/line_writer.h"
#include "parse/sequence.h"
#include "vocab/answers.h"

namespace vorsk {

// The label and description of a control sequence a terminal sends for a
// key, the mouse, focus or paste; false when it is none of them. CSI row ;
// column R reads as a position report where a request for one is pending
// in queries (which may be nullptr).
bool describe_key_sequence(const Sequence& s, LineWriter& w, Queries* queries);
// ESC and a printable byte or DEL, typed in one piece: the key with Alt.
void describe_alt_key(LineWriter& w, std::uint8_t c);
// SS3 and the byte after it: a cursor or keypad key in application mode.
void describe_ss3_key(LineWriter& w, std::uint8_t c);
// CSI M and the three values of an X10 mouse report, each a byte, or a
// UTF-8 character in mode 1005.
void describe_x10_mouse(LineWriter& w, std::uint32_t b, std::uint32_t x, std::uint32_t y,
                        bool utf8);

}  // namespace vorsk
