// asciinema casts (asciicast v2 and v3): newline-delimited JSON, a header
// object on the first line, then one event a line, [TIME, CODE, DATA]:
// "o" output, "i" input, "r" a resize ("COLSxROWS"), "m" a marker (its
// label), "x" the exit status (v3). TIME is seconds since the start in v2
// and since the event before in v3. The file is read line by line in a
// buffer of fixed size; a line may be at most CAST_LINE_LIMIT bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "input/recording.h"

namespace vorsk {

inline constexpr std::size_t CAST_HEADER_LIMIT = 64 * 1024;
inline constexpr std::size_t CAST_LINE_LIMIT = 1024 * 1024;

// The cast version of the input whose first line (or first bytes) these
// are: 2 or 3; 0 for an input that is no cast (a JSON header of another
// version is warned about and read as a stream); forced (--format=cast),
// anything but a cast is reported as an error and yields -1.
int cast_version(const std::uint8_t* first, std::size_t n, const char* name,
                 const char* program_name, bool forced);

struct Cast;

// The colours a cast's header asks a player to show it in ("theme": fg,
// bg and a palette of 8 or 16), each 0xRRGGBB; has_* where the header gave
// a well-formed one.
struct Theme {
    bool has_fg = false;
    bool has_bg = false;
    std::uint32_t fg = 0;
    std::uint32_t bg = 0;
    std::uint32_t palette[16] = {};
    std::uint8_t n_palette = 0;  // 0, 8 or 16
};

// Makes text of the input safe to quote in a message (into out, of
// capacity cap, cut to fit): the account's own safe text.
using QuoteText = std::size_t (*)(char* out, std::size_t cap, std::string_view text);

// A reader of the cast on fd, whose first n bytes (the header line) were
// read already. Yields nullptr when memory is exhausted.
Cast* cast_new(int fd, const char* name, const char* program_name, const std::uint8_t* first,
               std::size_t n, bool (*before_wait)(void*), void* wait_arg, QuoteText quote);
RecordReader cast_reader(Cast& cast);

// Rewrites each \uXXXX escape of a lone surrogate (one without its pair)
// in the JSON text to \ufffd, in place; whether there was one. Writers
// leave them where they cut a character in two.
bool mend_lone_surrogates(char* text, std::size_t len);
// The header's theme (nothing in it for a cast without one, or of v1).
const Theme& cast_theme(const Cast& cast);
void cast_free(Cast* cast);

}  // namespace vorsk
