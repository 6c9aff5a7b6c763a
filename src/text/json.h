// JSON strings: the one escaper of the program, for the summary's and the
// reports' JSON, the JSON Lines of --json and the casts --record writes. JSON holds Unicode text,
// so what is not well-formed UTF-8 cannot go into a string as it is: each byte that begins no whole
// character becomes U+FFFD, as players of casts do.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vorsk {

// The most output one input byte can take: "\u001b" for a control byte.
inline constexpr std::size_t JSON_ESCAPE_GROWTH = 6;

// Writes bytes[0, n) as the inside of a JSON string (no quotes) into out,
// which holds at least n * JSON_ESCAPE_GROWTH bytes, and returns how many
// it wrote. `"` and `\` are escaped, controls as \n, \r, \t, \b, \f or
// \u00XX, well-formed UTF-8 copied, any other byte written as U+FFFD. When
// more bytes of the same text follow (more), a character that the end of
// bytes cuts short is left for them: taken says how many bytes were read.
std::size_t json_escape(const std::uint8_t* bytes, std::size_t n, char* out, bool more,
                        std::size_t& taken);

// The same for a whole text at out; returns the end of what it wrote.
char* json_escape(char* out, std::string_view text);

// Writes bytes as lowercase hexadecimal at out (two bytes a byte) and
// returns the end.
char* json_hex(char* out, std::string_view bytes);

}  // namespace vorsk
