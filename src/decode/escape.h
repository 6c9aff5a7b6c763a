// Escape sequences after an ESC: Fp, Fe, Fs, nF and control sequences,
// each parsed once and then written as an escape line, a label line and
// description lines.
#pragma once

#include "decode/processor.h"

namespace vorsk {

// Called right after an ESC has been taken from the input. True: a sequence
// was consumed and reported. False: nothing was printed and the input stands
// just after the ESC again.
bool process_escape_sequence(Processor& p);

// The acronym and name of the two-byte escape ESC b (0x30 to 0x7E), or
// false where it has none.
bool two_byte_escape_name(std::uint8_t b, std::string_view* acronym, std::string_view* name);

// Echoes one sequence byte on the open escape line.
void print_esc_char(LineWriter& w, int c);

}  // namespace vorsk
