// Recognition of escape sequences after an ESC: Fp, Fe, Fs and nF.
#pragma once

#include "decode/processor.h"

namespace vorsk {

// Called right after an ESC has been taken from the input. True: a sequence
// was consumed and reported. False: nothing was printed and the input stands
// just after the ESC again.
bool process_escape_sequence(Processor& p);
bool process_nf_sequence(Processor& p, int first_intermediate);
bool process_fp_sequence(Processor& p, int b);
bool process_fe_sequence(Processor& p, int b);
bool process_fs_sequence(Processor& p, int b);

// Echoes one sequence byte on the open escape line.
void print_esc_char(Processor& p, int c);

inline constexpr bool is_intermediate(int c) { return c >= 0x20 && c <= 0x2f; }
inline constexpr bool is_final(int c) { return c >= 0x30 && c <= 0x7e; }

}  // namespace vorsk
