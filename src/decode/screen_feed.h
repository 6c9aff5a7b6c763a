// The decoder's side of --screen: what it read, handed to the screen as a
// terminal of today reads it. Text comes as characters (bytes from 0x80 up
// are put together as UTF-8 in the classic mode too), controls as
// controls, sequences through the vocabulary; the payload of a control
// string never reaches the screen, in either mode.
#pragma once

#include <cstddef>
#include <cstdint>

#include "parse/sequence.h"
#include "screen/screen.h"

namespace vorsk {

// The moments --screen=byte:N asks for: after the first N bytes of the
// input, in ascending order.
inline constexpr std::size_t MAX_SCREEN_MARKS = 16;

struct ScreenFeed {
    Screen* screen = nullptr;
    std::uint64_t marks[MAX_SCREEN_MARKS] = {};
    std::size_t n_marks = 0;
    std::size_t next_mark = 0;
    bool at_end = true;  // the screen is written at the end of the input too
    std::uint8_t utf8[4] = {};
    int have = 0;  // bytes of a character held
    int need = 0;
    bool in_string = false;   // the classic mode: within a control string's payload
    bool string_bel = false;  // the string ends with BEL (OSC)
};

// A printable ASCII byte, or in the classic mode any byte of text.
void feed_text_byte(ScreenFeed& f, std::uint8_t b);
// A run of printable ASCII on a text line.
void feed_text_run(ScreenFeed& f, const char* bytes, std::size_t n);
// A run of plain text that extended mode took in one piece: printable
// ASCII and characters of one or two columns that join nothing.
void feed_plain_run(ScreenFeed& f, const char* bytes, std::size_t n);
// A character that extended mode decoded, with its width (0 joins).
void feed_character(ScreenFeed& f, std::uint32_t cp, int width, const char* bytes, std::size_t n);
// A byte the dispatcher put on a control line, or the LF that ended a text line.
void feed_control(ScreenFeed& f, std::uint8_t b, bool extended);
void feed_sequence(ScreenFeed& f, const Sequence& s, bool extended);

}  // namespace vorsk
