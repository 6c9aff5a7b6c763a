// The advanced timing file of util-linux script (--log-io, --log-in,
// --log-out, --log-timing): one record a line, a letter and the delay
// before it, then
//   O|I DELAY COUNT            COUNT bytes of output or input
//   S DELAY SIGNAL [INFO]      a signal, such as SIGWINCH ROWS=24 COLS=80
//   H DELAY NAME VALUE         a header: START_TIME, TERM, COMMAND, ...
// The bytes come from the output log, and from the input log (the same
// file, for --log-io). Each log begins with script's header line.
#pragma once

#include <cstdio>

#include "input/recording.h"

namespace vorsk {

struct AdvancedTiming;

// Whether the next record of the timing file is of the advanced format
// (a letter, where a classic record has a number); reads nothing away.
bool is_advanced_timing(std::FILE* timings);

// The names of the files, as messages give them.
struct AdvancedTimingNames {
    const char* program = "vorsk";
    const char* timing = "timing file";
    const char* logs[2] = {"output log", "input log"};  // by Direction
    // The banner and trailer lines of the output log ("Script started on
    // ...", "Script done on ...") are facts, not output (extended mode).
    bool banner_facts = false;
};

// A reader over the timing file and the logs; input_log is -1 when no
// input log was given: input records then take their bytes from the output
// log, unless its headers say the input went to a file of its own. Before a
// read of a log that may wait, before_wait runs (it writes out the account
// so far). Yields nullptr when memory is exhausted.
AdvancedTiming* advanced_timing_new(std::FILE* timings, int output_log, int input_log,
                                    bool (*before_wait)(void*), void* wait_arg,
                                    const AdvancedTimingNames& names);
RecordReader advanced_timing_reader(AdvancedTiming& t);
void advanced_timing_free(AdvancedTiming* t);

}  // namespace vorsk
