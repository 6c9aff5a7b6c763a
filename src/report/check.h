// The report of --check: each finding as it is found, then a count per
// rule; with --summary=json, one JSON object.
#pragma once

#include "output/line_writer.h"
#include "terminfo/check.h"

namespace vorsk {

struct CheckReport {
    LineWriter* writer = nullptr;
    const char* term = "";
    bool json = false;
    bool begun = false;  // the JSON object is open
    std::uint64_t written = 0;
};

// The handler the check view reports each finding to (arg: the report).
void report_finding(void* report, const Finding& finding);
// The counts, after the input's end.
void write_check_report(CheckReport& report, const CheckView& view);

}  // namespace vorsk
