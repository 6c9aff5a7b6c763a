// The decoder's side of --screen: what it read, handed to the screen as a
// terminal of today reads it. Text comes as characters (bytes from 0x80 up
// are put together as UTF-8 in the classic mode too), controls as
// controls, sequences through the vocabulary; the payload of a control
// string never reaches the screen, in either mode.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "decode/sequence_memo.h"
#include "parse/sequence.h"
#include "screen/screen.h"
#include "vocab/screen_apply.h"

namespace vorsk {

// The moments --screen=byte:N asks for: after the first N bytes of the
// input, in ascending order.
inline constexpr std::size_t MAX_SCREEN_MARKS = 16;

// The steps of recent sequences, by their bytes, each in the place of the
// slot where the decoder's memo keeps the sequence's lines: a sequence both
// hold is neither parsed nor looked up again.
struct StepSlot {
    std::uint64_t words[2] = {};
    std::uint8_t key_size = 0;  // 0: the slot is empty
    bool leaves_alternate = false;
    ScreenStep step;
};

struct StepMemo {
    StepSlot slots[MEMO_SETS][MEMO_WAYS];
};

struct ScreenFeed {
    Screen* screen = nullptr;
    std::uint64_t marks[MAX_SCREEN_MARKS] = {};
    std::size_t n_marks = 0;
    std::size_t next_mark = 0;
    bool at_end = true;  // the screen is written at the end of the input too
    // The other moments: times from the start of a recording (ascending),
    // each of its markers, each prompt mark (OSC 133;A), before each pause
    // of at least `pause` seconds, before the alternate screen is left.
    double times[MAX_SCREEN_MARKS] = {};
    std::size_t n_times = 0;
    std::size_t next_time = 0;
    bool at_marker = false;
    bool at_prompt = false;
    bool at_alt = false;
    double pause = -1.0;   // below 0: no screen before pauses
    double elapsed = 0.0;  // the time since the recording began
    std::uint64_t n_markers = 0;
    std::uint64_t n_prompts = 0;
    // The classic mode: the first bytes of a control string's payload,
    // where a prompt mark is told.
    char head[6] = {};
    std::uint8_t head_size = 0;
    bool prompt_due = false;  // a prompt mark ended; its screen is next
    bool muted = false;       // a typescript's banner line: read, never drawn
    bool special = false;     // muted, or the page's marks are wanted
    int columns = 0;          // "Columns" given before "Lines"
    std::uint8_t utf8[4] = {};
    int have = 0;  // bytes of a character held
    int need = 0;
    bool in_string = false;   // the classic mode: within a control string's payload
    bool string_bel = false;  // the string ends with BEL (OSC)
    // The decoder's memo of sequences' lines, where it keeps one.
    const SequenceMemo* memo = nullptr;
    StepMemo steps;
    // The page: each item that changes the screen leaves a mark of its
    // place in the account, whose number the lines it changed keep; a text
    // line is one item however many runs it takes.
    LineWriter* page = nullptr;
    std::uint64_t marked = 0;      // the number of the last mark written
    std::uint64_t marked_end = 0;  // the writer's offset after it
    bool in_text = false;          // a text line goes on
};

struct Processor;
struct ControlString;

// A typescript's banner line is read but never drawn.
inline void screen_mute(ScreenFeed& f, bool on) {
    f.muted = on;
    f.special = on || f.page != nullptr;
}

// The screen, after the open line is ended, with its heading saying when.
void screen_moment(Processor& p, const char* when);

// The moments that come with what the processor decodes: each writes the
// screen after the open line is ended.
// A sequence (before the alternate screen is left, after a prompt mark
// the classic mode read as text).
void screen_sequence(Processor& p, const Sequence& s);
// The step kept for a sequence's bytes, which the memo's `slot` holds the
// lines of, or nullptr where there is none or the screen must read the
// sequence itself (within a control string's payload).
inline const StepSlot* screen_find_step(const ScreenFeed& f, const MemoSlot& slot,
                                        const MemoKey& key) {
    const auto at = static_cast<std::size_t>(&slot - &f.memo->slots[0][0]);
    const StepSlot& step = (&f.steps.slots[0][0])[at];
    return memo_holds(step, key) && !f.in_string ? &step : nullptr;
}
// A sequence replayed from the memo, with its step.
void screen_step_sequence(Processor& p, const StepSlot& slot);
// The screen a prompt mark's end asks for (`prompt_due`), such as the BEL
// of a control line.
void screen_prompt(Processor& p);
// A control string that extended mode read whole (a prompt mark).
void screen_string(Processor& p, const ControlString& s);
// A recorded pause: the times it passes, and a long pause.
void screen_pause(Processor& p, double delay);
// A marker of a recording.
void screen_marker(Processor& p);
// A fact of a recording: its size ("Terminal size" or "Window size" as
// COLSxROWS, or "Columns" and "Lines") sets the screen's.
void screen_fact(Processor& p, std::string_view name, std::string_view value);
// At the end of the input: the end, and the times not reached.
void screen_end(Processor& p);

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
void feed_control_general(ScreenFeed& f, std::uint8_t b, bool extended);
inline void feed_control(ScreenFeed& f, std::uint8_t b, bool extended) {
    if (f.special || f.in_string || b >= 0x80) [[unlikely]] {
        feed_control_general(f, b, extended);
        return;
    }
    f.have = 0;
    f.need = 0;
    if (b == 0x0a) {
        screen_line_feed(*f.screen);
    } else {
        screen_control(*f.screen, b);
    }
}
void feed_sequence(ScreenFeed& f, const Sequence& s, bool extended);

}  // namespace vorsk
