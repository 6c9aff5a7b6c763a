// The byte dispatcher: sorts the input into text lines and control lines,
// and offers each ESC to the escape recogniser first.
#pragma once

#include <cstdint>

#include "input/input_buffer.h"
#include "output/line_writer.h"
#include "parse/sequence.h"

namespace vorsk {

enum LineState : std::int32_t {
    LINE_NONE = 0,     // no line of the dispatcher is open
    LINE_TEXT = 1,     // a text line is open
    LINE_CONTROL = 2,  // control mode: after a control byte or an escape sequence
};

// The decoding context, one for the whole run, owned by main.
struct Processor {
    InputBuffer* input = nullptr;
    LineWriter* writer = nullptr;
    LineState line_state = LINE_NONE;
    std::int32_t control_break = 0;  // the next control byte opens a fresh control line
    bool print_carets = true;        // control items show the ^X form of C0 controls
    Sequence sequence;               // the record of the sequence being decoded
};

inline constexpr bool is_printable(int c) { return c >= 0x20 && c <= 0x7e; }

void process_byte(Processor& p, int b);
void print_control(Processor& p, int b);
void finish_state(Processor& p);

// After a printable byte on an open text line: puts the printable bytes that
// follow it in the input straight on the line, at most limit of them, as
// process_byte would one by one.
void process_text_run(Processor& p, std::size_t limit);

}  // namespace vorsk
