// Extended mode: control strings read as units. The introducer opens an
// escape line; the payload is echoed onto it as it is read (bulk data only
// up to a bound) and kept in part for the describers; the terminator ends
// the line, and the label and description lines follow.
#pragma once

#include "decode/processor.h"

namespace vorsk {

// After ESC and the introducer "]", "P", "_", "^", "X" or "k".
void begin_string(Processor& p, std::uint8_t introducer);
// A byte while a string is open.
void process_string_byte(Processor& p, int b);
void end_string(Processor& p, StringEnd end);

}  // namespace vorsk
