#include "driver/timing.h"

#include <cctype>
#include <cstdio>

#include "driver/options.h"

namespace vorsk {

bool read_timing_record(TimingRecord& record) {
    std::FILE* f = options.timings;
    double delay = 0.0;
    unsigned count = 0;
    bool ok = f != nullptr && std::fscanf(f, "%lf", &delay) == 1;
    if (ok) {
        // "%u" would take "-5" as 4294967291 and swallow every later delay;
        // a count with a minus sign is malformed.
        int c;
        do c = std::getc(f);
        while (c != EOF && std::isspace(c));
        if (c != EOF) std::ungetc(c, f);
        ok = c != '-' && std::fscanf(f, "%u", &count) == 1;
    }
    if (!ok) {
        record = TimingRecord{};
        options.timings = nullptr;
        return false;
    }
    record.delay = delay;
    record.count = count;
    return true;
}

void timing_step(Processor& p) {
    const std::uint64_t consumed = input_consumed(*p.input);
    // A run of text that straddles the step becomes two text lines.
    finish_state(p);
    // Each record is the pause that came before its bytes: its delay line
    // stands right here, and its count sets the next budget. Records of count
    // 0 give consecutive delay lines in one step.
    do {
        TimingRecord record;
        if (!read_timing_record(record)) break;
        print_delay_line(*p.writer, "%f", record.delay);
        p.timing_budget += record.count;
    } while (options.timings != nullptr && p.timing_budget <= consumed);
    // Bytes consumed beyond the budget (a sequence that ran across it) are
    // charged to the next one.
    p.timing_budget -= consumed;
    input_reset_consumed(*p.input);
}

}  // namespace vorsk
