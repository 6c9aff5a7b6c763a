// The timing file of a recorded typescript: delay lines at the points of
// the byte stream where the recorded pauses fell.
#pragma once

#include <cstdint>

#include "decode/processor.h"

namespace vorsk {

struct TimingRecord {
    double delay = 0.0;       // seconds of pause before the record's bytes
    std::uint64_t count = 0;  // bytes that followed the pause
};

// Reads the next record "SECONDS BYTES". At the end of the file, a read
// error or a malformed record, it forgets the file for good and returns
// false, with the record zeroed.
bool read_timing_record(TimingRecord& record);

// Closes the open output line, prints the delay lines that are due and sets
// the next budget.
void timing_step(Processor& p);

}  // namespace vorsk
