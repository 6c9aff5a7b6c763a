// Recordings of sessions: the records of both directions of a session, in
// the order they happened, with the pauses between them and what the
// recording says of the session (its terminal, its command, a resize, the
// exit status). An advanced timing file, an asciinema cast and a program run
// under a pseudo-terminal are each a reader of records; the duplex source
// (src/input/duplex.cpp) turns any reader into events for the main loop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "input/source.h"

namespace vorsk {

enum RecordKind : std::uint8_t {
    RECORD_BYTES,     // bytes in one direction; a long record comes in pieces
    RECORD_PAUSE,     // seconds that passed before what follows
    RECORD_METADATA,  // a fact of the session: a name and its value
    RECORD_BREAK,     // the recording's timing ends: what follows has no pauses
    RECORD_NONE,      // nothing now: a live reader asked for what has not come
    RECORD_END,       // no more records (after an error too: the reader said why)
};

// A reader hands out pieces of at most this many bytes, and metadata values
// of at most this many bytes (a longer value is cut).
inline constexpr std::size_t RECORD_PIECE_SIZE = 4096;
inline constexpr std::size_t METADATA_VALUE_SIZE = 1024;
// The fact a reader gives last when the recording stops on a fault: why.
inline constexpr std::string_view STOPPED_EARLY = "Stopped early";

struct Record {
    RecordKind kind = RECORD_END;
    Direction direction = TO_TERMINAL;
    // RECORD_BYTES: valid until the reader is asked again.
    const std::uint8_t* bytes = nullptr;
    std::size_t size = 0;
    double delay = 0.0;  // RECORD_PAUSE
    // RECORD_METADATA: valid until the reader is asked again. The name is
    // one of the reader's constants ("Terminal size"); the value is what the
    // recording holds, and may hold any byte.
    std::string_view name = {};
    std::string_view value = {};
};

// What a reader is asked for: the next record whatever it is, or bytes of
// one direction that a decoder is reading ahead for (a live reader need not
// wait for them, and answers RECORD_NONE).
enum RecordWant : std::uint8_t { WANT_ANY, WANT_TO_TERMINAL, WANT_FROM_TERMINAL };

struct RecordReader {
    // Fills the record; never fails: an error is reported by the reader
    // itself (on standard error) and reads as RECORD_END.
    void (*next)(void* self, RecordWant want, Record& record) = nullptr;
    // Runs once the account is written: reports what went wrong, if
    // anything, and gives the exit status (the program's, for a command).
    int (*finish)(void* self) = nullptr;
    void* self = nullptr;
};

// The duplex source: the records of a reader as the events of a source.
// The bytes of each direction form one stream with an input buffer of its
// own, so that a sequence split across two records is still one sequence;
// the bytes a decoder read ahead over a record's end are charged to the
// next record of that direction.
//
// Everything is allocated by duplex_source; nothing grows afterwards.
struct Duplex;

// Makes the source and the two input buffers, the output's (to the
// terminal) and the input's. Yields false when memory is exhausted.
bool duplex_source(Source& source, RecordReader reader);
InputBuffer* duplex_input(const Source& source, Direction direction);
// The program keeps its source until it exits; tests and the fuzzer free it.
void duplex_free(Source& source);

// The fact of the last EVENT_METADATA event.
std::string_view duplex_metadata_name(const Source& source);
std::string_view duplex_metadata_value(const Source& source);

// While a decoder of one direction is inside a control string, what
// belongs to the other direction and metadata wait until it is over (as
// pauses do within the string), within the bounds of the queues.
void duplex_hold(Source& source, bool hold);

// What source_next and source_run_limit do for a duplex source.
Event duplex_next(Source& source);
std::size_t duplex_run_limit(const Source& source);

}  // namespace vorsk
