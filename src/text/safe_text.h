// Text from the input made safe to show on a terminal: what would act on
// the terminal, reorder or hide text, or is no valid UTF-8 is written as an
// item in angle brackets.
#pragma once

#include <cstddef>
#include <iterator>
#include <string_view>

namespace vorsk {

// The items: "<LF>" for a C0 control or DEL, "<U+202E/RLO>" for a code
// point that is no text, "<xC3>" for a byte that begins no well-formed
// UTF-8 sequence. Writes into out (capacity cap, terminated); a text that
// does not fit ends with "...". Returns the length written.
std::size_t safe_text(char* out, std::size_t cap, std::string_view text);

inline constexpr const char* c0_item_names[] = {
    /* 0x00 */ "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL",
    /* 0x08 */ "BS",  "HT",  "LF",  "VT",  "FF",  "CR",  "SO",  "SI",
    /* 0x10 */ "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB",
    /* 0x18 */ "CAN", "EM",  "SUB", "ESC", "IS4", "IS3", "IS2", "IS1",
};
static_assert(std::size(c0_item_names) == 0x20, "one name per C0 control");

// The item of one C0 control or DEL, without brackets: "LF", "DEL".
constexpr const char* c0_item_name(unsigned char c) {
    return c == 0x7f ? "DEL" : c0_item_names[c & 0x1f];
}

}  // namespace vorsk
