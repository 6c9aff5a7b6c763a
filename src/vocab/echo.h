// Escape lines: every byte of a sequence after ESC echoed, a control
// sequence's runs of digits as the values they make.
#pragma once

#include "output/line_writer.h"
#include "parse/sequence.h"

namespace vorsk {

void echo_control_sequence(LineWriter& w, const Sequence& s);
void echo_nf_sequence(LineWriter& w, const Sequence& s);

}  // namespace vorsk
