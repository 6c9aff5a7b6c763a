// --probe: asks the terminal vorsk runs on what it is and what it does, in
// raw mode, and shows its answers as typed input and then as a report of
// features.
#pragma once

#include "output/line_writer.h"

namespace vorsk {

struct ProbeSettings {
    const char* program_name = "vorsk";
    LineWriter* writer = nullptr;  // the account of the answers, and the report
    bool json = false;             // the report as one JSON object, without the account
    bool print_carets = true;
};

// Probes standard input and output when they are a terminal, else
// /dev/tty. Returns the exit status: 1 when there is no terminal, or it
// answered nothing.
int run_probe(const ProbeSettings& settings);

}  // namespace vorsk
