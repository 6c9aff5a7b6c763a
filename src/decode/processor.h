// The byte dispatcher: sorts the input into text lines and control lines,
// and offers each ESC to the escape recogniser first.
#pragma once

#include <cstdint>

#include "decode/screen_feed.h"
#include "decode/sequence_memo.h"
#include "decode/tally.h"
#include "input/input_buffer.h"
#include "output/line_writer.h"
#include "parse/control_string.h"
#include "parse/sequence.h"
#include "terminfo/account.h"
#include "terminfo/check.h"
#include "text/unicode.h"
#include "vocab/answers.h"
#include "vocab/sgr.h"

namespace vorsk {

enum LineState : std::int32_t {
    LINE_NONE = 0,     // no line of the dispatcher is open
    LINE_TEXT = 1,     // a text line is open
    LINE_CONTROL = 2,  // control mode: after a control byte or an escape sequence
};

// The line the dispatcher has open.
struct OpenLine {
    LineState state = LINE_NONE;
    std::int32_t control_break = 0;  // the next control byte opens a fresh control line
    // The text line's last code point and the grapheme rules' state, so
    // that a combining mark or the rest of a cluster joins it.
    GraphemeState grapheme;
    int last_width = 0;
};

struct Processor;

// The control string being read (extended mode). Pauses that fall within
// it are held and shown after it.
struct OpenString {
    ControlString* current = nullptr;  // allocated at start-up in extended mode
    bool open = false;
    double held_delay = 0.0;
    int held_pauses = 0;
    std::uint64_t offset = 0;  // where the open string began, for the tally
};

// What a tmux pass-through carries is decoded by a processor of its own,
// made at its first use; one level deep. The inner processor counts what
// it finds at the offset of the pass-through.
struct Nesting {
    Processor* inner = nullptr;
    bool nested = false;  // this is the inner processor
    std::uint64_t outer_offset = 0;
};

// The decoding context of one direction of the stream: its input and
// writer, how it reads, its state (the open line, the open string, the
// nested processor), and the views it feeds where they are on (the tally,
// the pen, the memo).
struct Processor {
    InputBuffer* input = nullptr;
    LineWriter* writer = nullptr;
    bool print_carets = true;  // control items show the ^X form of C0 controls
    // Extended mode: UTF-8 text, and control strings as units.
    bool extended = false;
    // What the input holds is what a terminal sends (typed keys, mouse and
    // focus reports), read as such in extended mode.
    bool keys = false;
    // Runs of text are taken in one piece by process_buffered.
    bool runs = true;
    // Extended mode: runs of plain UTF-8 text are taken in one piece too.
    bool utf8_runs = true;
    OpenLine line;
    Sequence sequence;  // the record of the sequence being decoded
    OpenString strings;
    Nesting nesting;
    // What the decoder identified is counted here for --summary; nullptr
    // without it. Shared with the inner processor.
    Tally* tally = nullptr;
    // With --html, the attributes the stream set for its text, told to the
    // page by a mark whenever they change; nullptr without it. Shared with
    // the inner processor, whose text is the outer terminal's.
    Pen* pen = nullptr;
    // The lines of recent escape sequences, copied when one comes again;
    // nullptr where they depend on more than the sequence (typed input, a
    // page).
    SequenceMemo* memo = nullptr;
    // The same memo where every sequence is parsed all the same (--screen),
    // asked after parsing rather than before; nullptr elsewhere.
    SequenceMemo* parsed_memo = nullptr;
    // With --terminfo, the terminal type whose capabilities each sequence
    // is matched against; nullptr without it (and then there is no memo).
    TerminfoView* terminfo = nullptr;
    // With --check, the judge of each sequence and string of the output;
    // nullptr without it (and then there is no memo). Shared with the
    // processor of typed input, which only adds its pauses to the time.
    CheckView* check = nullptr;
    // With --screen, what the output direction hands the screen; nullptr
    // without it. Shared with the inner processor.
    ScreenFeed* screen = nullptr;
    // In a recording of both directions read in extended mode, the queries
    // the output sent and the input has not answered yet: the output's
    // processor notes them, the input's takes them; nullptr elsewhere.
    Queries* queries = nullptr;
    bool listens = false;  // keys or queries: each parsed sequence is looked at for them
    // Extended mode: the seconds since the recording began, shared by the
    // processors of its two directions, given on each delay line; nullptr
    // where delay lines give the pause alone.
    double* elapsed = nullptr;
};

// How a processor is made: the same for the program, the fuzzer and the
// benchmark.
struct ProcessorSettings {
    bool print_carets = true;
    bool extended = false;
    bool keys = false;  // with extended: the input is what a terminal sends
    bool pen = false;   // keep the pen, for a page
    Tally* tally = nullptr;
    // --terminfo: a capability line after each sequence.
    const TerminfoEntry* terminfo = nullptr;
    // --check: the judge, shared by both directions.
    CheckView* check = nullptr;
    // --screen: the model of the terminal's screen that the output feeds.
    Screen* screen = nullptr;
    // The queries shared by the two directions of a recording (no memo
    // then: each sequence of the output is looked at).
    Queries* queries = nullptr;
    double* elapsed = nullptr;  // the time since the start, shared (extended mode)
    // The general paths alone: no memo of sequences, no runs of text taken
    // in one piece (VORSK_REFERENCE=1 in the environment), so that the
    // fast paths can be checked against them.
    bool reference = false;
};

// Fills in a processor over its input and writer, with what its settings
// need allocated now; false when memory is exhausted.
bool processor_init(Processor& p, InputBuffer* input, LineWriter* writer,
                    const ProcessorSettings& settings);

// Releases what processor_init and the decoder allocated (the string, the
// pen, the memo, a nested processor); not the input or the writer.
void processor_release(Processor& p);

// Whether the lines of a sequence may be kept in the memo and replayed:
// there is a memo (the lines depend on the bytes and the options alone:
// not typed input, which reads on past a sequence; not a page, whose pen
// marks come between them), the writer writes plain bytes, and nothing
// else must see each sequence (the tally counts it). With --terminfo or
// --check no memo is made: a capability line depends on the sequences
// before, and a replayed sequence would not be judged.
inline bool memo_applies(const Processor& p) {
    return p.memo != nullptr && p.tally == nullptr && writer_replayable(*p.writer);
}

// The input offset of the byte `back` bytes before the next, for the tally.
inline std::uint64_t tally_offset(const Processor& p, std::uint64_t back) {
    return p.nesting.nested ? p.nesting.outer_offset : input_consumed(*p.input) - back;
}

inline constexpr bool is_printable(int c) {
    return c >= 0x20 && c <= 0x7e;
}

void process_byte(Processor& p, int b);
// With --html: marks the processor's pen in the output again, where the
// text that follows is its own (the other direction's came between).
void mark_pen(Processor& p);
// A recorded pause: the open line ends and a delay line follows, unless a
// control string is open. A break ends the open line the same way.
void process_pause(Processor& p, double delay);
// A delay line: the pause, and with a clock the time since the start
// ("@ 0.500000 at 1:20.500").
void print_pause(Processor& p, double delay);
// A time from the start as the delay lines and the screens give it:
// "1:20.500", "1:02:03.000"; seconds below 1e9.
inline constexpr std::size_t CLOCK_SIZE = 40;
void format_clock(char* out, std::size_t size, double seconds);
void process_break(Processor& p);
void finish_state(Processor& p);

// After a byte from the main loop: decodes the bytes that the input holds
// already, at most limit of them (or a little more, to the end of an escape
// sequence), exactly as process_byte would one by one, and a run of text
// in one piece.
void process_buffered(Processor& p, std::size_t limit);

}  // namespace vorsk
