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

}  // namespace vorsk
