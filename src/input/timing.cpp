#include "input/timing.h"

#include <cctype>

namespace vorsk {

bool read_timing_record(std::FILE*& file, TimingRecord& record) {
    double delay = 0.0;
    unsigned count = 0;
    bool ok = file != nullptr && std::fscanf(file, "%lf", &delay) == 1;
    if (ok) {
        // "%u" would take "-5" as 4294967291 and swallow every later delay;
        // a count with a minus sign is malformed.
        int c;
        do c = std::getc(file);
        while (c != EOF && std::isspace(c));
        if (c != EOF) std::ungetc(c, file);
        ok = c != '-' && std::fscanf(file, "%u", &count) == 1;
    }
    if (!ok) {
        record = TimingRecord{};
        file = nullptr;
        return false;
    }
    record.delay = delay;
    record.count = count;
    return true;
}

}  // namespace vorsk
