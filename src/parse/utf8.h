// UTF-8 characters of the input, read ahead under a mark.
#pragma once

#include <cstddef>
#include <cstdint>

#include "input/input_buffer.h"

namespace vorsk {

struct Utf8Char {
    std::uint32_t cp = 0;
    std::uint8_t bytes[4] = {};
    std::size_t n = 0;
};

// After a byte from 0x80 up has been taken from the input: reads the rest
// of a well-formed UTF-8 sequence. True: the character, with the input
// after it; a sequence split across reads is waited for. False: the byte
// begins no well-formed sequence (a stray continuation byte, an overlong
// form, a surrogate, a code point above U+10FFFF, a sequence cut short by
// another byte or the end of input), and the input stands just after it,
// so that the next byte is read again: a maximal subpart ends where the
// sequence broke.
bool parse_utf8(InputBuffer& in, std::uint8_t lead, Utf8Char& ch);

}  // namespace vorsk
