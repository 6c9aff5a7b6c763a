// ttyrec recordings: frames of output, each after a header of three
// little-endian 32-bit numbers: seconds and microseconds of the time the
// frame was read, and the number of its bytes. The pause before a frame is
// the time since the frame before.
#pragma once

#include <cstddef>
#include <cstdint>

#include "input/recording.h"

namespace vorsk {

// Whether these first bytes of an input are a ttyrec recording's: a
// header whose microseconds are under a million and whose frame fits, and
// the next header as well where the bytes reach it.
bool looks_like_ttyrec(const std::uint8_t* first, std::size_t n);

struct Ttyrec;

// A reader of the ttyrec recording on fd, whose first n bytes were read
// already. Yields nullptr when memory is exhausted.
Ttyrec* ttyrec_new(int fd, const char* name, const char* program_name, const std::uint8_t* first,
                   std::size_t n);
RecordReader ttyrec_reader(Ttyrec& t);
// The program keeps its reader until it exits; the fuzzer frees it.
void ttyrec_free(Ttyrec* t);

}  // namespace vorsk
