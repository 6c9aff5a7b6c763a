// The tally behind --summary: what the decoder identified, counted by the
// vocabulary it comes from (a control byte, an escape, a designation, a row
// of the function table, a mode number, a kind of control string), with the
// offset of its first occurrence, and the terminal features the stream
// relies on. Its table has a fixed number of slots, allocated at start-up,
// so the tally of any input takes the same memory. Several processors may
// share one tally.
#pragma once

#include <cstddef>
#include <cstdint>

#include "output/line_writer.h"
#include "parse/control_string.h"
#include "parse/sequence.h"
#include "vocab/functions.h"
#include "vocab/modes.h"
#include "vocab/sgr.h"

namespace vorsk {

// The kinds of row, in the order the summary lists them.
enum RowKind : std::uint8_t {
    ROW_CONTROL,        // a control byte, keyed by its value
    ROW_ESCAPE,         // a two-byte escape, keyed by the byte after ESC
    ROW_DESIGNATION,    // an nF sequence, keyed by its intermediates and final byte
    ROW_FUNCTION,       // a control sequence of the function table, keyed by its row
    ROW_UNKNOWN,        // a control sequence no row names, keyed by marker, intermediate, final
    ROW_STANDARD_MODE,  // SM or RM, keyed by the mode number
    ROW_PRIVATE_MODE,   // SM or RM with "?", keyed by the mode number
    ROW_STRING,         // a control string, keyed by family and the number or function it names
    ROW_KEY,            // a control sequence a terminal sent (typed input), keyed as ROW_UNKNOWN
    N_ROW_KINDS,
};

// The key of an Alt key's row (ROW_KEY): this bit and the key's byte.
inline constexpr std::uint64_t ALT_KEY_IDENTITY = std::uint64_t{1} << 24;

// What a string row's key holds besides its family: an OSC number, the
// head of a device control string, "G" for kitty's graphics, or these.
inline constexpr std::uint32_t STRING_NO_NUMBER = 0xFFFFFFFF;
inline constexpr std::uint32_t STRING_TMUX = 0xFFFFFFFE;

enum SummaryFormat : std::uint8_t {
    SUMMARY_NONE,
    SUMMARY_AFTER,  // --summary: the table after the account
    SUMMARY_ONLY,   // --summary=only
    SUMMARY_JSON,   // --summary=json: one JSON object, alone
};

struct TallyRow {
    std::uint64_t key = 0;    // 0: an empty slot (no key is 0: the kind is in the top byte, plus 1)
    std::uint64_t count = 0;  // 0 for an empty slot
    std::uint64_t first = 0;  // the offset of the first occurrence in the input
    const void* info = nullptr;  // the table row that names it, where there is one
};

// A slot table of a power of two; a key that finds the table three
// quarters full goes to the "other" row of its kind instead.
inline constexpr std::size_t TALLY_SLOTS = 8192;

struct Tally {
    TallyRow* slots = nullptr;  // TALLY_SLOTS of them
    std::size_t used = 0;
    TallyRow other[N_ROW_KINDS] = {};  // what found the table full
    std::uint64_t text_bytes = 0;
    std::uint64_t controls = 0;
    std::uint64_t sequences = 0;  // escapes, designations and control sequences
    std::uint64_t strings = 0;
    std::uint64_t invalid_utf8 = 0;
    std::uint64_t delays = 0;
    double delay_sum = 0.0;
    std::uint64_t bytes = 0;  // the input's length, set at the end
    SummaryFormat format = SUMMARY_AFTER;
    bool extended = false;  // sequences are read as extended mode reads them
    ColorDepth depth = DEPTH_NONE;
    std::uint32_t features = 0;
    std::uint32_t mouse = 0;
    bool stopped_early = false;  // the recording stopped on a fault before its end
};

// Yields nullptr when memory is exhausted.
Tally* tally_new();

void tally_control(Tally& t, std::uint8_t b, std::uint64_t offset);
// A parsed escape or control sequence; for a control sequence, what the
// function table found for it.
// A sequence of typed input (keys, mouse and focus reports) counts as a key,
// whatever function the same bytes name when a program sends them.
void tally_sequence(Tally& t, const Sequence& s, const CsiLookup& found, std::uint64_t offset,
                    bool typed = false);
// ESC and a key typed with it: Alt and the key, counted as a key.
void tally_alt_key(Tally& t, std::uint8_t key, std::uint64_t offset);
void tally_string(Tally& t, const ControlString& s, std::uint64_t offset);
inline void tally_delay(Tally& t, double delay) {
    ++t.delays;
    t.delay_sum += delay;
}

// Sorts the table (the tally is not counted on after this) and writes the
// summary in its format to the writer, after the account's last line.
void write_summary(Tally& t, LineWriter& w);

}  // namespace vorsk
