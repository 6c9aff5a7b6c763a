// What a parsed sequence does to the screen, and the same read once into a
// step: a sequence that comes again is applied from its step, neither
// parsed nor looked up again.
#pragma once

#include <cstddef>
#include <cstdint>

#include "parse/sequence.h"
#include "screen/pen.h"
#include "screen/screen.h"

namespace vorsk {

void screen_apply_sequence(Screen& s, const Sequence& seq);

// What an SGR does to the pen: each of its items sets a part of the pen to
// a value of its own, so the whole is the parts it sets and those it keeps.
enum PenPart : std::uint8_t {
    PEN_PART_FG = 1u << 0,
    PEN_PART_BG = 1u << 1,
    PEN_PART_UNDERLINE_COLOR = 1u << 2,
    PEN_PART_UNDERLINE = 1u << 3,
};

struct PenStep {
    Pen set;                       // the values of the parts it sets
    std::uint8_t kept = 0;         // the parts (PenPart) it keeps
    std::uint16_t kept_flags = 0;  // the attributes it keeps
};

// The values a step holds: DECCRA has the most the screen reads.
inline constexpr std::size_t STEP_VALUES = 8;

// A sequence as the screen reads it: its kind and bytes of function, the
// arguments with the function table's defaults, an SGR's effect.
struct ScreenStep {
    SequenceKind kind = FE_SEQUENCE;
    std::uint8_t marker = 0;
    std::uint8_t final_byte = 0;
    std::uint8_t n_intermediates = 0;  // two for two or more
    std::uint8_t intermediate = 0;     // the first
    bool bare = false;                 // no parameter, or one left empty
    bool sgr = false;
    std::uint8_t n = 0;
    std::uint32_t values[STEP_VALUES] = {};
    PenStep pen;
};

// The step of a sequence; false where no step holds all it does (more
// values than a step keeps).
bool screen_step(const Sequence& seq, ScreenStep& step);
void screen_apply_step(Screen& s, const ScreenStep& step);

}  // namespace vorsk
