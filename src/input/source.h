// Sources of events: what the main loop decodes. A source hands out the
// bytes of the stream one event at a time, with the pauses of a recording
// between them; the decoder never learns where its bytes came from. The
// bytes stay in the look-ahead input buffer, from which a decoder may read
// ahead over a sequence.
//
// The sources: a plain stream, a typescript paced by a classic timing
// file, and the duplex source of a recording with both directions and
// facts of its own (an advanced timing file, an asciinema cast, a program
// under a pseudo-terminal), whose bytes come with their direction.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "input/input_buffer.h"

namespace vorsk {

enum EventKind : std::uint8_t {
    EVENT_BYTE,      // a byte of the stream, taken from the input buffer
    EVENT_PAUSE,     // a recorded pause before the bytes that follow
    EVENT_BREAK,     // the recording's timing ends here: the open line ends too
    EVENT_METADATA,  // a fact of the session (duplex_metadata_name and _value)
    EVENT_END,       // no byte now: the end of the input, or a read a signal cut short
};

// Which way the bytes went: to the terminal (what a program writes) or
// from it (what is typed).
enum Direction : std::uint8_t { TO_TERMINAL, FROM_TERMINAL };

struct Event {
    EventKind kind = EVENT_END;
    Direction direction = TO_TERMINAL;
    int byte = EOF;      // EVENT_BYTE
    double delay = 0.0;  // EVENT_PAUSE: seconds
};

enum SourceKind : std::uint8_t {
    PLAIN_SOURCE,
    CLASSIC_TIMING_SOURCE,  // a typescript with a timing file of script -T
    DUPLEX_SOURCE,          // the records of a session, both ways (input/recording.h)
};

struct Duplex;

struct Source {
    SourceKind kind = PLAIN_SOURCE;
    InputBuffer* input = nullptr;
    // A classic timing file: its open file, whether the typescript's header
    // line (shown, but not counted by the records) is still being read, and
    // the count of input bytes at which the next step is due. A step hands
    // out the pauses of the records that are due, one event each.
    std::FILE* timings = nullptr;
    bool in_header = false;
    bool in_step = false;
    std::uint64_t step_at = 0;
    std::uint64_t next_step = 0;
    Duplex* duplex = nullptr;
};

Source plain_source(InputBuffer& input);
Source classic_timing_source(InputBuffer& input, std::FILE* timings);

Event source_next(Source& source);

// How many more bytes the decoder may take straight from the input buffer
// (a run of text) before the source must be asked again.
std::size_t source_run_limit(const Source& source);

}  // namespace vorsk
