// gzip-compressed inputs (a cast, a typescript, a timing file, an input
// log): told by their first bytes, and read as what they hold through
// zlib in a child process that writes the inflated bytes to a pipe, so
// that every reader reads them as it reads any pipe.
#pragma once

namespace vorsk {

// Whether the regular file on fd begins with gzip's magic bytes; its
// offset is left alone.
bool is_gzip_file(int fd);

// The read end of a pipe that gives the inflated bytes of the gzip data
// on fd (from its start); fd is closed. A damaged or cut stream is said on
// standard error by the child, naming the file, and ends the bytes there.
// -1 when no pipe or child could be made.
int gunzip_pipe(int fd, const char* program_name, const char* name);

// What the child of gunzip_pipe runs (and the fuzzer, in its own process):
// inflates the gzip data read from fd into out, member after member. The
// problem in words, or nullptr when the data ended well.
const char* gunzip_to(int fd, int out);

}  // namespace vorsk
