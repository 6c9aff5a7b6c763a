// The items of the account, for --json and the selections. An item is what
// one JSON object holds and what a selection keeps or drops whole: a text
// line, a control byte (a control line of them, in the text account), a
// sequence or control string with its label, description and capability
// lines, a delay, a fact of the session, a screen. The view watches the
// writer: each line it begins says where an item begins, and the input
// offsets of the decoder of that direction say which bytes it holds. The
// writer holds each item's output back until the item ends; the view then
// keeps it or drops it, or for --json writes the item as one JSON object
// in its place.
#pragma once

#include <cstddef>
#include <cstdint>

#include "decode/processor.h"
#include "input/source.h"
#include "output/line_writer.h"

namespace vorsk {

// A moment of --from and --to.
enum WhenKind : std::uint8_t {
    WHEN_NONE,
    WHEN_SECONDS,       // "80", "1:20", "1:02:03.5": the time since the recording began
    WHEN_BYTE,          // "byte:N": the output's N-th byte
    WHEN_MARKER,        // "marker:N": the recording's N-th marker
    WHEN_MARKER_LABEL,  // "marker:LABEL": the first marker of that label
    WHEN_PROMPT,        // "prompt:N": the N-th shell prompt mark (OSC 133;A and the like)
};

struct When {
    WhenKind kind = WHEN_NONE;
    double seconds = 0.0;
    std::uint64_t n = 0;
    char label[128] = {};
};

// What a word of --only and --except names, other than a line kind: a
// function by its acronym (SGR), a string by family and number (OSC8,
// DCS), a private mode with its marker (?1049).
inline constexpr std::size_t MAX_SELECTED_NAMES = 32;
inline constexpr std::size_t SELECTED_NAME_SIZE = 32;
struct NameList {
    std::size_t n = 0;
    char names[MAX_SELECTED_NAMES][SELECTED_NAME_SIZE] = {};
};

// What the command line selects.
struct Selection {
    KindSet only_kinds = 0;    // line kinds named by --only
    KindSet except_kinds = 0;  // and by --except
    bool only_input = false;   // "input": the lines of what was typed
    bool except_input = false;
    NameList only;
    NameList except;
    When from;
    When to;
    const char* grep = nullptr;  // POSIX extended regular expression
};

// Whether anything is selected that needs each item looked at (more than
// line kinds, which the writer leaves out by itself).
bool selection_needs_items(const Selection& s);
// With the names of --only, its line kinds select items too; otherwise
// the line kinds the writer leaves out for the selection.
KindSet selection_hidden_kinds(const Selection& s);

// Reads a word list of --only or --except into the selection; false, with
// the word that is not understood in *bad, for a word it does not know.
bool selection_add_words(Selection& s, bool only, const char* list, const char** bad);
// Reads a moment of --from or --to; false when it is none.
bool read_when(const char* text, When& when);

struct ItemView;

struct ItemViewSettings {
    bool json = false;      // --json: each item becomes one JSON object
    bool extended = false;  // -X: a text line's first character may be several bytes
    bool duplex = false;    // a recording of both directions: each item says which
    bool timed = false;     // a recording with times: each item says when
    // The lines of a sequence depend on its bytes alone (not with
    // --terminfo), so its object's tail is kept and written again.
    bool memo = true;
    const char* program_name = "vorsk";
};

// Made at start-up over the writer, which it watches from then on; null,
// with a message on standard error, when memory is exhausted or the
// pattern does not compile.
ItemView* item_view_new(LineWriter& w, const Selection& selection,
                        const ItemViewSettings& settings);
// What the input turned out to be: a recording of both directions, one
// with times.
void item_view_recording(ItemView& v, bool duplex, bool timed);
// The decoder of one direction: its input's bytes and offsets, its
// sequence and string records. Before the input is read.
void item_view_attach(ItemView& v, Direction direction, Processor& p);

}  // namespace vorsk
