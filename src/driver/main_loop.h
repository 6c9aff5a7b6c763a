#pragma once

#include <cmath>

#include "decode/processor.h"
#include "driver/record.h"
#include "input/recording.h"
#include "input/source.h"
#include "report/check.h"

namespace vorsk {

// The longest pause shown, as players cap idle time: none by default; with
// from_header, the recording's own idle time limit once it is told.
struct IdleLimit {
    double seconds = HUGE_VAL;
    bool from_header = false;
};

// What start-up makes: the decoders, and the source of their events. A
// duplex source has a processor for each direction; the input's is left
// out (null) where typed bytes are not shown.
struct Session {
    Processor processor;
    Processor input_processor;
    Processor* processors[2] = {};
    Source source;
    RecordReader reader;  // of a duplex source
    const char* program_name = "vorsk";
    // --check: its report follows the input's end.
    CheckReport* check = nullptr;
    IdleLimit idle;
    // --record: the cast written of what is read.
    CastWriter* cast = nullptr;
};

// The one loop of the program: decodes the events of the source until its
// end, giving caught signals their turn between events. Returns the exit
// status: 1 after a read error, or what the reader of a duplex source says.
int run(Session& session);

// The loop alone, without the final flush and the report of a read error.
void decode_source(Processor& p, Source& source, IdleLimit idle = {}, CastWriter* cast = nullptr);

// The loop of a duplex source: the bytes of each direction go to the
// processor of that direction (none: they are not shown), each row of an
// input line marked as such; metadata become lines of their own.
void decode_duplex(Processor* processors[2], Source& source, IdleLimit idle = {});

}  // namespace vorsk
