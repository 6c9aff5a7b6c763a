#pragma once

#include "decode/processor.h"

namespace vorsk {

// The one loop of the program: takes the input byte by byte through the
// dispatcher, giving the timing and signal hooks their turn between bytes.
// Returns the exit status.
int run(Processor& p);

}  // namespace vorsk
