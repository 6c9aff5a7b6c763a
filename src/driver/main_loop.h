#pragma once

#include "decode/processor.h"
#include "input/source.h"

namespace vorsk {

// The one loop of the program: decodes the events of the source until its
// end, giving caught signals their turn between events. Returns the exit
// status: 1 after a read error.
int run(Processor& p, Source& source, const char* program_name);

// The loop alone, without the final flush and the report of a read error.
void decode_source(Processor& p, Source& source);

}  // namespace vorsk
