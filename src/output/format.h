// A formatter for the few conversions that the hot paths use, so that most
// pieces are formatted without the general printf machinery.
#pragma once

#include <cstdarg>
#include <cstddef>

namespace vorsk {

// Formats into out (capacity cap, terminated) when the format holds only
// literal bytes, %%, %s, %c, %d and %u without flags or widths, and %02x,
// and the result fits; returns its length, or -1 to ask for vsnprintf instead.
long format_simple(char* out, std::size_t cap, const char* format, std::va_list args);

}  // namespace vorsk
