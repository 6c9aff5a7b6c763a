// JSON strings, the one escaping of every JSON the program writes (the
// summary, the probe's report, --check's findings, the JSON Lines).
#pragma once

#include <cstddef>
#include <string_view>

namespace vorsk {

// The most bytes json_escape makes of one byte of text.
inline constexpr std::size_t JSON_ESCAPE_GROWTH = 6;

// Writes text as the inside of a JSON string (no quotes) at out, which has
// room for JSON_ESCAPE_GROWTH bytes a byte of text: a quote and a backslash
// get a backslash, the other bytes below 0x20 become \u00XX, every other
// byte stays as it is. Returns the end of what it wrote.
char* json_escape(char* out, std::string_view text);

// Writes bytes as lowercase hexadecimal at out (two bytes a byte) and
// returns the end.
char* json_hex(char* out, std::string_view bytes);

}  // namespace vorsk
