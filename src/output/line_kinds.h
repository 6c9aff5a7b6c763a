// The grammar of the account: one row per kind of line, with the marks it
// is written with and the colours it takes. A new kind of line is a new row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vorsk {

enum LineKind : std::uint8_t {
    TEXT_LINE,
    CONTROL_LINE,
    ESCAPE_LINE,
    STRING_LINE,  // the escape line of a control string, its payload as read
    LABEL_LINE,
    DESCRIPTION_LINE,
    DELAY_LINE,
    METADATA_LINE,  // what a recording says of the session: its terminal, its command, a resize
    TERMINFO_LINE,  // --terminfo: the capability of a terminal type whose string a sequence is
    SCREEN_LINE,    // --screen: a heading, then the rows of the screen
    N_LINE_KINDS,
};

// The elements a colour string can colour, each under its own key.
enum ColorKey : std::uint8_t {
    TEXT_COLOR,         // "|>": the content of text lines
    TEXT_DECOR_COLOR,   // "|": bars and wrap marks of text lines
    CONTROL_COLOR,      // "."
    ESCAPE_COLOR,       // ":"
    LABEL_COLOR,        // "&"
    DESCRIPTION_COLOR,  // '"'
    DELAY_COLOR,        // "@"
    METADATA_COLOR,     // "#"
    INPUT_MARK_COLOR,   // ">": the mark that begins each row of input
    N_COLOR_KEYS,
    NO_COLOR = N_COLOR_KEYS,
};

struct LineKindInfo {
    LineKind kind = N_LINE_KINDS;
    // A line of several rows of 78 columns: what its first row starts with,
    // what ends a row that wraps ("" for a plain line, whose rows simply
    // break) and what starts each continuation row.
    std::string_view start = {};
    std::string_view wrap_end = {};
    std::string_view wrap_begin = {};
    // A one-line record: the prefix of its single row.
    std::string_view prefix = {};
    ColorKey color = NO_COLOR;
    ColorKey decor = NO_COLOR;  // the marks of a decorated line, when coloured apart
    char hidden_by = 0;         // the option letter that leaves the kind out, or 0
};

inline constexpr LineKindInfo line_kinds[] = {
    {.kind = TEXT_LINE,
     .start = "|",
     .wrap_end = "|-",
     .wrap_begin = "-|",
     .color = TEXT_COLOR,
     .decor = TEXT_DECOR_COLOR},
    {.kind = CONTROL_LINE, .start = ".", .wrap_begin = ".", .color = CONTROL_COLOR},
    {.kind = ESCAPE_LINE,
     .start = ":",
     .wrap_begin = ": ",
     .prefix = ": ",
     .color = ESCAPE_COLOR,
     .hidden_by = 'E'},
    // The payload's pieces begin without a blank: two blanks begin each
    // continuation row, as they do on an escape line.
    {.kind = STRING_LINE,
     .start = ":",
     .wrap_begin = ":  ",
     .color = ESCAPE_COLOR,
     .hidden_by = 'E'},
    {.kind = LABEL_LINE, .prefix = "& ", .color = LABEL_COLOR, .hidden_by = 'L'},
    {.kind = DESCRIPTION_LINE, .prefix = "\" ", .color = DESCRIPTION_COLOR, .hidden_by = 'D'},
    {.kind = DELAY_LINE, .prefix = "@ ", .color = DELAY_COLOR},
    {.kind = METADATA_LINE, .prefix = "# ", .color = METADATA_COLOR},
    // Only there when asked for, so no letter hides it; it names what the
    // sequence is, as a label does, and takes the labels' colour.
    {.kind = TERMINFO_LINE, .prefix = "~ ", .color = LABEL_COLOR},
    // Never wrapped: a row is as wide as the screen. Only there when asked
    // for; the rows are text and take the text's colour.
    {.kind = SCREEN_LINE, .prefix = "= ", .color = TEXT_COLOR},
};

// Every row of a line decoded from the input direction (what was typed)
// begins with this mark, so that both directions read apart.
inline constexpr std::string_view INPUT_MARK = "> ";

consteval bool line_kinds_complete() {
    if (std::size(line_kinds) != N_LINE_KINDS) return false;
    for (std::size_t i = 0; i < std::size(line_kinds); ++i) {
        const LineKindInfo& row = line_kinds[i];
        if (row.kind != i || row.color == NO_COLOR) return false;
        // A kind is written as a multi-row line, as a one-line record, or both.
        if (row.start.empty() && row.prefix.empty()) return false;
        if (!row.wrap_end.empty() && row.start.empty()) return false;
    }
    return true;
}
static_assert(line_kinds_complete(), "one row per kind, in the order of LineKind");

inline constexpr const LineKindInfo& line_kind(LineKind kind) {
    return line_kinds[kind];
}

// The kinds left out of the account, one bit per kind.
using KindSet = std::uint32_t;
inline constexpr KindSet kind_bit(LineKind kind) {
    return KindSet{1} << kind;
}

// The kinds that an option letter leaves out.
constexpr KindSet kinds_hidden_by(char letter) {
    KindSet kinds = 0;
    for (const LineKindInfo& row : line_kinds) {
        if (row.hidden_by == letter) kinds |= kind_bit(row.kind);
    }
    return kinds;
}

}  // namespace vorsk
