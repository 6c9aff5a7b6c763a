// What the describers of control strings share: fields of a payload,
// numbers, the decodings strings use (percent, base64, hex), and text made
// safe to show.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "vocab/strings.h"

namespace vorsk {

// Field i of text split at sep (the first is 0); empty past the last.
std::string_view field(std::string_view text, std::size_t i, char sep = ';');
// The text after field i and its separator; empty when there is none.
std::string_view after_field(std::string_view text, std::size_t i, char sep = ';');
std::size_t count_fields(std::string_view text, char sep = ';');

// A decimal number of at most nine digits, and nothing else.
bool parse_number(std::string_view text, std::uint32_t& value);

// Decodings into out (capacity cap); they return the length written and
// clear `valid` on a malformed input.
std::size_t percent_decode(char* out, std::size_t cap, std::string_view text);
std::size_t base64_decode(char* out, std::size_t cap, std::string_view text, bool& valid);
std::size_t hex_decode(char* out, std::size_t cap, std::string_view text, bool& valid);

// A text from the input as a description may quote it: safe to show, and
// cut with "..." past about a line's width.
struct Shown {
    char text[200];
};
Shown shown(std::string_view text);

// The label line of a string: "OSC 8: HYPERLINK", or the family alone.
void print_string_label(LineWriter& w, const char* family, std::string_view selector,
                        const char* name);

}  // namespace vorsk
