// --record=FILE: what vorsk read, with its times, written as an asciicast
// (v2, or v3 with --cast-version=3). The records of a recording (a cast, a
// script file, ttyrec, a sudo log, a program under -c) reach it through a
// reader that passes them on unchanged; a plain stream and a typescript
// paced by a classic timing file through the byte source of their input,
// with the pauses the main loop hands over.
//
// One event of the cast is the bytes of one direction after a pause: the
// bytes of that direction that follow without a pause join it. A cast holds
// text, not bytes: what is not well-formed UTF-8 is written as U+FFFD, and a
// character split across two events of a direction waits for the second.
// Facts of the recording go to the header (size, terminal type, shell,
// command, title, idle time limit, start time) or become events (a resize,
// a marker, and in v3 the exit status); the others a cast cannot hold.
#pragma once

#include <cstdint>

#include "input/input_buffer.h"
#include "input/recording.h"

namespace vorsk {

struct CastSettings {
    const char* path = nullptr;
    const char* program_name = "vorsk";
    int version = 2;
    // -c: each event goes out to the file as soon as it is complete, so the
    // cast survives a session that is cut off.
    bool live = false;
    // The size where the recording tells none.
    int cols = 80;
    int rows = 24;
    // The start of a session recorded now (seconds since the epoch), or -1.
    long long timestamp = -1;
    // The shell of a session recorded now, or null.
    const char* shell = nullptr;
};

struct CastWriter;

// Creates the file and everything the writer needs; nullptr, said on
// standard error, when it cannot.
CastWriter* cast_writer_new(const CastSettings& settings);

// A reader that hands out reader's records and writes each to the cast.
RecordReader cast_writer_tee(CastWriter& c, RecordReader reader);

// A plain stream or typescript on fd: each read of it goes to the cast
// too, as the input buffer hands its bytes out. The first n bytes were read
// before (to tell what the input is). Events of a plain stream end with
// each read, all at time 0; those of a typescript at its pauses.
ByteSource cast_writer_stream(CastWriter& c, int fd, const std::uint8_t* first, std::size_t n,
                              bool paced);
// The input buffer whose bytes are handed out: how far it has got.
void cast_writer_watch(CastWriter& c, const InputBuffer& input);
// A pause of the typescript, after the bytes consumed so far.
void cast_writer_pause(CastWriter& c, double delay);

// The typescript's timing ended: the bytes after it are an event of their own.
void cast_writer_break(CastWriter& c);

// The end: the rest written and the file closed. 0, or 1 when the cast
// could not be written (said on standard error).
int cast_writer_end(CastWriter& c);
// The program keeps its writer until it exits; the fuzzer frees it.
void cast_writer_free(CastWriter* c);

}  // namespace vorsk
