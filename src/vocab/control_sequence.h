// Control sequences: the label line and the description lines of a parsed
// control sequence, from its record in the function table.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vocab/functions.h"

namespace vorsk {

// The parameter values a handler of this record receives: each parameter's
// value, or for an empty one the record's default (none for -1), at most
// MAX_CSI_PARAMS of them; then the defaults that fill a list left empty or a
// pair left short. Returns their count.
std::size_t csi_arguments(const Sequence& s, const CsiFunction& function,
                          std::uint32_t (&values)[MAX_CSI_PARAMS]);

// The label line and the description lines that follow the escape line.
void describe_control_sequence(const Sequence& s, LineWriter& w, bool extended);

}  // namespace vorsk
