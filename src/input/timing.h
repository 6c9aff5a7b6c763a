// The classic timing file of a recorded typescript: records "SECONDS BYTES",
// each the pause that came before its bytes.
#pragma once

#include <cstdint>
#include <cstdio>

namespace vorsk {

struct TimingRecord {
    double delay = 0.0;       // seconds of pause before the record's bytes
    std::uint64_t count = 0;  // bytes that followed the pause
};

// Reads the next record from file. At the end of the file, a read error or
// a malformed record, it forgets the file for good (file becomes nullptr)
// and returns false, with the record zeroed.
bool read_timing_record(std::FILE*& file, TimingRecord& record);

}  // namespace vorsk
